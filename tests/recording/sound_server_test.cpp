// A recording from the real sound server: what another program plays into the null sink of
// the test server comes back through its monitor into a new Edit.
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <thread>

#include "audio/audio_devices.h"
#include "recording/capture_drain.h"
#include "recording/recorder.h"
#include "recording_test_support.h"

namespace tandrel::test {
namespace {

constexpr double kToneHz = 1000;

Bytes Tone(uint32_t seconds)
{
    Bytes data(size_t(seconds) * kBytesPerSecond);
    for (size_t frame = 0; frame < data.size() / kFrameBytes; ++frame) {
        const auto s = int16_t(16000 * std::sin(2 * std::numbers::pi * kToneHz * double(frame) / kRate));
        for (size_t side = 0; side < 2; ++side) {
            data[frame * 4 + side * 2] = uint8_t(s & 0xFF);
            data[frame * 4 + side * 2 + 1] = uint8_t((s >> 8) & 0xFF);
        }
    }
    return data;
}

class SoundServer : public RecordingTest
{
};

TEST_F(SoundServer, RecordsWhatIsPlayedIntoTheNullSink)
{
    if (!std::getenv("PULSE_SERVER"))
        GTEST_SKIP() << "PULSE_SERVER is not set: run under scripts/test, or start "
                        "scripts/pulse-server";
    if (std::system("command -v paplay >/dev/null") != 0) GTEST_SKIP() << "paplay is not installed";
    WriteWav(dir.File("tone.wav"), Tone(2));
    AudioEngine().followSystemDefaults = true;
    OpenEngine("portaudio");
    Recorder().presetTitle = "From the server";
    RecordCommand();
    ASSERT_EQ(CurrentRecordingKind(), kNewRecording);

    const std::string play = "paplay '" + dir.File("tone.wav") + "'";
    std::thread player([&] { std::system(play.c_str()); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3000);
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_EQ(WriteRecordedData(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    player.join();
    StopRecording();

    const Bytes recorded = Render(EditPath("From the server"));
    ASSERT_GE(recorded.size(), 2 * kBytesPerSecond);
    // The loud stretch is the tone: long enough, and crossing zero at its frequency.
    size_t loudFrames = 0, crossings = 0;
    int16_t previous = 0;
    for (size_t frame = 0; frame < recorded.size() / kFrameBytes; ++frame) {
        const auto left = int16_t(uint16_t(recorded[frame * 4] | recorded[frame * 4 + 1] << 8));
        if (std::abs(int32_t(left)) > 8000) ++loudFrames;
        if (std::abs(int32_t(left)) > 200 || std::abs(int32_t(previous)) > 200) {
            if ((previous < 0) != (left < 0)) ++crossings;
        }
        previous = left;
    }
    EXPECT_GT(loudFrames, kRate / 2) << "the tone is not in the recording";
    // Two crossings per period; the tone lasts about two seconds of the recording.
    EXPECT_NEAR(double(crossings) / 2 / 2, kToneHz, kToneHz * 0.1);
}

} // namespace
} // namespace tandrel::test
