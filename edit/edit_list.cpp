#include "edit/edit_list.h"

#include <algorithm>

namespace tandrel {

void EditList::Clear()
{
    segments_.clear();
    length_ = 0;
}

EditList::InsertResult EditList::Insert(uint64_t position, std::span<const EditSegment> pieces,
                                        bool boundaryOnly)
{
    uint64_t added = 0;
    for (const EditSegment& piece : pieces) {
        if (piece.dataEnd < piece.dataStart) return InsertResult::Failed;
        added += piece.Length();
        if (added > kMaxLength) return InsertResult::Failed;
    }
    if (length_ + added > kMaxLength) return InsertResult::Failed;

    size_t at = 0;
    if (segments_.empty() || position == length_) {
        at = segments_.size();
    } else if (position == 0) {
        at = 0;
    } else if (position > length_) {
        return InsertResult::Skipped;
    } else {
        uint64_t reached = 0;
        for (at = 0; at < segments_.size(); ++at) {
            uint64_t segmentLength = segments_[at].Length();
            if (reached + segmentLength == position) {
                ++at; // after the segment that ends here, before markers sitting here
                break;
            }
            if (reached + segmentLength > position) {
                if (boundaryOnly) return InsertResult::Failed;
                // Split the straddling segment; both parts keep its channel sources.
                EditSegment second = segments_[at];
                uint64_t cut = segments_[at].dataStart + (position - reached);
                segments_[at].dataEnd = cut;
                second.dataStart = cut;
                segments_.insert(segments_.begin() + at + 1, second);
                ++at;
                break;
            }
            reached += segmentLength;
        }
    }
    segments_.insert(segments_.begin() + at, pieces.begin(), pieces.end());
    length_ += added;
    return InsertResult::Inserted;
}

bool EditList::Delete(uint64_t start, uint64_t end)
{
    if (segments_.empty() || end < start || end - start > length_) return false;
    // A range running past the end is cut there, so the list and its length stay in step.
    end = std::min(end, length_);
    if (start >= end) return true;

    std::vector<EditSegment> kept;
    kept.reserve(segments_.size() + 1);
    uint64_t reached = 0;
    for (const EditSegment& segment : segments_) {
        uint64_t first = reached;
        uint64_t last = reached + segment.Length();
        reached = last;
        if (segment.IsMarker()) {
            // Markers at either end of the range stay; those strictly inside go with it.
            if (first <= start || first >= end) kept.push_back(segment);
            continue;
        }
        if (last <= start || first >= end) {
            kept.push_back(segment);
            continue;
        }
        if (first < start) {
            EditSegment head = segment;
            head.dataEnd = segment.dataStart + (start - first);
            kept.push_back(head);
        }
        if (last > end) {
            EditSegment tail = segment;
            tail.dataStart = segment.dataStart + (end - first);
            kept.push_back(tail);
        }
    }
    segments_ = std::move(kept);
    length_ -= end - start;
    return true;
}

std::vector<EditSegment> EditList::CopyRange(uint64_t start, uint64_t end) const
{
    std::vector<EditSegment> pieces;
    if (end <= start) return pieces;
    uint64_t reached = 0;
    for (const EditSegment& segment : segments_) {
        uint64_t first = reached;
        uint64_t last = reached + segment.Length();
        reached = last;
        if (segment.IsMarker() || last <= start) continue;
        if (first >= end) break;
        EditSegment piece = segment;
        if (first < start) piece.dataStart += start - first;
        if (last > end) piece.dataEnd -= last - end;
        pieces.push_back(piece);
        if (last >= end) break;
    }
    return pieces;
}

size_t EditList::SplitAt(uint64_t position)
{
    uint64_t reached = 0;
    for (size_t i = 0; i < segments_.size(); ++i) {
        if (reached >= position) return i;
        uint64_t segmentLength = segments_[i].Length();
        if (reached + segmentLength > position) {
            EditSegment second = segments_[i];
            second.dataStart = segments_[i].dataStart + (position - reached);
            segments_[i].dataEnd = second.dataStart;
            segments_.insert(segments_.begin() + i + 1, second);
            return i + 1;
        }
        reached += segmentLength;
    }
    return segments_.size();
}

bool EditList::ClearMarker(uint32_t markerId)
{
    for (EditSegment& segment : segments_) {
        if (segment.IsMarker() && segment.MarkerId() == markerId) {
            segment.SetMarkerFlags(segment.MarkerFlags() & ~kMarkerLive);
            return true;
        }
    }
    return false;
}

} // namespace tandrel
