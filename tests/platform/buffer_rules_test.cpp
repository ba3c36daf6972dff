// What buffers and devices accept and refuse, and the ring regions that Lock hands out.
#include <gtest/gtest.h>

#include "platform_test_support.h"

namespace tandrel::test {
namespace {

TEST(BufferRules, LockHandsOutTheRegionAndItsWrappedRest)
{
    struct Case { uint32_t offset, bytes, flags; int status; uint32_t firstOffset, firstBytes,
        secondBytes; };
    // A 400-byte ring whose play cursor stands at 100 with the buffer stopped.
    const Case kCases[] = {
        {0, 400, 0, kAudioOk, 0, 400, 0},
        {200, 200, 0, kAudioOk, 200, 200, 0},
        {300, 200, 0, kAudioOk, 300, 100, 100},
        {0, 0, kLockEntireBuffer, kAudioOk, 0, 400, 0},
        {200, 0, kLockEntireBuffer, kAudioOk, 200, 200, 200},
        {0, 40, kLockFromWriteCursor, kAudioOk, 100, 40, 0},
        {400, 4, 0, kAudioInvalidParam, 0, 0, 0},
        {0, 401, 0, kAudioInvalidParam, 0, 0, 0},
        {10, 0, 0, kAudioInvalidParam, 0, 0, 0},
    };
    FileRig rig(44100, 2, false);
    std::unique_ptr<SoundBuffer> buffer;
    ASSERT_EQ(rig.device->CreateBuffer({{44100, 16, 2}, 400, true}, buffer), kAudioOk);
    buffer->SetCurrentPosition(100);
    for (const Case& c : kCases) {
        LockedRegions r;
        ASSERT_EQ(buffer->Lock(c.offset, c.bytes, r, c.flags), c.status)
            << c.offset << "+" << c.bytes;
        if (c.status != kAudioOk) continue;
        LockedRegions whole;
        buffer->Lock(0, 400, whole);
        EXPECT_EQ(r.data[0], whole.data[0] + c.firstOffset);
        EXPECT_EQ(r.size[0], c.firstBytes);
        EXPECT_EQ(r.size[1], c.secondBytes);
        EXPECT_EQ(r.data[1], c.secondBytes ? whole.data[0] : nullptr);
        EXPECT_EQ(buffer->Unlock(r), kAudioOk);
    }

    LockedRegions foreign;
    uint8_t elsewhere[8];
    foreign.data[0] = elsewhere;
    foreign.size[0] = 8;
    EXPECT_EQ(buffer->Unlock(foreign), kAudioInvalidParam) << "memory that is not the ring";
}

TEST(BufferRules, ArgumentsOutOfRangeAreRefused)
{
    FileRig rig(44100, 2, false);
    struct BadBuffer { PcmFormat format; uint32_t bytes; };
    const BadBuffer kBadBuffers[] = {
        {{44100, 24, 2}, 600},  {{44100, 16, 3}, 600},       {{99, 16, 2}, 400},
        {{100001, 16, 2}, 400}, {{44100, 16, 2}, 0},         {{44100, 16, 2}, 402},
        {{44100, 16, 1}, 3},    {{44100, 8, 2}, 0x10000000},
    };
    for (const BadBuffer& b : kBadBuffers) {
        std::unique_ptr<SoundBuffer> buffer;
        EXPECT_EQ(rig.device->CreateBuffer({b.format, b.bytes, true}, buffer), kAudioInvalidParam)
            << b.format.rate << "/" << b.format.bits << "/" << b.format.channels << " " << b.bytes;
        EXPECT_EQ(buffer, nullptr);
    }

    std::unique_ptr<SoundBuffer> buffer;
    ASSERT_EQ(rig.device->CreateBuffer({{44100, 16, 2}, 400, true}, buffer), kAudioOk);
    struct Setting { int32_t volume; uint32_t frequency; int status; };
    const Setting kSettings[] = {
        {0, 0, kAudioOk},
        {-10000, 100, kAudioOk},
        {-1, 100000, kAudioOk},
        {1, 99, kAudioInvalidParam},
        {-10001, 100001, kAudioInvalidParam},
    };
    for (const Setting& s : kSettings) {
        EXPECT_EQ(buffer->SetVolume(s.volume), s.status) << s.volume;
        EXPECT_EQ(buffer->SetFrequency(s.frequency), s.status) << s.frequency;
    }
    EXPECT_EQ(buffer->Volume(), -1) << "refused settings leave the last good one";
    EXPECT_EQ(buffer->Frequency(), 100000u);
    EXPECT_EQ(buffer->SetCurrentPosition(400), kAudioInvalidParam);

    AudioEvent event;
    const NotifyPosition outside{400, &event};
    const NotifyPosition noEvent{0, nullptr};
    EXPECT_EQ(buffer->SetNotificationPositions({&outside, 1}), kAudioInvalidParam);
    EXPECT_EQ(buffer->SetNotificationPositions({&noEvent, 1}), kAudioInvalidParam);
    std::vector<NotifyPosition> tooMany(kMaxNotifyPositions + 1, NotifyPosition{0, &event});
    EXPECT_EQ(buffer->SetNotificationPositions(tooMany), kAudioInvalidParam);
    buffer->Play(true);
    const NotifyPosition fine{0, &event};
    EXPECT_EQ(buffer->SetNotificationPositions({&fine, 1}), kAudioInvalidCall) << "while playing";

    EXPECT_EQ(rig.device->SetOutputFormat(44100, 3), kAudioInvalidParam);
    EXPECT_EQ(rig.device->SetOutputFormat(200000, 2), kAudioInvalidParam);
}

TEST(BufferRules, SlotsRunOutAndFreeAgain)
{
    FileRig rig(44100, 2, false);
    std::vector<std::unique_ptr<SoundBuffer>> buffers(kMaxSoundBuffers);
    for (auto& b : buffers)
        ASSERT_EQ(rig.device->CreateBuffer({{8000, 8, 1}, 16, false}, b), kAudioOk);
    std::unique_ptr<SoundBuffer> extra;
    EXPECT_EQ(rig.device->CreateBuffer({{8000, 8, 1}, 16, false}, extra), kAudioTooManyBuffers);
    buffers[17].reset();
    EXPECT_EQ(rig.device->CreateBuffer({{8000, 8, 1}, 16, false}, extra), kAudioOk);
}

TEST(BufferRules, BuffersOutlivingTheirDeviceRefuseToPlay)
{
    FileRig rig(44100, 2, false);
    auto buffer = rig.Buffer({44100, 16, 2}, Staircase({44100, 16, 2}, 100));
    buffer->Play(true);
    rig.device.reset();
    EXPECT_EQ(buffer->Play(true), kAudioInvalidCall);
    EXPECT_EQ(buffer->Stop(), kAudioOk);
    EXPECT_EQ(buffer->Status(), 0u);
}

TEST(BufferRules, FileOutputKeepsItsFormatOnceSamplesAreWritten)
{
    FileRig rig(22050, 1);
    EXPECT_EQ(rig.device->OutputFormat(), (PcmFormat{22050, 16, 1}));
    rig.device->Pump(10);
    EXPECT_EQ(rig.device->SetOutputFormat(48000, 2), kAudioOk);
    EXPECT_EQ(rig.device->OutputFormat(), (PcmFormat{22050, 16, 1}));
    rig.device->Pump(10);
    const WavContents wav = rig.Finish();
    EXPECT_EQ(wav.format, (PcmFormat{22050, 16, 1}));
    EXPECT_EQ(wav.data.size(), 40u);
}

} // namespace
} // namespace tandrel::test
