#pragma once
// Helpers of the Library database tests: a scratch Library, raw file access, an independent
// writer of database images (so that reading is never checked against our own writer) and
// small Edits made through EditFile.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "library/edit_map.h"

namespace tandrel::test {

using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
bool Exists(const std::string& path);

uint16_t Le16(const Bytes& b, size_t at);
uint32_t Le32(const Bytes& b, size_t at);

/** One record of a database image, written out here byte by byte. */
struct RawRecord
{
    uint32_t created, modified, length0, length1, length2, fileSize, sampleRate;
    uint16_t bits, channels;
    std::string title;
};
/** "version4 ", a zero byte, reserved u16 and u32, then the records. `reserved` fills the
    reserved fields (the header's last seven bytes, each record's last u16). */
Bytes DatabaseImage(const std::vector<RawRecord>& records, const char* version = "version4 ",
                    uint8_t reserved = 0);
EditInfo InfoOf(const RawRecord& r);

/** A Library under the system temporary folder: root/KDUser/Default exists; removed with
    everything in it. */
class ScratchLibrary
{
  public:
    ScratchLibrary();
    ~ScratchLibrary();
    ScratchLibrary(const ScratchLibrary&) = delete;
    ScratchLibrary& operator=(const ScratchLibrary&) = delete;

    LibraryLocation Location() const { return {root_.string(), "KDUser"}; }
    /** The folder of `account`, made when missing. */
    std::string Account(const std::string& account = "Default") const;
    std::string Database(const std::string& account = "Default") const;
    std::string Edit(const std::string& title, const std::string& account = "Default") const;
    const std::filesystem::path& Root() const { return root_; }

  private:
    std::filesystem::path root_;
};

struct EditSpec
{
    uint16_t channels = 1;
    uint32_t rate = 8000;
    uint16_t bits = 8;
    uint32_t lengths[3] = {0, 0, 0};
    uint64_t dataBytes = 0;
};

/** Makes an Edit through EditFile with `recipe`'s format, header lengths and that many bytes of
    sample data. False (with a test failure added) when anything goes wrong. */
bool MakeEdit(const std::string& path, const EditSpec& recipe);

/** What GetEditInfo should say of an Edit made by MakeEdit, with times and size taken from
    the file system here. */
EditInfo ExpectedInfo(const std::string& path, const EditSpec& recipe);

/** Every entry of a map, in enumeration order. */
std::vector<std::pair<std::string, EditInfo>> Enumerate(EditMap* map);

/** Records the waits of the database retries instead of sleeping; installed for its lifetime.
    `onWait`, when set, runs at each wait (with the number of waits so far). */
class RecordedWaits
{
  public:
    RecordedWaits();
    ~RecordedWaits();
    RecordedWaits(const RecordedWaits&) = delete;
    RecordedWaits& operator=(const RecordedWaits&) = delete;

    std::vector<int> Waits() const;
    void (*onWait)(size_t count) = nullptr;

  private:
    static void Record(int milliseconds);
};

} // namespace tandrel::test
