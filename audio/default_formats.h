#pragma once
#include <cstdint>

#include "base/audio_format.h"

namespace tandrel {

/** The formats a person can choose as the default recording format, numbered 1 to 18 as they
    are stored in DefaultFormat; all are 16-bit PCM. */
struct DefaultFormatEntry
{
    uint32_t rate;
    uint16_t channels;
    const char* text;
};
inline constexpr int kDefaultFormatCount = 18;
inline constexpr int kCdQualityFormat = 16;

/** The entry numbered `number` (1..18); the CD-quality entry for any other number. */
const DefaultFormatEntry& DefaultFormatByNumber(int number);
/** The PCM format record of entry `number` (any other number: CD quality). */
AudioFormat DefaultFormatRecord(int number);

} // namespace tandrel
