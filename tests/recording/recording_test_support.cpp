#include "recording_test_support.h"

#include <cstdlib>
#include <fstream>

#include "audio/audio_devices.h"
#include "audio/gain_control.h"
#include "engine/transport.h"
#include "editing_test_support.h"
#include "library/library_account.h"
#include "platform/audio/sound_device.h"
#include "recording/capture_drain.h"
#include "recording/recorder.h"
#include "settings/path_checks.h"
#include "settings/storage.h"

namespace tandrel::test {

Bytes NoiseSamples(uint32_t seconds)
{
    Bytes data(size_t(seconds) * kBytesPerSecond);
    uint32_t state = 0x2545F491;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        state = state * 1664525u + 1013904223u;
        // Kept inside +-30000 so that mixing and folding never saturate by chance.
        const auto sample = int16_t(int32_t(state >> 16) % 30000);
        data[i] = uint8_t(sample & 0xFF);
        data[i + 1] = uint8_t((sample >> 8) & 0xFF);
    }
    return data;
}

Bytes WavData(const std::string& path)
{
    Bytes file = ReadAll(path);
    return file.size() <= 44 ? Bytes() : Bytes(file.begin() + 44, file.end());
}

void RecordingTest::SetUp()
{
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    setenv("HOME", dir.Path().c_str(), 1);
    KeepStorageFolder(dir.File("storage"));
    library = StoragePath(StorageSubfolder::Library);
    ASSERT_TRUE(CreateFolderPath(library));
    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    ASSERT_TRUE(CreateFolderPath(account.Folder()));

    input = NoiseSamples(8);
    WriteWav(dir.File("input.wav"), input);
    main = std::make_unique<AudioStream>(2, false, false, 0);
    InstallAudioShell(&audioShell);
    InstallRecorderShell(&shell);
    Transport() = TransportState(); // no capture armed by an earlier test
    InstallRecorder();
    Recorder() = RecorderState();
    OpenEngine("file:in=" + dir.File("input.wav") + ",out=" + dir.File("output.wav") + ",fast");
}

void RecordingTest::TearDown()
{
    main.reset();
    CloseAudioEngine();
    Recorder() = RecorderState();
    InstallRecorderShell(nullptr);
    InstallAudioShell(nullptr);
    AudioEngine().needsCaptureNotify = false;
    unsetenv("TANDREL_AUDIO");
}

void RecordingTest::OpenEngine(const std::string& choice)
{
    setenv("TANDREL_AUDIO", choice.c_str(), 1);
    CloseAudioEngine();
    LoadDefaultFormat();
    AgcLoadSettings();
    EnsureAudioBackend();
    EnumerateAudioDevices();
    ASSERT_TRUE(ChooseAudioDevices());
    AudioEngine().audioEnabled = true;
    ASSERT_EQ(InitDirectSound(AudioEngine().recordingFormat, false), 0);
}

void RecordingTest::RecordBytes(uint64_t bytes)
{
    ASSERT_NE(AudioEngine().captureDevice, nullptr);
    const uint64_t target = RecordedBytes() + bytes;
    for (int turns = 0; RecordedBytes() < target; ++turns) {
        ASSERT_LT(turns, 100000) << "the recording does not move";
        const uint64_t frames = std::min<uint64_t>(kRate / 100, (target - RecordedBytes()) / kFrameBytes);
        ASSERT_EQ(AudioEngine().captureDevice->Pump(uint32_t(std::max<uint64_t>(frames, 1))), kAudioOk);
        ASSERT_EQ(WriteRecordedData(), 0);
    }
}

void RecordingTest::PumpUnrecorded(uint32_t frames)
{
    for (uint32_t done = 0; done < frames;) {
        const uint32_t step = std::min(frames - done, kRate / 100);
        ASSERT_EQ(AudioEngine().captureDevice->Pump(step), kAudioOk);
        MonitorInput();
        done += step;
    }
}

std::string RecordingTest::EditPath(const std::string& title) const
{
    Account account;
    EXPECT_TRUE(ActiveAccount(account));
    return account.EditPath(title);
}

Bytes RecordingTest::Render(const std::string& path) const
{
    EditView view(2);
    if (!view.OpenView(path, true)) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    return RenderAll(view);
}

Bytes RecordingTest::Input(uint64_t from, uint64_t count) const
{
    return Bytes(input.begin() + long(from), input.begin() + long(from + count));
}

} // namespace tandrel::test
