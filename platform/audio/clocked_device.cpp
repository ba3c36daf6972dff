#include "platform/audio/clocked_device.h"

#include <algorithm>
#include <chrono>

namespace tandrel {
namespace {

constexpr auto kTickPeriod = std::chrono::milliseconds(5);
// Pieces handed over per call: 10 ms at the highest rate.
constexpr uint32_t kBlockFrames = kMaxFrequency / 100;

} // namespace

void FrameClock::Start(uint32_t rate, std::function<void(uint32_t)> tick,
                       std::function<void()> late)
{
    Stop();
    tick_ = std::move(tick);
    late_ = std::move(late);
    stop_ = false;
    thread_ = std::thread([this, rate] { Run(rate); });
}

void FrameClock::Stop()
{
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void FrameClock::Run(uint32_t rate)
{
    using namespace std::chrono;
    const auto start = steady_clock::now();
    const uint64_t piece = std::max<uint32_t>(rate / 100, 1);
    uint64_t done = 0;
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, kTickPeriod, [this] { return stop_; })) {
        lock.unlock();
        const uint64_t micros = duration_cast<microseconds>(steady_clock::now() - start).count();
        const uint64_t due = micros * rate / 1000000;
        if (due > done + rate) {
            late_();
            done = due - piece;
        }
        while (done < due) {
            const uint32_t n = uint32_t(std::min(due - done, piece));
            tick_(n);
            done += n;
        }
        lock.lock();
    }
}

ClockedSoundDevice::ClockedSoundDevice(std::string description, bool fast)
    : SoundDevice(std::move(description), 44100, 2), fast_(fast),
      block_(new int16_t[kBlockFrames * 2])
{
}

ClockedSoundDevice::~ClockedSoundDevice()
{
    StopClock();
    DetachAll();
}

void ClockedSoundDevice::StartClock()
{
    if (fast_ || clockRunning_) return;
    clock_.Start(
        OutputFormat().rate, [this](uint32_t frames) { Advance(frames); },
        [this] { CountUnderrun(); });
    clockRunning_ = true;
}

void ClockedSoundDevice::StopClock()
{
    clock_.Stop();
    clockRunning_ = false;
}

void ClockedSoundDevice::Advance(uint32_t frames)
{
    while (frames > 0) {
        const uint32_t n = std::min(frames, kBlockFrames);
        Mix(block_.get(), n);
        Consume(block_.get(), n);
        frames -= n;
    }
}

int ClockedSoundDevice::Pump(uint32_t frames)
{
    if (!fast_) return kAudioInvalidCall;
    Advance(frames);
    return kAudioOk;
}

int ClockedSoundDevice::SetOutputFormat(uint32_t rate, uint16_t channels)
{
    if (!IsValidFormat(PcmFormat{rate, 16, channels})) return kAudioInvalidParam;
    const bool wasRunning = clockRunning_;
    StopClock();
    if (CanChangeFormat()) {
        SetMixFormat(rate, channels);
        FormatChanged();
    }
    if (wasRunning) StartClock();
    return kAudioOk;
}

ClockedCaptureDevice::ClockedCaptureDevice(std::string description, bool fast)
    : CaptureDevice(std::move(description)), fast_(fast), block_(new int16_t[kBlockFrames * 2])
{
}

ClockedCaptureDevice::~ClockedCaptureDevice()
{
    StopClock();
    DetachBuffer();
}

void ClockedCaptureDevice::StopClock()
{
    clock_.Stop();
    running_ = false;
}

int ClockedCaptureDevice::OpenInput(const PcmFormat& format)
{
    format_ = format;
    return PrepareInput(format);
}

void ClockedCaptureDevice::CloseInput() {}

int ClockedCaptureDevice::StartInput()
{
    running_ = true;
    if (!fast_)
        clock_.Start(
            format_.rate, [this](uint32_t frames) { Advance(frames); }, [this] { CountOverrun(); });
    return kAudioOk;
}

void ClockedCaptureDevice::StopInput()
{
    StopClock();
}

void ClockedCaptureDevice::Advance(uint32_t frames)
{
    while (frames > 0) {
        const uint32_t n = std::min(frames, kBlockFrames);
        Produce(block_.get(), n);
        Deliver(block_.get(), n);
        frames -= n;
    }
}

int ClockedCaptureDevice::Pump(uint32_t frames)
{
    if (!fast_) return kAudioInvalidCall;
    // The input advances only while a buffer captures, so a file is read from its start.
    if (running_) Advance(frames);
    return kAudioOk;
}

} // namespace tandrel
