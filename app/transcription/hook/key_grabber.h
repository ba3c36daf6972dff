#pragma once
#include <cstdint>
#include <thread>
#include <vector>

#include "app/program_requests.h"

namespace tandrel::app {

/** A global key and the transcription action it sends. */
struct GlobalKey
{
    uint32_t keysym; // an X key symbol
    TranscriptionAction action;
};

/** Takes global keys on the X display with key grabs on the root window, in a thread with
    its own connection, and sends each press to the running program as a transcription
    request. Without an X display, or when the connection fails, it does nothing; a key
    another program already holds is left to it. */
class KeyGrabber
{
public:
    KeyGrabber() = default;
    ~KeyGrabber() { Stop(); }
    KeyGrabber(const KeyGrabber&) = delete;
    KeyGrabber& operator=(const KeyGrabber&) = delete;

    /** Starts the thread and returns at once. */
    void Start(std::vector<GlobalKey> keys);
    /** Lets the keys go and ends the thread; safe when not started. */
    void Stop();

private:
    std::thread thread_;
    int wake_ = -1; // an eventfd the thread polls beside its connection
};

} // namespace tandrel::app
