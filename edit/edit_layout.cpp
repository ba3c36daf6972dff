#include "edit/edit_layout.h"

#include <cstring>

#include "base/byte_order.h"

namespace tandrel {

namespace {

void EncodeMarks(const MarkTriple& marks, uint8_t* out)
{
    PutU64(out, marks.cursor);
    PutU64(out + 8, marks.leftMark);
    PutU64(out + 16, marks.rightMark);
}

MarkTriple DecodeMarks(const uint8_t* in) { return {GetU64(in), GetU64(in + 8), GetU64(in + 16)}; }

void EncodeChannel(const ChannelSource& channel, uint8_t* out)
{
    PutU32(out, channel.source);
    PutU32(out + 4, channel.process);
    PutU32(out + 8, channel.treatFlags);
    PutU32(out + 12, channel.treatParam);
}

ChannelSource DecodeChannel(const uint8_t* in)
{
    return {GetU32(in), GetU32(in + 4), GetU32(in + 8), GetU32(in + 12)};
}

void EncodeSegment(const EditSegment& segment, uint8_t* out)
{
    PutU64(out, segment.dataStart);
    PutU64(out + 8, segment.dataEnd);
    EncodeChannel(segment.channel[0], out + 16);
    EncodeChannel(segment.channel[1], out + 32);
}

EditSegment DecodeSegment(const uint8_t* in)
{
    EditSegment segment;
    segment.dataStart = GetU64(in);
    segment.dataEnd = GetU64(in + 8);
    segment.channel[0] = DecodeChannel(in + 16);
    segment.channel[1] = DecodeChannel(in + 32);
    return segment;
}

} // namespace

void EncodeHeader(const EditHeader& header, uint8_t* out)
{
    PutU32(out, header.version);
    PutU32(out + 4, header.reserved1);
    PutU32(out + 8, header.reserved2);
    for (int i = 0; i < 3; ++i) PutU32(out + 12 + 4 * i, header.length[i]);
    EncodeMarks(header.normal, out + 24);
    EncodeMarks(header.master, out + 48);
    PutU16(out + 72, header.undoCount);
    PutU16(out + 74, header.redoCount);
    PutU32(out + 76, header.reserved3);
}

EditHeader DecodeHeader(const uint8_t* in)
{
    EditHeader header;
    header.version = GetU32(in);
    header.reserved1 = GetU32(in + 4);
    header.reserved2 = GetU32(in + 8);
    for (int i = 0; i < 3; ++i) header.length[i] = GetU32(in + 12 + 4 * i);
    header.normal = DecodeMarks(in + 24);
    header.master = DecodeMarks(in + 48);
    header.undoCount = GetU16(in + 72);
    header.redoCount = GetU16(in + 74);
    header.reserved3 = GetU32(in + 76);
    return header;
}

EditHeader DecodeHeaderV4(const uint8_t* in)
{
    // Version 4 had no Master view: its marks start unset and the header is upgraded.
    EditHeader header;
    header.version = kEditVersion;
    header.reserved1 = GetU32(in + 4);
    header.reserved2 = GetU32(in + 8);
    for (int i = 0; i < 3; ++i) header.length[i] = GetU32(in + 12 + 4 * i);
    header.normal = DecodeMarks(in + 24);
    header.master = MarkTriple{};
    header.undoCount = GetU16(in + 48);
    header.redoCount = GetU16(in + 50);
    return header;
}

void EncodeFormat(const AudioFormat& format, uint8_t* out)
{
    PutU16(out, format.formatTag);
    PutU16(out + 2, format.channels);
    PutU32(out + 4, format.sampleRate);
    PutU32(out + 8, format.avgBytesPerSec);
    PutU16(out + 12, format.blockAlign);
    PutU16(out + 14, format.bitsPerSample);
    PutU16(out + 16, format.extensionSize);
}

AudioFormat DecodeFormat(const uint8_t* in)
{
    AudioFormat format;
    format.formatTag = GetU16(in);
    format.channels = GetU16(in + 2);
    format.sampleRate = GetU32(in + 4);
    format.avgBytesPerSec = GetU32(in + 8);
    format.blockAlign = GetU16(in + 12);
    format.bitsPerSample = GetU16(in + 14);
    format.extensionSize = GetU16(in + 16);
    return format;
}

std::vector<uint8_t> EncodeFilePrefix(const AudioFormat& format, const EditHeader& header)
{
    std::vector<uint8_t> bytes(kProgramOffset + kHeaderSize);
    uint8_t* p = bytes.data();
    std::memcpy(p, "RIFF", 4);
    PutU32(p + 4, kDataOffset - 8);
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    PutU32(p + 16, kFormatChunkSize);
    EncodeFormat(format, p + 20);
    std::memcpy(p + 38, "KDed", 4);
    PutU32(p + 42, kProgramChunkSize);
    EncodeHeader(header, p + kProgramOffset);
    return bytes;
}

bool CheckFilePrefix(const uint8_t* prefix, AudioFormat& format)
{
    format = DecodeFormat(prefix + 20);
    if (!IsChunkId(prefix, "RIFF") || !IsChunkId(prefix + 8, "WAVE") ||
        !IsChunkId(prefix + 12, "fmt ") || GetU32(prefix + 16) != kFormatChunkSize ||
        format.formatTag != 1 || !IsChunkId(prefix + 38, "KDed") ||
        GetU32(prefix + 42) != kProgramChunkSize)
        return false;
    // Formats the program could not have written would divide by zero or misplace every
    // frame later on.
    return (format.channels == 1 || format.channels == 2) &&
           (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.sampleRate != 0 &&
           format.sampleRate <= kMaxSampleRate;
}

bool DecodeStoredHeader(const uint8_t* header, size_t available, EditHeader& decoded,
                        uint32_t& headerBytes)
{
    if (available < 4) return false;
    const uint32_t version = GetU32(header);
    if (version == 4 && available >= kHeaderSizeV4) {
        decoded = DecodeHeaderV4(header);
        headerBytes = kHeaderSizeV4;
        return true;
    }
    if (version == kEditVersion && available >= kHeaderSize) {
        decoded = DecodeHeader(header);
        headerBytes = kHeaderSize;
        return true;
    }
    return false;
}

void EncodeRecord(const EditRecord& record, std::vector<uint8_t>& out)
{
    size_t at = out.size();
    out.resize(at + kRecordSize);
    uint8_t* p = out.data() + at;
    PutU32(p, record.groupSize);
    PutU32(p + 4, record.type);
    PutU64(p + 8, record.position);
    PutU32(p + 16, record.flags);
    PutU32(p + 20, record.reserved);
    EditSegment segment = record.segment;
    if (record.HasNameText()) {
        // The text follows the record; the in-memory place of the text means nothing on disk.
        segment.channel[0].treatFlags = uint32_t(record.name.size());
        segment.channel[0].treatParam = 0;
    }
    EncodeSegment(segment, p + 24);
    if (record.HasNameText()) out.insert(out.end(), record.name.begin(), record.name.end());
}

EditRecord DecodeRecordFixed(const uint8_t* in)
{
    EditRecord record;
    record.groupSize = GetU32(in);
    record.type = GetU32(in + 4);
    record.position = GetU64(in + 8);
    record.flags = GetU32(in + 16);
    record.reserved = GetU32(in + 20);
    record.segment = DecodeSegment(in + 24);
    return record;
}

} // namespace tandrel
