// Streams played through the File device in its fast mode: the service loop runs as the
// program runs it, one pass per millisecond of audio pumped, and the WAV the device writes
// is compared with the Edit rendered through an EditView of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "audio/format_converter.h"
#include "audio/output_mode.h"
#include "engine/service_loop.h"
#include "engine/transport.h"
#include "edit_test_support.h"
#include "platform/audio/wav_file.h"

namespace tandrel::test {
namespace {

/** Records what the streams tell the rest of the program. */
struct RecordingShell : AudioShell
{
    std::vector<std::pair<bool, uint32_t>> finished;
    void PostPlayerFinished(bool isDeck, uint32_t index) override
    {
        finished.emplace_back(isDeck, index);
    }
};

using Samples = std::vector<int16_t>;

// The Edit's rendered bytes, read window by window through a view of its own.
Bytes RenderThroughView(const std::string& path)
{
    EditView view(2, true);
    if (!view.OpenView(path, true)) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    Bytes out;
    while (out.size() < view.length) {
        const uint64_t at = out.size();
        view.SetCursor(std::min<uint64_t>(at + view.bufferBytes / 2, view.length), false);
        view.Render(false);
        const RingPieces pieces = view.ReadWindow(uint32_t(at - view.windowStart));
        for (int i = 0; i < 2; ++i)
            out.insert(out.end(), pieces.data[i], pieces.data[i] + pieces.size[i]);
        out.resize(std::min<uint64_t>(out.size(), view.length));
    }
    view.CloseView();
    return out;
}

// What the device makes of the bytes: 16-bit samples (8-bit ones widened).
Samples AsSamples(const Bytes& bytes, uint32_t bits)
{
    Samples s;
    if (bits == 8) {
        for (uint8_t b : bytes)
            s.push_back(int16_t((int(b) - 128) * 256));
    } else {
        s.resize(bytes.size() / 2);
        std::memcpy(s.data(), bytes.data(), s.size() * 2);
    }
    return s;
}

Samples ReverseFramesOf(const Samples& s, uint32_t channels)
{
    Samples r;
    for (size_t f = s.size() / channels; f-- > 0;)
        for (uint32_t c = 0; c < channels; ++c)
            r.push_back(s[f * channels + c]);
    return r;
}

// What an output mode makes of 16-bit stereo; other audio is left as it is.
void ApplyMode(int mode, Samples& s, const Format& f)
{
    if (f.channels != 2 || f.bits != 16) return;
    for (size_t i = 0; i + 1 < s.size(); i += 2) {
        const int32_t l = s[i], r = s[i + 1];
        int32_t out = 0;
        switch (mode) {
        case kOutputMonoMix: out = std::clamp(l + r, -32768, 32767); break;
        case kOutputMonoMix6dB: out = (l + r) >> 1; break;
        case kOutputMonoMix12dB: out = (l + r) >> 2; break;
        case kOutputLeftOnly: out = l; break;
        case kOutputRightOnly: out = r; break;
        default: continue;
        }
        s[i] = s[i + 1] = int16_t(out);
    }
}

class StreamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("HOME", dir.Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir.Path() / "config").c_str(), 1);
        setenv("TANDREL_AUDIO", ("file:out=" + dir.File("out.wav") + ",fast").c_str(), 1);
        CloseAudioEngine();
        AudioEngine().audioEnabled = true;
        InstallAudioShell(&shell);
        SetCurrentOutputMode(kOutputNormal);
    }
    void TearDown() override
    {
        InstallAudioShell(nullptr);
        SetCurrentOutputMode(kOutputNormal);
        CloseAudioEngine();
        unsetenv("TANDREL_AUDIO");
    }

    // Makes an Edit of `seconds` of the pattern, opens the devices in its format and
    // returns its rendered bytes.
    Bytes Prepare(Format format, double seconds)
    {
        this->format = format;
        path = dir.File("show.kdw");
        std::filesystem::remove(path);
        const uint64_t bytes =
            uint64_t(seconds * format.rate) * format.BlockAlign();
        EXPECT_TRUE(MakeEdit(path, format, bytes, bytes));
        AudioFormat record;
        MakeFormat(record, format.rate, format.bits, format.channels);
        AudioEngine().recordingFormat = record;
        AudioEngine().playbackFormat = record;
        EXPECT_EQ(InitDirectSound(record, true), 0);
        return RenderThroughView(path);
    }

    // Opens the Edit in `stream` and plays it from byte `from`.
    void Start(AudioStream& stream, uint64_t from = 0, bool reverse = false)
    {
        ASSERT_EQ(ManagerSetEdit(stream, path), 0);
        stream.reverse = reverse;
        stream.reader->SetCursor(from, false);
        ASSERT_EQ(stream.Play(), 0);
    }

    // The service loop as the program runs it: a pass, then a millisecond of audio.
    void Run(AudioStream& stream)
    {
        SoundDevice& device = *AudioEngine().playbackDevice;
        const uint32_t frames = std::max(1u, format.rate / 1000);
        const int limit = 200000;
        int turn = 0;
        for (; turn < limit && stream.State() != kStateStandby; ++turn) {
            ServiceAudio(false);
            ASSERT_EQ(device.Pump(frames), kAudioOk);
        }
        ASSERT_LT(turn, limit) << "the stream never stopped";
        device.Pump(format.rate / 10); // a tail of silence after the stop
        underruns = device.Underruns();
    }

    // Closes the devices and reads what they wrote.
    Samples Output()
    {
        CloseAudioEngine();
        WavSource wav;
        std::string error;
        if (!wav.Open(dir.File("out.wav"), error)) {
            ADD_FAILURE() << error;
            return {};
        }
        Samples out(size_t(format.rate) * 120 * wav.Format().channels);
        out.resize(wav.Read(out.data(), uint32_t(out.size() / wav.Format().channels)) *
                   wav.Format().channels);
        return out;
    }

    // The output holds `expected` once, with silence only before and after it.
    void ExpectPlayed(const Samples& out, const Samples& expected)
    {
        ASSERT_FALSE(expected.empty());
        const auto at = std::search(out.begin(), out.end(), expected.begin(), expected.end());
        ASSERT_NE(at, out.end()) << "the rendered audio is not in the output";
        EXPECT_TRUE(std::all_of(out.begin(), at, [](int16_t s) { return s == 0; }))
            << "sound before the play";
        EXPECT_TRUE(std::all_of(at + expected.size(), out.end(), [](int16_t s) { return s == 0; }))
            << "sound after the end";
        EXPECT_EQ(underruns, 0u);
    }

    TempDir dir;
    RecordingShell shell;
    Format format;
    std::string path;
    uint64_t underruns = 0;
};

struct PlayCase
{
    const char* name;
    Format format;
    double seconds;
    int mode = kOutputNormal;
    bool reverse = false;
    int64_t from = 0, to = -1; // frames; -1: to the end the play reaches by itself
    uint32_t speed = 1;        // times the Edit's rate
    int32_t volume = 0;        // hundredths of a decibel
};
const PlayCase kPlayCases[] = {
    {"stereo 16-bit, several rings", kStereo16, 3.3},
    {"stereo 16-bit, shorter than the ring", kStereo16, 0.3},
    {"mono 8-bit", {1, 8000, 8}, 2.05},
    {"stereo 16-bit at 11025 Hz (odd ring)", {2, 11025, 16}, 2.5},
    {"mono 16-bit, exactly two rings", {1, 22050, 16}, 2.0},
    {"reverse stereo", kStereo16, 2.7, kOutputNormal, true, 18600},
    {"reverse mono 8-bit", {1, 8000, 8}, 2.7, kOutputNormal, true, 18600},
    {"range", kStereo16, 3.0, kOutputNormal, false, 1000, 13001},
    {"range from the start", kStereo16, 3.0, kOutputNormal, false, 0, 7},
    {"reverse range", kStereo16, 3.0, kOutputNormal, true, 20000, 4321},
    {"mono mix", kStereo16, 1.6, kOutputMonoMix},
    {"mono mix -6 dB", kStereo16, 1.6, kOutputMonoMix6dB},
    {"mono mix -12 dB", kStereo16, 1.6, kOutputMonoMix12dB},
    {"left only", kStereo16, 1.6, kOutputLeftOnly},
    {"right only", kStereo16, 1.6, kOutputRightOnly},
    // Output modes leave mono and 8-bit audio as they are.
    {"mono mix of mono", {1, 8000, 16}, 1.6, kOutputMonoMix},
    {"left only of 8-bit", {2, 8000, 8}, 1.6, kOutputLeftOnly},
    // Twice the rate plays every second frame, and the cue still ends at the end.
    {"twice the rate", kStereo16, 2.2, kOutputNormal, false, 0, -1, 2},
    {"volume -6 dB", kStereo16, 2.2, kOutputNormal, false, 0, -1, 1, -600},
};

TEST_F(StreamTest, PlayWritesExactlyTheRenderedAudio)
{
    for (const PlayCase& c : kPlayCases) {
        SCOPED_TRACE(c.name);
        const Bytes rendered = Prepare(c.format, c.seconds);
        const uint64_t align = c.format.BlockAlign(), from = c.from * align;
        const uint64_t end = c.to >= 0 ? c.to * align : c.reverse ? 0 : rendered.size();
        SetCurrentOutputMode(c.mode);
        {
            AudioStream stream(2, false, false, 0);
            Start(stream, from, c.reverse);
            EXPECT_EQ(stream.State(), kStatePlaying);
            if (c.reverse) {
                EXPECT_EQ(stream.endPosition, 0u);
            }
            if (c.to >= 0) stream.SetEnd(end);
            if (c.speed != 1) stream.SetTargetFrequency(c.speed * c.format.rate);
            ASSERT_EQ(stream.secondary->SetVolume(c.volume), kAudioOk);
            Run(stream);
            EXPECT_EQ(stream.reader->cursor, end) << "the cue ends where the play ends";
            EXPECT_EQ(stream.targetFrequency, c.format.rate) << "a stop sets the Edit's rate back";
        }
        const auto [a, b] = std::minmax(from, end);
        Samples expected = AsSamples(Bytes(rendered.begin() + a, rendered.begin() + b), c.format.bits);
        if (c.reverse) expected = ReverseFramesOf(expected, c.format.channels);
        ApplyMode(c.mode, expected, c.format);
        const size_t ch = c.format.channels;
        if (c.speed != 1) {
            Samples kept;
            for (size_t i = 0; i + ch <= expected.size(); i += c.speed * ch)
                kept.insert(kept.end(), expected.begin() + i, expected.begin() + i + ch);
            expected = kept;
        }
        const int64_t gain = std::lround(65536.0 * std::pow(10.0, c.volume / 2000.0));
        for (int16_t& s : expected) s = int16_t((int64_t(s) * gain) >> 16);
        ExpectPlayed(Output(), expected);
    }
}

TEST_F(StreamTest, PlayersPostTheirEndOnce)
{
    struct PlayerCase
    {
        bool deck;
        uint32_t index;
        double seconds; // the ring is one second
        uint64_t startFrame;
    };
    const PlayerCase cases[] = {
        {false, 3, 0.4, 0}, // shorter than the ring
        {false, 20, 2.75, 100},
        {true, 1, 3.0, 0}, // a whole number of rings
    };
    for (const PlayerCase& c : cases) {
        SCOPED_TRACE(c.seconds);
        const Bytes rendered = Prepare(kStereo16, c.seconds);
        shell.finished.clear();
        {
            AudioStream player(2, !c.deck, c.deck, c.index);
            ASSERT_EQ(ManagerSetEdit(player, path), 0);
            ASSERT_EQ(player.PlayerStart(c.startFrame * 4, kNoEnd), 0);
            Run(player);
            EXPECT_EQ(player.playerTotal, rendered.size() - c.startFrame * 4);
            // Nothing more once stopped.
            for (int i = 0; i < 50; ++i)
                ServiceAudio(false);
        }
        ASSERT_EQ(shell.finished.size(), 1u);
        EXPECT_EQ(shell.finished[0], std::pair(c.deck, c.index));
        const Bytes played(rendered.begin() + c.startFrame * 4, rendered.end());
        ExpectPlayed(Output(), AsSamples(played, 16));
    }
}

TEST_F(StreamTest, APlayThatEndsByItselfListensToTheInputAgain)
{
    Prepare(kStereo16, 0.3);
    Transport() = TransportState{};
    AudioStream stream(2, false, false, 0);
    ASSERT_EQ(ManagerSetEdit(stream, path), 0);
    ASSERT_TRUE(ArmRecording(stream));
    TransportCommand(stream, kTransportPlay, false);
    EXPECT_FALSE(Transport().recordingArmed) << "the input rests while playing";
    Run(stream);
    ServiceAudio(false);
    EXPECT_TRUE(Transport().recordingArmed);
    ASSERT_NE(AudioEngine().captureBuffer, nullptr);
    EXPECT_TRUE(AudioEngine().captureBuffer->Status() & kCaptureCapturing);
    DisarmRecording(stream);
}

TEST_F(StreamTest, StreamsWithoutAnEditOrAtItsEndDoNotPlay)
{
    const uint64_t end = Prepare(kStereo16, 1.0).size();
    AudioStream stream(2, false, false, 0);
    EXPECT_EQ(MainStream(), &stream);
    EXPECT_EQ(stream.Play(), -1);
    EXPECT_EQ(stream.State(), kStateStandby);
    EXPECT_EQ(ManagerSetEdit(stream, dir.File("missing.kdw")), -1);
    EXPECT_FALSE(stream.HasEdit());
    // Played from the end of its Edit, a stream goes straight back to standby.
    Start(stream, end);
    ServiceAudio(false);
    EXPECT_EQ(stream.State(), kStateStandby);
    EXPECT_EQ(stream.Stop(false), -1) << "already stopped";
}

/** A device whose output sits `latency` seconds in front of the speaker: the cue and the
    meters must lag the play cursor by that much. Pumped by hand like the fast File device. */
class LatentDevice : public SoundDevice
{
public:
    explicit LatentDevice(double latency) : SoundDevice("latent", 8000, 2), latency_(latency) {}
    ~LatentDevice() override { DetachAll(); }
    double OutputLatency() const override { return latency_; }
    int Pump(uint32_t frames) override
    {
        std::vector<int16_t> out(size_t(frames) * 2);
        Mix(out.data(), frames);
        return kAudioOk;
    }

private:
    double latency_;
};

struct MeterCountingShell : AudioShell
{
    int readings = 0;
    bool MetersOn() const override { return true; }
    void ShowMeterReading(int32_t, int32_t, bool, bool) override { ++readings; }
};

TEST_F(StreamTest, CueAndMetersFollowWhatIsHeardThroughALatentDevice)
{
    path = dir.File("show.kdw");
    ASSERT_TRUE(MakeEdit(path, kStereo16, 64000, 64000)); // 2 s at 8000 Hz
    AudioEngine().playbackDevice = std::make_unique<LatentDevice>(0.25); // 2000 frames
    MeterCountingShell shell;
    InstallAudioShell(&shell);

    struct Case
    {
        bool reverse;
        uint64_t from;
        uint64_t cueAfter, heardAfter; // after 600 ms
    };
    // 600 ms is 19200 bytes played; 250 ms (8000 bytes) of it is not heard yet.
    const Case cases[] = {{false, 0, 19200, 11200}, {true, 40000, 20800, 28800}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reverse);
        shell.readings = 0;
        AudioStream stream(2, false, false, 0);
        Start(stream, c.from, c.reverse);
        SoundDevice& device = *AudioEngine().playbackDevice;
        for (int ms = 0; ms < 600; ++ms) {
            ServiceAudio(false);
            if (ms == 100) {
                EXPECT_EQ(stream.HeardPosition(), c.from) << "nothing heard yet";
            }
            device.Pump(8);
        }
        ServiceAudio(false);
        EXPECT_EQ(stream.reader->cursor, c.cueAfter);
        EXPECT_EQ(stream.HeardPosition(), c.heardAfter);
        // Windows of 8000 / 30 = 266 frames (1064 bytes) from ring byte 0: those at or
        // before 11200 have been heard, 11 of them.
        EXPECT_EQ(shell.readings, 11);
        // A stop leaves the cue where the person stopped listening, so the line stays put
        // and the next play starts there.
        stream.Stop(false);
        EXPECT_EQ(stream.reader->cursor, c.heardAfter);
        EXPECT_EQ(stream.HeardPosition(), c.heardAfter);
        ASSERT_EQ(stream.Play(), 0);
        EXPECT_EQ(stream.playStart, c.heardAfter);
        // Played to its end, the cue stays at the end.
        for (int ms = 0; ms < 3000 && stream.State() != kStateStandby; ++ms) {
            ServiceAudio(false);
            device.Pump(8);
        }
        EXPECT_EQ(stream.reader->cursor, c.reverse ? 0u : 64000u);
    }
}

/** Counts what the service loop asks of the shell. */
struct ServiceShell : AudioShell
{
    int transportRefreshes = 0, recordedDrains = 0, monitorPasses = 0, faderSteps = 0;
    void RefreshTransport() override { ++transportRefreshes; }
    void WriteRecordedData() override { ++recordedDrains; }
    void MonitorInput() override { ++monitorPasses; }
    void AdvanceFaderMoves() override { ++faderSteps; }
};

TEST_F(StreamTest, ServiceStepsRunByStateAndScrubKeysAreServiced)
{
    ASSERT_TRUE(MakeEdit(dir.File("show.kdw"), kStereo16, 64000, 64000));
    AudioEngine().audioEnabled = false; // the logic alone, no device
    ServiceShell shell;
    InstallAudioShell(&shell);
    Transport() = TransportState{};
    {
        AudioStream stream(2, false, false, 0);
        ASSERT_EQ(ManagerSetEdit(stream, dir.File("show.kdw")), 0);
        ServiceAudio(false); // settles the state seen last by an earlier test
        shell = ServiceShell{};

        // Recording: the drain runs only from dialogs, and only while not paused.
        stream.recording = true;
        ServiceAudio(true);
        ServiceAudio(false);
        stream.recordPaused = true;
        ServiceAudio(true);
        EXPECT_EQ(shell.recordedDrains, 1);
        EXPECT_EQ(shell.transportRefreshes, 1) << "one refresh for the change of state";
        EXPECT_EQ(shell.monitorPasses, 3);
        EXPECT_EQ(shell.faderSteps, 3);
        stream.recording = stream.recordPaused = false;

        // Holding fast-forward scrubs at the Edit's rate; the input monitor pauses only
        // while plainly playing.
        shell = ServiceShell{};
        Transport().forwardHeld = true;
        ServiceAudio(false);
        EXPECT_EQ(stream.State(), kStateScrubbing);
        EXPECT_EQ(stream.targetFrequency, 8000u);
        ServiceAudio(true);
        EXPECT_EQ(shell.monitorPasses, 2) << "scrubbing is not playing";
        const int refreshes = shell.transportRefreshes;
        Transport().forwardHeld = false;
        ServiceAudio(false);
        EXPECT_EQ(shell.transportRefreshes, refreshes + 1) << "the release refreshes once";
        ServiceAudio(false);
        EXPECT_EQ(shell.transportRefreshes, refreshes + 1);
        stream.Stop(false);
    }
    Transport() = TransportState{};
    AudioEngine().audioEnabled = true;
}

} // namespace
} // namespace tandrel::test
