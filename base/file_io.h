#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace tandrel {

/** Reads up to `count` bytes at `offset` of `fd`, across short reads and interruptions;
    returns what was read (fewer only at the end of the file or on an error). Any thread. */
inline uint64_t ReadFullyAt(int fd, uint8_t* bytes, uint64_t count, uint64_t offset)
{
    uint64_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd, bytes + done, count - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += uint64_t(n);
    }
    return done;
}

/** Writes all of `count` bytes at `offset` of `fd`, across short writes and interruptions;
    returns what was written (fewer only on an error, with errno set). Any thread. */
inline uint64_t WriteFullyAt(int fd, const uint8_t* bytes, uint64_t count, uint64_t offset)
{
    uint64_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(fd, bytes + done, count - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            break;
        }
        done += uint64_t(n);
    }
    return done;
}

/** Puts the folder entry of `filePath` on the disk, so that a file just created or renamed
    there survives a power loss. Any thread. */
inline bool SyncParentFolder(const std::string& filePath)
{
    const size_t slash = filePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : filePath.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

/** True when `path` names a folder (links followed). Any thread. */
inline bool IsFolder(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/** True when something stands at `path`: a file, a folder or a link, even one that leads
    nowhere (the name is taken). Any thread. */
inline bool PathExists(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace tandrel
