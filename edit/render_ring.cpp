#include "edit/render_ring.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tandrel {

bool RenderRing::SetLength(uint32_t size, uint8_t silence)
{
    data_.clear();
    head_ = 0;
    wrapped_ = false;
    silence_ = silence;
    if (size == 0) return false;
    try {
        data_.assign(size, silence);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void RenderRing::Clear()
{
    std::fill(data_.begin(), data_.end(), silence_);
    head_ = 0;
    wrapped_ = false;
}

void WritablePieces::CopyIn(uint32_t offset, const uint8_t* bytes, uint32_t count)
{
    for (int i = 0; i < 2 && count > 0; ++i) {
        if (offset >= size[i]) {
            offset -= size[i];
            continue;
        }
        uint32_t n = std::min(count, size[i] - offset);
        std::memcpy(data[i] + offset, bytes, n);
        bytes += n;
        count -= n;
        offset = 0;
    }
}

void WritablePieces::Fill(uint32_t offset, uint8_t value, uint32_t count)
{
    for (int i = 0; i < 2 && count > 0; ++i) {
        if (offset >= size[i]) {
            offset -= size[i];
            continue;
        }
        uint32_t n = std::min(count, size[i] - offset);
        std::memset(data[i] + offset, value, n);
        count -= n;
        offset = 0;
    }
}

WritablePieces RenderRing::PrepareWrite(int64_t offset, uint32_t count)
{
    uint32_t size = Size();
    if (size == 0) return {};
    count = std::min(count, size);
    uint32_t start;
    if (count == size) {
        head_ = 0;
        start = 0;
    } else if (offset >= 0) {
        start = uint32_t((head_ + uint64_t(offset) % size) % size);
        head_ = uint32_t((head_ + (uint64_t(offset) + count) % size) % size);
    } else {
        uint32_t back = uint32_t(uint64_t(-offset) % size);
        head_ = (head_ + size - back) % size;
        start = head_;
    }
    const WritablePieces pieces{PiecesOfRing(data_.data(), size, start, count)};
    if (pieces.size[1] > 0) wrapped_ = true;
    return pieces;
}

void RenderRing::Write(int64_t offset, uint32_t count, const uint8_t* bytes)
{
    if (Size() == 0) return;
    count = std::min(count, Size());
    PrepareWrite(offset, count).CopyIn(0, bytes, count);
}

RingPieces RenderRing::Read(uint32_t offset) const
{
    const uint32_t size = Size();
    if (offset >= size) return {};
    const uint32_t start = uint32_t((uint64_t(head_) + offset) % size);
    return PiecesOfRing(data_.data(), size, start, size - offset);
}

} // namespace tandrel
