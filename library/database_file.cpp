#include "library/database_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/file_io.h"

namespace tandrel {

namespace {

void Sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::atomic<DatabaseWait> installedWait{&Sleep};
std::atomic<uint32_t> tempCounter{0};

int RandomWaitPart()
{
    thread_local std::minstd_rand random(
        uint32_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        uint32_t(std::hash<std::thread::id>()(std::this_thread::get_id())));
    return int(random() % 100);
}

bool SameFile(int fd, const std::string& path)
{
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

DatabaseWait InstallDatabaseWait(DatabaseWait wait)
{
    return installedWait.exchange(wait ? wait : &Sleep);
}

void CloseDatabase(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

DatabaseOpen TryOpenDatabase(const std::string& path, bool create, int& fd, bool& created)
{
    fd = -1;
    created = false;
    // Non-blocking, so that a pipe put in the database's place cannot stall the opener.
    int opened = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (opened < 0 && errno == ENOENT && create) {
        opened = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
        if (opened < 0 && errno == EEXIST) return DatabaseOpen::Replaced; // made by another
        created = opened >= 0;
    }
    if (opened < 0)
        return errno == ENOENT || errno == ENOTDIR ? DatabaseOpen::Missing : DatabaseOpen::Failed;

    struct stat st;
    if (::fstat(opened, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(opened);
        return DatabaseOpen::Failed;
    }
    if (::flock(opened, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(opened);
        if (created) created = false; // the winner of the lock will find it empty
        return error == EWOULDBLOCK ? DatabaseOpen::Busy : DatabaseOpen::Failed;
    }
    // The holder before us may have renamed a new file over this one, or deleted it, between
    // our open and our lock: then what we hold is no longer the database.
    if (!SameFile(opened, path)) {
        ::close(opened);
        created = false;
        return DatabaseOpen::Replaced;
    }
    fd = opened;
    return DatabaseOpen::Locked;
}

DatabaseOpen AcquireDatabase(const std::string& path, bool create, int& fd, bool& created)
{
    DatabaseOpen result = DatabaseOpen::Busy;
    int attempt = 0;
    // A file replaced under us is no failed attempt; the bound only stops a pathological race.
    for (int races = 0; races < 64;) {
        result = TryOpenDatabase(path, create, fd, created);
        if (result == DatabaseOpen::Replaced) {
            ++races;
            continue;
        }
        if (result != DatabaseOpen::Busy || ++attempt == kDatabaseOpenTries) return result;
        installedWait.load()(250 + RandomWaitPart()); // none after the last attempt
    }
    return DatabaseOpen::Busy;
}

bool ReadDatabase(int fd, uint64_t limit, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    struct stat st;
    if (::fstat(fd, &st) != 0 || uint64_t(st.st_size) > limit) return false;
    bytes.resize(size_t(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break; // shorter than it said: what was read is the file
        done += size_t(n);
    }
    bytes.resize(done);
    return true;
}

bool ReplaceDatabase(const std::string& path, const std::vector<uint8_t>& bytes, int& fd)
{
    // A name no other writer uses, not matching "*.kdw", beside the database (rename works
    // within one file system only).
    std::string temp;
    int tempFd = -1;
    for (int attempt = 0; attempt < 8 && tempFd < 0; ++attempt) {
        temp = path + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(tempCounter.fetch_add(1)) + "-" + std::to_string(RandomWaitPart());
        tempFd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (tempFd < 0 && errno != EEXIST) return false;
    }
    if (tempFd < 0) return false;
    // Locked before it is renamed in, so that no opener can take the new file in between.
    const bool ok = ::flock(tempFd, LOCK_EX | LOCK_NB) == 0 &&
                    WriteFullyAt(tempFd, bytes.data(), bytes.size(), 0) == bytes.size() && ::fdatasync(tempFd) == 0 &&
                    ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::close(tempFd);
        ::unlink(temp.c_str());
        return false;
    }
    SyncParentFolder(path);
    CloseDatabase(fd);
    fd = tempFd;
    return true;
}

bool RemoveDatabase(const std::string& path)
{
    int fd = -1;
    bool created = false;
    DatabaseOpen result = DatabaseOpen::Replaced;
    for (int races = 0; races < 64 && result == DatabaseOpen::Replaced; ++races)
        result = TryOpenDatabase(path, false, fd, created);
    if (result == DatabaseOpen::Missing) return true;
    if (result != DatabaseOpen::Locked) return false; // held by another opener, or unusable
    // Unlinked while locked: an opener that got hold of it meanwhile sees it is gone.
    const bool removed = ::unlink(path.c_str()) == 0 || errno == ENOENT;
    CloseDatabase(fd);
    if (removed) SyncParentFolder(path);
    return removed;
}

} // namespace tandrel
