#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "base/audio_samples.h"
#include "platform/audio/ring_regions.h"
#include "platform/audio/sound_device.h"

namespace tandrel {

static_assert(std::endian::native == std::endian::little, "rings hold little-endian samples");

namespace {

template <int Bits>
inline int32_t ReadSample(const uint8_t* ring, uint32_t frame, int channels, int channel) noexcept
{
    if constexpr (Bits == 8) {
        return Sample8To16(ring[frame * channels + channel]);
    } else {
        int16_t s;
        std::memcpy(&s, ring + (size_t(frame) * channels + channel) * 2, 2);
        return s;
    }
}

} // namespace

SoundBuffer::SoundBuffer(SoundDevice* device, const SoundBufferDesc& desc,
                         std::unique_ptr<uint8_t[]> ring)
    : device_(device), format_(desc.format), bytes_(desc.bytes),
      frames_(desc.bytes / desc.format.BlockAlign()), streaming_(desc.streaming),
      ring_(std::move(ring))
{
}

SoundBuffer::~SoundBuffer()
{
    Stop();
    if (device_) device_->Unpublish(this);
}

int SoundBuffer::Lock(uint32_t offset, uint32_t bytes, LockedRegions& regions, uint32_t flags)
{
    if (flags & kLockFromWriteCursor) GetCurrentPosition(nullptr, &offset);
    if (flags & kLockEntireBuffer) bytes = bytes_;
    return RingRegions(ring_.get(), bytes_, offset, bytes, regions);
}

int SoundBuffer::Unlock(const LockedRegions& regions)
{
    if (!RegionsInsideRing(ring_.get(), bytes_, regions)) return kAudioInvalidParam;

    // Fresh bytes count from the play cursor when the buffer had run dry, and can be at
    // most one ring ahead of it.
    const uint64_t played = playedBytes_.load(std::memory_order_acquire);
    const uint64_t written = std::max(unlockedBytes_.load(std::memory_order_relaxed), played) +
                             regions.size[0] + regions.size[1];
    // The release store also hands the written bytes over to the callback.
    unlockedBytes_.store(std::min(written, played + bytes_), std::memory_order_release);
    return kAudioOk;
}

int SoundBuffer::Play(bool looping)
{
    if (!device_) return kAudioInvalidCall;
    status_.store(kBufferPlaying | (looping ? kBufferLooping : 0), std::memory_order_seq_cst);
    return kAudioOk;
}

int SoundBuffer::Stop()
{
    const uint32_t was = status_.exchange(0, std::memory_order_seq_cst);
    if (device_) device_->gate_.WaitIdle();
    if (was & kBufferPlaying) notifications_.SignalStop();
    return kAudioOk;
}

int SoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) const
{
    const uint32_t cursor = playCursor_.load(std::memory_order_acquire);
    if (play) *play = cursor;
    if (write) {
        const bool playing = status_.load(std::memory_order_acquire) & kBufferPlaying;
        const uint32_t lead = playing ? writeLead_.load(std::memory_order_relaxed) : 0;
        *write = uint32_t((uint64_t(cursor) + lead) % bytes_);
    }
    return kAudioOk;
}

int SoundBuffer::SetCurrentPosition(uint32_t offset)
{
    if (offset >= bytes_) return kAudioInvalidParam;
    playCursor_.store(offset - offset % format_.BlockAlign(), std::memory_order_seq_cst);
    seeks_.fetch_add(1, std::memory_order_release);
    // The pass in progress may still be reading at the old position; once it is over, the
    // UI may write around either place.
    if (device_) device_->gate_.WaitIdle();
    // After a jump nothing in the ring counts as fresh until the UI writes it again.
    unlockedBytes_.store(playedBytes_.load(std::memory_order_acquire), std::memory_order_release);
    return kAudioOk;
}

int SoundBuffer::SetFrequency(uint32_t hz)
{
    if (hz != 0 && (hz < kMinFrequency || hz > kMaxFrequency)) return kAudioInvalidParam;
    frequency_.store(hz, std::memory_order_relaxed);
    return kAudioOk;
}

uint32_t SoundBuffer::Frequency() const
{
    const uint32_t hz = frequency_.load(std::memory_order_relaxed);
    return hz ? hz : format_.rate;
}

int SoundBuffer::SetVolume(int32_t hundredthsDb)
{
    if (hundredthsDb < kVolumeSilent || hundredthsDb > kVolumeFull) return kAudioInvalidParam;
    const int32_t gain =
        hundredthsDb == kVolumeSilent
            ? 0
            : int32_t(std::lround(65536.0 * std::pow(10.0, hundredthsDb / 2000.0)));
    volume_.store(hundredthsDb, std::memory_order_relaxed);
    gain_.store(gain, std::memory_order_relaxed);
    return kAudioOk;
}

int SoundBuffer::SetNotificationPositions(std::span<const NotifyPosition> positions)
{
    if (status_.load(std::memory_order_seq_cst) & kBufferPlaying) return kAudioInvalidCall;
    // A pass that saw the buffer playing just before it stopped may still read the table.
    if (device_) device_->gate_.WaitIdle();
    return notifications_.Assign(positions, bytes_) ? kAudioOk : kAudioInvalidParam;
}

uint32_t SoundBuffer::Status() const
{
    return status_.load(std::memory_order_acquire);
}

// Linear interpolation between neighbouring source frames with a 32.32 fixed-point
// position: at the buffer's own rate on a device of the same rate the fraction stays 0 and
// the samples come out unchanged; at twice the rate every second frame is taken.
// Returns how many times the position wrapped around the ring.
template <int Bits, int SourceChannels, int DeviceChannels>
uint64_t SoundBuffer::Resample(int32_t* mix, uint32_t frames, uint64_t& position, uint64_t step,
                               int32_t gain, bool looping, bool& ended) const noexcept
{
    const uint8_t* ring = ring_.get();
    const uint64_t end = uint64_t(frames_) << 32;
    uint64_t laps = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t index = uint32_t(position >> 32);
        const int64_t fraction = int64_t(uint32_t(position));
        uint32_t next = index + 1;
        if (next == frames_) next = looping ? 0 : index;

        int32_t value[SourceChannels];
        for (int c = 0; c < SourceChannels; ++c) {
            const int32_t s0 = ReadSample<Bits>(ring, index, SourceChannels, c);
            const int32_t s1 = ReadSample<Bits>(ring, next, SourceChannels, c);
            value[c] = s0 + int32_t((int64_t(s1 - s0) * fraction) >> 32);
        }
        if constexpr (SourceChannels == 2 && DeviceChannels == 1) {
            mix[i] += int32_t((int64_t((value[0] + value[1]) >> 1) * gain) >> 16);
        } else if constexpr (SourceChannels == 1 && DeviceChannels == 2) {
            const int32_t v = int32_t((int64_t(value[0]) * gain) >> 16);
            mix[2 * i] += v;
            mix[2 * i + 1] += v;
        } else {
            for (int c = 0; c < SourceChannels; ++c)
                mix[i * SourceChannels + c] += int32_t((int64_t(value[c]) * gain) >> 16);
        }
        position += step;
        while (position >= end) {
            if (!looping) {
                ended = true; // a one-shot buffer stops as soon as its last frame is out
                return laps;
            }
            position -= end;
            ++laps;
        }
    }
    return laps;
}

bool SoundBuffer::MixInto(int32_t* mix, uint32_t frames, uint32_t deviceRate,
                          uint32_t deviceChannels) noexcept
{
    // Sequentially consistent, like the gate the UI thread waits on after Stop and
    // SetCurrentPosition: a pass that begins after those sees what they changed.
    const uint32_t status = status_.load(std::memory_order_seq_cst);
    if (!(status & kBufferPlaying)) return false;
    // Pairs with Unlock: what the UI thread wrote before its last Unlock is visible here.
    const uint64_t unlocked = unlockedBytes_.load(std::memory_order_acquire);
    const uint32_t seeks = seeks_.load(std::memory_order_acquire);
    if (seeks != seenSeeks_) {
        seenSeeks_ = seeks;
        phase_ = 0;
    }

    const uint32_t align = format_.BlockAlign();
    const uint32_t startByte = playCursor_.load(std::memory_order_seq_cst);
    const uint32_t startFrame = startByte / align;
    uint32_t hz = frequency_.load(std::memory_order_relaxed);
    if (hz == 0) hz = format_.rate;
    const uint64_t step = (uint64_t(hz) << 32) / deviceRate;
    const int32_t gain = gain_.load(std::memory_order_relaxed);
    const bool looping = status & kBufferLooping;

    uint64_t position = (uint64_t(startFrame) << 32) | phase_;
    bool ended = false;
    uint64_t laps = 0;
    const int shape = (format_.bits == 8 ? 4 : 0) + (format_.channels == 2 ? 2 : 0) +
                      (deviceChannels == 2 ? 1 : 0);
    switch (shape) {
    case 0:
        laps = Resample<16, 1, 1>(mix, frames, position, step, gain, looping, ended);
        break;
    case 1:
        laps = Resample<16, 1, 2>(mix, frames, position, step, gain, looping, ended);
        break;
    case 2:
        laps = Resample<16, 2, 1>(mix, frames, position, step, gain, looping, ended);
        break;
    case 3:
        laps = Resample<16, 2, 2>(mix, frames, position, step, gain, looping, ended);
        break;
    case 4:
        laps = Resample<8, 1, 1>(mix, frames, position, step, gain, looping, ended);
        break;
    case 5:
        laps = Resample<8, 1, 2>(mix, frames, position, step, gain, looping, ended);
        break;
    case 6:
        laps = Resample<8, 2, 1>(mix, frames, position, step, gain, looping, ended);
        break;
    default:
        laps = Resample<8, 2, 2>(mix, frames, position, step, gain, looping, ended);
        break;
    }

    uint64_t advanceFrames;
    uint32_t cursor;
    if (ended) {
        advanceFrames = frames_ - startFrame;
        cursor = 0;
        phase_ = 0;
    } else {
        advanceFrames = (position >> 32) + laps * frames_ - startFrame;
        cursor = uint32_t(position >> 32) * align;
        phase_ = uint32_t(position);
    }
    // The UI thread may have moved the cursor during this pass; its position wins.
    uint32_t expected = startByte;
    if (!playCursor_.compare_exchange_strong(expected, cursor, std::memory_order_acq_rel))
        phase_ = 0;

    const uint64_t advance = advanceFrames * align;
    writeLead_.store(uint32_t(std::clamp<uint64_t>(advance, align, bytes_)),
                     std::memory_order_relaxed);
    notifications_.SignalCrossed(startByte, advance, bytes_);
    if (ended) {
        uint32_t playing = status;
        if (status_.compare_exchange_strong(playing, 0, std::memory_order_acq_rel))
            notifications_.SignalStop();
    }

    if (!streaming_) return false;
    const uint64_t played = playedBytes_.load(std::memory_order_relaxed) + advance;
    playedBytes_.store(played, std::memory_order_release);
    if (played <= unlocked) {
        starving_ = false;
        return false;
    }
    if (starving_) return false; // the same underrun goes on
    starving_ = true;
    underruns_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

} // namespace tandrel
