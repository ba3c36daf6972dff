#pragma once
#include <cerrno>
#include <cstdint>
#include <unistd.h>

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

} // namespace tandrel
