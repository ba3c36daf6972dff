#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tandrel {

/** A run of bytes in a ring as up to two pieces: the second, from the ring's start, when the
    run goes past the ring's end. Together they are one run. */
template <class Byte>
struct BasicRingPieces
{
    Byte* data[2] = {nullptr, nullptr};
    uint32_t size[2] = {0, 0};
    uint32_t Total() const { return size[0] + size[1]; }
};

/** Pieces to read. */
using RingPieces = BasicRingPieces<const uint8_t>;

/** The `count` bytes of `ring` (`ringBytes` long) from `start`; the caller keeps `start`
    below `ringBytes` and `count` at most `ringBytes`. */
template <class Byte>
BasicRingPieces<Byte> PiecesOfRing(Byte* ring, uint32_t ringBytes, uint32_t start, uint32_t count)
{
    BasicRingPieces<Byte> pieces;
    pieces.data[0] = ring + start;
    pieces.size[0] = std::min(count, ringBytes - start);
    pieces.size[1] = count - pieces.size[0];
    if (pieces.size[1] > 0) pieces.data[1] = ring;
    return pieces;
}

/** Copies `count` bytes into `ring` (`ringBytes` long, not 0) from `at` (below `ringBytes`),
    going on at the ring's start past its end. Of a block longer than the ring only its last
    `ringBytes` go in. */
inline void CopyIntoRing(uint8_t* ring, size_t ringBytes, size_t at, const uint8_t* bytes,
                         size_t count)
{
    if (count > ringBytes) {
        bytes += count - ringBytes;
        count = ringBytes;
    }
    const size_t first = std::min(count, ringBytes - at);
    std::memcpy(ring + at, bytes, first);
    std::memcpy(ring, bytes + first, count - first);
}

} // namespace tandrel
