#pragma once
#include <cstdint>
#include <vector>

#include "edit/edit_types.h"

namespace tandrel::bench {

/** Makes a plausible editing session over an Edit's sample data, step by step: cuts, pastes
    of earlier audio, inserted silence, gain treatments, bleeps, markers (some with short
    names) and marker deletions. It tracks the rendered length so that every position and
    range it produces lies inside the audio as it stands at that step, and it deletes only
    markers that are sure to still exist, so the whole history replays without failure. The
    same seed gives the same history. */
class HistoryGenerator
{
public:
    struct Format
    {
        uint32_t channels = 2;
        uint32_t sampleRate = 44100;
        uint32_t bitsPerSample = 16;
        uint32_t BlockAlign() const { return bitsPerSample / 8 * channels; }
        uint32_t BytesPerSecond() const { return BlockAlign() * sampleRate; }
    };

    HistoryGenerator(uint64_t seed, Format format, uint64_t dataLength);

    /** The base step: all of the sample data at position 0. Call first. */
    EditRecord BaseStep();
    /** The records of the next step, at most `maxRecords` (>= 1) of them. Every named
        marker takes its name bytes from `nameBudget`; a marker is named when it is the
        `nameEvery`-th since the last named one and the budget allows. */
    std::vector<EditRecord> NextStep(size_t maxRecords, uint32_t& nameBudget, uint32_t nameEvery);

    /** Rendered length after the steps made so far. */
    uint64_t Length() const { return length_; }
    /** Steps made so far, by type (index 1 to 8). */
    const uint64_t* StepsByType() const { return stepsByType_; }

private:
    uint64_t Below(uint64_t bound);                    // uniform in [0, bound)
    uint64_t Between(uint64_t low, uint64_t high);     // uniform in [low, high]
    uint64_t Frames(double seconds) const;             // whole frames, in bytes
    uint64_t Duration(double lowSeconds, double highSeconds);
    uint64_t PositionUpTo(uint64_t end);               // frame-aligned, in [0, end]

    std::vector<EditRecord> Delete();
    std::vector<EditRecord> Paste(size_t maxRecords);
    std::vector<EditRecord> Silence();
    std::vector<EditRecord> RangeStep(uint32_t type);
    std::vector<EditRecord> InsertMarker(uint32_t& nameBudget, uint32_t nameEvery);
    std::vector<EditRecord> DeleteMarker();

    uint64_t state_;
    Format format_;
    uint64_t dataLength_;
    uint64_t length_ = 0;
    uint32_t nextMarkerId_ = 1;
    uint32_t markersSinceName_ = 0;
    uint32_t namesGiven_ = 0;
    uint64_t stepsByType_[9] = {};
    /** Unnamed markers inserted since the last step that could have removed a marker. */
    std::vector<EditSegment> deletableMarkers_;
};

/** A full history of exactly `recordCount` records over `dataLength` bytes of sample data,
    named markers taking exactly `nameBytes` bytes of text in all (when the history has a
    marker to carry them). */
std::vector<EditRecord> MakeHistory(uint64_t seed, HistoryGenerator::Format format,
                                    uint64_t dataLength, size_t recordCount, uint32_t nameBytes);

/** Records that fit in the program chunk beside the header with `nameBytes` bytes of names. */
size_t RecordsThatFit(uint32_t nameBytes);

} // namespace tandrel::bench
