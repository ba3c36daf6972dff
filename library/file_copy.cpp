#include "library/file_copy.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "base/progress.h"

namespace tandrel {

namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    int Release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

} // namespace

int MoveWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without the no-replace rename: a hard link fails when the name is taken.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

CopyResult CopyFileWithProgress(const std::string& from, const std::string& to,
                                const std::string& caption, int& error)
{
    error = 0;
    Descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info;
    if (in.Get() < 0 || ::fstat(in.Get(), &info) != 0) {
        error = errno;
        return CopyResult::Failed;
    }
    Descriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (out.Get() < 0) {
        error = errno;
        return CopyResult::Failed;
    }

    ProgressWindow* progress = AcquireProgress(kProgressForeground);
    OpenProgress(progress, 1, true);
    ProgressText(progress, caption);
    const uint64_t total = uint64_t(info.st_size);
    std::vector<uint8_t> block(1 << 20);
    uint64_t copied = 0;
    CopyResult result = CopyResult::Copied;
    while (result == CopyResult::Copied) {
        ssize_t got = ::read(in.Get(), block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = errno;
            result = CopyResult::Failed;
            break;
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(out.Get(), block.data() + done, size_t(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                error = put < 0 ? errno : EIO;
                result = CopyResult::Failed;
                break;
            }
            done += put;
        }
        copied += uint64_t(got);
        if (result == CopyResult::Copied && total > 0 &&
            !ProgressPercent(progress, int(copied * 100 / total)))
            result = CopyResult::Cancelled;
    }
    ReleaseProgress(kProgressForeground);
    if (result == CopyResult::Copied && ::fsync(out.Get()) != 0) {
        error = errno;
        result = CopyResult::Failed;
    }
    if (::close(out.Release()) != 0 && result == CopyResult::Copied) {
        error = errno;
        result = CopyResult::Failed;
    }
    if (result != CopyResult::Copied) ::unlink(to.c_str());
    return result;
}

} // namespace tandrel
