// The sound devices: lists, the choice of a device, opening and closing, and the buffers the
// streams and the recorder are given.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "audio/audio_devices.h"
#include "audio/audio_devices_dialog.h"
#include "audio/format_converter.h"
#include "base/recording_sink.h"
#include "device_test_support.h"
#include "settings/settings_store.h"

namespace tandrel::test {
namespace {

AudioFormat Format(uint32_t rate, uint32_t bits, uint32_t channels)
{
    AudioFormat format;
    MakeFormat(format, rate, bits, channels);
    return format;
}

const AudioFormat kCd = Format(44100, 16, 2);

std::string Hex(int status)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", unsigned(status));
    return text;
}

void Save(const char* name, const std::string& text)
{
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, name, text.c_str()));
}

using AudioDevices = DeviceTest;

TEST_F(AudioDevices, EnumerationKeepsOrderSkipsDevicesWithoutIdentityAndRunsOnlyWhenAListIsEmpty)
{
    FakeBackend& fake = UseFake({{"Speakers"}, {""}, {"Headphones"}}, {{"Mic"}, {"Line"}});
    fake.defaultPlayback = "Headphones";
    fake.defaultCapture = "Line";
    EnumerateAudioDevices();
    AudioEngineState& engine = AudioEngine();
    EXPECT_EQ(Names(engine.playbackDevices), (std::vector<std::string>{"Speakers", "Headphones"}));
    EXPECT_EQ(Names(engine.captureDevices), (std::vector<std::string>{"Mic", "Line"}));
    EXPECT_EQ(engine.playbackDevices[1].identity, FakeBackend::Id("Headphones"));
    EXPECT_EQ(engine.defaultPlayback, FakeBackend::Id("Headphones"));
    EXPECT_EQ(engine.defaultCapture, FakeBackend::Id("Line"));

    // Both lists hold devices: a new device is not seen until a list is rebuilt.
    fake.playback.push_back({"USB"});
    EnumerateAudioDevices();
    EXPECT_EQ(engine.playbackDevices.size(), 2u);
    // An empty list rebuilds both; the chosen devices keep their identities.
    engine.playbackIndex = 1;
    engine.captureIndex = 1;
    fake.playback.insert(fake.playback.begin(), {"HDMI"});
    engine.captureDevices.clear();
    EnumerateAudioDevices();
    EXPECT_EQ(Names(engine.playbackDevices),
              (std::vector<std::string>{"HDMI", "Speakers", "Headphones", "USB"}));
    EXPECT_EQ(engine.playbackIndex, 2);
    EXPECT_EQ(engine.captureIndex, -1); // its list was gone: nothing to keep it on
}

TEST_F(AudioDevices, CaptureTestDropsDevicesThatCannotRecordAndKeepsTheChoiceOnItsDevice)
{
    struct Case
    {
        std::vector<FakeDevice> capture;
        int chosen;
        std::vector<std::string> kept;
        int chosenAfter;
    };
    const Case kCases[] = {
        {{{"A"}, {"B"}, {"C"}}, 2, {"A", "B", "C"}, 2},
        {{{"A"}, {"B", false, false, true}, {"C"}}, 2, {"A", "C"}, 1},
        {{{"A", false, false, false, true}, {"B"}, {"C"}}, 0, {"B", "C"}, -1},
        {{{"A", true}, {"B"}, {"C", false, false, false, true}}, 1, {"B"}, 0},
        {{{"A", false, false, true}, {"B", false, false, true}}, -1, {}, -1},
    };
    for (const Case& c : kCases) {
        UseFake({{"Out"}}, c.capture);
        EnumerateAudioDevices();
        AudioEngine().captureIndex = c.chosen;
        TestCaptureDevices();
        EXPECT_EQ(Names(AudioEngine().captureDevices), c.kept) << "chosen " << c.chosen;
        EXPECT_EQ(AudioEngine().captureIndex, c.chosenAfter) << "chosen " << c.chosen;
        for (const AudioDeviceEntry& entry : AudioEngine().captureDevices)
            EXPECT_FALSE(entry.needsCaptureNotify) << entry.description;
    }
}

TEST_F(AudioDevices, TheOpenCaptureDeviceIsNotOpenedAgainToBeTested)
{
    FakeBackend& fake = UseFake({{"Out"}}, {{"Mic"}, {"Line"}});
    Save("DSCaptureDevice", DeviceIdText(FakeBackend::Id("Line")));
    ASSERT_EQ(InitDirectSound(kCd, true), 0);
    const int opened = fake.opens["Line"];
    TestCaptureDevices();
    EXPECT_EQ(fake.opens["Line"], opened);
    EXPECT_EQ(fake.opens["Mic"], 2); // tested once by each check
    EXPECT_EQ(AudioEngine().captureIndex, 1);
}

TEST_F(AudioDevices, CheckTellsWhichKindOfDeviceIsMissing)
{
    struct Case
    {
        std::vector<FakeDevice> playback, capture;
        const char* message; // null: no message, both chosen
    };
    const Case kCases[] = {
        {{{"Out"}}, {{"In", false, false, true}},
         "Tandrel cannot find any compatible sound recording devices on this system.  You must "
         "have a soundcard with ALSA drivers installed."},
        {{}, {{"In"}},
         "Tandrel cannot find any ALSA compatible sound playback devices on this system. You "
         "must have a soundcard with ALSA drivers installed."},
        {{}, {},
         "Tandrel cannot find any ALSA compatible sound devices on this system.  You must have "
         "a soundcard with ALSA drivers installed."},
        {{{"Out"}}, {{"In"}}, nullptr},
    };
    for (const Case& c : kCases) {
        ScopedRecordingSink sink;
        UseFake(c.playback, c.capture);
        const bool ok = CheckAudioDevices();
        EXPECT_EQ(ok, c.message == nullptr);
        if (c.message) {
            ASSERT_EQ(sink.Messages().size(), 1u);
            EXPECT_EQ(sink.Messages()[0].title, "Tandrel Error");
            EXPECT_EQ(sink.Messages()[0].text, c.message);
        } else {
            EXPECT_TRUE(sink.Messages().empty());
            EXPECT_EQ(AudioEngine().playbackIndex, 0);
            EXPECT_EQ(AudioEngine().captureIndex, 0);
        }
    }
}

TEST_F(AudioDevices, ChoiceComesFromSingleDevicesDefaultsSavedIdentitiesOrTheDialog)
{
    struct Case
    {
        const char* what;
        std::vector<FakeDevice> playback, capture;
        std::string savedPlay, savedCapture; // device names, or raw text starting with '{'
        bool follow;
        bool dialogAnswersOk;   // the dialog chooses the last rows and presses OK
        int expectPlay, expectCapture;
        int expectDialogs;
    };
    const std::vector<FakeDevice> two = {{"A"}, {"B"}};
    std::string lower = DeviceIdText(FakeBackend::Id("B"));
    for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    const Case kCases[] = {
        {"single devices, nothing saved", {{"A"}}, {{"M"}}, "", "", false, false, 0, 0, 0},
        {"single devices ignore a stale identity", {{"A"}}, {{"M"}}, "Gone", "Gone", false, false,
         0, 0, 0},
        {"saved identities", two, two, "B", "A", false, false, 1, 0, 0},
        {"saved text in lower case", two, two, lower, "A", false, false, 1, 0, 0},
        {"follow the system defaults", two, two, "A", "A", true, false, 1, 1, 0},
        {"stale identity, dialog cancelled", two, two, "Gone", "A", false, false, -1, 0, 1},
        {"stale identity, dialog OK", two, two, "Gone", "Gone", false, true, 1, 1, 1},
        {"not a GUID, dialog cancelled", two, two, "{not-a-guid}", "B", false, false, -1, 1, 1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        ResetAudioEngine();
        FakeBackend& fake = UseFake(c.playback, c.capture);
        fake.defaultPlayback = c.playback.back().name;
        fake.defaultCapture = c.capture.back().name;
        DeleteSettingValue(kSettingTwoAttempts, kProductKey, "DSPlayDevice");
        DeleteSettingValue(kSettingTwoAttempts, kProductKey, "DSCaptureDevice");
        auto text = [](const std::string& saved) {
            return saved.starts_with("{") ? saved : DeviceIdText(FakeBackend::Id(saved));
        };
        if (!c.savedPlay.empty()) Save("DSPlayDevice", text(c.savedPlay));
        if (!c.savedCapture.empty()) Save("DSCaptureDevice", text(c.savedCapture));
        AudioEngine().followSystemDefaults = c.follow;
        int dialogs = 0;
        SetAudioDevicesPresenter([&](AudioDevicesDialog& dialog) {
            ++dialogs;
            EXPECT_TRUE(dialog.FromCheck());
            dialog.SelectPlayback(int(dialog.PlaybackTexts().size()) - 1);
            dialog.SelectCapture(int(dialog.CaptureTexts().size()) - 1);
            return c.dialogAnswersOk;
        });
        ScopedRecordingSink sink;
        const bool ok = CheckAudioDevices();
        EXPECT_EQ(ok, c.expectPlay >= 0 && c.expectCapture >= 0);
        EXPECT_EQ(AudioEngine().playbackIndex, c.expectPlay);
        EXPECT_EQ(AudioEngine().captureIndex, c.expectCapture);
        EXPECT_EQ(dialogs, c.expectDialogs);
        if (ok) {
            EXPECT_TRUE(sink.Messages().empty());
        } else {
            EXPECT_EQ(sink.Texts(), std::vector<std::string>{
                                        "CheckAudioDevices: Unable to find appropriate audio "
                                        "devices."});
        }
    }
}

TEST_F(AudioDevices, ChosenIdentitiesSurviveARestartWithTheDevicesInAnotherOrder)
{
    UseFake({{"A"}, {"B"}, {"C"}}, {{"M"}, {"N"}});
    SetAudioDevicesPresenter([](AudioDevicesDialog& dialog) {
        dialog.SelectPlayback(2);
        dialog.SelectCapture(1);
        return true;
    });
    ASSERT_TRUE(CheckAudioDevices());
    std::string play;
    ASSERT_TRUE(ReadSettingText(kSettingTwoAttempts, kProductKey, "DSPlayDevice", play,
                                kSettingNameSize));
    EXPECT_EQ(play, DeviceIdText(FakeBackend::Id("C")));

    // The next run lists the devices in another order and shows no dialog.
    ResetAudioEngine();
    FakeBackend& fake = UseFake({{"C"}, {"A"}, {"B"}}, {{"N"}, {"M"}, {"O"}});
    int dialogs = 0;
    SetAudioDevicesPresenter([&](AudioDevicesDialog&) { return ++dialogs, false; });
    ASSERT_EQ(InitDirectSound(kCd, true), 0);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(AudioEngine().playbackIndex, 0);
    EXPECT_EQ(AudioEngine().captureIndex, 0);
    EXPECT_EQ(AudioEngine().playbackDevice->Description(), "C");
    EXPECT_EQ(AudioEngine().captureDevice->Description(), "N");
    EXPECT_EQ(fake.opens["A"], 0);
}

TEST_F(AudioDevices, StartAndShutdownOnTheBackendsWithoutHardware)
{
    const char* kChoices[] = {"null", "file:fast", "file:out=OUT,fast"};
    for (const char* choice : kChoices) {
        std::string text = choice;
        if (const size_t at = text.find("OUT"); at != std::string::npos)
            text.replace(at, 3, PathOf("out.wav"));
        SCOPED_TRACE(text);
        ResetAudioEngine();
        setenv("TANDREL_AUDIO", text.c_str(), 1);
        ScopedRecordingSink sink;
        ASSERT_EQ(StartAudioDevices(), 0);
        AudioEngineState& engine = AudioEngine();
        EXPECT_EQ(std::string(engine.backend->Name()), text.substr(0, 4));
        EXPECT_EQ(engine.playbackIndex, 0);
        EXPECT_EQ(engine.captureIndex, 0);
        ASSERT_NE(engine.playbackDevice, nullptr);
        ASSERT_NE(engine.captureDevice, nullptr);
        EXPECT_EQ(engine.captureBuffer, nullptr); // only while recording is armed
        // Nothing saved: the recording format is CD quality, and the output runs in it.
        EXPECT_EQ(engine.recordingFormat, kCd);
        EXPECT_EQ(engine.playbackDevice->OutputFormat(), (PcmFormat{44100, 16, 2}));
        EXPECT_EQ(engine.primaryFormat, kCd);
        EXPECT_EQ(engine.maxFrequency, 100000u);
        ASSERT_NE(engine.bogusBuffer, nullptr);
        EXPECT_EQ(engine.bogusBuffer->Bytes(), 176400u / 4);
        EXPECT_EQ(engine.bogusBuffer->Status(), kBufferPlaying | kBufferLooping);
        EXPECT_TRUE(sink.Messages().empty());

        EXPECT_EQ(ShutdownDirectSound(), 0);
        EXPECT_EQ(engine.playbackDevice, nullptr);
        EXPECT_EQ(engine.captureDevice, nullptr);
        EXPECT_EQ(engine.bogusBuffer, nullptr);
        EXPECT_EQ(engine.playbackIndex, -1);
        EXPECT_EQ(engine.captureIndex, -1);
        EXPECT_FALSE(engine.needsCaptureNotify);
        // The lists stay for the whole run; opening again finds the same devices.
        EXPECT_EQ(engine.playbackDevices.size(), 1u);
        EXPECT_EQ(InitDirectSound(kCd, true), 0);
        EXPECT_NE(engine.bogusBuffer, nullptr);
    }
}

TEST_F(AudioDevices, TheDeglitchingBufferPlaysSilenceIntoTheOutput)
{
    UseEnvironment("file:out=" + PathOf("out.wav") + ",fast");
    const AudioFormat kinds[] = {Format(22050, 8, 1), Format(11025, 16, 2)};
    for (const AudioFormat& format : kinds) {
        ASSERT_EQ(InitDirectSound(format, true), 0);
        SoundBuffer& bogus = *AudioEngine().bogusBuffer;
        // A quarter second in whole frames, in the format's own width.
        const uint32_t align = format.blockAlign;
        EXPECT_EQ(bogus.Bytes(), format.avgBytesPerSec / 4 / align * align);
        EXPECT_EQ(bogus.Format().bits, format.bitsPerSample);
        EXPECT_EQ(bogus.Bytes() % align, 0u);
        LockedRegions regions;
        ASSERT_EQ(bogus.Lock(0, 0, regions, kLockEntireBuffer), kAudioOk);
        const uint8_t silence = format.bitsPerSample == 8 ? 0x80 : 0;
        uint32_t loud = 0;
        for (uint32_t i = 0; i < regions.size[0]; ++i) loud += regions.data[0][i] != silence;
        EXPECT_EQ(loud, 0u);
        bogus.Unlock(regions);
        // A second of output: a buffer played once would have stopped after a quarter.
        ASSERT_EQ(AudioEngine().playbackDevice->Pump(format.sampleRate), kAudioOk);
        EXPECT_EQ(bogus.Status(), kBufferPlaying | kBufferLooping);
        ShutdownDirectSound();
    }
}

TEST_F(AudioDevices, OpeningFailuresAreReportedAndReturned)
{
    struct Case
    {
        const char* what;
        FakeDevice playback, capture;
        std::string message; // between "InitDirectSound: Unable to " and the status
        bool capturing, playing, bogus;
    };
    const Case kCases[] = {
        {"capture refused", {"Out"}, {"In", true}, "obtain record access to the audio backend",
         false, false, false},
        {"playback refused", {"Out", true}, {"In"}, "obtain playback access to the audio backend",
         true, false, false},
        // The output keeps its old format, and the de-glitching buffer is made all the same.
        {"format refused", {"Out", false, true}, {"In"}, "set format of primary playback buffer",
         true, true, true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        ResetAudioEngine();
        UseFake({c.playback}, {c.capture});
        int mixerBindings = 0;
        AudioDeviceHooks hooks;
        hooks.openMixer = [&](const AudioDeviceEntry*, const AudioDeviceEntry*) { ++mixerBindings; };
        SetAudioDeviceHooks(hooks);
        // Chosen beforehand, without the check: its capture test would drop a device that
        // cannot be opened.
        EnumerateAudioDevices();
        AudioEngine().playbackIndex = 0;
        AudioEngine().captureIndex = 0;
        ScopedRecordingSink sink;
        EXPECT_EQ(InitDirectSound(Format(22050, 16, 1), false), kAudioDeviceFailed);
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{"InitDirectSound: Unable to " + c.message +
                                                         " (" + Hex(kAudioDeviceFailed) + ")."});
        EXPECT_EQ(AudioEngine().captureDevice != nullptr, c.capturing);
        EXPECT_EQ(AudioEngine().playbackDevice != nullptr, c.playing);
        EXPECT_EQ(AudioEngine().bogusBuffer != nullptr, c.bogus);
        EXPECT_EQ(mixerBindings, 0);
        ShutdownDirectSound();
        EXPECT_EQ(AudioEngine().captureDevice, nullptr);
        EXPECT_EQ(AudioEngine().playbackDevice, nullptr);
    }
}

TEST_F(AudioDevices, WithoutOpenDevicesNothingIsOpenedOrReported)
{
    FakeBackend& fake = UseFake({{"Out"}}, {{"In"}});
    AudioEngine().audioEnabled = false;
    ScopedRecordingSink sink;
    EXPECT_EQ(InitDirectSound(kCd, true), kAudioFailed);
    EXPECT_TRUE(fake.opens.empty());
    EXPECT_EQ(AudioEngine().playbackDevice, nullptr);
    EXPECT_EQ(ChangeDirectSoundFormat(kCd), kAudioNotOpen);
    EXPECT_EQ(CreateBogusBuffer(kCd), kAudioNotOpen);
    EXPECT_EQ(CreateRecordBuffer(2, kCd), kAudioNotOpen);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(AudioDevices, PlaybackBuffersAreSecondsOfTheFormatAndReplaceTheOldOne)
{
    UseEnvironment("null");
    ASSERT_EQ(InitDirectSound(kCd, true), 0);
    struct Case
    {
        uint32_t seconds, rate, bits, channels;
        uint32_t bytes;
        bool volumeAndNotify;
    };
    const Case kCases[] = {
        {1, 44100, 16, 2, 176400, false}, {2, 44100, 16, 2, 352800, true},
        {2, 22050, 8, 1, 44100, true},    {1, 8000, 8, 2, 16000, false},
        {2, 48000, 16, 1, 192000, false},
    };
    for (const Case& c : kCases) {
        std::unique_ptr<SoundBuffer> buffer;
        uint32_t bytes = 0;
        const AudioFormat format = Format(c.rate, c.bits, c.channels);
        ASSERT_EQ(CreatePlaybackBuffer(c.seconds, format, buffer, bytes, c.volumeAndNotify), 0);
        EXPECT_EQ(bytes, c.bytes) << c.rate << " " << c.bits << " " << c.channels;
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer->Bytes(), c.bytes);
        EXPECT_EQ(buffer->Format(), (PcmFormat{c.rate, uint16_t(c.bits), uint16_t(c.channels)}));
        EXPECT_EQ(buffer->Status(), 0u); // stopped until the stream fills it
    }
    // A stream that makes its buffer over and over holds one buffer of the device, not one
    // more each time.
    std::unique_ptr<SoundBuffer> buffer;
    uint32_t bytes = 0;
    for (size_t i = 0; i < 2 * kMaxSoundBuffers; ++i)
        ASSERT_EQ(CreatePlaybackBuffer(1, kCd, buffer, bytes, false), 0) << i;

    ScopedRecordingSink sink;
    EXPECT_EQ(CreatePlaybackBuffer(1, Format(50, 16, 2), buffer, bytes, false), kAudioInvalidParam);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{
                                "CreatePlaybackBuffer: Unable to create secondary playback "
                                "buffer (" + Hex(kAudioInvalidParam) + ")."});

    ShutdownDirectSound();
    sink.Clear();
    EXPECT_EQ(CreatePlaybackBuffer(1, kCd, buffer, bytes, false), kAudioNotOpen);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(AudioDevices, RecordBufferWithNotificationsCutsTheRingIntoSixtyEvents)
{
    struct Case
    {
        AudioFormat format;
        uint32_t seconds;
        uint32_t ringBytes;
        uint32_t step;
    };
    const Case kCases[] = {
        {kCd, 2, 352800, 5880},
        {Format(22050, 16, 1), 2, 88200, 1470},
        {Format(8000, 8, 1), 2, 16000, 266},
        {Format(48000, 16, 2), 1, 192000, 3200},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.format.sampleRate);
        ResetAudioEngine();
        UseEnvironment("file:fast");
        EnumerateAudioDevices();
        AudioEngine().captureDevices[0].needsCaptureNotify = true;
        ASSERT_EQ(InitDirectSound(kCd, true), 0);
        ASSERT_TRUE(AudioEngine().needsCaptureNotify);
        AudioEngine().captureReadOffset = 123;
        AudioEngine().captureSecondOffset = 456;
        ASSERT_EQ(CreateRecordBuffer(c.seconds, c.format), 0);
        AudioEngineState& engine = AudioEngine();
        EXPECT_EQ(engine.recordBufferBytes, c.ringBytes);
        EXPECT_EQ(engine.captureBuffer->Bytes(), c.ringBytes);
        EXPECT_EQ(engine.captureReadOffset, 0u);
        EXPECT_EQ(engine.captureSecondOffset, 0u);
        for (uint32_t k = 1; k <= 60; ++k) {
            EXPECT_EQ(engine.captureNotifications[k - 1].offset, k * c.step - 1) << k;
            ASSERT_NE(engine.captureEvents[k - 1], nullptr);
            EXPECT_EQ(engine.captureNotifications[k - 1].event, engine.captureEvents[k - 1].get());
        }
        EXPECT_EQ(engine.captureNotifications[60].offset, 0xFFFFFFFFu);
        EXPECT_EQ(engine.captureNotifications[60].event, engine.captureEvents[60].get());

        // The events fire as the input passes them: one segment signals the first only.
        CaptureBuffer& ring = *engine.captureBuffer;
        ASSERT_EQ(ring.Start(true), kAudioOk);
        ASSERT_EQ(engine.captureDevice->Pump(c.step / c.format.blockAlign + 1), kAudioOk);
        EXPECT_TRUE(engine.captureEvents[0]->Test());
        EXPECT_FALSE(engine.captureEvents[1]->Test());
        EXPECT_FALSE(engine.captureEvents[60]->Test());
        ring.Stop();
        EXPECT_TRUE(engine.captureEvents[60]->Test());

        ReleaseRecordBuffer();
        EXPECT_EQ(engine.captureBuffer, nullptr);
        for (const auto& event : engine.captureEvents) EXPECT_EQ(event, nullptr);
    }
}

TEST_F(AudioDevices, RecordBufferRules)
{
    ScopedRecordingSink sink;
    UseEnvironment("null");
    ASSERT_EQ(InitDirectSound(kCd, true), 0);
    AudioEngineState& engine = AudioEngine();
    // Without notification the recorder reads positions: no events.
    ASSERT_EQ(CreateRecordBuffer(2, kCd), 0);
    EXPECT_EQ(engine.recordBufferBytes, 352800u);
    for (const auto& event : engine.captureEvents) EXPECT_EQ(event, nullptr);
    // A device takes one ring at a time: the second works only if the first was released.
    ASSERT_EQ(CreateRecordBuffer(2, Format(8000, 16, 1)), 0);
    EXPECT_EQ(engine.captureBuffer->Bytes(), 32000u);

    EXPECT_EQ(CreateRecordBuffer(2, Format(44100, 12, 2)), kAudioInvalidParam);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"CreateRecordBuffer: Unable to create record "
                                                     "buffer (" + Hex(kAudioInvalidParam) + ")"});
    EXPECT_EQ(engine.captureBuffer, nullptr);
    EXPECT_EQ(engine.recordBufferBytes, 0u);

    // A ring whose length does not divide a minute still keeps every event inside it.
    ASSERT_EQ(CreateRecordBuffer(7, Format(8000, 16, 1)), 0);
    ASSERT_EQ(SetupCaptureNotifications(16000, 7), 0);
    for (int k = 0; k < 60; ++k) EXPECT_LT(engine.captureNotifications[k].offset, 112000u) << k;
    EXPECT_EQ(SetupCaptureNotifications(16000, 0), kAudioInvalidParam);

    // Shutting down releases the ring and its events with the device.
    ShutdownDirectSound();
    EXPECT_EQ(engine.captureBuffer, nullptr);
    EXPECT_EQ(engine.captureEvents[0], nullptr);
}

TEST_F(AudioDevices, FormatChangesReachTheOutputAndTheStream)
{
    struct Case
    {
        AudioFormat format;
        bool audioOn;
        PcmFormat output;        // the device's output afterwards
        uint32_t targetFrequency;
        bool reported;
    };
    const Case kCases[] = {
        {Format(22050, 8, 1), true, {22050, 16, 1}, 22050, false},
        {Format(48000, 16, 2), true, {48000, 16, 2}, 48000, false},
        {Format(32000, 16, 1), false, {44100, 16, 2}, 32000, false},
        // A rate the output cannot take: reported, the output stays, the stream is clamped.
        {Format(192000, 16, 2), true, {44100, 16, 2}, 100000, true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.format.sampleRate);
        ResetAudioEngine();
        UseEnvironment("file:fast");
        ASSERT_EQ(InitDirectSound(kCd, true), 0);
        std::vector<uint32_t> frequencies;
        AudioDeviceHooks hooks;
        hooks.setMainTargetFrequency = [&](uint32_t hz) { frequencies.push_back(hz); };
        SetAudioDeviceHooks(hooks);
        AudioEngine().audioEnabled = c.audioOn;
        ScopedRecordingSink sink;
        ApplyAudioFormat(c.format);
        EXPECT_EQ(AudioEngine().playbackFormat, c.format);
        EXPECT_EQ(AudioEngine().playbackDevice->OutputFormat(), c.output);
        EXPECT_EQ(frequencies, std::vector<uint32_t>{c.targetFrequency});
        if (c.reported) {
            EXPECT_EQ(sink.Texts(), std::vector<std::string>{
                                        "ChangeDirectSoundFormat: Unable to set format of primary "
                                        "playback buffer (" + Hex(kAudioInvalidParam) + ")."});
            EXPECT_EQ(AudioEngine().bogusBuffer, nullptr);
        } else {
            EXPECT_TRUE(sink.Messages().empty());
            ASSERT_NE(AudioEngine().bogusBuffer, nullptr);
            // With audio off the de-glitching buffer is left as it was.
            const AudioFormat& bogus = c.audioOn ? c.format : kCd;
            EXPECT_EQ(AudioEngine().bogusBuffer->Format().rate, bogus.sampleRate);
            EXPECT_EQ(AudioEngine().bogusBuffer->Format().bits, bogus.bitsPerSample);
        }
    }
}

// The devices of a real sound server: PortAudio through ALSA's pulse plug-in to a private
// PulseAudio server with a null sink (scripts/pulse-server). Skipped without one.
TEST_F(AudioDevices, ThroughASoundServer)
{
    const char* server = std::getenv("PULSE_SERVER");
    if (!server || !*server)
        GTEST_SKIP() << "PULSE_SERVER is not set; scripts/pulse-server start runs a private server";
    UseEnvironment("portaudio");
    ASSERT_STREQ(AudioEngine().backend->Name(), "portaudio") << AudioEngine().backendDescription;
    // Following the system's defaults chooses without the dialog, though the server is
    // reached through two devices ("pulse" and "default").
    AudioEngine().followSystemDefaults = true;
    ScopedRecordingSink sink;
    LoadDefaultFormat();
    ASSERT_EQ(InitDirectSound(kCd, true), 0) << (sink.Texts().empty() ? "" : sink.Texts()[0]);
    AudioEngineState& engine = AudioEngine();
    ASSERT_GE(engine.playbackIndex, 0);
    EXPECT_EQ(engine.playbackDevices[engine.playbackIndex].identity, engine.defaultPlayback);
    EXPECT_EQ(engine.bogusBuffer->Status(), kBufferPlaying | kBufferLooping);

    // The capture ring fills from the sink's monitor: its position moves.
    ASSERT_EQ(CreateRecordBuffer(kRecordBufferSeconds, kCd), 0);
    ASSERT_EQ(engine.captureBuffer->Start(true), kAudioOk);
    uint32_t position = 0;
    for (int i = 0; i < 200 && position == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        engine.captureBuffer->GetCurrentPosition(nullptr, &position);
    }
    EXPECT_GT(position, 0u);
    EXPECT_EQ(ShutdownDirectSound(), 0);
    EXPECT_TRUE(sink.Messages().empty());
}

} // namespace
} // namespace tandrel::test
