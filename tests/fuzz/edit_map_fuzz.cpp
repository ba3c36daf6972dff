// Opens arbitrary bytes as an account's database (KD_EMap.kdd). No input may crash, hang or
// exhaust memory. A file that reads is taken as it stands; any other is rebuilt from the one
// Edit in the folder. Either way the map must enumerate every entry once, in bucket order, and
// what it writes must read back the same.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "edit/edit_file.h"
#include "library/edit_map.h"
#include "silent_sink.h"

namespace {

using namespace tandrel;

SilentSink silentSink;
LibraryLocation location;
std::string databasePath;
std::string folderPath;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "edit_map_fuzz: %s\n", what);
    std::abort();
}

void RemoveLibrary()
{
    std::error_code ignored;
    std::filesystem::remove_all(location.root, ignored);
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written <= 0) {
            close(fd);
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return close(fd) == 0;
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    return bytes;
}

std::vector<EditMapEntry> Entries(EditMap* map)
{
    std::vector<EditMapEntry> all;
    EditMapEntry entry;
    for (bool more = MapFirst(map, entry.info, entry.title); more;
         more = MapNext(map, entry.info, entry.title))
        all.push_back(entry);
    return all;
}

bool SameEntries(const std::vector<EditMapEntry>& a, const std::vector<EditMapEntry>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].title != b[i].title || !(a[i].info == b[i].info)) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InstallInteractionSink(&silentSink);
    // Every open writes the database with a flush: on tmpfs that costs nothing.
    const char* temp = std::getenv("TMPDIR");
    std::error_code error;
    const char* folder = temp && *temp                                      ? temp
                         : std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm"
                                                                            : "/tmp";
    std::string root = std::string(folder) + "/tandrel-map-fuzz-XXXXXX";
    if (!mkdtemp(root.data())) Fail("cannot make a temporary folder");
    location = {root, "KDUser"};
    std::atexit(RemoveLibrary);
    folderPath = AccountFolderPath(location, "Default");
    std::filesystem::create_directories(folderPath, error);
    if (error) Fail("cannot make the account folder");
    databasePath = EditMapPath(location, "Default");

    // The Edit a rebuild finds.
    EditFile edit;
    edit.channels = 2;
    edit.sampleRate = 44100;
    edit.bitsPerSample = 16;
    if (!edit.EditOpen(folderPath + "/Only.kdw", true, false)) Fail("cannot make the Edit");
    edit.EditSetLength(1234, 0);
    edit.EditClose();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!WriteFile(databasePath, data, size)) Fail("cannot write the database");
    EditMapTable direct;
    const bool readsAsItStands = DecodeEditMap(data, size, direct) == EditMapReadResult::Ok;

    EditMap* map = GetEditMap(location, "Default", kProgressSilent);
    if (!map) Fail("a folder that exists got no map");
    const std::vector<EditMapEntry> entries = Entries(map);
    if (entries.size() != map->entries.Size()) Fail("enumeration and table disagree on the count");
    uint32_t lastBucket = 0;
    for (const EditMapEntry& entry : entries) {
        const uint32_t bucket = EditMapBucket(entry.title);
        if (bucket < lastBucket) Fail("enumeration out of bucket order");
        lastBucket = bucket;
        EditInfo found;
        if (!MapLookup(map, entry.title, found) || !(found == entry.info))
            Fail("an enumerated title does not look up to its facts");
    }
    if (readsAsItStands) {
        if (entries.size() != direct.Size()) Fail("the map lost or added entries of a sound file");
    } else if (entries.size() != 1 || entries[0].title != "Only" ||
               entries[0].info.length0 != 1234) {
        Fail("a damaged file was not rebuilt from the folder");
    }

    if (!MapWrite(map)) Fail("cannot write the map back");
    const std::vector<uint8_t> written = ReadFile(databasePath);
    EditMapTable reread;
    if (DecodeEditMap(written.data(), written.size(), reread) != EditMapReadResult::Ok)
        Fail("what was written does not read");
    std::vector<EditMapEntry> back;
    for (size_t b = 0; b < kEditMapBucketCount; ++b)
        back.insert(back.end(), reread.Bucket(b).begin(), reread.Bucket(b).end());
    if (!SameEntries(back, entries)) Fail("what was written reads back different");
    if (!ReleaseEditMap(map)) Fail("release failed");
    return 0;
}
