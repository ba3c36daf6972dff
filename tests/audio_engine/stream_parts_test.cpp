// The pieces around the streams: level meters, the record mixer and its mix rings, the
// sample-format helpers and frame reversal.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "audio/audio_shell.h"
#include "audio/level_meter.h"
#include "engine/record_mix.h"
#include "audio/sample_format.h"
#include "base/audio_samples.h"
#include "engine/stream_io.h"

namespace tandrel {
namespace {

struct MeterShell : AudioShell
{
    std::vector<std::tuple<int32_t, int32_t, bool, bool>> shown;
    int cleared = 0;
    void ShowMeterReading(int32_t l, int32_t r, bool lc, bool rc) override
    {
        shown.emplace_back(l, r, lc, rc);
    }
    void ClearMeterDisplays() override { ++cleared; }
};

class MeterTest : public ::testing::Test
{
protected:
    void SetUp() override { InstallAudioShell(&shell); }
    void TearDown() override { InstallAudioShell(nullptr); }
    MeterShell shell;
    LevelMeters meters;
};

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> b(samples.size() * 2);
    std::memcpy(b.data(), samples.data(), b.size());
    return b;
}

TEST_F(MeterTest, WindowsOfAThirtiethOfASecondGivePeaksAndClips)
{
    // 300 Hz: windows of 10 frames. Window 1: peaks 7 and |-32768|, the right clips twice;
    // window 2: a single full-scale sample on the left is not a clip.
    std::vector<int16_t> s(2 * 25, 0);
    s[0] = 7;
    s[2 * 3 + 1] = -32768;
    s[2 * 4 + 1] = 32767;
    s[2 * 5] = -5;
    s[2 * 12] = 32767;
    s[2 * 19 + 1] = -300;
    s[2 * 22] = 9999; // in the third window, still open at the end
    const auto bytes = Bytes16(s);
    meters.Meter(bytes.data(), uint32_t(bytes.size()), 16, 2, 300, true, 0);
    ASSERT_EQ(shell.shown.size(), 2u);
    EXPECT_EQ(shell.shown[0], std::make_tuple(7, 32768, false, true));
    EXPECT_EQ(shell.shown[1], std::make_tuple(32767, 300, false, false));
    // The open window carries into the next block.
    std::vector<int16_t> more(2 * 5, 0);
    const auto moreBytes = Bytes16(more);
    meters.Meter(moreBytes.data(), uint32_t(moreBytes.size()), 16, 2, 300, true, 0);
    ASSERT_EQ(shell.shown.size(), 3u);
    EXPECT_EQ(shell.shown[2], std::make_tuple(9999, 0, false, false));
}

TEST_F(MeterTest, MonoAndEightBitReadings)
{
    // Mono 8-bit at 60 Hz: windows of 2 frames; 0x00 is -32768 and clips, 0xFF is 32512.
    const uint8_t bytes[] = {0x00, 0x00, 0xFF, 0x80, 0x80, 0x81};
    meters.Meter(bytes, sizeof bytes, 8, 1, 60, true, 0);
    ASSERT_EQ(shell.shown.size(), 3u);
    EXPECT_EQ(shell.shown[0], std::make_tuple(32768, -1, true, false));
    EXPECT_EQ(shell.shown[1], std::make_tuple(32512, -1, false, false));
    EXPECT_EQ(shell.shown[2], std::make_tuple(256, -1, false, false));
}

TEST_F(MeterTest, PlaybackReadingsWaitForTheirPosition)
{
    // 300 Hz stereo: a window is 10 frames, 40 bytes. A block at position 1000 queues
    // readings at 1000, 1040 and 1080.
    std::vector<int16_t> s(2 * 30, 0);
    for (int w = 0; w < 3; ++w)
        s[2 * (10 * w)] = int16_t(100 * (w + 1));
    const auto bytes = Bytes16(s);
    meters.Meter(bytes.data(), uint32_t(bytes.size()), 16, 2, 300, false, 1000);
    EXPECT_TRUE(shell.shown.empty());
    ASSERT_EQ(meters.Queued(), 3u);
    EXPECT_EQ(meters.ShowUpTo(999), 0u);
    EXPECT_EQ(meters.ShowUpTo(1040), 2u);
    ASSERT_EQ(shell.shown.size(), 2u);
    EXPECT_EQ(std::get<0>(shell.shown[1]), 200);
    EXPECT_EQ(meters.Front().position, 1080u);
    meters.Clear();
    EXPECT_EQ(meters.Queued(), 0u);
    EXPECT_EQ(shell.cleared, 1);
}

TEST_F(MeterTest, AFullQueueDropsTheRestOfTheBlock)
{
    // 30 Hz mono: one frame per window, so each sample is a reading.
    std::vector<int16_t> s(300);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(i);
    const auto bytes = Bytes16(s);
    meters.Meter(bytes.data(), uint32_t(bytes.size()), 16, 1, 30, false, 0);
    EXPECT_EQ(meters.Queued(), LevelMeters::kQueueSize);
    EXPECT_EQ(meters.ShowUpTo(~0ull), LevelMeters::kQueueSize);
    EXPECT_EQ(std::get<0>(shell.shown.back()), 255) << "readings leave in order";
    // The pool is reused: the next block queues again.
    meters.Meter(bytes.data(), 4, 16, 1, 30, false, 5000);
    EXPECT_EQ(meters.Queued(), 2u);
    EXPECT_EQ(meters.Front().position, 5000u);
}

AudioFormat Pcm(uint32_t rate, uint16_t bits, uint16_t channels)
{
    AudioFormat f;
    MakeFormat(f, rate, bits, channels);
    return f;
}

TEST(MixRingTest, WritesWrapAndReadsNeedEnough)
{
    MixRing ring;
    ASSERT_TRUE(ring.Setup(16, Pcm(8000, 16, 2), Pcm(8000, 16, 2), 64));
    std::vector<uint8_t> a(12), b(8);
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = uint8_t(i + 1);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = uint8_t(101 + i);
    ring.Write(a.data(), 12);
    RingPieces p;
    ASSERT_TRUE(ring.Read(8, p));
    EXPECT_EQ(p.size[0], 8u);
    EXPECT_EQ(p.data[0][0], 1);
    EXPECT_FALSE(ring.Read(5, p)) << "only 4 bytes are there";
    ring.Write(b.data(), 8); // wraps: 4 bytes at the end, 4 at the start
    ASSERT_TRUE(ring.Read(12, p));
    ASSERT_EQ(p.size[0], 8u);
    ASSERT_EQ(p.size[1], 4u);
    EXPECT_EQ(p.data[0][0], 9);
    EXPECT_EQ(p.data[0][4], 101);
    EXPECT_EQ(p.data[1][0], 105);
    EXPECT_EQ(p.data[1][3], 108);

    ring.stopping = true;
    ring.Write(a.data(), 4);
    EXPECT_EQ(ring.Available(), 0u) << "a stopping player writes nothing";
    ring.stopping = false;
    ring.Write(a.data(), 4);
    ring.Empty();
    EXPECT_EQ(ring.WriteCount(), 0u);
    EXPECT_EQ(ring.ReadCount(), 0u);
}

TEST(MixRingTest, ConvertsThePlayersFormat)
{
    // Mono 8-bit player, stereo 16-bit recording at the same rate: each byte becomes a
    // frame of two (b - 128) << 8 samples.
    MixRing ring;
    ASSERT_TRUE(ring.Setup(4096, Pcm(8000, 8, 1), Pcm(8000, 16, 2), 256));
    const uint8_t in[] = {0x80, 0x90, 0x70, 0xFF};
    ring.Write(in, 4);
    ASSERT_EQ(ring.Available(), 16u);
    RingPieces p;
    ASSERT_TRUE(ring.Read(16, p));
    int16_t out[8];
    std::memcpy(out, p.data[0], 16);
    const int16_t expected[] = {0, 0, 4096, 4096, -4096, -4096, 32512, 32512};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], expected[i]) << i;
}

TEST(RecordMixerTest, LevelsGainsAndSaturation)
{
    struct Case { const char* name; int32_t level; bool software; int32_t gainA, gainB;
        std::vector<int16_t> expected; };
    const std::vector<int16_t> input = {1000, -2000, 30000, -30000};
    const std::vector<int16_t> cartA = {100, 100, 10000, -10000};
    const std::vector<int16_t> cartB = {-50, 7, 0, -1};
    const Case cases[] = {
        {"unity", 0x10000, true, 0x10000, 0x10000, {1050, -1893, 32767, -32768}},
        {"hardware fader ignores the level", 0x8000, false, 0x10000, 0, {1100, -1900, 32767, -32768}},
        {"half level, half cart", 0x8000, true, 0x8000, 0x10000, {500, -943, 20000, -20001}},
        {"muted input", 0, true, 0x10000, 0x10000, {50, 107, 10000, -10001}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MixRing a, b;
        ASSERT_TRUE(a.Setup(64, Pcm(8000, 16, 2), Pcm(8000, 16, 2), 64));
        ASSERT_TRUE(b.Setup(64, Pcm(8000, 16, 2), Pcm(8000, 16, 2), 64));
        a.gain = c.gainA;
        b.gain = c.gainB;
        a.Write(Bytes16(cartA).data(), 8);
        b.Write(Bytes16(cartB).data(), 8);
        const auto in = Bytes16(input);
        RingPieces captured;
        captured.data[0] = in.data();
        captured.size[0] = 4;
        captured.data[1] = in.data() + 4;
        captured.size[1] = 4;
        RecordMixer mixer;
        MixRing* rings[] = {&a, &b};
        uint32_t bytes = 0;
        const int16_t* out = mixer.Mix(captured, c.level, c.software, rings, bytes);
        ASSERT_EQ(bytes, 8u);
        EXPECT_EQ(std::vector<int16_t>(out, out + 4), c.expected);
        EXPECT_EQ(a.Available(), 0u);
    }
}

TEST(RecordMixerTest, BlocksAreCutAtTheLimitAndShortRingsSkipped)
{
    std::vector<uint8_t> first(0xC000, 0), second(0x8000, 0);
    const int16_t one = 1;
    std::memcpy(first.data(), &one, 2);
    RingPieces captured;
    captured.data[0] = first.data();
    captured.size[0] = uint32_t(first.size());
    captured.data[1] = second.data();
    captured.size[1] = uint32_t(second.size());
    MixRing shortRing;
    ASSERT_TRUE(shortRing.Setup(0x20000, Pcm(8000, 16, 2), Pcm(8000, 16, 2), 64));
    shortRing.Write(first.data(), 8);
    RecordMixer mixer;
    MixRing* rings[] = {&shortRing};
    uint32_t bytes = 0;
    const int16_t* out = mixer.Mix(captured, 0x10000, true, rings, bytes);
    EXPECT_EQ(bytes, 0xC000u) << "the second piece is dropped";
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(shortRing.Available(), 8u) << "a ring with too little is left alone";

    std::vector<uint8_t> big(0x18000, 0);
    captured.data[0] = big.data();
    captured.size[0] = uint32_t(big.size());
    captured.size[1] = 0;
    mixer.Mix(captured, 0x10000, true, {}, bytes);
    EXPECT_EQ(bytes, RecordMixer::kMaxBytes);
}

TEST(SampleFormatTest, ConversionsInPlace)
{
    // Widening in place: 8-bit bytes at the start of a 16-bit buffer.
    int16_t wide[4];
    const uint8_t eight[] = {0x00, 0x80, 0x81, 0xFF};
    std::memcpy(wide, eight, 4);
    Convert8To16(reinterpret_cast<uint8_t*>(wide), wide, 4);
    EXPECT_EQ(std::vector<int16_t>(wide, wide + 4), (std::vector<int16_t>{-32768, 0, 256, 32512}));

    float f[4];
    const int16_t sixteen[] = {-32768, 0, 16384, 32767};
    std::memcpy(f, sixteen, 8);
    Convert16ToFloat(reinterpret_cast<int16_t*>(f), f, 4);
    EXPECT_FLOAT_EQ(f[0], -1.0f);
    EXPECT_FLOAT_EQ(f[1], 0.0f);
    EXPECT_FLOAT_EQ(f[2], 0.5f);

    float g[3];
    std::memcpy(g, eight, 3);
    Convert8ToFloat(reinterpret_cast<uint8_t*>(g), g, 3);
    EXPECT_FLOAT_EQ(g[0], -1.0f);
    EXPECT_FLOAT_EQ(g[2], 0.0078125f);

    // Narrowing in place.
    int16_t narrow[] = {-32768, -1, 0, 255, 256, 32767};
    Convert16To8(narrow, reinterpret_cast<uint8_t*>(narrow), 6);
    const uint8_t* n = reinterpret_cast<uint8_t*>(narrow);
    EXPECT_EQ(std::vector<uint8_t>(n, n + 6), (std::vector<uint8_t>{0, 127, 128, 128, 129, 255}));
}

TEST(SampleFormatTest, FloatToIntegerEdges)
{
    struct Case { float in; int16_t to16; uint8_t to8; };
    const Case cases[] = {
        {0.0f, 0, 128},        {1.0f, 32767, 255},   {-1.0f, -32768, 0},
        {2.5f, 32767, 255},    {-3.0f, -32768, 0},   {0.5f, 16384, 192},
        {-0.5f, -16384, 64},   {0.99f, 32440, 254},  {-0.004f, -132, 128},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SampleFloatTo16(c.in), c.to16) << c.in;
        EXPECT_EQ(SampleFloatTo8(c.in), c.to8) << c.in;
    }
}

TEST(ReverseFramesTest, FramesTurnRoundSamplesStay)
{
    uint8_t stereo16[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ReverseFrames(stereo16, 12, 4);
    EXPECT_EQ(std::vector<uint8_t>(stereo16, stereo16 + 12),
              (std::vector<uint8_t>{9, 10, 11, 12, 5, 6, 7, 8, 1, 2, 3, 4}));
    uint8_t stereo16AndAPart[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ReverseFrames(stereo16AndAPart, 10, 4);
    EXPECT_EQ(std::vector<uint8_t>(stereo16AndAPart, stereo16AndAPart + 10),
              (std::vector<uint8_t>{5, 6, 7, 8, 1, 2, 3, 4, 9, 10}))
        << "a part frame at the end stays where it is";
    uint8_t mono8[] = {1, 2, 3, 4, 5};
    ReverseFrames(mono8, 5, 1);
    EXPECT_EQ(std::vector<uint8_t>(mono8, mono8 + 5), (std::vector<uint8_t>{5, 4, 3, 2, 1}));
}

} // namespace
} // namespace tandrel
