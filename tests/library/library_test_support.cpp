#include "library_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>

#include "edit/edit_file.h"
#include "library/database_file.h"

namespace tandrel::test {

namespace fs = std::filesystem;

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool Exists(const std::string& path)
{
    std::error_code error;
    return fs::exists(path, error);
}

uint16_t Le16(const Bytes& b, size_t at)
{
    return uint16_t(b.at(at) | (b.at(at + 1) << 8));
}

uint32_t Le32(const Bytes& b, size_t at)
{
    return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 |
           uint32_t(b.at(at + 3)) << 24;
}

namespace {

void Put16(Bytes& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

} // namespace

Bytes DatabaseImage(const std::vector<RawRecord>& records, const char* version, uint8_t reserved)
{
    Bytes b(version, version + std::strlen(version));
    b.resize(16, reserved);
    for (const RawRecord& r : records) {
        for (uint32_t v :
             {r.created, r.modified, r.length0, r.length1, r.length2, r.fileSize, r.sampleRate})
            Put32(b, v);
        Put16(b, r.bits);
        Put16(b, r.channels);
        Put16(b, uint16_t(r.title.size()));
        Put16(b, uint16_t(reserved * 0x101));
        b.insert(b.end(), r.title.begin(), r.title.end());
    }
    return b;
}

EditInfo InfoOf(const RawRecord& r)
{
    EditInfo info;
    info.created = r.created;
    info.modified = r.modified;
    info.length0 = r.length0;
    info.length1 = r.length1;
    info.length2 = r.length2;
    info.fileSize = r.fileSize;
    info.sampleRate = r.sampleRate;
    info.bitsPerSample = r.bits;
    info.channels = r.channels;
    return info;
}

ScratchLibrary::ScratchLibrary()
{
    std::string pattern = (fs::temp_directory_path() / "tandrel-library-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    fs::create_directories(root_ / "KDUser" / "Default");
}

ScratchLibrary::~ScratchLibrary()
{
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string ScratchLibrary::Account(const std::string& account) const
{
    const fs::path folder = root_ / "KDUser" / account;
    fs::create_directories(folder);
    return folder.string();
}

std::string ScratchLibrary::Database(const std::string& account) const
{
    return (root_ / "KDUser" / account / "KD_EMap.kdd").string();
}

std::string ScratchLibrary::Edit(const std::string& title, const std::string& account) const
{
    return (fs::path(Account(account)) / (title + ".kdw")).string();
}

bool MakeEdit(const std::string& path, const EditSpec& recipe)
{
    EditFile edit;
    edit.channels = recipe.channels;
    edit.sampleRate = recipe.rate;
    edit.bitsPerSample = recipe.bits;
    if (!edit.EditOpen(path, /*create=*/true, /*openReadOnly=*/false)) {
        ADD_FAILURE() << "cannot create " << path;
        return false;
    }
    for (int i = 0; i < 3; ++i)
        edit.EditSetLength(recipe.lengths[i], i);
    bool ok = true;
    if (recipe.dataBytes != 0) {
        Bytes data(recipe.dataBytes);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = uint8_t(i * 37);
        uint64_t done = 0, start = 0, end = 0;
        ok = edit.EditBeginData() == 0 && edit.EditWrite(data.data(), data.size(), done) == 0 &&
             edit.EditEndData(start, end) == 0;
    }
    ok = edit.EditSave() == 0 && ok;
    edit.EditClose();
    if (!ok) ADD_FAILURE() << "cannot fill " << path;
    return ok;
}

EditInfo ExpectedInfo(const std::string& path, const EditSpec& recipe)
{
    EditInfo info;
    struct statx file;
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &file) != 0) {
        ADD_FAILURE() << "cannot examine " << path;
        return info;
    }
    info.created =
        uint32_t((file.stx_mask & STATX_BTIME) ? file.stx_btime.tv_sec : file.stx_mtime.tv_sec);
    info.modified = uint32_t(file.stx_mtime.tv_sec);
    info.fileSize = uint32_t(file.stx_size);
    info.length0 = recipe.lengths[0];
    info.length1 = recipe.lengths[1];
    info.length2 = recipe.lengths[2];
    info.sampleRate = recipe.rate;
    info.bitsPerSample = recipe.bits;
    info.channels = recipe.channels;
    return info;
}

std::vector<std::pair<std::string, EditInfo>> Enumerate(EditMap* map)
{
    std::vector<std::pair<std::string, EditInfo>> all;
    EditInfo info;
    std::string title;
    for (bool more = MapFirst(map, info, title); more; more = MapNext(map, info, title))
        all.emplace_back(title, info);
    return all;
}

namespace {
std::mutex waitsLock;
std::vector<int> waits;
RecordedWaits* current = nullptr;
DatabaseWait previousWait = nullptr;
} // namespace

RecordedWaits::RecordedWaits()
{
    std::lock_guard<std::mutex> hold(waitsLock);
    waits.clear();
    current = this;
    previousWait = InstallDatabaseWait(&Record);
}

RecordedWaits::~RecordedWaits()
{
    InstallDatabaseWait(previousWait);
    std::lock_guard<std::mutex> hold(waitsLock);
    current = nullptr;
}

std::vector<int> RecordedWaits::Waits() const
{
    std::lock_guard<std::mutex> hold(waitsLock);
    return waits;
}

void RecordedWaits::Record(int milliseconds)
{
    void (*hook)(size_t) = nullptr;
    size_t count = 0;
    {
        std::lock_guard<std::mutex> hold(waitsLock);
        waits.push_back(milliseconds);
        count = waits.size();
        hook = current ? current->onWait : nullptr;
    }
    if (hook) hook(count);
}

} // namespace tandrel::test
