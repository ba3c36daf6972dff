// tandrel-cli play, the real binary: through the fast File device (exact bytes), and through
// PortAudio into the test PulseAudio server's null sink, captured again from its monitor.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "edit_test_support.h"
#include "platform/audio/wav_file.h"

namespace tandrel::test {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kRate = 44100;
constexpr int16_t kAmplitude = 16384; // -6 dBFS

// A stereo 16-bit Edit of a 1 kHz tone, `seconds` long.
std::vector<int16_t> MakeToneEdit(const std::string& path, double seconds)
{
    std::vector<int16_t> samples;
    const size_t frames = size_t(seconds * kRate);
    for (size_t i = 0; i < frames; ++i) {
        const int16_t s = int16_t(std::lround(kAmplitude * std::sin(2 * kPi * 1000.0 * i / kRate)));
        samples.push_back(s);
        samples.push_back(s);
    }
    EditFile edit;
    edit.channels = 2;
    edit.sampleRate = kRate;
    edit.bitsPerSample = 16;
    EXPECT_TRUE(edit.EditOpen(path, true, false));
    Bytes bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    uint64_t start = 0, end = 0;
    EXPECT_TRUE(AppendData(edit, bytes, start, end));
    EXPECT_TRUE(edit.EditPushStep({BaseStep(bytes.size())}));
    edit.EditClose();
    return samples;
}

// Runs the command line through the shell; returns its exit status and what it printed.
int RunCli(const std::string& command, std::string& out)
{
    out.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PlayCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("HOME", dir.Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir.Path() / "config").c_str(), 1);
    }
    void TearDown() override { unsetenv("TANDREL_AUDIO"); }
    TempDir dir;
};

TEST_F(PlayCommandTest, FastFileDeviceGetsTheEditsAudio)
{
    const std::vector<int16_t> tone = MakeToneEdit(dir.File("tone.kdw"), 1.3);
    setenv("TANDREL_AUDIO", ("file:out=" + dir.File("out.wav") + ",fast").c_str(), 1);
    const std::string play = std::string(TANDREL_CLI_PATH) + " play " + dir.File("tone.kdw");
    struct Case { const char* args; size_t fromFrame, toFrame; bool reverse; };
    const Case cases[] = {
        {"", 0, tone.size() / 2, false},
        {" --from 40000 --to 120000", 10000, 30000, false},
        {" --reverse --from 120000 --to 40000", 10000, 30000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::string out;
        ASSERT_EQ(RunCli(play + c.args, out), 0) << out;
        EXPECT_NE(out.find("underruns: 0\n"), std::string::npos) << out;
        WavSource wav;
        std::string error;
        ASSERT_TRUE(wav.Open(dir.File("out.wav"), error)) << error;
        std::vector<int16_t> written(size_t(kRate) * 4 * 2);
        written.resize(wav.Read(written.data(), kRate * 4) * 2);
        std::vector<int16_t> expected(tone.begin() + 2 * c.fromFrame, tone.begin() + 2 * c.toFrame);
        if (c.reverse) std::reverse(expected.begin(), expected.end()); // both channels alike
        const auto at = std::search(written.begin(), written.end(), expected.begin(), expected.end());
        ASSERT_NE(at, written.end());
        EXPECT_TRUE(std::all_of(at + expected.size(), written.end(), [](int16_t s) { return !s; }));
    }
    std::string out;
    EXPECT_EQ(RunCli(play + " --selection", out), 1) << "a new Edit has no selection";
    EXPECT_EQ(RunCli(play + " --from 9 --to 8", out), 2);
}

// Raw s16le stereo that parec wrote so far.
std::vector<int16_t> ReadRaw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Polls `done` every 10 ms for up to `timeoutMs`.
bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

TEST_F(PlayCommandTest, PortAudioPlaysTheToneIntoTheNullSink)
{
    if (!std::getenv("PULSE_SERVER"))
        GTEST_SKIP() << "PULSE_SERVER is not set: run under scripts/test, or start "
                        "scripts/pulse-server, to play through a real sound server";
    const double seconds = 2.0;
    MakeToneEdit(dir.File("tone.kdw"), seconds);
    const std::string captured = dir.File("captured.raw");

    const pid_t recorder = fork();
    ASSERT_GE(recorder, 0);
    if (recorder == 0) {
        std::freopen(captured.c_str(), "wb", stdout);
        execlp("parec", "parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
               "--latency-msec=20", "-d", "test.monitor", static_cast<char*>(nullptr));
        _exit(127);
    }
    // The monitor delivers silence as soon as the recorder is connected.
    ASSERT_TRUE(WaitFor([&] { return !ReadRaw(captured).empty(); }, 10000)) << "parec never recorded";
    setenv("TANDREL_AUDIO", "portaudio", 1);
    // Under the sanitizers: ALSA's plug-ins, loaded and unloaded by PortAudio, leave their
    // constructors' allocations behind (made under _dl_init, never the program's).
    std::ofstream(dir.File("lsan.supp")) << "leak:_dl_init\n";
    const std::string sanitizers = "ASAN_OPTIONS=fast_unwind_on_malloc=0 LSAN_OPTIONS=suppressions=" +
                                   dir.File("lsan.supp") + " ";
    std::string out;
    const int status = RunCli(
        sanitizers + std::string(TANDREL_CLI_PATH) + " play " + dir.File("tone.kdw"), out);
    // The recording is complete once a tenth of a second of quiet follows the tone.
    std::vector<int16_t> s;
    WaitFor([&] {
        s = ReadRaw(captured);
        size_t quiet = 0, frame = s.size() / 2;
        while (frame > 0 && std::abs(s[2 * (frame - 1)]) <= 2000) --frame, ++quiet;
        return frame > 0 && quiet >= kRate / 10;
    }, 10000);
    kill(recorder, SIGTERM);
    waitpid(recorder, nullptr, 0);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("underruns: 0\n"), std::string::npos) << out;

    // The tone is where the left channel is loud; it must be there whole, at its level and
    // frequency, with no gap inside.
    const size_t frames = s.size() / 2;
    size_t first = frames, last = 0;
    for (size_t i = 0; i < frames; ++i)
        if (std::abs(s[2 * i]) > 2000) {
            first = std::min(first, i);
            last = i;
        }
    ASSERT_LT(first, last) << "no tone captured (" << frames << " frames)";
    const double heard = double(last - first + 1) / kRate;
    EXPECT_NEAR(heard, seconds, 0.01);

    int peak = 0;
    size_t crossings = 0;
    size_t quietRun = 0, longestQuiet = 0;
    for (size_t i = first; i <= last; ++i) {
        peak = std::max(peak, std::abs(int(s[2 * i])));
        if (i > first && (s[2 * (i - 1)] < 0) != (s[2 * i] < 0)) ++crossings;
        quietRun = std::abs(s[2 * i]) < 2000 ? quietRun + 1 : 0;
        longestQuiet = std::max(longestQuiet, quietRun);
        EXPECT_EQ(s[2 * i], s[2 * i + 1]) << "channels differ at frame " << i - first;
        if (s[2 * i] != s[2 * i + 1]) break;
    }
    EXPECT_NEAR(peak, kAmplitude, kAmplitude * 0.02);
    EXPECT_NEAR(double(crossings) / 2 / heard, 1000.0, 2.0) << "the tone's frequency";
    // Near a zero crossing a -6 dB 1 kHz tone stays under 2000 for about 3 samples.
    EXPECT_LE(longestQuiet, 8u) << "a dropout inside the tone";
}

} // namespace
} // namespace tandrel::test
