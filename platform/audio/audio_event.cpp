#include "platform/audio/audio_event.h"

#include <chrono>
#include <thread>

namespace tandrel {

bool AudioEvent::Wait(uint32_t milliseconds)
{
    // The setter is the audio callback, which must not make system calls to wake anyone,
    // so a waiter polls. The program itself only ever tests with a zero timeout.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (Test()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace tandrel
