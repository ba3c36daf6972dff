#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

namespace tandrel {

/** Lets the UI thread wait until the audio callback has left the pass over the buffers
    that was running when the UI thread unpublished or stopped one of them. The callback
    marks each pass with Enter and Leave; the UI thread changes what the callback sees first,
    then calls WaitIdle. A pass that began after the change cannot have seen the old state
    (both sides use sequentially consistent order), so WaitIdle only waits for the pass in
    progress, never for later ones. */
class CallbackGate
{
  public:
    void Enter() noexcept { passes_.fetch_add(1, std::memory_order_seq_cst); }
    void Leave() noexcept { passes_.fetch_add(1, std::memory_order_release); }
    void WaitIdle() const noexcept
    {
        // Odd while a pass runs; any change means that pass has ended.
        const uint32_t seen = passes_.load(std::memory_order_seq_cst);
        if ((seen & 1) == 0) return;
        while (passes_.load(std::memory_order_acquire) == seen)
            std::this_thread::yield();
    }

  private:
    std::atomic<uint32_t> passes_{0};
};

} // namespace tandrel
