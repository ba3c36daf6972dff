#include "library/edit_info.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "base/audio_format.h"
#include "base/byte_order.h"
#include "base/file_io.h"
#include "base/file_names.h"
#include "base/interaction.h"
#include "edit/edit_file.h"
#include "edit/edit_layout.h"

namespace tandrel {

namespace {

std::atomic<OpenEditFacts*> openEditFacts{nullptr};

enum class HeaderRead
{
    Ok,
    CannotOpen,
    NotAnEdit
};

// Takes the lengths and format from the layout an Edit opens with: the same checks as opening
// it, without its lock (a Cart or Deck may hold it open) and without reading its history.
HeaderRead ReadEditHeader(const std::string& path, EditInfo& info)
{
    // Non-blocking, so that a pipe or device named like an Edit cannot stall the caller.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return HeaderRead::CannotOpen;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return HeaderRead::CannotOpen;
    }

    uint8_t prefix[kProgramOffset + kHeaderSize];
    const uint64_t got = ReadFullyAt(fd, prefix, sizeof prefix, 0);
    uint8_t dataChunk[8];
    const bool dataOk =
        ReadFullyAt(fd, dataChunk, 8, kDataChunkOffset) == 8 && IsChunkId(dataChunk, "data");
    ::close(fd);
    if (got < kProgramOffset + 4 || !dataOk) return HeaderRead::NotAnEdit;

    AudioFormat format;
    EditHeader decoded;
    uint32_t headerBytes = 0;
    if (!CheckFilePrefix(prefix, format) ||
        !DecodeStoredHeader(prefix + kProgramOffset, got - kProgramOffset, decoded, headerBytes))
        return HeaderRead::NotAnEdit;

    info.length0 = decoded.length[0];
    info.length1 = decoded.length[1];
    info.length2 = decoded.length[2];
    info.sampleRate = format.sampleRate;
    info.bitsPerSample = format.bitsPerSample;
    info.channels = format.channels;
    return HeaderRead::Ok;
}

// The editor's Edit may be named by another spelling of the same path ("a//b", a link): the
// file's identity decides. Case is significant here, unlike on the system the Library came
// from: "take.kdw" and "Take.kdw" are two Edits.
bool IsOpenEdit(const std::string& path, const struct statx& file, EditInfo& facts)
{
    OpenEditFacts* source = openEditFacts.load();
    std::string openPath;
    if (!source || !source->OpenEdit(openPath, facts) || openPath.empty()) return false;
    if (openPath == path) return true;
    struct stat open;
    return ::stat(openPath.c_str(), &open) == 0 && major(open.st_dev) == file.stx_dev_major &&
           minor(open.st_dev) == file.stx_dev_minor && open.st_ino == file.stx_ino;
}

} // namespace

OpenEditFacts* InstallOpenEditFacts(OpenEditFacts* source)
{
    return openEditFacts.exchange(source);
}

void FillFromEditFile(const EditFile& edit, EditInfo& info)
{
    info.length0 = edit.header.length[0];
    info.length1 = edit.header.length[1];
    info.length2 = edit.header.length[2];
    info.sampleRate = edit.sampleRate;
    info.bitsPerSample = uint16_t(edit.bitsPerSample);
    info.channels = uint16_t(edit.channels);
}

uint32_t ClampSeconds(int64_t seconds)
{
    if (seconds < 0) return 0;
    return seconds > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(seconds);
}

bool GetEditInfo(const std::string& path, EditInfo& info)
{
    struct statx file;
    if (path.empty() ||
        ::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &file) != 0 ||
        !S_ISREG(file.stx_mode))
        return false;

    EditInfo result;
    // The birth time where the file system keeps one (ext4, xfs, btrfs, tmpfs); otherwise the
    // last write, the earliest time the file system can vouch for (the change time also moves
    // on a rename).
    result.created =
        ClampSeconds((file.stx_mask & STATX_BTIME) ? file.stx_btime.tv_sec : file.stx_mtime.tv_sec);
    result.modified = ClampSeconds(file.stx_mtime.tv_sec);
    // Edits are limited to 4 GiB; a larger file cannot be one, but its size still fits.
    result.fileSize = file.stx_size > UINT32_MAX ? UINT32_MAX : uint32_t(file.stx_size);

    EditInfo facts;
    if (IsOpenEdit(path, file, facts)) {
        result.length0 = facts.length0;
        result.length1 = facts.length1;
        result.length2 = facts.length2;
        result.sampleRate = facts.sampleRate;
        result.bitsPerSample = facts.bitsPerSample;
        result.channels = facts.channels;
    } else {
        switch (ReadEditHeader(path, result)) {
        case HeaderRead::Ok:
            break;
        case HeaderRead::CannotOpen:
            return false;
        case HeaderRead::NotAnEdit:
            ReportError("EditOpen (5): Error parsing header in file %s.",
                        FileNameOf(path).c_str());
            return false;
        }
    }
    info = result;
    return true;
}

} // namespace tandrel
