#pragma once
#include <cstdint>
#include <vector>

#include "base/ring_pieces.h"

namespace tandrel {

/** Up to two pieces of writable bytes; together they are one logical run. */
struct WritablePieces : BasicRingPieces<uint8_t>
{
    /** Copies `count` bytes to logical `offset` of the run. */
    void CopyIn(uint32_t offset, const uint8_t* bytes, uint32_t count);
    /** Sets `count` bytes at logical `offset` to `value`. */
    void Fill(uint32_t offset, uint8_t value, uint32_t count);
};

/** The circular buffer behind a render window. Offsets are relative to the logical start
    (the head); the window slides by moving the head, so only new bytes are written. */
class RenderRing
{
public:
    /** Allocates `size` bytes filled with `silence`. False for 0 or when memory is short. */
    bool SetLength(uint32_t size, uint8_t silence);
    /** Fills the data with silence and puts the head at 0. */
    void Clear();
    /** Writes `count` bytes at logical `offset`. Offset >= 0: the head then advances by
        offset + count (the window slid forward). Offset < 0: the head first moves back by
        -offset and the bytes go at the new start (the window slid back). A write of the
        whole size starts at physical 0. Counts beyond the size are cut to it. */
    void Write(int64_t offset, uint32_t count, const uint8_t* bytes);
    /** Moves the head exactly as Write does and returns where the `count` bytes go, for a
        caller that renders straight into the ring. */
    WritablePieces PrepareWrite(int64_t offset, uint32_t count);
    /** The bytes from logical `offset` to the end of the window. */
    RingPieces Read(uint32_t offset) const;
    uint32_t Size() const { return uint32_t(data_.size()); }
    uint32_t Head() const { return head_; }
    bool Wrapped() const { return wrapped_; }

private:

    std::vector<uint8_t> data_;
    uint32_t head_ = 0;
    bool wrapped_ = false;
    uint8_t silence_ = 0;
};

} // namespace tandrel
