// Capture through the fast File device: the input WAV's samples arriving in the ring.
#include <cmath>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "platform_test_support.h"

namespace tandrel::test {
namespace {

struct CaptureRig
{
    explicit CaptureRig(const PcmFormat& inputFormat, const std::vector<uint8_t>& input)
    {
        WriteCanonicalWav(folder.Path("in.wav"), inputFormat, input);
        FileAudioOptions options;
        options.inPath = folder.Path("in.wav");
        options.fast = true;
        backend = MakeFileBackend(options);
        EXPECT_EQ(backend->OpenCapture(DeviceId{}, device), kAudioOk) << backend->LastError();
    }
    std::vector<uint8_t> Ring(CaptureBuffer& buffer)
    {
        LockedRegions regions;
        EXPECT_EQ(buffer.Lock(0, buffer.Bytes(), regions), kAudioOk);
        std::vector<uint8_t> bytes(regions.data[0], regions.data[0] + regions.size[0]);
        EXPECT_EQ(buffer.Unlock(regions), kAudioOk);
        return bytes;
    }

    TempFolder folder;
    std::unique_ptr<AudioBackend> backend;
    std::unique_ptr<CaptureDevice> device;
};

bool SameBytes(const std::vector<uint8_t>& a, size_t aFrom, const std::vector<uint8_t>& b,
               size_t bFrom, size_t count)
{
    return std::memcmp(a.data() + aFrom, b.data() + bFrom, count) == 0;
}

TEST(FileCapture, RingHoldsTheInputBytesAndWraps)
{
    const PcmFormat kFormats[] = {{44100, 16, 2}, {22050, 16, 1}, {8000, 8, 1}, {11025, 8, 2}};
    for (const PcmFormat& format : kFormats) {
        SCOPED_TRACE(testing::Message() << format.rate << " Hz " << format.bits << "-bit "
                                        << format.channels << " ch");
        const std::vector<uint8_t> input = Staircase(format, 3000);
        CaptureRig rig(format, input);
        const uint32_t align = format.BlockAlign();
        std::unique_ptr<CaptureBuffer> buffer;
        ASSERT_EQ(rig.device->CreateCaptureBuffer(format, 1000 * align, buffer), kAudioOk);
        ASSERT_EQ(buffer->Start(true), kAudioOk);
        EXPECT_EQ(buffer->Status(), kCaptureCapturing | kCaptureLooping);
        ASSERT_EQ(rig.device->Pump(700), kAudioOk);
        uint32_t capture = 0, read = 0;
        buffer->GetCurrentPosition(&capture, &read);
        EXPECT_EQ(capture, 700 * align);
        EXPECT_EQ(read, capture);
        EXPECT_TRUE(SameBytes(rig.Ring(*buffer), 0, input, 0, 700 * align));

        rig.device->Pump(600);
        buffer->GetCurrentPosition(&capture, nullptr);
        EXPECT_EQ(capture, 300 * align);
        const std::vector<uint8_t> ring = rig.Ring(*buffer);
        EXPECT_TRUE(SameBytes(ring, 0, input, 1000 * align, 300 * align)) << "the wrapped part";
        EXPECT_TRUE(SameBytes(ring, 300 * align, input, 300 * align, 700 * align));
    }
}

TEST(FileCapture, SixtyNotificationsFireInOrderAndTheStopEventOnStop)
{
    // The recording layout: a 2-second ring cut into 60 segments, each event at the last
    // byte of its segment, and a 61st event for the stop.
    const PcmFormat format{44100, 16, 2};
    constexpr uint32_t kBytes = 352800;
    constexpr uint32_t kStep = 5880;
    CaptureRig rig(format, Staircase(format, 110250));
    std::unique_ptr<CaptureBuffer> buffer;
    ASSERT_EQ(rig.device->CreateCaptureBuffer(format, kBytes, buffer), kAudioOk);
    std::vector<std::unique_ptr<AudioEvent>> events;
    std::vector<NotifyPosition> positions;
    for (uint32_t k = 1; k <= 61; ++k) {
        events.push_back(std::make_unique<AudioEvent>());
        positions.push_back({k == 61 ? kNotifyOnStop : k * kStep - 1, events.back().get()});
    }
    ASSERT_EQ(buffer->SetNotificationPositions(positions), kAudioOk);
    ASSERT_EQ(buffer->Start(true), kAudioOk);
    EXPECT_EQ(buffer->SetNotificationPositions(positions), kAudioInvalidCall);

    std::vector<uint32_t> fired;
    for (uint32_t done = 0; done < 88200; done += 441) {
        rig.device->Pump(441);
        for (uint32_t k = 0; k < 61; ++k) {
            if (!events[k]->Test()) continue;
            fired.push_back(k + 1);
            uint32_t read = 0;
            buffer->GetCurrentPosition(nullptr, &read);
            // What the recorder reads up to when event k fires must already be there.
            const uint32_t ready = (positions[k].offset + 1) / 4 * 4;
            EXPECT_TRUE(read >= ready || read < kStep) << "event " << k + 1 << " at " << read;
        }
    }
    std::vector<uint32_t> inOrder(60);
    for (uint32_t k = 0; k < 60; ++k)
        inOrder[k] = k + 1;
    EXPECT_EQ(fired, inOrder);

    ASSERT_EQ(buffer->Stop(), kAudioOk);
    EXPECT_TRUE(events[60]->Test());
    for (uint32_t k = 0; k < 60; ++k)
        EXPECT_FALSE(events[k]->IsSet()) << "event " << k + 1;
}

TEST(FileCapture, ConvertsTheInputToTheBufferFormat)
{
    // Rate changes interpolate linearly (the floor of the fraction of the step);
    // stereo folds to the floor of the mean; 8-bit keeps the high byte, offset by 128.
    struct Case { PcmFormat input, buffer; };
    const Case kCases[] = {
        {{44100, 16, 2}, {44100, 8, 1}},
        {{22050, 16, 1}, {44100, 16, 2}},
        {{88200, 16, 1}, {44100, 16, 1}},
        {{11025, 8, 1}, {22050, 16, 1}},
    };
    constexpr uint32_t kOut = 300;
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message()
                     << c.input.rate << "/" << c.input.bits << "/" << c.input.channels << " into "
                     << c.buffer.rate << "/" << c.buffer.bits << "/" << c.buffer.channels);
        const std::vector<uint8_t> input = Staircase(c.input, 1000);
        CaptureRig rig(c.input, input);
        std::unique_ptr<CaptureBuffer> buffer;
        ASSERT_EQ(rig.device->CreateCaptureBuffer(c.buffer, kOut * c.buffer.BlockAlign(), buffer),
                  kAudioOk);
        buffer->Start(false);
        rig.device->Pump(kOut);
        const std::vector<uint8_t> ring = rig.Ring(*buffer);

        auto in = [&](uint32_t frame, uint32_t channel) -> int32_t {
            const size_t at = size_t(frame) * c.input.BlockAlign() + channel * (c.input.bits / 8);
            if (c.input.bits == 8) return (int32_t(input[at]) - 128) << 8;
            return int16_t(uint16_t(input[at] | input[at + 1] << 8));
        };
        const double step = double(c.input.rate) / c.buffer.rate;
        for (uint32_t k = 0; k < kOut; ++k) {
            const double at = k * step;
            const uint32_t index = uint32_t(at);
            int32_t side[2];
            for (uint32_t ch = 0; ch < 2; ++ch) {
                const uint32_t from = c.input.channels == 2 ? ch : 0;
                const int32_t s0 = in(index, from), s1 = in(index + 1, from);
                side[ch] = s0 + int32_t(std::floor((s1 - s0) * (at - index)));
            }
            for (uint32_t ch = 0; ch < c.buffer.channels; ++ch) {
                const int32_t value = c.buffer.channels == 2 ? side[ch] : (side[0] + side[1]) >> 1;
                const size_t at8 = size_t(k) * c.buffer.BlockAlign() + ch * (c.buffer.bits / 8);
                const int32_t got = c.buffer.bits == 8
                                        ? ring[at8]
                                        : int16_t(uint16_t(ring[at8] | ring[at8 + 1] << 8));
                const int32_t expect = c.buffer.bits == 8 ? (value >> 8) + 128 : value;
                ASSERT_EQ(got, expect) << "frame " << k << " ch " << ch;
            }
        }
    }
}

TEST(FileCapture, InputAdvancesOnlyWhileCapturingAndEndsInSilence)
{
    const PcmFormat format{8000, 16, 1};
    const std::vector<uint8_t> input = Staircase(format, 250);
    CaptureRig rig(format, input);
    std::unique_ptr<CaptureBuffer> buffer;
    ASSERT_EQ(rig.device->CreateCaptureBuffer(format, 700, buffer), kAudioOk); // 350 frames
    rig.device->Pump(100); // not capturing: nothing is taken from the file
    buffer->Start(false);
    rig.device->Pump(100);
    buffer->Stop();
    rig.device->Pump(100);
    buffer->Start(false);
    rig.device->Pump(300); // 400 frames taken in all
    EXPECT_EQ(buffer->Status(), 0u) << "a one-shot capture stops when its ring is full";
    uint32_t capture = 1;
    buffer->GetCurrentPosition(&capture, nullptr);
    EXPECT_EQ(capture, 0u);

    const std::vector<uint8_t> ring = rig.Ring(*buffer);
    EXPECT_TRUE(SameBytes(ring, 0, input, 0, input.size()));
    EXPECT_TRUE(std::all_of(ring.begin() + 500, ring.end(), [](uint8_t b) { return b == 0; }))
        << "silence after the end of the file";
}

TEST(FileCapture, UnreadableInputIsAFileErrorNamingThePath)
{
    TempFolder folder;
    const std::string missing = folder.Path("missing.wav");
    const std::string garbage = folder.Path("garbage.wav");
    const std::string wide = folder.Path("24bit.wav");
    const std::string dataFirst = folder.Path("datafirst.wav");
    std::ofstream(garbage) << "this is not audio at all, just some text";
    WriteCanonicalWav(wide, {44100, 24, 2}, std::vector<uint8_t>(60));
    {
        // A data chunk before any format: the header fields are swapped into the wrong order.
        std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F', 12, 0, 0, 0, 'W', 'A', 'V', 'E',
                                      'd', 'a', 't', 'a', 4,  0, 0, 0, 1,   2,   3,   4};
        std::ofstream(dataFirst, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    for (const std::string& path : {missing, garbage, wide, dataFirst}) {
        FileAudioOptions options;
        options.inPath = path;
        options.fast = true;
        auto backend = MakeFileBackend(options);
        std::unique_ptr<CaptureDevice> device;
        EXPECT_EQ(backend->OpenCapture(DeviceId{}, device), kAudioFileError) << path;
        EXPECT_EQ(device, nullptr);
        EXPECT_NE(backend->LastError().find(path), std::string::npos) << backend->LastError();
    }
}

} // namespace
} // namespace tandrel::test
