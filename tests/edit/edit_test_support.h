#pragma once
// Helpers shared by the Edit tests: a scratch folder, raw file access, an independent writer
// for KDW images (so that reading is never checked against our own writer) and builders for
// history records.
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "edit/edit_file.h"
#include "edit/edit_types.h"

namespace tandrel::test {

/** A fresh folder under the system temporary folder, removed with everything in it. */
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path);
void WriteAll(const std::string& path, const Bytes& bytes);
uint64_t FileSize(const std::string& path);
bool FileExists(const std::string& path);

// Little-endian fields, written out here so the tests do not lean on the program's helpers.
uint16_t Le16(const Bytes& b, size_t at);
uint32_t Le32(const Bytes& b, size_t at);
uint64_t Le64(const Bytes& b, size_t at);
void PutLe16(Bytes& b, size_t at, uint16_t v);
void PutLe32(Bytes& b, size_t at, uint32_t v);
void PutLe64(Bytes& b, size_t at, uint64_t v);
std::string Id4(const Bytes& b, size_t at);

/** A 44-byte-header PCM WAV of 16-bit `data` in `channels` at `rate`. */
void WriteWav(const std::string& path, const Bytes& data, uint32_t rate = 44100, uint16_t channels = 2);

/** The sample byte at data offset `i` of every Edit made by these helpers. */
inline uint8_t PatternByte(uint64_t i) { return uint8_t((i * 131 + 7) ^ (i >> 8)); }
Bytes Pattern(uint64_t start, uint64_t count);

// File offsets of the layout, spelled out independently of the program's constants.
inline constexpr size_t kAtHeader = 46;
inline constexpr size_t kAtRecords = 46 + 80;
inline constexpr size_t kAtDataId = 524334;
inline constexpr size_t kAtDataSize = 524338;
inline constexpr size_t kAtData = 524342;

struct Format
{
    uint16_t channels = 1;
    uint32_t rate = 8000;
    uint16_t bits = 8;
    uint32_t BlockAlign() const { return uint32_t(bits / 8) * channels; }
    uint32_t BytesPerSecond() const { return BlockAlign() * rate; }
};
inline constexpr Format kMono8{1, 8000, 8};
inline constexpr Format kStereo16{2, 8000, 16};

/** One record as it stands in the program chunk: 72 bytes, then its name text for types 7
    and 8. */
Bytes EncodeRecord(const EditRecord& r);
/** Reads the 72-byte record at `at` (the name text is not read). */
EditRecord DecodeRecord(const Bytes& b, size_t at);

/** Everything an Edit image holds, for building files by hand. */
struct Image
{
    Format format;
    uint32_t version = 5;
    uint32_t length[3] = {0, 0, 0};
    MarkTriple normal;
    MarkTriple master;
    std::vector<EditRecord> undo;
    std::vector<EditRecord> redo;
    Bytes data;
};
Bytes BuildImage(const Image& image);

// Record and segment builders.
inline EditSegment Plain(uint64_t start, uint64_t end) { return EditSegment::Audio(start, end); }
inline EditSegment MarkerSegment(uint32_t id) { return EditSegment::LiveMarker(id); }
EditRecord Record(uint32_t type, uint64_t position, const EditSegment& segment,
                  uint32_t flags = 0, uint32_t groupSize = 1);
EditRecord BaseStep(uint64_t length);
EditRecord InsertMarkerRecord(uint64_t position, uint32_t id, const std::string& name);
EditRecord DeleteMarkerRecord(uint32_t id);
EditRecord DeleteRecord(uint64_t start, uint64_t end);

/** Creates an Edit through EditFile, appends `dataBytes` bytes of the pattern and, when
    `baseLength` is not zero, pushes a base step over [0, baseLength). Returns false (after
    adding a test failure) when anything goes wrong. */
bool MakeEdit(const std::string& path, Format format, uint64_t dataBytes, uint64_t baseLength);

/** Appends `bytes` to an open Edit and returns the data range, or fails the test. */
bool AppendData(EditFile& edit, const Bytes& bytes, uint64_t& start, uint64_t& end);

/** The kinds of file the program must refuse to open, and leave exactly as they are: an
    Edit with more records counted than its program chunk holds (half of them readable), one
    cut short inside its history, a plain WAV, and one written by a newer version. */
enum class Unreadable { Damaged, Truncated, PlainWav, FutureVersion };
inline constexpr Unreadable kUnreadableKinds[] = {Unreadable::Damaged, Unreadable::Truncated,
                                                  Unreadable::PlainWav, Unreadable::FutureVersion};
const char* UnreadableName(Unreadable kind);
inline void PrintTo(Unreadable kind, std::ostream* os) { *os << UnreadableName(kind); }
/** Writes an unreadable file of `kind` at `path` (replacing what is there) and returns its
    bytes. */
Bytes WriteUnreadable(const std::string& path, Unreadable kind);

} // namespace tandrel::test
