#include "audio/level_meter.h"

#include <cstdlib>
#include <cstring>

#include "audio/audio_shell.h"
#include "base/audio_samples.h"

namespace tandrel {

LevelMeters& TheLevelMeters()
{
    static LevelMeters meters;
    return meters;
}

void LevelMeters::Deliver(const MeterReading& reading, bool live)
{
    if (live) {
        TheAudioShell().ShowMeterReading(reading.left, reading.right, reading.leftClip,
                                         reading.rightClip);
        return;
    }
    if (count_ == kQueueSize) {
        queueFull_ = true;
        return;
    }
    pool_[(head_ + count_) % kQueueSize] = reading;
    ++count_;
}

void LevelMeters::Meter(const uint8_t* bytes, uint32_t count, uint32_t bits, uint32_t channels,
                        uint32_t rate, bool live, uint64_t position)
{
    if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2)) return;
    const uint32_t window = rate / 30;
    if (window == 0) return;
    const uint32_t align = bits / 8 * channels;
    const uint32_t frames = count / align;
    queueFull_ = false;
    uint64_t closed = 0; // windows this call closed
    for (uint32_t f = 0; f < frames; ++f) {
        for (uint32_t c = 0; c < channels; ++c) {
            int32_t sample;
            if (bits == 16) {
                int16_t s;
                std::memcpy(&s, bytes + (size_t(f) * channels + c) * 2, 2);
                sample = s;
            } else {
                sample = Sample8To16(bytes[size_t(f) * channels + c]);
            }
            const int32_t magnitude = std::abs(sample);
            if (magnitude > peak_[c]) peak_[c] = magnitude;
            if (sample == 32767 || sample == -32768) ++clips_[c];
        }
        if (++frames_ < window) continue;
        MeterReading reading;
        reading.position = position + closed * (uint64_t(window) * align);
        reading.left = peak_[0];
        reading.leftClip = clips_[0] >= 2;
        if (channels == 2) {
            reading.right = peak_[1];
            reading.rightClip = clips_[1] >= 2;
        }
        peak_[0] = peak_[1] = 0;
        clips_[0] = clips_[1] = 0;
        frames_ = 0;
        ++closed;
        Deliver(reading, live);
        if (queueFull_) return; // the rest of this block goes unmetered
    }
}

size_t LevelMeters::ShowUpTo(uint64_t position)
{
    size_t shown = 0;
    while (count_ > 0 && pool_[head_].position <= position) {
        const MeterReading& r = pool_[head_];
        TheAudioShell().ShowMeterReading(r.left, r.right, r.leftClip, r.rightClip);
        head_ = (head_ + 1) % kQueueSize;
        --count_;
        ++shown;
    }
    return shown;
}

void LevelMeters::Clear()
{
    head_ = count_ = 0;
    peak_[0] = peak_[1] = 0;
    clips_[0] = clips_[1] = 0;
    frames_ = 0;
    TheAudioShell().ClearMeterDisplays();
}

} // namespace tandrel
