#pragma once
#include <QEvent>
#include <cstdint>

namespace tandrel::app {

// Messages the program posts to its main window, from the UI thread or from worker
// threads; they are handled in turn by the window's event loop.
inline constexpr int kMsgStopRecordingAtLimit = 0x915D; // 37213
inline constexpr int kMsgMainView = 37214;
inline constexpr int kMsgToFront = 37225;
inline constexpr int kMsgRefreshMarkers = 37226;
inline constexpr int kMsgPlayerUpdate = 0x916E; // 37230, also the player-finished message
inline constexpr int kMsgRollBack = 37248;
inline constexpr int kMsgInsertMarker = 37249;
inline constexpr int kMsgSamContinue = 37250;

/** The event that carries one program message. */
class ProgramMessageEvent : public QEvent
{
public:
    static QEvent::Type EventType();
    ProgramMessageEvent(int message, uint32_t word, int64_t parameter)
        : QEvent(EventType()), message(message), word(word), parameter(parameter)
    {
    }
    const int message;
    const uint32_t word;
    const int64_t parameter;
};

} // namespace tandrel::app
