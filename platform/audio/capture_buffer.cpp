#include <algorithm>
#include <cstring>
#include <new>

#include "base/audio_samples.h"
#include "platform/audio/ring_regions.h"
#include "platform/audio/sound_device.h"

namespace tandrel {

CaptureBuffer::CaptureBuffer(CaptureDevice* device, const PcmFormat& format, uint32_t bytes,
                             std::unique_ptr<uint8_t[]> ring)
    : device_(device), format_(format), bytes_(bytes), ring_(std::move(ring))
{
}

CaptureBuffer::~CaptureBuffer()
{
    Stop();
    if (device_) device_->Release(this);
}

int CaptureBuffer::Start(bool looping)
{
    if (!device_) return kAudioInvalidCall;
    const uint32_t flags = kCaptureCapturing | (looping ? kCaptureLooping : 0);
    if (status_.exchange(flags, std::memory_order_seq_cst) & kCaptureCapturing) return kAudioOk;
    const int result = device_->StartInput();
    if (result != kAudioOk) status_.store(0, std::memory_order_seq_cst);
    return result;
}

int CaptureBuffer::Stop()
{
    const uint32_t was = status_.exchange(0, std::memory_order_seq_cst);
    if (device_) {
        if (was & kCaptureCapturing) device_->StopInput();
        device_->gate_.WaitIdle();
    }
    if (was & kCaptureCapturing) notifications_.SignalStop();
    return kAudioOk;
}

int CaptureBuffer::GetCurrentPosition(uint32_t* capture, uint32_t* read) const
{
    // The callback publishes the cursor only after the bytes before it are in the ring.
    const uint32_t cursor = cursor_.load(std::memory_order_acquire);
    if (capture) *capture = cursor;
    if (read) *read = cursor;
    return kAudioOk;
}

int CaptureBuffer::Lock(uint32_t offset, uint32_t bytes, LockedRegions& regions)
{
    return RingRegions(ring_.get(), bytes_, offset, bytes, regions);
}

int CaptureBuffer::Unlock(const LockedRegions& regions)
{
    if (!RegionsInsideRing(ring_.get(), bytes_, regions)) return kAudioInvalidParam;
    // Hands the region back: the callback's next writes come after what the UI did with it.
    unlocks_.fetch_add(1, std::memory_order_release);
    return kAudioOk;
}

int CaptureBuffer::SetNotificationPositions(std::span<const NotifyPosition> positions)
{
    if (status_.load(std::memory_order_seq_cst) & kCaptureCapturing) return kAudioInvalidCall;
    if (device_) device_->gate_.WaitIdle();
    return notifications_.Assign(positions, bytes_) ? kAudioOk : kAudioInvalidParam;
}

void CaptureBuffer::Write(const int16_t* samples, uint32_t frames) noexcept
{
    const uint32_t status = status_.load(std::memory_order_seq_cst); // see SoundBuffer::MixInto
    if (!(status & kCaptureCapturing)) return;
    (void)unlocks_.load(std::memory_order_acquire); // pairs with Unlock
    const uint32_t channels = format_.channels;
    const uint32_t align = format_.BlockAlign();
    const uint32_t start = cursor_.load(std::memory_order_relaxed);
    uint32_t cursor = start;
    uint64_t advance = 0;
    bool full = false;
    uint8_t* ring = ring_.get();
    for (uint32_t frame = 0; frame < frames; ++frame) {
        if (cursor == bytes_) {
            if (!(status & kCaptureLooping)) {
                full = true;
                break;
            }
            cursor = 0;
        }
        const int16_t* in = samples + size_t(frame) * channels;
        if (format_.bits == 8) {
            for (uint32_t c = 0; c < channels; ++c)
                ring[cursor + c] = Sample16To8(in[c]);
        } else {
            std::memcpy(ring + cursor, in, align);
        }
        cursor += align;
        advance += align;
    }
    // A one-shot capture that filled the ring stops with its cursor back at 0, as a
    // one-shot playback buffer does.
    if (cursor == bytes_) {
        if (status & kCaptureLooping)
            cursor = 0;
        else
            full = true;
    }
    cursor_.store(full ? 0 : cursor, std::memory_order_release);
    captured_.store(captured_.load(std::memory_order_relaxed) + advance, std::memory_order_release);
    notifications_.SignalCrossed(start, advance, bytes_);
    if (full) {
        uint32_t capturing = status;
        if (status_.compare_exchange_strong(capturing, 0, std::memory_order_acq_rel))
            notifications_.SignalStop();
    }
}

CaptureDevice::CaptureDevice(std::string description) : description_(std::move(description)) {}

CaptureDevice::~CaptureDevice()
{
    DetachBuffer();
}

void CaptureDevice::DetachBuffer()
{
    CaptureBuffer* buffer = buffer_.exchange(nullptr, std::memory_order_seq_cst);
    gate_.WaitIdle();
    if (buffer) buffer->device_ = nullptr;
}

int CaptureDevice::CreateCaptureBuffer(const PcmFormat& format, uint32_t bytes,
                                       std::unique_ptr<CaptureBuffer>& buffer)
{
    buffer.reset();
    if (buffer_.load(std::memory_order_relaxed)) return kAudioInvalidCall;
    if (!IsValidFormat(format) || bytes == 0 || bytes > kMaxRingBytes ||
        bytes % format.BlockAlign() != 0)
        return kAudioInvalidParam;
    std::unique_ptr<uint8_t[]> ring(new (std::nothrow) uint8_t[bytes]);
    if (!ring) return kAudioOutOfMemory;
    std::fill_n(ring.get(), bytes, uint8_t(format.bits == 8 ? 0x80 : 0));
    const int result = OpenInput(format);
    if (result != kAudioOk) return result;
    buffer.reset(new CaptureBuffer(this, format, bytes, std::move(ring)));
    buffer_.store(buffer.get(), std::memory_order_seq_cst);
    return kAudioOk;
}

void CaptureDevice::Release(CaptureBuffer* buffer)
{
    CaptureBuffer* expected = buffer;
    buffer_.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst);
    gate_.WaitIdle();
    CloseInput();
}

int CaptureDevice::Pump(uint32_t)
{
    return kAudioInvalidCall;
}

void CaptureDevice::Deliver(const int16_t* samples, uint32_t frames) noexcept
{
    gate_.Enter();
    if (CaptureBuffer* buffer = buffer_.load(std::memory_order_seq_cst))
        buffer->Write(samples, frames);
    gate_.Leave();
}

} // namespace tandrel
