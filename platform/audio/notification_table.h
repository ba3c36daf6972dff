#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "platform/audio/audio_event.h"

namespace tandrel {

/** The offset that signals its event when the buffer stops rather than at a position. */
inline constexpr uint32_t kNotifyOnStop = 0xFFFFFFFF;
/** The most notification positions one buffer takes (the capture layout uses 61). */
inline constexpr size_t kMaxNotifyPositions = 61;

/** A notification position: `event` is signalled when the cursor reaches byte `offset`, or
    when the buffer stops for kNotifyOnStop. The caller owns the event and keeps it alive
    while the buffer may still signal it. */
struct NotifyPosition
{
    uint32_t offset = 0;
    AudioEvent* event = nullptr;
};

/** The notification positions of one buffer. Written by the UI thread only while the
    buffer is stopped and no callback is inside it; read by the callback. */
class NotificationTable
{
  public:
    /** Replaces the table. False (table unchanged) for more than kMaxNotifyPositions entries,
        a null event, or an offset outside [0, ringBytes) other than kNotifyOnStop. */
    bool Assign(std::span<const NotifyPosition> positions, uint32_t ringBytes)
    {
        if (positions.size() > kMaxNotifyPositions) return false;
        for (const NotifyPosition& p : positions)
            if (!p.event || (p.offset >= ringBytes && p.offset != kNotifyOnStop)) return false;
        for (size_t i = 0; i < positions.size(); ++i)
            entries_[i] = positions[i];
        count_ = positions.size();
        return true;
    }

    /** Audio callback: the cursor moved `advance` bytes forward from `from` in a ring of
        `ringBytes`; signals every position it reached, that is each offset in the half-open
        span (from, from + advance] taken around the ring. */
    void SignalCrossed(uint32_t from, uint64_t advance, uint32_t ringBytes) const noexcept
    {
        if (advance == 0) return;
        for (size_t i = 0; i < count_; ++i) {
            const NotifyPosition& p = entries_[i];
            if (p.offset == kNotifyOnStop) continue;
            uint64_t distance = (uint64_t(p.offset) + ringBytes - from) % ringBytes;
            if (distance == 0) distance = ringBytes; // reached again only after a full lap
            if (distance <= advance) p.event->Signal();
        }
    }

    /** Any thread that has just stopped the buffer: signals the stop positions. */
    void SignalStop() const noexcept
    {
        for (size_t i = 0; i < count_; ++i)
            if (entries_[i].offset == kNotifyOnStop) entries_[i].event->Signal();
    }

    size_t Count() const { return count_; }

  private:
    std::array<NotifyPosition, kMaxNotifyPositions> entries_{};
    size_t count_ = 0;
};

} // namespace tandrel
