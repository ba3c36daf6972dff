#pragma once
#include <algorithm>
#include <cstdint>

namespace tandrel {

// Helpers on PCM samples and frames that the devices, the conversions, the Edit store and the
// engine share. Any thread.

/** Puts the frames of `count` bytes in the opposite order; the samples inside each frame
    keep theirs. A trailing part frame is left alone. */
inline void ReverseFrames(uint8_t* bytes, uint32_t count, uint32_t align)
{
    if (align == 0) return;
    uint32_t a = 0;
    uint32_t b = count / align * align;
    while (b >= align && a + align <= b - align) {
        b -= align;
        std::swap_ranges(bytes + a, bytes + a + align, bytes + b);
        a += align;
    }
}

} // namespace tandrel
