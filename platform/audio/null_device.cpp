#include "platform/audio/null_device.h"

#include <algorithm>

#include "platform/audio/clocked_device.h"

namespace tandrel {
namespace {

constexpr const char* kHostApi = "Null";
constexpr const char* kPlaybackName = "Null device (no sound)";
constexpr const char* kCaptureName = "Null device (silence)";

class NullSoundDevice final : public ClockedSoundDevice
{
  public:
    NullSoundDevice() : ClockedSoundDevice(kPlaybackName, false) { StartClock(); }
    ~NullSoundDevice() override { StopClock(); }

  private:
    void Consume(const int16_t*, uint32_t) override {}
};

class NullCaptureDevice final : public ClockedCaptureDevice
{
  public:
    NullCaptureDevice() : ClockedCaptureDevice(kCaptureName, false) {}
    ~NullCaptureDevice() override { StopClock(); }

  private:
    int PrepareInput(const PcmFormat& format) override
    {
        channels_ = format.channels;
        return kAudioOk;
    }
    void Produce(int16_t* samples, uint32_t frames) override
    {
        std::fill_n(samples, size_t(frames) * channels_, int16_t{0});
    }
    uint32_t channels_ = 2;
};

class NullBackend final : public AudioBackend
{
  public:
    const char* Name() const override { return "null"; }
    std::vector<AudioDeviceInfo> PlaybackDevices() override
    {
        return {{MakeDeviceId(kHostApi, kPlaybackName), kPlaybackName}};
    }
    std::vector<AudioDeviceInfo> CaptureDevices() override
    {
        return {{MakeDeviceId(kHostApi, kCaptureName), kCaptureName}};
    }
    DeviceId DefaultPlaybackDevice() override { return MakeDeviceId(kHostApi, kPlaybackName); }
    DeviceId DefaultCaptureDevice() override { return MakeDeviceId(kHostApi, kCaptureName); }

    int OpenPlayback(const DeviceId& id, std::unique_ptr<SoundDevice>& device) override
    {
        device.reset();
        if (!IsDefaultDeviceId(id) && id != DefaultPlaybackDevice()) return kAudioNoDevice;
        device = std::make_unique<NullSoundDevice>();
        return kAudioOk;
    }
    int OpenCapture(const DeviceId& id, std::unique_ptr<CaptureDevice>& device) override
    {
        device.reset();
        if (!IsDefaultDeviceId(id) && id != DefaultCaptureDevice()) return kAudioNoDevice;
        device = std::make_unique<NullCaptureDevice>();
        return kAudioOk;
    }
};

} // namespace

std::unique_ptr<AudioBackend> MakeNullBackend()
{
    return std::make_unique<NullBackend>();
}

} // namespace tandrel
