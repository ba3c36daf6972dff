#pragma once
#include <cstdint>
#include <string>

#include "base/four_cc.h"

namespace tandrel {

// Layout of a KDW file. The program chunk has a fixed size so that the data chunk sits at a
// fixed offset: the history can grow and shrink without ever moving sample data.
inline constexpr uint32_t kFormatChunkSize = 18;
inline constexpr uint32_t kProgramOffset = 46;
inline constexpr uint32_t kProgramChunkSize = 524288;
inline constexpr uint32_t kDataChunkOffset = kProgramOffset + kProgramChunkSize; // 524334
inline constexpr uint32_t kDataSizeOffset = kDataChunkOffset + 4;               // 524338
inline constexpr uint32_t kDataOffset = kDataChunkOffset + 8;                   // 524342
inline constexpr uint32_t kRiffSizeOffset = 4;
inline constexpr uint32_t kHeaderSize = 80;
inline constexpr uint32_t kHeaderSizeV4 = 56;
inline constexpr uint32_t kRecordSize = 72;
inline constexpr uint32_t kSegmentSize = 48;
inline constexpr uint32_t kEditVersion = 5;
/** File offsets are 32-bit: no Edit file grows beyond this many bytes. */
inline constexpr uint64_t kMaxEditFileSize = 0xFFFFFFFFull;

/** Highest sample rate an Edit may have; it bounds every buffer sized from the format. */
inline constexpr uint32_t kMaxSampleRate = 768000;

/** All ones: no position, no mark. */
inline constexpr uint64_t kNoPosition = ~uint64_t{0};

// ChannelSource::source values.
inline constexpr uint32_t kSourceData = 0;
inline constexpr uint32_t kSourceGenerated = FourCC("Mod1");
inline constexpr uint32_t kSourceSilence = FourCC("Sil1");

// ChannelSource::treatFlags bits.
inline constexpr uint32_t kTreatMono = 0x1;
inline constexpr uint32_t kTreatLeft = 0x2;
inline constexpr uint32_t kTreatRight = 0x4;
inline constexpr uint32_t kTreatBoth = 0x8;
inline constexpr uint32_t kTreatGainMask = 0xFF00;
inline constexpr uint32_t kTreatGainGroup = 0x300;      // 0x100, 0x200
inline constexpr uint32_t kTreatNormaliseMask = 0xFF0000;
inline constexpr uint32_t kTreatNormaliseGroup = 0x30000; // 0x10000, 0x20000

/** Kinds of history step (EditRecord::type). */
enum StepType : uint32_t {
    kStepInsert = 1,
    kStepDelete = 2,
    kStepGenerate = 3,
    kStepSilence = 4,
    kStepTreat = 5,
    kStepReplace = 6,
    kStepInsertMarker = 7,
    kStepDeleteMarker = 8,
};

/** EditRecord::flags bit 0: the step that put the Edit's first audio in; undo stops there. */
inline constexpr uint32_t kRecordBaseStep = 0x1;
/** markerFlags bit 0: the marker exists. */
inline constexpr uint32_t kMarkerLive = 0x1;

/** Where one channel of a segment comes from, and how it is treated (16 bytes on disk). */
struct ChannelSource
{
    uint32_t source = 0;
    uint32_t process = 0;
    uint32_t treatFlags = 0;
    uint32_t treatParam = 0;
    bool operator==(const ChannelSource&) const = default;
};

/** One piece of the edit list (48 bytes on disk). A zero-length segment is a marker, whose
    id, flags and name length live in the first twelve bytes of channel[0]. */
struct EditSegment
{
    uint64_t dataStart = 0;
    uint64_t dataEnd = 0;
    ChannelSource channel[2];

    bool operator==(const EditSegment&) const = default;

    /** The data chunk's audio [start, end) as it lies, with no treatment. */
    static EditSegment Audio(uint64_t start, uint64_t end)
    {
        EditSegment segment;
        segment.dataStart = start;
        segment.dataEnd = end;
        return segment;
    }
    /** A live marker with `id` (its name travels in the record that inserts it). */
    static EditSegment LiveMarker(uint32_t id)
    {
        EditSegment segment;
        segment.SetMarkerId(id);
        segment.SetMarkerFlags(kMarkerLive);
        return segment;
    }

    /** Bytes of rendered audio; 0 for a marker and for a malformed reversed range. */
    uint64_t Length() const { return dataEnd > dataStart ? dataEnd - dataStart : 0; }
    bool IsMarker() const { return dataStart == dataEnd; }

    uint32_t MarkerId() const { return channel[0].source; }
    void SetMarkerId(uint32_t id) { channel[0].source = id; }
    uint32_t MarkerFlags() const { return channel[0].process; }
    void SetMarkerFlags(uint32_t flags) { channel[0].process = flags; }
    uint32_t NameLength() const { return channel[0].treatFlags; }
    bool IsLiveMarker() const { return IsMarker() && (MarkerFlags() & kMarkerLive); }

    /** Type 6 steps keep the rendered end of the replaced range in the first eight bytes
        of channel[0]. */
    uint64_t ReplacedEnd() const { return uint64_t(channel[0].source) | (uint64_t(channel[0].process) << 32); }
    void SetReplacedEnd(uint64_t end)
    {
        channel[0].source = uint32_t(end);
        channel[0].process = uint32_t(end >> 32);
    }
};

/** One step of history, or one part of a multi-record step (72 bytes on disk, followed by
    the name text for marker steps). */
struct EditRecord
{
    uint32_t groupSize = 1;
    uint32_t type = 0;
    uint64_t position = 0;
    uint32_t flags = 0;
    uint32_t reserved = 0;
    EditSegment segment;
    /** Name text of a type 7 or 8 record; its size is the segment's name length. */
    std::string name;

    bool HasNameText() const { return type == kStepInsertMarker || type == kStepDeleteMarker; }
    /** Sets the name text and the name length that travels in the segment. */
    void SetName(std::string text)
    {
        name = std::move(text);
        segment.channel[0].treatFlags = uint32_t(name.size());
    }
    /** Bytes this record takes in the program chunk. */
    uint32_t StoredSize() const { return kRecordSize + (HasNameText() ? uint32_t(name.size()) : 0); }
};

/** The saved cursor and selection of one view of an Edit. */
struct MarkTriple
{
    uint64_t cursor = 0;
    uint64_t leftMark = kNoPosition;
    uint64_t rightMark = kNoPosition;
    bool operator==(const MarkTriple&) const = default;
};

/** The fixed header at the start of the program chunk (80 bytes, version 5). */
struct EditHeader
{
    uint32_t version = kEditVersion;
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    uint32_t length[3] = {0, 0, 0}; // hundredths of a second: current, at creation, original
    MarkTriple normal;
    MarkTriple master;
    uint16_t undoCount = 0;
    uint16_t redoCount = 0;
    uint32_t reserved3 = 0;
};

} // namespace tandrel
