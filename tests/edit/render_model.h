#pragma once
// A flat reference for the edit list: one item per rendered byte (recording where the byte
// comes from) plus one item per marker. Insertion and deletion on this vector are trivial, so
// the expected result of a history step can be worked out without the segment arithmetic
// that the edit list does.
#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "edit/edit_types.h"

namespace tandrel::test {

struct RenderItem
{
    bool marker = false;
    uint32_t markerId = 0;
    bool live = false;
    // Per channel: the data offset the byte comes from (only meaningful for source 0) and the
    // channel source with its treatment.
    uint64_t offset[2] = {0, 0};
    ChannelSource channel[2];
};

class RenderModel
{
public:
    RenderModel() = default;
    /** Expands segments; `channels` (1 or 2) says how many channel sources count. */
    static RenderModel FromSegments(std::span<const EditSegment> segments, int channels);

    int Channels() const { return channels_; }
    uint64_t Length() const;
    const std::vector<RenderItem>& Items() const { return items_; }

    /** Inserts at rendered position `position`: at 0 before everything, at the end after
        everything, elsewhere directly after the byte before `position` (so before markers
        sitting there). Nothing happens past the end. */
    void Insert(uint64_t position, const RenderModel& pieces);
    /** Removes the bytes of [start, end) and the markers strictly inside; `end` is cut back
        to the length first. */
    void Delete(uint64_t start, uint64_t end);
    /** The bytes of [start, end) without markers. */
    RenderModel Copy(uint64_t start, uint64_t end) const;
    /** Calls `change` for every byte item. */
    void ForEachByte(const std::function<void(RenderItem&)>& change);
    /** Calls `change` for the byte items at rendered positions [start, end). */
    void ForRange(uint64_t start, uint64_t end, const std::function<void(RenderItem&)>& change);

    /** Clears the live flag of the first marker with `id`; false if there is none. */
    bool KillMarker(uint32_t id);

    /** Live markers as (rendered position, id), in rendered order. */
    std::vector<std::pair<uint64_t, uint32_t>> LiveMarkers() const;

    bool operator==(const RenderModel& other) const;
    /** A readable note of the first difference, or empty. */
    std::string Difference(const RenderModel& other) const;

private:
    bool SameItem(const RenderItem& a, const RenderItem& b) const;

    int channels_ = 1;
    std::vector<RenderItem> items_;
};

/** `count` bytes whose channels all come from `source` (silence, generated ...). */
RenderModel Filled(uint64_t count, int channels, const ChannelSource& left,
                   const ChannelSource& right = {});

} // namespace tandrel::test
