#pragma once
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace tandrel {

/** Puts the audio appended to a recording's file on the disk from a thread of its own, so
    that a slow disk never holds up the UI thread that drains the capture: a stall there longer
    than the capture ring would lose input. It keeps a handle of its own on the file. */
class BackgroundFlush
{
public:
    /** Opens `path` and starts the thread; Running says whether that worked. */
    explicit BackgroundFlush(const std::string& path);
    /** Waits for a flush under way, then closes. */
    ~BackgroundFlush();
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;

    bool Running() const { return thread_.joinable(); }
    /** Asks for everything written to the file so far to go to the disk; returns at once. */
    void Request();
    /** errno of a flush that failed; 0 while every flush succeeded. */
    int Failure() const;

private:
    void Run();

    int fd_ = -1;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool requested_ = false;
    bool stopping_ = false;
    int failure_ = 0;
    std::thread thread_;
};

} // namespace tandrel
