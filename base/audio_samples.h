#pragma once
#include <algorithm>
#include <cstdint>

namespace tandrel {

// Helpers on PCM samples and frames that the devices, the conversions, the Edit store and the
// engine share. Any thread.

/** An unsigned 8-bit sample as signed 16-bit: (b - 128) * 256. */
inline int16_t Sample8To16(uint8_t b) { return int16_t((int32_t(b) - 128) * 256); }

/** A signed 16-bit sample as unsigned 8-bit: its high byte, moved up by 128. */
inline uint8_t Sample16To8(int16_t s) { return uint8_t((s >> 8) + 128); }

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
