#include "render_model.h"

#include <algorithm>
#include <sstream>

namespace tandrel::test {

RenderModel RenderModel::FromSegments(std::span<const EditSegment> segments, int channels)
{
    RenderModel m;
    m.channels_ = channels;
    for (const EditSegment& s : segments) {
        if (s.dataStart == s.dataEnd) {
            RenderItem item;
            item.marker = true;
            item.markerId = s.channel[0].source;
            item.live = (s.channel[0].process & kMarkerLive) != 0;
            m.items_.push_back(item);
            continue;
        }
        for (uint64_t at = s.dataStart; at < s.dataEnd; ++at) {
            RenderItem item;
            for (int c = 0; c < 2; ++c) {
                item.offset[c] = at;
                item.channel[c] = s.channel[c];
            }
            m.items_.push_back(item);
        }
    }
    return m;
}

uint64_t RenderModel::Length() const
{
    uint64_t n = 0;
    for (const RenderItem& item : items_) n += item.marker ? 0 : 1;
    return n;
}

void RenderModel::Insert(uint64_t position, const RenderModel& pieces)
{
    uint64_t length = Length();
    if (position > length) return;
    size_t index = 0;
    if (position == 0) {
        index = 0;
    } else if (position == length) {
        index = items_.size();
    } else {
        uint64_t seen = 0;
        for (index = 0; index < items_.size(); ++index) {
            if (!items_[index].marker && ++seen == position) break;
        }
        ++index;
    }
    items_.insert(items_.begin() + std::ptrdiff_t(index), pieces.items_.begin(),
                  pieces.items_.end());
}

void RenderModel::Delete(uint64_t start, uint64_t end)
{
    end = std::min(end, Length()); // a range running past the end stops at the end
    std::vector<RenderItem> kept;
    uint64_t at = 0;
    for (const RenderItem& item : items_) {
        if (item.marker) {
            if (at <= start || at >= end) kept.push_back(item);
        } else {
            if (at < start || at >= end) kept.push_back(item);
            ++at;
        }
    }
    items_ = std::move(kept);
}

RenderModel RenderModel::Copy(uint64_t start, uint64_t end) const
{
    RenderModel out;
    out.channels_ = channels_;
    uint64_t at = 0;
    for (const RenderItem& item : items_) {
        if (item.marker) continue;
        if (at >= start && at < end) out.items_.push_back(item);
        ++at;
    }
    return out;
}

void RenderModel::ForEachByte(const std::function<void(RenderItem&)>& change)
{
    for (RenderItem& item : items_)
        if (!item.marker) change(item);
}

bool RenderModel::KillMarker(uint32_t id)
{
    for (RenderItem& item : items_) {
        if (item.marker && item.markerId == id) {
            item.live = false;
            return true;
        }
    }
    return false;
}

void RenderModel::ForRange(uint64_t start, uint64_t end,
                           const std::function<void(RenderItem&)>& change)
{
    uint64_t at = 0;
    for (RenderItem& item : items_) {
        if (item.marker) continue;
        if (at >= start && at < end) change(item);
        ++at;
    }
}

std::vector<std::pair<uint64_t, uint32_t>> RenderModel::LiveMarkers() const
{
    std::vector<std::pair<uint64_t, uint32_t>> out;
    uint64_t at = 0;
    for (const RenderItem& item : items_) {
        if (item.marker) {
            if (item.live) out.emplace_back(at, item.markerId);
        } else {
            ++at;
        }
    }
    return out;
}

bool RenderModel::SameItem(const RenderItem& a, const RenderItem& b) const
{
    if (a.marker != b.marker) return false;
    if (a.marker) return a.markerId == b.markerId && a.live == b.live;
    for (int c = 0; c < channels_; ++c) {
        if (!(a.channel[c] == b.channel[c])) return false;
        // Only audio from the data chunk has a meaningful offset; generated and silent
        // pieces use their range for its length alone.
        if (a.channel[c].source == kSourceData && a.offset[c] != b.offset[c]) return false;
    }
    return true;
}

bool RenderModel::operator==(const RenderModel& other) const { return Difference(other).empty(); }

namespace {

std::string Describe(const RenderItem& item, int channels)
{
    std::ostringstream out;
    if (item.marker) {
        out << "marker " << item.markerId << (item.live ? " live" : " deleted");
        return out.str();
    }
    for (int c = 0; c < channels; ++c) {
        const ChannelSource& s = item.channel[c];
        out << (c ? " | " : "") << "src=0x" << std::hex << s.source << " proc=0x" << s.process
            << " flags=0x" << s.treatFlags << " param=0x" << s.treatParam << std::dec;
        if (s.source == kSourceData) out << " @" << item.offset[c];
    }
    return out.str();
}

} // namespace

std::string RenderModel::Difference(const RenderModel& other) const
{
    size_t n = std::min(items_.size(), other.items_.size());
    uint64_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!SameItem(items_[i], other.items_[i])) {
            std::ostringstream out;
            out << "item " << i << " (rendered position " << at << "): "
                << Describe(items_[i], channels_) << " vs " << Describe(other.items_[i], channels_);
            return out.str();
        }
        if (!items_[i].marker) ++at;
    }
    if (items_.size() != other.items_.size()) {
        std::ostringstream out;
        out << "item counts differ: " << items_.size() << " vs " << other.items_.size()
            << " (rendered lengths " << Length() << " vs " << other.Length() << ")";
        return out.str();
    }
    return {};
}

RenderModel Filled(uint64_t count, int channels, const ChannelSource& left,
                   const ChannelSource& right)
{
    EditSegment s;
    s.dataStart = 0;
    s.dataEnd = count;
    s.channel[0] = left;
    s.channel[1] = right;
    return RenderModel::FromSegments(std::span<const EditSegment>(&s, 1), channels);
}

} // namespace tandrel::test
