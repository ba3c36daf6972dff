// The Null device: a clock moves the cursors in real time; capture is silence.
#include <algorithm>

#include <gtest/gtest.h>

#include "platform/audio/null_device.h"
#include "platform_test_support.h"

namespace tandrel::test {
namespace {

TEST(NullDevice, PlayCursorMovesWithTheClockUntilStopped)
{
    auto backend = MakeNullBackend();
    std::unique_ptr<SoundDevice> device;
    ASSERT_EQ(backend->OpenPlayback(DeviceId{}, device), kAudioOk);
    const PcmFormat format{44100, 16, 2};
    std::unique_ptr<SoundBuffer> buffer, other;
    ASSERT_EQ(device->CreateBuffer({format, format.BytesPerSecond(), false}, buffer), kAudioOk);
    ASSERT_EQ(device->CreateBuffer({format, format.BytesPerSecond(), false}, other), kAudioOk);
    AudioEvent tenth(true), otherTenth(true);
    const NotifyPosition at{format.BytesPerSecond() / 10, &tenth};
    const NotifyPosition otherAt{at.offset, &otherTenth};
    ASSERT_EQ(buffer->SetNotificationPositions({&at, 1}), kAudioOk);
    ASSERT_EQ(other->SetNotificationPositions({&otherAt, 1}), kAudioOk);

    ASSERT_EQ(buffer->Play(true), kAudioOk);
    ASSERT_TRUE(tenth.Wait(10000)) << "the cursor never reached a tenth of a second";
    uint32_t play = 0;
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_GE(play, at.offset);
    EXPECT_EQ(play % format.BlockAlign(), 0u);

    buffer->Stop();
    uint32_t stopped = 0, later = 1;
    buffer->GetCurrentPosition(&stopped, nullptr);
    // The clock goes on for the other buffer: once it has played a tenth, time has passed.
    ASSERT_EQ(other->Play(true), kAudioOk);
    ASSERT_TRUE(otherTenth.Wait(10000));
    buffer->GetCurrentPosition(&later, nullptr);
    EXPECT_EQ(later, stopped) << "a stopped buffer does not move";
}

TEST(NullDevice, CaptureIsSilence)
{
    const PcmFormat kFormats[] = {{8000, 8, 1}, {44100, 16, 2}};
    for (const PcmFormat& format : kFormats) {
        auto backend = MakeNullBackend();
        std::unique_ptr<CaptureDevice> device;
        ASSERT_EQ(backend->OpenCapture(DeviceId{}, device), kAudioOk);
        std::unique_ptr<CaptureBuffer> buffer;
        ASSERT_EQ(device->CreateCaptureBuffer(format, format.BytesPerSecond(), buffer), kAudioOk);
        LockedRegions ring;
        ASSERT_EQ(buffer->Lock(0, buffer->Bytes(), ring), kAudioOk);
        std::fill_n(ring.data[0], ring.size[0], uint8_t(0x55));
        buffer->Unlock(ring);

        AudioEvent filled;
        const NotifyPosition at{format.BytesPerSecond() / 20, &filled};
        ASSERT_EQ(buffer->SetNotificationPositions({&at, 1}), kAudioOk);
        ASSERT_EQ(buffer->Start(true), kAudioOk);
        ASSERT_TRUE(filled.Wait(10000));
        buffer->Stop();
        uint32_t captured = 0;
        buffer->GetCurrentPosition(&captured, nullptr);
        ASSERT_GE(captured, at.offset);
        const uint8_t silence = format.bits == 8 ? 0x80 : 0;
        EXPECT_EQ(std::count(ring.data[0], ring.data[0] + captured, silence), captured) << format.bits;
        EXPECT_EQ(ring.data[0][captured], 0x55) << "nothing written past the cursor";
    }
}

} // namespace
} // namespace tandrel::test
