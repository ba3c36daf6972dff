#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace tandrel {

/** One closed meter window: peaks (absolute sample values) and whether each channel
    clipped; `right` is -1 for mono. `position` is the ring byte it belongs to. */
struct MeterReading
{
    uint64_t position = 0;
    int32_t left = 0;
    int32_t right = -1;
    bool leftClip = false;
    bool rightClip = false;
};

/** The program's meter pair (left and right) for the main output and the recording.
    Audio is measured in windows of rate / 30 frames. Live audio (recording, input monitor)
    is shown at once; playback readings wait in a queue until the play cursor reaches their
    position, so the meters move with what is heard. Readings go to the shell's meter
    display. UI thread. */
class LevelMeters
{
public:
    static constexpr size_t kQueueSize = 256;

    /** Measures `count` bytes of 8-bit or 16-bit audio of `channels` channels at `rate`.
        A window left open at the end carries into the next call. Playback readings are
        queued at `position` plus the bytes of the windows this call closed before them;
        when the queue is full the rest of the block is not metered. */
    void Meter(const uint8_t* bytes, uint32_t count, uint32_t bits, uint32_t channels,
               uint32_t rate, bool live, uint64_t position);
    /** Shows, in order, the queued readings whose position is at most `position` and
        takes them off the queue. Returns how many were shown. */
    size_t ShowUpTo(uint64_t position);
    /** Empties the queue, closes any open window and clears the meter displays. */
    void Clear();
    size_t Queued() const { return count_; }
    /** The oldest queued reading; only while Queued() > 0. */
    const MeterReading& Front() const { return pool_[head_]; }

private:
    void Deliver(const MeterReading& reading, bool live);

    int32_t peak_[2] = {0, 0};
    uint32_t clips_[2] = {0, 0};
    uint32_t frames_ = 0;
    bool queueFull_ = false;
    // The queue takes its records from a fixed pool, reused in turn.
    std::array<MeterReading, kQueueSize> pool_{};
    size_t head_ = 0;
    size_t count_ = 0;
};

/** The one meter pair of the program. */
LevelMeters& TheLevelMeters();

} // namespace tandrel
