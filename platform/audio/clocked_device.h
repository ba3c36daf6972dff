#pragma once
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/audio/sound_device.h"

namespace tandrel {

// The devices without hardware (Null, File) share this: the audio is driven either by a
// clock thread that hands over the frames real time says are due, or ("fast") by the
// caller through Pump, which makes every result reproducible.

/** A thread that every few milliseconds calls `tick` with the frames due at `rate` since
    Start, in pieces of at most 10 ms. When it falls more than a second behind (the machine
    stalled) it calls `late` and skips the backlog rather than racing to catch up. */
class FrameClock
{
  public:
    ~FrameClock() { Stop(); }
    void Start(uint32_t rate, std::function<void(uint32_t frames)> tick,
               std::function<void()> late);
    /** Returns once the thread has finished its last tick. */
    void Stop();

  private:
    void Run(uint32_t rate);

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::function<void(uint32_t)> tick_;
    std::function<void()> late_;
};

/** A playback device whose output goes to Consume instead of hardware. */
class ClockedSoundDevice : public SoundDevice
{
  public:
    ~ClockedSoundDevice() override;
    int SetOutputFormat(uint32_t rate, uint16_t channels) override;
    int Pump(uint32_t frames) override;

  protected:
    ClockedSoundDevice(std::string description, bool fast);
    /** Derived constructors call this last, derived destructors StopClock first, so that
        Consume never runs on a half-built or half-destroyed object. No-ops when fast. */
    void StartClock();
    void StopClock();
    /** Clock thread or Pump caller: `frames` mixed frames at the output format. */
    virtual void Consume(const int16_t* samples, uint32_t frames) = 0;
    /** UI thread, clock stopped: whether the output format may change now. */
    virtual bool CanChangeFormat() const { return true; }
    /** UI thread, clock stopped: the output format has just changed. */
    virtual void FormatChanged() {}

  private:
    void Advance(uint32_t frames);

    const bool fast_;
    FrameClock clock_;
    bool clockRunning_ = false;
    std::unique_ptr<int16_t[]> block_;
};

/** A capture device whose input comes from Produce. */
class ClockedCaptureDevice : public CaptureDevice
{
  public:
    ~ClockedCaptureDevice() override;
    int Pump(uint32_t frames) override;

  protected:
    ClockedCaptureDevice(std::string description, bool fast);
    /** Derived destructors call this first. */
    void StopClock();
    /** UI thread: a capture buffer in `format` is being made. */
    virtual int PrepareInput(const PcmFormat& format) = 0;
    /** Clock thread or Pump caller: `frames` frames of 16-bit audio at the rate and
        channel count that PrepareInput was given. */
    virtual void Produce(int16_t* samples, uint32_t frames) = 0;

  private:
    int OpenInput(const PcmFormat& format) override;
    void CloseInput() override;
    int StartInput() override;
    void StopInput() override;
    void Advance(uint32_t frames);

    const bool fast_;
    FrameClock clock_;
    PcmFormat format_;
    bool running_ = false;
    std::unique_ptr<int16_t[]> block_;
};

} // namespace tandrel
