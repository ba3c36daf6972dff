#include "recording/free_space.h"

#include <sys/statvfs.h>

namespace tandrel {

uint64_t RecordingFreeSpace(const std::string& folder, uint64_t reserve)
{
    if (folder.empty()) return 0;
    struct statvfs info{};
    if (::statvfs(folder.c_str(), &info) != 0) return 0;
    // What an unprivileged writer may use: the blocks kept for the superuser do not count.
    const uint64_t available = uint64_t(info.f_bavail) * info.f_frsize;
    return available > reserve ? available - reserve : 0;
}

} // namespace tandrel
