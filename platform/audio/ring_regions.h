#pragma once
#include <algorithm>
#include <cstdint>

#include "platform/audio/sound_device.h"

namespace tandrel {

// The Lock/Unlock arithmetic that playback and capture rings share.

/** Fills `regions` with `bytes` of `ring` from `offset`, wrapping into a second piece at the
    end. kAudioInvalidParam for an offset outside the ring or a count of 0 or more than it. */
inline int RingRegions(uint8_t* ring, uint32_t ringBytes, uint32_t offset, uint32_t bytes,
                       LockedRegions& regions)
{
    regions = LockedRegions{};
    if (offset >= ringBytes || bytes == 0 || bytes > ringBytes) return kAudioInvalidParam;
    regions.first = ring + offset;
    regions.firstBytes = std::min(bytes, ringBytes - offset);
    regions.secondBytes = bytes - regions.firstBytes;
    if (regions.secondBytes > 0) regions.second = ring;
    return kAudioOk;
}

/** True when both pieces of `regions` lie inside `ring` as RingRegions hands them out. */
inline bool RegionsInsideRing(const uint8_t* ring, uint32_t ringBytes, const LockedRegions& regions)
{
    const bool firstInside = regions.first && regions.first >= ring &&
                             regions.first + regions.firstBytes <= ring + ringBytes;
    const bool secondInside =
        regions.secondBytes == 0 || (regions.second == ring && regions.secondBytes <= ringBytes);
    return firstInside && secondInside;
}

} // namespace tandrel
