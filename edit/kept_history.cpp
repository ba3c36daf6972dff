#include "edit/kept_history.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "base/file_io.h"

namespace tandrel {

std::string KeepOriginalHistory(const std::string& editPath, const std::vector<uint8_t>& chunk)
{
    // An older copy is something the user was told about: it is never replaced.
    for (int n = 1; n <= 100; ++n) {
        const std::string path = editPath + ".history" + (n == 1 ? "" : "-" + std::to_string(n));
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return {};
        int error = WriteFullyAt(fd, chunk.data(), chunk.size(), 0) == chunk.size() && ::fdatasync(fd) == 0
                        ? 0
                        : errno;
        ::close(fd);
        if (error == 0 && !SyncParentFolder(path)) error = errno;
        if (error == 0) return path;
        ::unlink(path.c_str());
        errno = error;
        return {};
    }
    errno = EEXIST;
    return {};
}

} // namespace tandrel
