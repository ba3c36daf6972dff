#pragma once
#include <atomic>
#include <cstdint>

namespace tandrel {

/** A flag that a sound or capture buffer raises when its cursor reaches a notification
    position. The audio callback only sets it (one atomic store, never blocks); the UI thread
    tests it without waiting, or waits by polling. Auto-reset events clear when a test finds
    them set; manual-reset events stay set until Reset. */
class AudioEvent
{
  public:
    explicit AudioEvent(bool manualReset = false) : manualReset_(manualReset) {}
    AudioEvent(const AudioEvent&) = delete;
    AudioEvent& operator=(const AudioEvent&) = delete;

    /** Any thread, lock-free: sets the event. */
    void Signal() noexcept { signalled_.store(true, std::memory_order_release); }
    /** Any thread: clears the event. */
    void Reset() noexcept { signalled_.store(false, std::memory_order_release); }
    /** Any thread: whether the event is set, without clearing it. */
    bool IsSet() const noexcept { return signalled_.load(std::memory_order_acquire); }
    /** A wait with a zero timeout: true when the event was set; an auto-reset event is
        cleared by a test that finds it set. */
    bool Test() noexcept
    {
        if (manualReset_) return IsSet();
        return signalled_.exchange(false, std::memory_order_acq_rel);
    }
    /** UI or worker thread: Test, repeated every millisecond for up to `milliseconds`.
        Returns false when the time ran out. */
    bool Wait(uint32_t milliseconds);

  private:
    std::atomic<bool> signalled_{false};
    const bool manualReset_;
};

} // namespace tandrel
