// The UI thread and a running callback working on the same buffers. The point is what the
// sanitizers see (a buffer freed while mixed, a ring handed over without ordering), so the
// UI side does everything the stream service does, as fast as it can, keeping to the rule
// the stream service keeps: write only the half of the ring the play cursor has left.
#include <chrono>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "platform/audio/null_device.h"
#include "platform_test_support.h"

namespace tandrel::test {
namespace {

TEST(MixThreads, BuffersComeAndGoWhileTheCallbackMixes)
{
    auto backend = MakeNullBackend();
    std::unique_ptr<SoundDevice> device;
    ASSERT_EQ(backend->OpenPlayback(DeviceId{}, device), kAudioOk);
    const PcmFormat kFormats[] = {{44100, 16, 2}, {22050, 8, 1}, {8000, 16, 1}, {48000, 8, 2}};

    struct Slot { std::unique_ptr<SoundBuffer> buffer; std::unique_ptr<AudioEvent> event; };
    std::vector<Slot> slots(12);
    std::mt19937 random(7);
    uint32_t notified = 0, moved = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    while (std::chrono::steady_clock::now() < until) {
        Slot& slot = slots[random() % slots.size()];
        if (!slot.buffer || random() % 8 == 0) {
            if (slot.event && slot.event->IsSet()) ++notified;
            slot.buffer.reset(); // while the callback may be mixing it
            const PcmFormat& format = kFormats[random() % 4];
            const uint32_t frames = (format.rate / 2 + uint32_t(random() % format.rate)) & ~1u;
            ASSERT_EQ(
                device->CreateBuffer({format, frames * format.BlockAlign(), true}, slot.buffer),
                kAudioOk);
            slot.event = std::make_unique<AudioEvent>(true);
            const NotifyPosition at{uint32_t(random() % frames) * format.BlockAlign(),
                                    slot.event.get()};
            ASSERT_EQ(slot.buffer->SetNotificationPositions({&at, 1}), kAudioOk);
            WriteRing(*slot.buffer, 0, Staircase(format, frames));
            slot.buffer->SetFrequency(format.rate / 2 + uint32_t(random() % (format.rate * 3 / 2)));
            slot.buffer->SetVolume(-int32_t(random() % 3000));
            slot.buffer->Play(random() % 4 != 0);
            continue;
        }
        SoundBuffer& buffer = *slot.buffer;
        const uint32_t align = buffer.Format().BlockAlign();
        uint32_t play = 0, write = 0;
        ASSERT_EQ(buffer.GetCurrentPosition(&play, &write), kAudioOk);
        ASSERT_LT(play, buffer.Bytes());
        ASSERT_LT(write, buffer.Bytes());
        ASSERT_EQ(play % align, 0u);
        if (play != 0) ++moved;
        const uint32_t half = buffer.Bytes() / align / 2 * align;
        switch (random() % 5) {
        case 0:
            // At most twice its rate, a pass of 10 ms reads 20 ms: a cursor a quarter of a
            // second or more from the other half leaves that half alone meanwhile.
            if (play % half < half / 2)
                WriteRing(buffer, play < half ? half : 0, Staircase(buffer.Format(), half / align));
            break;
        case 1:
            buffer.SetCurrentPosition(uint32_t(random() % (buffer.Bytes() / align)) * align);
            break;
        case 2:
            buffer.SetFrequency(random() % 2 ? 0 : buffer.Format().rate * 2);
            break;
        case 3:
            buffer.Stop();
            buffer.Play(true);
            break;
        default:
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            break;
        }
    }
    for (Slot& slot : slots)
        if (slot.event && slot.event->IsSet()) ++notified;
    EXPECT_GT(moved, 0u) << "the callback never moved a cursor";
    EXPECT_GT(notified, 0u) << "no notification fired";
}

TEST(MixThreads, CaptureBufferReadAndReplacedWhileCapturing)
{
    auto backend = MakeNullBackend();
    std::unique_ptr<CaptureDevice> device;
    ASSERT_EQ(backend->OpenCapture(DeviceId{}, device), kAudioOk);
    uint32_t lastCursor = 0, advances = 0;
    for (int round = 0; round < 6; ++round) {
        const PcmFormat format{round % 2 ? 22050u : 44100u, 16, uint16_t(1 + round % 2)};
        std::unique_ptr<CaptureBuffer> buffer;
        ASSERT_EQ(device->CreateCaptureBuffer(format, format.BytesPerSecond() / 10, buffer),
                  kAudioOk);
        ASSERT_EQ(buffer->Start(true), kAudioOk);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
        while (std::chrono::steady_clock::now() < until) {
            uint32_t cursor = 0;
            buffer->GetCurrentPosition(&cursor, nullptr);
            ASSERT_LT(cursor, buffer->Bytes());
            if (cursor != lastCursor) ++advances;
            lastCursor = cursor;
            LockedRegions regions;
            // The half behind the capture cursor is complete; the input writes ahead of it.
            const uint32_t behind = (cursor + buffer->Bytes() / 2) % buffer->Bytes();
            ASSERT_EQ(buffer->Lock(behind, buffer->Bytes() / 4, regions), kAudioOk);
            volatile uint8_t sink = regions.data[0][0];
            (void)sink;
            buffer->Unlock(regions);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (round % 2) buffer->Stop(); // the others are destroyed while capturing
    }
    EXPECT_GT(advances, 0u);
}

} // namespace
} // namespace tandrel::test
