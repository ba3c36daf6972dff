// The mix runs in the real-time callback: it must not allocate. Counted by this test
// binary's global operator new (allocation_counter.cpp).
#include <gtest/gtest.h>

#include "platform_test_support.h"

namespace tandrel::test {
long AllocationCount();
namespace {

TEST(MixAllocation, MixingAndCapturingAllocateNothing)
{
    FileRig rig(44100, 2, false);
    const PcmFormat kFormats[] = {{44100, 16, 2}, {22050, 8, 1}, {48000, 16, 1}, {8000, 8, 2}};
    std::vector<std::unique_ptr<SoundBuffer>> buffers;
    std::vector<std::unique_ptr<AudioEvent>> events;
    for (int i = 0; i < 26; ++i) {
        const PcmFormat& format = kFormats[i % 4];
        buffers.push_back(rig.Buffer(format, Staircase(format, 3000), i % 2 == 0));
        events.push_back(std::make_unique<AudioEvent>());
        const NotifyPosition at{uint32_t(i * 16 % 3000) * format.BlockAlign(), events.back().get()};
        buffers.back()->SetNotificationPositions({&at, 1});
        buffers.back()->SetFrequency(i % 3 == 0 ? 0 : 1000 + 3700 * i);
        buffers.back()->SetVolume(-100 * i);
        buffers.back()->Play(i % 5 != 0);
    }
    FileAudioOptions options;
    options.fast = true;
    auto inputs = MakeFileBackend(options);
    std::unique_ptr<CaptureDevice> capture;
    ASSERT_EQ(inputs->OpenCapture(DeviceId{}, capture), kAudioOk);
    std::unique_ptr<CaptureBuffer> ring;
    ASSERT_EQ(capture->CreateCaptureBuffer({44100, 8, 2}, 8820, ring), kAudioOk);
    ring->Start(true);
    std::vector<int16_t> out(5000 * 2);

    const long before = AllocationCount();
    for (uint32_t frames : {441u, 5000u, 1u, 4097u, 512u}) {
        rig.device->Mix(out.data(), frames);
        capture->Pump(frames);
    }
    const long after = AllocationCount();
    EXPECT_EQ(after - before, 0);
    EXPECT_NE(std::count(out.begin(), out.end(), 0), long(out.size())) << "nothing was mixed";
}

} // namespace
} // namespace tandrel::test
