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
    if (segments_.empty()) {
        at = 0;
    } else if (position == 0) {
        at = 0; // before everything, markers at the start included
    } else if (position == length_) {
        at = segments_.size();
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

    // Only the segments overlapping the range change: cut them in place and erase what lies
    // wholly inside, so a step costs one walk and one move of the tail.
    size_t i = 0;
    uint64_t reached = 0;
    while (i < segments_.size()) {
        uint64_t last = reached + segments_[i].Length();
        if (last > start || (segments_[i].IsMarker() && reached > start)) break;
        reached = last;
        ++i;
    }
    size_t eraseFrom = i;
    if (i < segments_.size() && reached < start) {
        // The segment in which the range starts keeps its head.
        EditSegment& segment = segments_[i];
        uint64_t last = reached + segment.Length();
        if (last > end) {
            // The whole range lies inside this one segment: split it around the range.
            EditSegment tail = segment;
            tail.dataStart = segment.dataStart + (end - reached);
            segment.dataEnd = segment.dataStart + (start - reached);
            segments_.insert(segments_.begin() + i + 1, tail);
            length_ -= end - start;
            return true;
        }
        segment.dataEnd = segment.dataStart + (start - reached);
        reached = last;
        eraseFrom = ++i;
    }
    // Everything now starts at or after `start`: drop what ends inside the range, markers
    // strictly inside included, and cut the segment in which the range ends.
    while (i < segments_.size()) {
        EditSegment& segment = segments_[i];
        uint64_t last = reached + segment.Length();
        if (segment.IsMarker() ? reached >= end : last > end) {
            if (!segment.IsMarker() && reached < end) segment.dataStart += end - reached;
            break;
        }
        reached = last;
        ++i;
    }
    segments_.erase(segments_.begin() + eraseFrom, segments_.begin() + i);
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
