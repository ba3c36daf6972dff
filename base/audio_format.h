#pragma once
#include <cstdint>

namespace tandrel {

/** PCM format record as it stands in a WAVE "fmt " chunk (18 bytes with the extension size). */
struct AudioFormat
{
    uint16_t formatTag = 1;      // 1 = PCM, the only tag the program stores
    uint16_t channels = 0;       // 1 or 2
    uint32_t sampleRate = 0;     // Hz
    uint32_t avgBytesPerSec = 0; // blockAlign * sampleRate
    uint16_t blockAlign = 0;     // (bitsPerSample / 8) * channels
    uint16_t bitsPerSample = 0;  // 8 or 16
    uint16_t extensionSize = 0;

    bool operator==(const AudioFormat&) const = default;
};

} // namespace tandrel
