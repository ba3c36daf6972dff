#include "app/request_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "app/program_requests.h"

namespace tandrel::app {

namespace {

class Socket
{
public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

// Waits until `fd` is readable or the deadline passes; false also when `cancelFd` wakes first.
bool WaitReadable(int fd, int cancelFd, std::chrono::steady_clock::time_point deadline)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        const int ready = ::poll(fds, cancelFd >= 0 ? 2 : 1, int(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (cancelFd >= 0 && fds[1].revents)) return false;
        return true;
    }
}

} // namespace

std::string ProgramSocketPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/tandrel.socket";
    std::string temp =
        std::getenv("TMPDIR") && *std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    while (temp.size() > 1 && temp.back() == '/')
        temp.pop_back();
    return temp + "/tandrel-" + std::to_string(::getuid()) + ".socket";
}

char SendProgramRequest(uint32_t type, const std::vector<uint8_t>& data, int timeoutMs,
                        int cancelFd)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string path = ProgramSocketPath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return 0;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    Socket socket;
    if (socket.Fd() < 0) return 0;
    if (::connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return 0;
    const std::vector<uint8_t> bytes = EncodeRequest(type, data);
    size_t sent = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a copy that goes away meanwhile must not end this process.
        const ssize_t count =
            ::send(socket.Fd(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return 0;
        sent += size_t(count);
    }
    // The running copy answers once it has the whole message.
    char answer = 0;
    while (WaitReadable(socket.Fd(), cancelFd, deadline)) {
        const ssize_t count = ::recv(socket.Fd(), &answer, 1, 0);
        if (count < 0 && errno == EINTR) continue;
        return count == 1 ? answer : 0;
    }
    return 0;
}

} // namespace tandrel::app
