#include "device_test_support.h"

#include <cstdlib>
#include <filesystem>

#include "audio/audio_devices_dialog.h"

namespace tandrel::test {
namespace {

class FakeSoundDevice final : public SoundDevice
{
  public:
    FakeSoundDevice(const std::string& name, bool failFormat)
        : SoundDevice(name, 44100, 2), failFormat_(failFormat)
    {
    }
    ~FakeSoundDevice() override { DetachAll(); }
    int SetOutputFormat(uint32_t rate, uint16_t channels) override
    {
        if (!IsValidFormat(PcmFormat{rate, 16, channels})) return kAudioInvalidParam;
        if (failFormat_) return kAudioDeviceFailed;
        SetMixFormat(rate, channels);
        return kAudioOk;
    }

  private:
    const bool failFormat_;
};

class FakeCaptureDevice final : public CaptureDevice
{
  public:
    FakeCaptureDevice(const FakeDevice& recipe) : CaptureDevice(recipe.name), spec_(recipe) {}
    ~FakeCaptureDevice() override { DetachBuffer(); }

  private:
    int OpenInput(const PcmFormat&) override
    {
        return spec_.failInput ? kAudioDeviceFailed : kAudioOk;
    }
    void CloseInput() override {}
    int StartInput() override { return spec_.failStart ? kAudioDeviceFailed : kAudioOk; }
    void StopInput() override {}

    const FakeDevice spec_;
};

} // namespace

std::vector<AudioDeviceInfo> FakeBackend::Infos(const std::vector<FakeDevice>& devices)
{
    std::vector<AudioDeviceInfo> infos;
    for (const FakeDevice& device : devices)
        infos.push_back({device.name.empty() ? DeviceId{} : Id(device.name), device.name});
    return infos;
}

const FakeDevice* FakeBackend::Find(const std::vector<FakeDevice>& devices, const DeviceId& id,
                                    const std::string& fallback) const
{
    const DeviceId wanted = IsDefaultDeviceId(id) && !fallback.empty() ? Id(fallback) : id;
    for (const FakeDevice& device : devices)
        if (!device.name.empty() && Id(device.name) == wanted) return &device;
    return nullptr;
}

int FakeBackend::OpenPlayback(const DeviceId& id, std::unique_ptr<SoundDevice>& device)
{
    device.reset();
    const FakeDevice* recipe = Find(playback, id, defaultPlayback);
    if (!recipe) return kAudioNoDevice;
    ++opens[recipe->name];
    if (recipe->failOpen) return kAudioDeviceFailed;
    device = std::make_unique<FakeSoundDevice>(recipe->name, recipe->failFormat);
    return kAudioOk;
}

int FakeBackend::OpenCapture(const DeviceId& id, std::unique_ptr<CaptureDevice>& device)
{
    device.reset();
    const FakeDevice* recipe = Find(capture, id, defaultCapture);
    if (!recipe) return kAudioNoDevice;
    ++opens[recipe->name];
    if (recipe->failOpen) return kAudioDeviceFailed;
    device = std::make_unique<FakeCaptureDevice>(*recipe);
    return kAudioOk;
}

std::vector<std::string> Names(const std::vector<AudioDeviceEntry>& list)
{
    std::vector<std::string> names;
    for (const AudioDeviceEntry& entry : list) names.push_back(entry.description);
    return names;
}

void ResetAudioEngine()
{
    CloseAudioEngine();
    AudioEngineState& engine = AudioEngine();
    engine.audioEnabled = true;
    engine.followSystemDefaults = false;
    engine.playbackFormat = AudioFormat{};
    engine.recordingFormat = AudioFormat{};
    engine.primaryFormat = AudioFormat{};
    engine.primaryMono = false;
    engine.captureReadOffset = 0;
    engine.captureSecondOffset = 0;
    SetAudioDeviceHooks({});
    SetAudioDevicesPresenter({});
    SetSoundSettingsLauncher({});
}

void DeviceTest::SetUp()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tandrel-devices-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    setenv("XDG_CONFIG_HOME", PathOf("config").c_str(), 1);
    setenv("HOME", folder_.c_str(), 1);
    unsetenv("TANDREL_AUDIO");
    ResetAudioEngine();
}

void DeviceTest::TearDown()
{
    ResetAudioEngine();
    unsetenv("TANDREL_AUDIO");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

FakeBackend& DeviceTest::UseFake(std::vector<FakeDevice> playback, std::vector<FakeDevice> capture)
{
    auto fake = std::make_unique<FakeBackend>();
    FakeBackend& kept = *fake;
    fake->playback = std::move(playback);
    fake->capture = std::move(capture);
    UseAudioBackend(std::move(fake), "fake backend");
    return kept;
}

void DeviceTest::UseEnvironment(const std::string& choice)
{
    setenv("TANDREL_AUDIO", choice.c_str(), 1);
    CloseAudioEngine();
    EnsureAudioBackend();
}

} // namespace tandrel::test
