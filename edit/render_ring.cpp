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

void RenderRing::CopyIn(uint32_t physical, uint32_t count, const uint8_t* bytes)
{
    uint32_t first = std::min(count, Size() - physical);
    std::memcpy(data_.data() + physical, bytes, first);
    if (count > first) {
        std::memcpy(data_.data(), bytes + first, count - first);
        wrapped_ = true;
    }
}

void RenderRing::Write(int64_t offset, uint32_t count, const uint8_t* bytes)
{
    uint32_t size = Size();
    if (size == 0) return;
    count = std::min(count, size);
    if (count == size) {
        head_ = 0;
        wrapped_ = false;
        std::memcpy(data_.data(), bytes, size);
        return;
    }
    if (offset >= 0) {
        uint32_t start = uint32_t((head_ + uint64_t(offset) % size) % size);
        CopyIn(start, count, bytes);
        head_ = uint32_t((head_ + (uint64_t(offset) + count) % size) % size);
    } else {
        uint32_t back = uint32_t(uint64_t(-offset) % size);
        head_ = (head_ + size - back) % size;
        CopyIn(head_, count, bytes);
    }
}

WindowPieces RenderRing::Read(uint32_t offset) const
{
    WindowPieces pieces;
    uint32_t size = Size();
    if (offset >= size) return pieces;
    uint32_t start = uint32_t((uint64_t(head_) + offset) % size);
    uint32_t total = size - offset;
    uint32_t first = std::min(total, size - start);
    pieces.data[0] = data_.data() + start;
    pieces.size[0] = first;
    pieces.count = 1;
    if (total > first) {
        pieces.data[1] = data_.data();
        pieces.size[1] = total - first;
        pieces.count = 2;
    }
    return pieces;
}

} // namespace tandrel
