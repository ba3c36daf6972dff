#pragma once
// What the sound device tests share: a private settings folder, a backend whose devices a
// test lists and breaks at will, and the engine put back to its start-up state.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/audio_devices.h"

namespace tandrel::test {

/** One device of the FakeBackend and the ways it can fail. */
struct FakeDevice
{
    std::string name;
    bool failOpen = false;   // the backend will not open it
    bool failFormat = false; // playback: its output format cannot be set
    bool failInput = false;  // capture: no ring can be made on it
    bool failStart = false;  // capture: its input will not start
};

/** A backend whose lists are whatever the test says. Devices are identified as the real
    backends do it (MakeDeviceId("Fake", name)); playback devices are never driven, capture
    devices deliver only what Capture() hands them. */
class FakeBackend : public AudioBackend
{
  public:
    std::vector<FakeDevice> playback;
    std::vector<FakeDevice> capture;
    std::string defaultPlayback; // names; empty: no default
    std::string defaultCapture;
    /** How often each name was opened (playback and capture alike). */
    std::map<std::string, int> opens;

    static DeviceId Id(const std::string& name) { return MakeDeviceId("Fake", name); }

    const char* Name() const override { return "fake"; }
    std::vector<AudioDeviceInfo> PlaybackDevices() override { return Infos(playback); }
    std::vector<AudioDeviceInfo> CaptureDevices() override { return Infos(capture); }
    DeviceId DefaultPlaybackDevice() override { return IdOrZero(defaultPlayback); }
    DeviceId DefaultCaptureDevice() override { return IdOrZero(defaultCapture); }
    int OpenPlayback(const DeviceId& id, std::unique_ptr<SoundDevice>& device) override;
    int OpenCapture(const DeviceId& id, std::unique_ptr<CaptureDevice>& device) override;

  private:
    static std::vector<AudioDeviceInfo> Infos(const std::vector<FakeDevice>& devices);
    static DeviceId IdOrZero(const std::string& name) { return name.empty() ? DeviceId{} : Id(name); }
    const FakeDevice* Find(const std::vector<FakeDevice>& devices, const DeviceId& id,
                           const std::string& fallback) const;
};

/** Names of a list, in order. */
std::vector<std::string> Names(const std::vector<AudioDeviceEntry>& list);

/** Every test starts with its own settings file, no backend, the engine's choices at their
    start-up values, no hooks and no dialog presenter; and leaves them so. */
class DeviceTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    /** Puts a FakeBackend in use and returns it (the engine owns it). */
    FakeBackend& UseFake(std::vector<FakeDevice> playback, std::vector<FakeDevice> capture);
    /** Opens the backend that TANDREL_AUDIO names. */
    void UseEnvironment(const std::string& choice);
    std::string PathOf(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
};

/** The engine's state back to what the program starts with (no backend, nothing chosen). */
void ResetAudioEngine();

} // namespace tandrel::test
