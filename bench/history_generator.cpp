#include "bench/history_generator.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace tandrel::bench {

namespace {

constexpr uint32_t kGain = FourCC("Gain");
constexpr uint32_t kBleep = FourCC("Blep");

} // namespace

HistoryGenerator::HistoryGenerator(uint64_t seed, Format format, uint64_t dataLength)
    : state_(seed ? seed : 1), format_(format), dataLength_(dataLength)
{
}

// splitmix64: tiny, fast and the same on every platform, unlike the standard distributions.
uint64_t HistoryGenerator::Below(uint64_t bound)
{
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return bound ? z % bound : 0;
}

uint64_t HistoryGenerator::Between(uint64_t low, uint64_t high)
{
    return high <= low ? low : low + Below(high - low + 1);
}

uint64_t HistoryGenerator::Frames(double seconds) const
{
    const uint64_t frames = uint64_t(seconds * format_.sampleRate);
    return frames * format_.BlockAlign();
}

uint64_t HistoryGenerator::Duration(double lowSeconds, double highSeconds)
{
    const uint64_t align = format_.BlockAlign();
    return Between(Frames(lowSeconds) / align, Frames(highSeconds) / align) * align;
}

uint64_t HistoryGenerator::PositionUpTo(uint64_t end)
{
    const uint64_t align = format_.BlockAlign();
    return Between(0, end / align) * align;
}

EditRecord HistoryGenerator::BaseStep()
{
    EditRecord base;
    base.type = kStepInsert;
    base.flags = kRecordBaseStep;
    base.segment.dataStart = 0;
    base.segment.dataEnd = dataLength_ / format_.BlockAlign() * format_.BlockAlign();
    length_ = base.segment.dataEnd;
    ++stepsByType_[kStepInsert];
    return base;
}

std::vector<EditRecord> HistoryGenerator::NextStep(size_t maxRecords, uint32_t& nameBudget,
                                                   uint32_t nameEvery)
{
    // Roughly what a producer does to a spoken recording: mostly cuts, gain rides and
    // markers, some pastes and silences, the odd bleep.
    const uint64_t roll = Below(100);
    std::vector<EditRecord> step;
    if (roll < 28) step = Delete();
    else if (roll < 46) step = Paste(maxRecords);
    else if (roll < 55) step = Silence();
    else if (roll < 73) step = RangeStep(kStepTreat);
    else if (roll < 78) step = RangeStep(kStepGenerate);
    else if (roll < 95) step = InsertMarker(nameBudget, nameEvery);
    else step = DeleteMarker();
    if (step.empty()) step = InsertMarker(nameBudget, nameEvery);
    ++stepsByType_[step.front().type];
    return step;
}

std::vector<EditRecord> HistoryGenerator::Delete()
{
    const uint64_t cut = Duration(0.05, 6.0);
    // Keep at least a minute of audio: an editor trims, it does not empty the Edit.
    if (length_ < cut + Frames(60.0)) return Paste(1);
    const uint64_t start = PositionUpTo(length_ - cut);
    EditRecord record;
    record.type = kStepDelete;
    record.position = start;
    record.segment.dataStart = start;
    record.segment.dataEnd = start + cut;
    length_ -= cut;
    deletableMarkers_.clear();
    return {record};
}

std::vector<EditRecord> HistoryGenerator::Paste(size_t maxRecords)
{
    const size_t pieces = std::min<size_t>(maxRecords, Between(1, 3));
    const uint64_t position = PositionUpTo(length_);
    std::vector<EditRecord> step;
    for (size_t i = 0; i < pieces; ++i) {
        const uint64_t size = std::min(Duration(0.1, 4.0), dataLength_ / 2);
        const uint64_t start = PositionUpTo(dataLength_ - size);
        EditRecord record;
        record.groupSize = uint32_t(pieces);
        record.type = kStepInsert;
        record.position = position;
        record.segment.dataStart = start;
        record.segment.dataEnd = start + size;
        length_ += size;
        step.push_back(record);
    }
    return step;
}

std::vector<EditRecord> HistoryGenerator::Silence()
{
    const uint64_t size = Duration(0.1, 1.0);
    const uint64_t position = PositionUpTo(length_);
    EditRecord record;
    record.type = kStepSilence;
    record.position = position;
    record.segment.dataStart = position;
    record.segment.dataEnd = position + size;
    const uint32_t flags = format_.channels == 2 ? kTreatBoth : kTreatMono;
    record.segment.channel[0] = {kSourceSilence, 0, flags, 0};
    if (format_.channels == 2) record.segment.channel[1] = record.segment.channel[0];
    length_ += size;
    return {record};
}

std::vector<EditRecord> HistoryGenerator::RangeStep(uint32_t type)
{
    const uint64_t size = std::min(type == kStepTreat ? Duration(0.5, 30.0) : Duration(0.1, 1.0),
                                   length_);
    const uint64_t start = PositionUpTo(length_ - size);
    EditRecord record;
    record.type = type;
    record.position = start;
    record.segment.dataStart = start;
    record.segment.dataEnd = start + size;
    const uint32_t flags = format_.channels == 2 ? kTreatBoth : kTreatMono;
    for (uint32_t c = 0; c < format_.channels; ++c) {
        ChannelSource& channel = record.segment.channel[c];
        if (type == kStepTreat)
            channel = {kSourceData, kGain, flags | 0x100, uint32_t(Between(1, 400))};
        else
            channel = {kSourceGenerated, kBleep, flags, 1000};
    }
    // Replaying a range step may drop the markers inside the range.
    deletableMarkers_.clear();
    return {record};
}

std::vector<EditRecord> HistoryGenerator::InsertMarker(uint32_t& nameBudget, uint32_t nameEvery)
{
    EditRecord record;
    record.type = kStepInsertMarker;
    record.position = PositionUpTo(length_);
    record.segment.SetMarkerId(nextMarkerId_++);
    record.segment.SetMarkerFlags(kMarkerLive);
    if (nameBudget > 0 && ++markersSinceName_ >= nameEvery) {
        markersSinceName_ = 0;
        std::string name = "Ad " + std::to_string(++namesGiven_);
        name.resize(std::min<size_t>(name.size(), nameBudget));
        nameBudget -= uint32_t(name.size());
        record.SetName(name);
    } else {
        deletableMarkers_.push_back(record.segment);
    }
    return {record};
}

std::vector<EditRecord> HistoryGenerator::DeleteMarker()
{
    if (deletableMarkers_.empty()) return {};
    const size_t pick = Below(deletableMarkers_.size());
    EditRecord record;
    record.type = kStepDeleteMarker;
    record.segment = deletableMarkers_[pick];
    deletableMarkers_.erase(deletableMarkers_.begin() + std::ptrdiff_t(pick));
    return {record};
}

std::vector<EditRecord> MakeHistory(uint64_t seed, HistoryGenerator::Format format,
                                    uint64_t dataLength, size_t recordCount, uint32_t nameBytes)
{
    HistoryGenerator generator(seed, format, dataLength);
    std::vector<EditRecord> records;
    records.reserve(recordCount);
    if (recordCount == 0) return records;
    records.push_back(generator.BaseStep());
    uint32_t budget = nameBytes;
    // Spread the names over the history rather than spending them on the first markers.
    const uint32_t nameEvery = 40;
    while (records.size() < recordCount) {
        std::vector<EditRecord> step = generator.NextStep(recordCount - records.size(), budget, nameEvery);
        records.insert(records.end(), step.begin(), step.end());
    }
    // Whatever the budget still holds lengthens the last name, so the chunk fills exactly.
    for (auto it = records.rbegin(); budget > 0 && it != records.rend(); ++it) {
        if (it->type == kStepInsertMarker && !it->name.empty()) {
            it->SetName(it->name + std::string(budget, '!'));
            budget = 0;
        }
    }
    return records;
}

size_t RecordsThatFit(uint32_t nameBytes)
{
    const uint64_t room = kProgramChunkSize - kHeaderSize;
    return nameBytes > room ? 0 : size_t((room - nameBytes) / kRecordSize);
}

} // namespace tandrel::bench
