#include "recording/background_flush.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tandrel {

BackgroundFlush::BackgroundFlush(const std::string& path)
{
    // Any handle on the file flushes what every writer has put into it.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) thread_ = std::thread([this] { Run(); });
}

BackgroundFlush::~BackgroundFlush()
{
    if (thread_.joinable()) {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    if (fd_ >= 0) ::close(fd_);
}

void BackgroundFlush::Request()
{
    {
        std::lock_guard guard(lock_);
        requested_ = true;
    }
    wake_.notify_one();
}

int BackgroundFlush::Failure() const
{
    std::lock_guard guard(lock_);
    return failure_;
}

void BackgroundFlush::Run()
{
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [this] { return requested_ || stopping_; });
        if (!requested_) return;
        requested_ = false;
        guard.unlock();
        const int error = ::fdatasync(fd_) == 0 ? 0 : errno;
        guard.lock();
        if (error != 0 && failure_ == 0) failure_ = error;
    }
}

} // namespace tandrel
