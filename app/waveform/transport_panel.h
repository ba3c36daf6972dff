#pragma once
// The transport panel of the main window: the transport buttons, the position display, the
// output/recording level meters and the record and monitor faders.
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

class QSlider;
class QLabel;

namespace tandrel {
class AudioStream;
}

namespace tandrel::waveform {

class KeyCommands;

/** The on-screen transport buttons, left to right. */
enum class TransportButton : int
{
    GoToStart,
    PlayFromStart,
    FastReverse,
    Reverse,
    SlowReverse,
    Play,
    Stop,
    SlowForward,
    Forward,
    FastForward,
    GoToEnd,
    PlaySelection,
    MarkLeft,
    MarkRight,
    Record,
    InsertRecord,
};
inline constexpr int kTransportButtonCount = 16;

/** The button's name as its tooltip shows it ("Fast Reverse" ...). */
const char* TransportButtonName(TransportButton button);

/** One meter pair's display: the last reading shown. */
struct MeterDisplay
{
    int32_t left = 0;
    int32_t right = -1; // -1: mono
    bool leftClip = false;
    bool rightClip = false;
    int readings = 0; // readings shown since the last clear
};

/** The meter bar's fill, 0 to 1000, for a peak: -60 dB and below is empty, full scale full. */
int MeterFill(int32_t peak);

/** The transport panel. It reads the main stream (or the one given) when it refreshes. */
class TransportPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TransportPanel(QWidget* parent = nullptr);
    ~TransportPanel() override;

    void SetStream(AudioStream* stream) { stream_ = stream; }
    AudioStream* Stream() const;
    /** Clicks on the buttons run the actions of their keys through `keys`. */
    void SetKeyCommands(KeyCommands* keys) { keys_ = keys; }

    /** Draws `button` pressed or released. */
    void SetButtonDown(TransportButton button, bool down);
    bool ButtonDown(TransportButton button) const { return down_[size_t(button)]; }
    /** The button under `point`, or -1. */
    int ButtonAt(QPoint point) const;
    QRect ButtonRect(TransportButton button) const;

    // What the audio shell forwards.
    /** The state text and buttons show the main stream afresh. */
    void RefreshTransport();
    /** The position display shows the cue afresh. */
    void UpdatePosition();
    void ShowMeterReading(int32_t left, int32_t right, bool leftClip, bool rightClip);
    void ClearMeters();

    const MeterDisplay& Meters() const { return meters_; }
    QString PositionText() const { return positionText_; }
    QString StateText() const { return stateText_; }

    /** The faders, 0 to 100; the levels are kept in RecordFader and MonitorFader. */
    int RecordLevel() const;
    int MonitorLevel() const;
    void SetRecordLevel(int level);
    void SetMonitorLevel(int level);
    /** Called when a fader moves (the players apply the record gain and the mixer line). */
    std::function<void(int level)> recordFaderMoved;
    std::function<void(int level)> monitorFaderMoved;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void FaderMoved(bool record, int level);
    QRect MeterRect() const;
    QRect PositionRect() const;

    AudioStream* stream_ = nullptr;
    KeyCommands* keys_ = nullptr;
    std::array<bool, kTransportButtonCount> down_{};
    int mouseButton_ = -1;
    MeterDisplay meters_;
    QString positionText_;
    QString stateText_;
    QSlider* recordFader_ = nullptr;
    QSlider* monitorFader_ = nullptr;
};

} // namespace tandrel::waveform
