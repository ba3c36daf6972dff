#include "edit_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tandrel::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tandrel-edit-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

uint64_t FileSize(const std::string& path) { return std::filesystem::file_size(path); }

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

uint16_t Le16(const Bytes& b, size_t at) { return uint16_t(b.at(at) | (b.at(at + 1) << 8)); }

uint32_t Le32(const Bytes& b, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | b.at(at + size_t(i));
    return v;
}

uint64_t Le64(const Bytes& b, size_t at) { return Le32(b, at) | (uint64_t(Le32(b, at + 4)) << 32); }

void PutLe16(Bytes& b, size_t at, uint16_t v)
{
    b.at(at) = uint8_t(v);
    b.at(at + 1) = uint8_t(v >> 8);
}

void PutLe32(Bytes& b, size_t at, uint32_t v)
{
    for (size_t i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (8 * i));
}

void PutLe64(Bytes& b, size_t at, uint64_t v)
{
    PutLe32(b, at, uint32_t(v));
    PutLe32(b, at + 4, uint32_t(v >> 32));
}

std::string Id4(const Bytes& b, size_t at)
{
    return std::string(reinterpret_cast<const char*>(&b.at(at)), 4);
}

void WriteWav(const std::string& path, const Bytes& data, uint32_t rate, uint16_t channels)
{
    Bytes file(44);
    auto put4 = [&](size_t at, const char* id) { std::copy(id, id + 4, file.begin() + long(at)); };
    put4(0, "RIFF");
    PutLe32(file, 4, uint32_t(36 + data.size()));
    put4(8, "WAVE");
    put4(12, "fmt ");
    PutLe32(file, 16, 16);
    PutLe16(file, 20, 1);
    PutLe16(file, 22, channels);
    PutLe32(file, 24, rate);
    PutLe32(file, 28, rate * channels * 2);
    PutLe16(file, 32, uint16_t(channels * 2));
    PutLe16(file, 34, 16);
    put4(36, "data");
    PutLe32(file, 40, uint32_t(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    WriteAll(path, file);
}

Bytes Pattern(uint64_t start, uint64_t count)
{
    Bytes out(count);
    for (uint64_t i = 0; i < count; ++i) out[i] = PatternByte(start + i);
    return out;
}

namespace {

void PutChannel(Bytes& b, size_t at, const ChannelSource& c)
{
    PutLe32(b, at, c.source);
    PutLe32(b, at + 4, c.process);
    PutLe32(b, at + 8, c.treatFlags);
    PutLe32(b, at + 12, c.treatParam);
}

ChannelSource GetChannel(const Bytes& b, size_t at)
{
    return {Le32(b, at), Le32(b, at + 4), Le32(b, at + 8), Le32(b, at + 12)};
}

void PutId(Bytes& b, size_t at, const char* id)
{
    for (size_t i = 0; i < 4; ++i) b.at(at + i) = uint8_t(id[i]);
}

} // namespace

Bytes EncodeRecord(const EditRecord& r)
{
    Bytes b(72);
    PutLe32(b, 0, r.groupSize);
    PutLe32(b, 4, r.type);
    PutLe64(b, 8, r.position);
    PutLe32(b, 16, r.flags);
    PutLe32(b, 20, r.reserved);
    PutLe64(b, 24, r.segment.dataStart);
    PutLe64(b, 32, r.segment.dataEnd);
    PutChannel(b, 40, r.segment.channel[0]);
    PutChannel(b, 56, r.segment.channel[1]);
    if (r.type == 7 || r.type == 8) b.insert(b.end(), r.name.begin(), r.name.end());
    return b;
}

EditRecord DecodeRecord(const Bytes& b, size_t at)
{
    EditRecord r;
    r.groupSize = Le32(b, at);
    r.type = Le32(b, at + 4);
    r.position = Le64(b, at + 8);
    r.flags = Le32(b, at + 16);
    r.reserved = Le32(b, at + 20);
    r.segment.dataStart = Le64(b, at + 24);
    r.segment.dataEnd = Le64(b, at + 32);
    r.segment.channel[0] = GetChannel(b, at + 40);
    r.segment.channel[1] = GetChannel(b, at + 56);
    return r;
}

Bytes BuildImage(const Image& image)
{
    Bytes b(kAtData, 0);
    PutId(b, 0, "RIFF");
    PutId(b, 8, "WAVE");
    PutId(b, 12, "fmt ");
    PutLe32(b, 16, 18);
    PutLe16(b, 20, 1);
    PutLe16(b, 22, image.format.channels);
    PutLe32(b, 24, image.format.rate);
    PutLe32(b, 28, image.format.BytesPerSecond());
    PutLe16(b, 32, uint16_t(image.format.BlockAlign()));
    PutLe16(b, 34, image.format.bits);
    PutLe16(b, 36, 0);
    PutId(b, 38, "KDed");
    PutLe32(b, 42, 524288);

    size_t at = kAtHeader;
    PutLe32(b, at, image.version);
    for (int i = 0; i < 3; ++i) PutLe32(b, at + 12 + 4 * size_t(i), image.length[i]);
    PutLe64(b, at + 24, image.normal.cursor);
    PutLe64(b, at + 32, image.normal.leftMark);
    PutLe64(b, at + 40, image.normal.rightMark);
    if (image.version == 4) {
        PutLe16(b, at + 48, uint16_t(image.undo.size()));
        PutLe16(b, at + 50, uint16_t(image.redo.size()));
        at += 56;
    } else {
        PutLe64(b, at + 48, image.master.cursor);
        PutLe64(b, at + 56, image.master.leftMark);
        PutLe64(b, at + 64, image.master.rightMark);
        PutLe16(b, at + 72, uint16_t(image.undo.size()));
        PutLe16(b, at + 74, uint16_t(image.redo.size()));
        at += 80;
    }
    for (const auto* list : {&image.undo, &image.redo}) {
        for (const EditRecord& r : *list) {
            Bytes rec = EncodeRecord(r);
            std::copy(rec.begin(), rec.end(), b.begin() + std::ptrdiff_t(at));
            at += rec.size();
        }
    }

    PutId(b, kAtDataId, "data");
    PutLe32(b, kAtDataSize, uint32_t(image.data.size()));
    b.insert(b.end(), image.data.begin(), image.data.end());
    PutLe32(b, 4, uint32_t(b.size() - 8));
    return b;
}

EditRecord Record(uint32_t type, uint64_t position, const EditSegment& segment, uint32_t flags,
                  uint32_t groupSize)
{
    EditRecord r;
    r.groupSize = groupSize;
    r.type = type;
    r.position = position;
    r.flags = flags;
    r.segment = segment;
    return r;
}

EditRecord BaseStep(uint64_t length)
{
    return Record(kStepInsert, 0, Plain(0, length), kRecordBaseStep);
}

EditRecord InsertMarkerRecord(uint64_t position, uint32_t id, const std::string& name)
{
    EditRecord r = Record(kStepInsertMarker, position, MarkerSegment(id));
    r.SetName(name);
    return r;
}

EditRecord DeleteMarkerRecord(uint32_t id)
{
    return Record(kStepDeleteMarker, 0, MarkerSegment(id));
}

EditRecord DeleteRecord(uint64_t start, uint64_t end)
{
    return Record(kStepDelete, start, Plain(start, end));
}

bool AppendData(EditFile& edit, const Bytes& bytes, uint64_t& start, uint64_t& end)
{
    uint64_t done = 0;
    if (edit.EditBeginData() != 0) {
        ADD_FAILURE() << "EditBeginData failed";
        return false;
    }
    if (edit.EditWrite(bytes.data(), bytes.size(), done) != 0 || done != bytes.size()) {
        ADD_FAILURE() << "EditWrite failed";
        return false;
    }
    if (edit.EditEndData(start, end) != 0) {
        ADD_FAILURE() << "EditEndData failed";
        return false;
    }
    return true;
}

bool MakeEdit(const std::string& path, Format format, uint64_t dataBytes, uint64_t baseLength)
{
    EditFile edit;
    edit.channels = format.channels;
    edit.sampleRate = format.rate;
    edit.bitsPerSample = format.bits;
    if (!edit.EditOpen(path, true, false)) {
        ADD_FAILURE() << "cannot create " << path;
        edit.EditClose();
        return false;
    }
    uint64_t start = 0, end = 0;
    if (dataBytes && !AppendData(edit, Pattern(0, dataBytes), start, end)) return false;
    if (baseLength && !edit.EditPushStep({BaseStep(baseLength)})) {
        ADD_FAILURE() << "cannot push the base step";
        return false;
    }
    edit.EditClose();
    return true;
}

const char* UnreadableName(Unreadable kind)
{
    switch (kind) {
    case Unreadable::Damaged: return "Damaged";
    case Unreadable::Truncated: return "Truncated";
    case Unreadable::PlainWav: return "PlainWav";
    case Unreadable::FutureVersion: return "FutureVersion";
    }
    return "?";
}

Bytes WriteUnreadable(const std::string& path, Unreadable kind)
{
    if (kind == Unreadable::PlainWav) {
        WriteWav(path, Pattern(0, 4000));
        return ReadAll(path);
    }
    Image image;
    image.format = kStereo16;
    image.data = Pattern(0, 4000);
    image.undo = {BaseStep(4000), DeleteRecord(0, 400), InsertMarkerRecord(8, 5, "Open")};
    image.redo = {DeleteRecord(4, 8)};
    image.version = kind == Unreadable::FutureVersion ? 6 : 5;
    Bytes b = BuildImage(image);
    if (kind == Unreadable::Damaged) PutLe16(b, kAtHeader + 72, 0xFFFF);
    if (kind == Unreadable::Truncated) b.resize(kAtRecords + 100);
    WriteAll(path, b);
    return b;
}

} // namespace tandrel::test
