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
    regions = PiecesOfRing(ring, ringBytes, offset, bytes);
    return kAudioOk;
}

/** True when both pieces of `regions` lie inside `ring` as RingRegions hands them out. */
inline bool RegionsInsideRing(const uint8_t* ring, uint32_t ringBytes, const LockedRegions& regions)
{
    const bool firstInside = regions.data[0] && regions.data[0] >= ring &&
                             regions.data[0] + regions.size[0] <= ring + ringBytes;
    const bool secondInside =
        regions.size[1] == 0 || (regions.data[1] == ring && regions.size[1] <= ringBytes);
    return firstInside && secondInside;
}

} // namespace tandrel
