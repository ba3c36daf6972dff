// The capture drain under a stalled loop and a slow disk: input the ring could not hold is
// marked and told, and flushing the recording never holds up the drain.
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "audio/audio_devices.h"
#include "editing/markers.h"
#include "editing_test_support.h"
#include "platform/audio/sound_device.h"
#include "recording/capture_drain.h"
#include "recording/recorder.h"
#include "recording_test_support.h"

namespace {

// The disk of these tests can be made slow: while it is held, fdatasync on any other thread
// waits until it is let go. The test's own thread is the program's UI thread; a flush there
// is counted rather than left to hang the test.
struct SlowDisk
{
    std::mutex lock;
    std::condition_variable changed;
    bool held = false;
    std::thread::id uiThread;
    int uiThreadFlushes = 0;
    int waitingFlushes = 0;
};

SlowDisk& TheDisk()
{
    static SlowDisk disk;
    return disk;
}

} // namespace

extern "C" int fdatasync(int fd)
{
    SlowDisk& disk = TheDisk();
    {
        std::unique_lock guard(disk.lock);
        if (disk.held && std::this_thread::get_id() == disk.uiThread) {
            ++disk.uiThreadFlushes;
        } else if (disk.held) {
            ++disk.waitingFlushes;
            disk.changed.notify_all();
            disk.changed.wait_for(guard, std::chrono::seconds(60), [&] { return !disk.held; });
            --disk.waitingFlushes;
        }
    }
    return int(::syscall(SYS_fdatasync, fd));
}

namespace tandrel::test {
namespace {

class CaptureDrain : public RecordingTest
{
protected:
    void TearDown() override
    {
        SetDiskHeld(false);
        RecordingTest::TearDown();
    }
    static void SetDiskHeld(bool held)
    {
        SlowDisk& disk = TheDisk();
        {
            std::lock_guard guard(disk.lock);
            disk.held = held;
            disk.uiThread = std::this_thread::get_id();
        }
        disk.changed.notify_all();
    }
};

TEST_F(CaptureDrain, InputLostInAStallIsMarkedAndToldNotSkippedSilently)
{
    Recorder().presetTitle = "Stalled";
    RecordCommand();
    RecordBytes(kBytesPerSecond / 2);
    // The loop stands still for three seconds, longer than the capture ring holds.
    const uint64_t stall = 3 * kBytesPerSecond;
    for (uint64_t done = 0; done < stall; done += kBytesPerSecond / 100)
        ASSERT_EQ(AudioEngine().captureDevice->Pump(kRate / 100), kAudioOk);
    ASSERT_EQ(WriteRecordedData(), 0);
    RecordBytes(kBytesPerSecond / 4);
    StopRecording();
    const uint64_t captured = kBytesPerSecond / 2 + stall + kBytesPerSecond / 4;

    const std::string path = EditPath("Stalled");
    const Bytes recorded = Render(path);
    ASSERT_GT(recorded.size(), kBytesPerSecond / 2);
    ASSERT_LT(recorded.size(), captured);
    const uint64_t gap = kBytesPerSecond / 2;
    const uint64_t after = recorded.size() - gap;
    EXPECT_TRUE(Bytes(recorded.begin(), recorded.begin() + long(gap)) == Input(0, gap));
    EXPECT_TRUE(Bytes(recorded.begin() + long(gap), recorded.end()) == Input(captured - after, after))
        << "after the gap the recording goes on with the input as it was captured";

    char name[64];
    std::snprintf(name, sizeof name, "Gap: %.2f s lost", double(captured - recorded.size()) / kBytesPerSecond);
    EditView view(2);
    ASSERT_TRUE(view.OpenView(path, true));
    ASSERT_EQ(view.markers.size(), 1u);
    EXPECT_EQ(view.markers[0].position, gap);
    EXPECT_EQ(MarkerRows(Editor{&view, nullptr}).at(0).name, name);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].title, kCaptureGapTitle);
    EXPECT_NE(messages.Messages()[0].text.find(name), std::string::npos) << messages.Messages()[0].text;
}

TEST_F(CaptureDrain, ASlowDiskDoesNotHoldUpTheDrain)
{
    Recorder().presetTitle = "Slow disk";
    RecordCommand();
    SetDiskHeld(true);
    RecordBytes(3 * kBytesPerSecond); // a flush is due every second
    EXPECT_EQ(TheDisk().uiThreadFlushes, 0) << "the drain flushed the recording itself";
    {
        std::unique_lock guard(TheDisk().lock);
        EXPECT_TRUE(TheDisk().changed.wait_for(guard, std::chrono::seconds(30),
                                                [] { return TheDisk().waitingFlushes > 0; }))
            << "no flush was asked for";
    }
    SetDiskHeld(false);
    StopRecording();
    EXPECT_EQ(Render(EditPath("Slow disk")), Input(0, 3 * kBytesPerSecond));
}

} // namespace
} // namespace tandrel::test
