#include "platform/audio/sound_device.h"

#include <algorithm>
#include <new>

namespace tandrel {

const char* AudioStatusText(int status)
{
    switch (status) {
    case kAudioOk:
        return "no error";
    case kAudioInvalidParam:
        return "invalid argument";
    case kAudioInvalidCall:
        return "not allowed in this state";
    case kAudioNoDevice:
        return "no such audio device";
    case kAudioDeviceFailed:
        return "the audio device failed";
    case kAudioOutOfMemory:
        return "out of memory for the audio buffer";
    case kAudioTooManyBuffers:
        return "too many audio buffers";
    case kAudioFileError:
        return "audio file error";
    }
    return "unknown audio error";
}

bool IsValidFormat(const PcmFormat& format)
{
    return (format.bits == 8 || format.bits == 16) &&
           (format.channels == 1 || format.channels == 2) && format.rate >= kMinFrequency &&
           format.rate <= kMaxFrequency;
}

SoundDevice::SoundDevice(std::string description, uint32_t rate, uint16_t channels)
    : description_(std::move(description)), rate_(rate), channels_(channels),
      mix_(new int32_t[kMixChunkFrames * 2])
{
}

SoundDevice::~SoundDevice()
{
    // A derived device has stopped its callback and detached by now; this is for a device
    // whose backend never started one.
    DetachAll();
}

void SoundDevice::DetachAll()
{
    std::array<SoundBuffer*, kMaxSoundBuffers> detached{};
    for (size_t i = 0; i < slots_.size(); ++i)
        detached[i] = slots_[i].exchange(nullptr, std::memory_order_seq_cst);
    gate_.WaitIdle();
    for (SoundBuffer* buffer : detached)
        if (buffer) buffer->device_ = nullptr;
}

int SoundDevice::CreateBuffer(const SoundBufferDesc& desc, std::unique_ptr<SoundBuffer>& buffer)
{
    buffer.reset();
    if (!IsValidFormat(desc.format) || desc.bytes == 0 || desc.bytes > kMaxRingBytes ||
        desc.bytes % desc.format.BlockAlign() != 0)
        return kAudioInvalidParam;
    auto free = std::find_if(slots_.begin(), slots_.end(), [](const auto& slot) {
        return slot.load(std::memory_order_relaxed) == nullptr;
    });
    if (free == slots_.end()) return kAudioTooManyBuffers;

    std::unique_ptr<uint8_t[]> ring(new (std::nothrow) uint8_t[desc.bytes]);
    if (!ring) return kAudioOutOfMemory;
    std::fill_n(ring.get(), desc.bytes, uint8_t(desc.format.bits == 8 ? 0x80 : 0));
    buffer.reset(new SoundBuffer(this, desc, std::move(ring)));
    // Publishing makes the ring and the buffer's state visible to the callback.
    free->store(buffer.get(), std::memory_order_seq_cst);
    return kAudioOk;
}

void SoundDevice::Unpublish(SoundBuffer* buffer)
{
    for (auto& slot : slots_) {
        SoundBuffer* expected = buffer;
        if (slot.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst)) break;
    }
    gate_.WaitIdle();
}

PcmFormat SoundDevice::OutputFormat() const
{
    return PcmFormat{rate_.load(std::memory_order_acquire), 16,
                     uint16_t(channels_.load(std::memory_order_acquire))};
}

int SoundDevice::SetOutputFormat(uint32_t rate, uint16_t channels)
{
    if (!IsValidFormat(PcmFormat{rate, 16, channels})) return kAudioInvalidParam;
    return kAudioOk;
}

void SoundDevice::SetMixFormat(uint32_t rate, uint16_t channels)
{
    rate_.store(rate, std::memory_order_release);
    channels_.store(channels, std::memory_order_release);
}

int SoundDevice::Pump(uint32_t)
{
    return kAudioInvalidCall;
}

void SoundDevice::Mix(int16_t* out, uint32_t frames) noexcept
{
    gate_.Enter();
    const uint32_t rate = rate_.load(std::memory_order_acquire);
    const uint32_t channels = channels_.load(std::memory_order_acquire);
    while (frames > 0) {
        const uint32_t chunk = std::min(frames, kMixChunkFrames);
        const uint32_t samples = chunk * channels;
        int32_t* mix = mix_.get();
        std::fill_n(mix, samples, 0);
        for (auto& slot : slots_) {
            if (SoundBuffer* buffer = slot.load(std::memory_order_seq_cst))
                if (buffer->MixInto(mix, chunk, rate, channels)) CountUnderrun();
        }
        for (uint32_t i = 0; i < samples; ++i)
            out[i] = int16_t(std::clamp<int32_t>(mix[i], -32768, 32767));
        out += samples;
        frames -= chunk;
    }
    gate_.Leave();
}

} // namespace tandrel
