// The Audio Devices dialog: what OK and Cancel leave behind in the engine, the settings and
// the rest of the program.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "audio/audio_devices_dialog.h"
#include "engine/device_change.h"
#include "audio/format_converter.h"
#include "base/recording_sink.h"
#include "device_test_support.h"
#include "settings/settings_store.h"

namespace tandrel::test {
namespace {

std::optional<uint32_t> SavedNumber(const char* name)
{
    bool found = false;
    const uint32_t value = ReadSettingNumber(kSettingTwoAttempts, kProductKey, name, &found);
    return found ? std::optional<uint32_t>(value) : std::nullopt;
}

std::string SavedDevice(const char* name)
{
    std::string text;
    ReadSettingText(kSettingTwoAttempts, kProductKey, name, text, kSettingNameSize);
    return text;
}

std::string Description(const SoundDevice* device) { return device ? device->Description() : "-"; }
std::string Description(const CaptureDevice* device) { return device ? device->Description() : "-"; }

class AudioDevicesDialogTest : public DeviceTest
{
  protected:
    // Playback A and B, capture M and N; the system defaults are B and N; A and M were
    // chosen before and are open.
    void Open(bool editOpen)
    {
        FakeBackend& fake = UseFake({{"A"}, {"B"}}, {{"M"}, {"N"}});
        fake.defaultPlayback = "B";
        fake.defaultCapture = "N";
        backend = &fake;
        WriteSettingText(kSettingTwoAttempts, kProductKey, "DSPlayDevice",
                         DeviceIdText(FakeBackend::Id("A")).c_str());
        WriteSettingText(kSettingTwoAttempts, kProductKey, "DSCaptureDevice",
                         DeviceIdText(FakeBackend::Id("M")).c_str());
        ASSERT_EQ(StartAudioDevices(), 0);
        AudioDeviceHooks hooks;
        hooks.stopPlayers = [this] { log.push_back("stop players"); };
        hooks.rearmPlayers = [this] { log.push_back("rearm players"); };
        hooks.resetMixerBinding = [this] { log.push_back("reset mixer"); };
        hooks.openMixer = [this](const AudioDeviceEntry* play, const AudioDeviceEntry* capture) {
            log.push_back("mixer " + play->description + "/" + capture->description);
        };
        hooks.setMainTargetFrequency = [this](uint32_t hz) {
            log.push_back("frequency " + std::to_string(hz));
        };
        hooks.editIsOpen = [editOpen] { return editOpen; };
        SetAudioDeviceHooks(hooks);
    }

    FakeBackend* backend = nullptr;
    std::vector<std::string> log;
};

TEST_F(AudioDevicesDialogTest, OkAndCancel)
{
    using Log = std::vector<std::string>;
    struct Case
    {
        const char* what;
        std::function<void(AudioDevicesDialog&)> act;
        bool ok;
        bool editOpen;
        std::string playing, recording; // open devices afterwards ("-": none)
        std::string savedPlay;          // DSPlayDevice afterwards, a device name
        std::optional<uint32_t> useAudio, followDefaults, defaultFormat;
        uint32_t playbackRate;
        Log log;
    };
    const Case kCases[] = {
        {"cancel after changing everything",
         [](AudioDevicesDialog& d) {
             d.SelectPlayback(1);
             d.SelectCapture(1);
             d.SelectDefaultFormat(9);
             d.SetFollowDefaults(true);
             d.SetAudioOff(true);
         },
         false, false, "A", "M", "A", std::nullopt, std::nullopt, std::nullopt, 44100, {}},
        {"OK with nothing changed", [](AudioDevicesDialog&) {}, true, false, "A", "M", "A", 1u, 0u,
         16u, 44100, Log{"stop players", "rearm players"}},
        {"another playback device", [](AudioDevicesDialog& d) { d.SelectPlayback(1); }, true,
         false, "B", "M", "B", 1u, 0u, 16u, 44100,
         Log{"stop players", "reset mixer", "mixer B/M", "rearm players"}},
        {"follow the system defaults",
         [](AudioDevicesDialog& d) {
             d.SetFollowDefaults(true);
             d.SelectPlayback(0); // the lists take no clicks now
         },
         true, false, "B", "N", "B", 1u, 1u, 16u, 44100,
         Log{"stop players", "reset mixer", "mixer B/N", "rearm players"}},
        {"audio off", [](AudioDevicesDialog& d) { d.SetAudioOff(true); }, true, false, "-", "-",
         "A", 0u, 0u, 16u, 44100, Log{"stop players", "rearm players"}},
        {"another format, no Edit open", [](AudioDevicesDialog& d) { d.SelectDefaultFormat(9); },
         true, false, "A", "M", "A", 1u, 0u, 9u, 22050,
         Log{"stop players", "frequency 22050", "rearm players"}},
        {"another format with an Edit open",
         [](AudioDevicesDialog& d) { d.SelectDefaultFormat(9); }, true, true, "A", "M", "A", 1u,
         0u, 9u, 44100,
         Log{"stop players", "frequency 44100", "rearm players"}},
        {"another device and format",
         [](AudioDevicesDialog& d) {
             d.SelectCapture(1);
             d.SelectDefaultFormat(18);
         },
         true, false, "A", "N", "A", 1u, 0u, 18u, 48000,
         Log{"stop players", "reset mixer", "mixer A/N", "frequency 48000",
             "rearm players"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        ResetAudioEngine();
        for (const char* name : {"UseDirectSound", "UseWinDefaultAudio", "DefaultFormat"})
            DeleteSettingValue(kSettingTwoAttempts, kProductKey, name);
        log.clear();
        Open(c.editOpen);
        SetAudioDevicesPresenter([&](AudioDevicesDialog& dialog) {
            c.act(dialog);
            return c.ok;
        });
        ScopedRecordingSink sink;
        EXPECT_EQ(ShowAudioDevicesDialog(), c.ok);
        const AudioEngineState& engine = AudioEngine();
        EXPECT_EQ(Description(engine.playbackDevice.get()), c.playing);
        EXPECT_EQ(Description(engine.captureDevice.get()), c.recording);
        EXPECT_EQ(SavedDevice("DSPlayDevice"), DeviceIdText(FakeBackend::Id(c.savedPlay)));
        EXPECT_EQ(SavedNumber("UseDirectSound"), c.useAudio);
        EXPECT_EQ(SavedNumber("UseWinDefaultAudio"), c.followDefaults);
        EXPECT_EQ(SavedNumber("DefaultFormat"), c.defaultFormat);
        EXPECT_EQ(engine.audioEnabled, c.playing != "-");
        EXPECT_EQ(engine.playbackFormat.sampleRate, c.playbackRate);
        if (engine.playbackDevice) {
            EXPECT_EQ(engine.playbackDevice->OutputFormat().rate, c.playbackRate);
        }
        EXPECT_EQ(log, c.log);
        EXPECT_TRUE(sink.Messages().empty());
    }
}

TEST_F(AudioDevicesDialogTest, FollowingTheDefaultsShowsTheDefaultDevicesInDisabledLists)
{
    Open(false);
    AudioDevicesDialog dialog(false);
    EXPECT_EQ(dialog.PlaybackTexts(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(dialog.PlaybackSelection(), 0);
    EXPECT_EQ(dialog.CaptureSelection(), 0);
    EXPECT_TRUE(dialog.DeviceListsEnabled());
    EXPECT_EQ(dialog.DefaultFormat(), 16);
    dialog.SetFollowDefaults(true);
    EXPECT_FALSE(dialog.DeviceListsEnabled());
    EXPECT_EQ(dialog.PlaybackSelection(), 1);
    EXPECT_EQ(dialog.CaptureSelection(), 1);
    // Leaving the defaults again shows the person's own choice.
    dialog.SetFollowDefaults(false);
    EXPECT_EQ(dialog.PlaybackSelection(), 0);
    dialog.SelectPlayback(7);
    dialog.SelectDefaultFormat(19);
    EXPECT_EQ(dialog.PlaybackSelection(), 0);
    EXPECT_EQ(dialog.DefaultFormat(), 16);
}

TEST_F(AudioDevicesDialogTest, TurningAudioBackOnListsTheDevicesAfresh)
{
    Open(false);
    SetAudioDevicesPresenter([](AudioDevicesDialog& dialog) {
        dialog.SetAudioOff(true);
        return true;
    });
    ASSERT_TRUE(ShowAudioDevicesDialog());
    ASSERT_EQ(AudioEngine().playbackDevice, nullptr);

    backend->playback.push_back({"C"});
    backend->playback.erase(backend->playback.begin()); // A is gone
    AudioDevicesDialog dialog(false);
    EXPECT_TRUE(dialog.AudioOff());
    EXPECT_EQ(dialog.PlaybackTexts(), (std::vector<std::string>{"A", "B"}));
    dialog.SetAudioOff(false);
    EXPECT_EQ(dialog.PlaybackTexts(), (std::vector<std::string>{"B", "C"}));
    dialog.SelectPlayback(1);
    ApplyAudioDevicesChange(dialog.Accept());
    EXPECT_EQ(Description(AudioEngine().playbackDevice.get()), "C");
    EXPECT_EQ(Description(AudioEngine().captureDevice.get()), "M");
    EXPECT_EQ(SavedNumber("UseDirectSound"), 1u);
}

TEST_F(AudioDevicesDialogTest, ADialogShownByTheCheckLeavesTheOpeningToIt)
{
    FakeBackend& fake = UseFake({{"A"}, {"B"}}, {{"M"}, {"N"}});
    int stops = 0;
    AudioDeviceHooks hooks;
    hooks.stopPlayers = [&] { ++stops; };
    SetAudioDeviceHooks(hooks);
    SetAudioDevicesPresenter([](AudioDevicesDialog& dialog) {
        dialog.SelectPlayback(1);
        dialog.SelectCapture(0);
        return true;
    });
    ASSERT_EQ(StartAudioDevices(), 0);
    EXPECT_EQ(fake.opens["B"], 1);
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(Description(AudioEngine().playbackDevice.get()), "B");
}

TEST_F(AudioDevicesDialogTest, SoundSettingsButton)
{
    Open(false);
    const std::string bin = PathOf("bin"), empty = PathOf("empty");
    mkdir(bin.c_str(), 0755);
    mkdir(empty.c_str(), 0755);
    {
        std::ofstream script(bin + "/pavucontrol");
        script << "#!/bin/sh\nexit 0\n";
    }
    chmod((bin + "/pavucontrol").c_str(), 0755);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    struct Case
    {
        std::string path;
        bool opens;
    };
    const Case kCases[] = {{bin, true}, {empty, false}};
    for (const Case& c : kCases) {
        setenv("PATH", c.path.c_str(), 1);
        ScopedRecordingSink sink;
        AudioDevicesDialog dialog(false);
        EXPECT_EQ(dialog.OpenSoundSettings(), c.opens) << c.path;
        if (c.opens) {
            EXPECT_TRUE(sink.Messages().empty());
        } else {
            EXPECT_EQ(sink.Texts(),
                      std::vector<std::string>{"Unable to open pavucontrol audio control panel."});
        }
    }
    setenv("PATH", oldPath.c_str(), 1);
}

} // namespace
} // namespace tandrel::test
