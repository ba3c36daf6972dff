// Playback through the fast File device: what a buffer's ring becomes in the output WAV.
#include <cmath>

#include <gtest/gtest.h>

#include "platform_test_support.h"

namespace tandrel::test {
namespace {

// One sample of `ring` as the 16-bit value the mix uses.
int32_t SampleAt(const PcmFormat& format, const std::vector<uint8_t>& ring, uint32_t frame,
                 uint32_t channel)
{
    const size_t at = size_t(frame) * format.BlockAlign() + channel * (format.bits / 8);
    if (format.bits == 8) return (int32_t(ring[at]) - 128) << 8;
    return int16_t(uint16_t(ring[at] | ring[at + 1] << 8));
}

// The frame of `ring` as the device hears it: mono spreads to both sides, stereo folds to
// the floor of the mean.
std::vector<int32_t> DeviceFrame(const PcmFormat& format, const std::vector<uint8_t>& ring,
                                 uint32_t frame, uint16_t deviceChannels)
{
    if (format.channels == deviceChannels) {
        std::vector<int32_t> out;
        for (uint32_t c = 0; c < deviceChannels; ++c)
            out.push_back(SampleAt(format, ring, frame, c));
        return out;
    }
    if (format.channels == 1)
        return {SampleAt(format, ring, frame, 0), SampleAt(format, ring, frame, 0)};
    return {(SampleAt(format, ring, frame, 0) + SampleAt(format, ring, frame, 1)) >> 1};
}

TEST(FilePlayback, LoopingRingComesOutUnchangedAtItsOwnRate)
{
    struct Case { PcmFormat buffer; uint16_t deviceChannels; };
    const Case kCases[] = {
        {{44100, 16, 2}, 2}, {{22050, 16, 1}, 1}, {{8000, 16, 2}, 2},  {{11025, 8, 1}, 1},
        {{11025, 8, 2}, 2},  {{44100, 16, 1}, 2}, {{44100, 16, 2}, 1},
    };
    constexpr uint32_t kFrames = 1000;
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.buffer.rate << " Hz " << c.buffer.bits << "-bit "
                                        << c.buffer.channels << " ch on " << c.deviceChannels);
        FileRig rig(c.buffer.rate, c.deviceChannels);
        const std::vector<uint8_t> ring = Staircase(c.buffer, kFrames);
        auto buffer = rig.Buffer(c.buffer, ring);
        ASSERT_EQ(buffer->Play(true), kAudioOk);
        // Uneven pieces so that passes end in the middle of the ring and across its end.
        for (uint32_t done = 0; done < 2500; done += 97)
            ASSERT_EQ(rig.device->Pump(std::min(97u, 2500 - done)), kAudioOk);
        uint32_t play = 0;
        buffer->GetCurrentPosition(&play, nullptr);
        EXPECT_EQ(play, 500 * c.buffer.BlockAlign());
        EXPECT_EQ(buffer->Status(), kBufferPlaying | kBufferLooping);

        const WavContents wav = rig.Finish();
        EXPECT_EQ(wav.format, (PcmFormat{c.buffer.rate, 16, c.deviceChannels}));
        const std::vector<int16_t> out = AsSamples(wav.data);
        ASSERT_EQ(out.size(), 2500u * c.deviceChannels);
        for (uint32_t k = 0; k < 2500; ++k) {
            const std::vector<int32_t> expect =
                DeviceFrame(c.buffer, ring, k % kFrames, c.deviceChannels);
            for (uint32_t ch = 0; ch < c.deviceChannels; ++ch)
                ASSERT_EQ(out[k * c.deviceChannels + ch], expect[ch])
                    << "frame " << k << " ch " << ch;
        }
    }
}

TEST(FilePlayback, OneShotPlaysTheRingOnceThenStopsAtZero)
{
    const PcmFormat format{44100, 16, 2};
    FileRig rig;
    const std::vector<uint8_t> ring = Staircase(format, 1000);
    auto buffer = rig.Buffer(format, ring);
    AudioEvent stopped(true);
    const NotifyPosition onStop{kNotifyOnStop, &stopped};
    ASSERT_EQ(buffer->SetNotificationPositions({&onStop, 1}), kAudioOk);
    buffer->Stop();
    EXPECT_FALSE(stopped.IsSet()) << "stopping a buffer that does not play is no stop";
    ASSERT_EQ(buffer->Play(false), kAudioOk);
    rig.device->Pump(999);
    EXPECT_EQ(buffer->Status(), kBufferPlaying);
    EXPECT_FALSE(stopped.IsSet());
    rig.device->Pump(1);
    EXPECT_EQ(buffer->Status(), 0u) << "stops with its last frame";
    EXPECT_TRUE(stopped.IsSet());
    uint32_t play = 1;
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 0u);
    rig.device->Pump(500);

    const WavContents wav = rig.Finish();
    ASSERT_EQ(wav.data.size(), 1500u * 4);
    EXPECT_TRUE(std::equal(ring.begin(), ring.end(), wav.data.begin()));
    EXPECT_TRUE(
        std::all_of(wav.data.begin() + 4000, wav.data.end(), [](uint8_t b) { return b == 0; }));
}

TEST(FilePlayback, CursorFollowsTheMixStopsWithStopAndJumpsWithSetCurrentPosition)
{
    const PcmFormat format{44100, 16, 2};
    FileRig rig;
    const std::vector<uint8_t> ring = Staircase(format, 1000);
    auto buffer = rig.Buffer(format, ring);
    buffer->Play(true);
    rig.device->Pump(300);
    uint32_t play = 0, write = 0;
    buffer->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 1200u);
    EXPECT_GT(write, play) << "the write cursor leads past what the callback reads";

    buffer->Stop();
    rig.device->Pump(200);
    buffer->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 1200u);
    EXPECT_EQ(write, play) << "a stopped buffer reads nothing ahead";

    EXPECT_EQ(buffer->SetCurrentPosition(2001), kAudioOk);
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 2000u) << "rounded down to a whole frame";
    buffer->Play(true);
    rig.device->Pump(10);

    const std::vector<int16_t> out = AsSamples(rig.Finish().data);
    ASSERT_EQ(out.size(), 510u * 2);
    const std::vector<int16_t> source = AsSamples(ring);
    for (uint32_t i = 0; i < 600; ++i)
        EXPECT_EQ(out[i], source[i]) << "sample " << i;
    for (uint32_t i = 600; i < 1000; ++i)
        ASSERT_EQ(out[i], 0) << "stopped, sample " << i;
    for (uint32_t i = 0; i < 20; ++i)
        EXPECT_EQ(out[1000 + i], source[1000 + i]) << "after the jump";
}

TEST(FilePlayback, AJumpRestartsInterpolationOnTheNewFrame)
{
    // At half speed every other output frame falls halfway between two source frames; a
    // jump made then must start cleanly on the frame it names.
    const PcmFormat format{22050, 16, 1};
    FileRig rig(44100, 1);
    const std::vector<uint8_t> ring = Staircase(format, 1000);
    const std::vector<int16_t> s = AsSamples(ring);
    auto buffer = rig.Buffer(format, ring);
    buffer->Play(true);
    rig.device->Pump(3);
    ASSERT_EQ(buffer->SetCurrentPosition(200), kAudioOk);
    rig.device->Pump(2);
    const std::vector<int16_t> out = AsSamples(rig.Finish().data);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[1], s[0] + ((s[1] - s[0]) >> 1)) << "halfway";
    EXPECT_EQ(out[2], s[1]); // and the next position, 1.5, is halfway again
    EXPECT_EQ(out[3], s[100]);
    EXPECT_EQ(out[4], s[100] + ((s[101] - s[100]) >> 1));
}

TEST(FilePlayback, NotificationFiresWhenTheCursorReachesItsOffset)
{
    // A 1000-frame stereo ring (4000 bytes), played one frame per pass: the event at offset
    // o is set by the pass that moves the cursor to o or past it, never before; offset 0 is
    // reached only by going once round the ring.
    struct Case { uint32_t offset; uint32_t firesAtFrame; };
    const Case kCases[] = {{4, 1}, {2, 1}, {1996, 499}, {2000, 500}, {3999, 1000}, {0, 1000}};
    const PcmFormat format{44100, 16, 2};
    for (const Case& c : kCases) {
        FileRig rig(44100, 2, false);
        auto buffer = rig.Buffer(format, Staircase(format, 1000));
        AudioEvent event(true);
        const NotifyPosition position{c.offset, &event};
        ASSERT_EQ(buffer->SetNotificationPositions({&position, 1}), kAudioOk);
        buffer->Play(true);
        uint32_t fired = 0;
        for (uint32_t frame = 1; frame <= 1250 && !fired; ++frame) {
            rig.device->Pump(1);
            if (event.IsSet()) fired = frame;
        }
        EXPECT_EQ(fired, c.firesAtFrame) << "offset " << c.offset;
    }
}

TEST(FilePlayback, VolumeScalesByHundredthsOfADecibel)
{
    struct Case { int32_t volume; double gain; int32_t tolerance; };
    const Case kCases[] = {{0, 1.0, 0}, {-600, 0.501187, 1}, {-2000, 0.1, 1}, {-10000, 0.0, 0}};
    const PcmFormat format{44100, 16, 2};
    const std::vector<uint8_t> ring = Staircase(format, 1000);
    const std::vector<int16_t> source = AsSamples(ring);
    for (const Case& c : kCases) {
        FileRig rig;
        auto buffer = rig.Buffer(format, ring);
        ASSERT_EQ(buffer->SetVolume(c.volume), kAudioOk);
        EXPECT_EQ(buffer->Volume(), c.volume);
        buffer->Play(true);
        rig.device->Pump(1000);
        const std::vector<int16_t> out = AsSamples(rig.Finish().data);
        ASSERT_EQ(out.size(), source.size());
        int32_t worst = 0;
        for (size_t i = 0; i < out.size(); ++i)
            worst = std::max(worst, std::abs(out[i] - int32_t(std::lround(source[i] * c.gain))));
        EXPECT_LE(worst, c.tolerance) << "volume " << c.volume;
    }
}

TEST(FilePlayback, FrequencyResamplesByLinearInterpolation)
{
    // Output frame k sits at source position k * frequency / device rate; between two
    // frames the value is the earlier one plus the floor of the fraction of the step. A
    // one-shot ring ends when the position passes its last frame.
    struct Case { uint32_t bufferRate, frequency, deviceRate; };
    const Case kCases[] = {
        {44100, 88200, 44100}, // twice as fast: every second frame, half the length
        {44100, 22050, 44100}, // half speed: midpoints between the frames
        {22050, 0, 44100},     // its own rate on a faster device
        {44100, 0, 22050},     // its own rate on a slower device
        {8000, 100000, 8000},  // the fastest scrub: 12.5 frames per output frame
    };
    constexpr uint32_t kFrames = 400;
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message()
                     << c.bufferRate << " at " << c.frequency << " on " << c.deviceRate);
        const PcmFormat format{c.bufferRate, 16, 1};
        const std::vector<uint8_t> ring = Staircase(format, kFrames);
        const std::vector<int16_t> s = AsSamples(ring);
        FileRig rig(c.deviceRate, 1);
        auto buffer = rig.Buffer(format, ring);
        ASSERT_EQ(buffer->SetFrequency(c.frequency), kAudioOk);
        EXPECT_EQ(buffer->Frequency(), c.frequency ? c.frequency : c.bufferRate);
        buffer->Play(false);
        rig.device->Pump(kFrames * 3);
        EXPECT_EQ(buffer->Status(), 0u);

        const double step = double(c.frequency ? c.frequency : c.bufferRate) / c.deviceRate;
        const uint32_t heard = uint32_t(std::ceil(kFrames / step));
        const std::vector<int16_t> out = AsSamples(rig.Finish().data);
        ASSERT_EQ(out.size(), kFrames * 3u);
        for (uint32_t k = 0; k < kFrames * 3; ++k) {
            int32_t expect = 0;
            if (k < heard) {
                const double at = k * step;
                const uint32_t index = uint32_t(at);
                const int32_t s0 = s[index];
                const int32_t s1 = index + 1 < kFrames ? s[index + 1] : s0;
                expect = s0 + int32_t(std::floor((s1 - s0) * (at - index)));
            }
            ASSERT_EQ(out[k], expect) << "output frame " << k << " of " << heard << " heard";
        }
    }
}

TEST(FilePlayback, BuffersAreSummedAndSaturated)
{
    struct Case { int16_t a, b; int16_t sum; };
    const Case kCases[] = {
        {1000, -300, 700}, {20000, 20000, 32767}, {-20000, -20000, -32768},
        {32767, 1, 32767}, {-32768, 32767, -1},
    };
    for (const Case& c : kCases) {
        FileRig rig;
        auto a = rig.Buffer({44100, 16, 2}, Constant16(2, 300, c.a));
        auto b = rig.Buffer({44100, 16, 2}, Constant16(2, 170, c.b)); // rings of other sizes
        a->Play(true);
        b->Play(true);
        rig.device->Pump(1000);
        const std::vector<int16_t> out = AsSamples(rig.Finish().data);
        ASSERT_EQ(out.size(), 2000u);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [&](int16_t v) { return v == c.sum; }))
            << c.a << " + " << c.b << " gave " << out[0] << " ... " << out.back();
    }
}

TEST(FilePlayback, UnderrunsCountEachTimeTheCursorRunsIntoBytesNotRefilled)
{
    const PcmFormat format{44100, 16, 2};
    constexpr uint32_t kHalf = 2000; // bytes; the ring holds 1000 frames
    FileRig rig(44100, 2, false);
    auto buffer = rig.Buffer(format, Staircase(format, 1000), true);
    auto still = rig.Buffer(format, Staircase(format, 100), false); // loops, never refilled
    // Writing the ring over and over does not put more than one ring of audio ahead.
    WriteRing(*buffer, 0, Staircase(format, 1000));
    WriteRing(*buffer, 0, Staircase(format, 1000));
    buffer->Play(true);
    still->Play(true);

    // Refilling each half once the cursor has left it, as the stream service does.
    auto refillFor = [&](uint32_t laps) {
        for (uint32_t half = 0; half < laps * 2; ++half) {
            rig.device->Pump(500);
            WriteRing(*buffer, (half % 2) * kHalf, Staircase(format, 500, half));
        }
    };
    refillFor(4);
    EXPECT_EQ(buffer->Underruns(), 0u);

    rig.device->Pump(1001); // a lap and a frame with no refill
    EXPECT_EQ(buffer->Underruns(), 1u);
    rig.device->Pump(3000);
    EXPECT_EQ(buffer->Underruns(), 1u) << "running dry for longer is the same underrun";

    // Caught up while playing on: the whole ring written counts from the cursor.
    WriteRing(*buffer, 0, Staircase(format, 1000));
    refillFor(2);
    EXPECT_EQ(buffer->Underruns(), 1u);
    rig.device->Pump(1200);
    EXPECT_EQ(buffer->Underruns(), 2u);

    // Restarted as the stream service does: back to 0, the whole ring written.
    buffer->SetCurrentPosition(0);
    WriteRing(*buffer, 0, Staircase(format, 1000));
    refillFor(2);
    EXPECT_EQ(buffer->Underruns(), 2u);
    rig.device->Pump(1200);
    EXPECT_EQ(buffer->Underruns(), 3u);

    EXPECT_EQ(still->Underruns(), 0u) << "a buffer that is not streamed never underruns";
    EXPECT_EQ(rig.device->Underruns(), 3u);
}

} // namespace
} // namespace tandrel::test
