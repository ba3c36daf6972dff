#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "edit/edit_types.h"

namespace tandrel {

/** The ordered pieces whose concatenation is an Edit's rendered audio, with markers as
    zero-length pieces, and the rules by which history steps insert and delete. Keeps its
    rendered length equal to the sum of its pieces at all times. */
class EditList
{
public:
    const std::vector<EditSegment>& Segments() const { return segments_; }
    uint64_t Length() const { return length_; }
    bool Empty() const { return segments_.empty(); }
    void Clear();

    enum class InsertResult { Inserted, Skipped, Failed };
    /** Inserts `pieces` in order at rendered position `position`: at a boundary they go after
        the segment that ends there (before markers sitting at it); inside a segment it is
        split. A position past the end inserts nothing (Skipped). With `boundaryOnly` a
        position inside a segment fails. Pieces with a reversed range, or that would make
        the length overflow, fail. */
    InsertResult Insert(uint64_t position, std::span<const EditSegment> pieces,
                        bool boundaryOnly = false);
    /** Removes the rendered range [start, end): markers strictly inside it go, markers at
        either end stay. Fails on an empty list, a reversed range or a range longer than the
        list; a range running past the end is cut at the end. */
    bool Delete(uint64_t start, uint64_t end);
    /** The pieces of [start, end), markers skipped, the first and last trimmed to the range. */
    std::vector<EditSegment> CopyRange(uint64_t start, uint64_t end) const;
    /** Splits the segments at both ends of [start, end) (cut at the end of the list) and hands
        every audio segment inside to `change`; markers stay where they are. */
    template <class Change> void ChangeRange(uint64_t start, uint64_t end, Change change)
    {
        size_t first = SplitAt(start);
        size_t last = SplitAt(end);
        for (size_t i = first; i < last; ++i)
            if (!segments_[i].IsMarker()) change(segments_[i]);
    }
    /** Clears the live flag of the first marker segment with `markerId`; false if none. */
    bool ClearMarker(uint32_t markerId);

    /** Largest rendered length the list accepts; beyond it a history is taken as corrupt. */
    static constexpr uint64_t kMaxLength = uint64_t{1} << 47;

private:
    /** Makes `position` a segment boundary and returns the index of the first segment that
        starts at or after it (the list's size past the end). */
    size_t SplitAt(uint64_t position);

    std::vector<EditSegment> segments_;
    uint64_t length_ = 0;
};

} // namespace tandrel
