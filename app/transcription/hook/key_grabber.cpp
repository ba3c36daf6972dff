#include "app/transcription/hook/key_grabber.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>

#include "app/request_client.h"

namespace tandrel::app {

namespace {

constexpr int kAnswerMs = 3000;

struct Grab
{
    xcb_keycode_t keycode;
    TranscriptionAction action;
};

struct Disconnect
{
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

xcb_screen_t* ScreenOf(xcb_connection_t* connection, int number)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; it.rem; --number, xcb_screen_next(&it))
        if (number == 0) return it.data;
    return nullptr;
}

// Every keycode that carries one of the keys' symbols in the current keyboard map.
std::vector<Grab> KeycodesOf(xcb_connection_t* connection, const std::vector<GlobalKey>& keys)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> map(
        xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, xcb_keycode_t(first), uint8_t(count)),
            nullptr),
        &std::free);
    std::vector<Grab> grabs;
    if (!map) return grabs;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map.get());
    const int perCode = map->keysyms_per_keycode;
    for (const GlobalKey& key : keys)
        for (int code = 0; code < count; ++code)
            for (int k = 0; k < perCode; ++k)
                if (symbols[code * perCode + k] == key.keysym) {
                    grabs.push_back({xcb_keycode_t(first + code), key.action});
                    break;
                }
    return grabs;
}

// The keys are taken alone, whatever Caps Lock and Num Lock (Mod2) are set to. A key that
// another program holds answers BadAccess and is left out.
std::vector<Grab> GrabKeys(xcb_connection_t* connection, xcb_window_t root,
                           const std::vector<Grab>& wanted)
{
    constexpr uint16_t kLockStates[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                        XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
    std::vector<Grab> grabbed;
    for (const Grab& grab : wanted) {
        bool taken = true;
        for (uint16_t locks : kLockStates) {
            const xcb_void_cookie_t cookie = xcb_grab_key_checked(
                connection, 0, root, locks, grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
                std::free(error);
                taken = false;
            }
        }
        if (taken) grabbed.push_back(grab);
    }
    xcb_flush(connection);
    return grabbed;
}

void Serve(const std::vector<GlobalKey>& keys, int wake)
{
    // No X display (a Wayland session without X, a console): no global keys to take.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return;
    int screenNumber = 0;
    Connection connection(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection.get())) return;
    xcb_screen_t* screen = ScreenOf(connection.get(), screenNumber);
    if (!screen) return;
    const std::vector<Grab> grabs =
        GrabKeys(connection.get(), screen->root, KeycodesOf(connection.get(), keys));
    if (grabs.empty()) return;

    std::map<xcb_keycode_t, xcb_timestamp_t> released;
    pollfd fds[2] = {{xcb_get_file_descriptor(connection.get()), POLLIN, 0}, {wake, POLLIN, 0}};
    for (;;) {
        // Events xcb has already read wait in its queue, not on the descriptor: drain first.
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection.get())) {
            const uint8_t type = event->response_type & 0x7F;
            const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
            if (type == XCB_KEY_RELEASE) released[key->detail] = key->time;
            // A held key repeats as a release and a press at the same time: one action a press.
            const auto last = released.find(key->detail);
            const bool repeat = last != released.end() && last->second == key->time;
            if (type == XCB_KEY_PRESS && !repeat)
                for (const Grab& grab : grabs)
                    if (grab.keycode == key->detail) {
                        SendProgramRequest(kRequestTranscription, {uint8_t(grab.action)}, kAnswerMs,
                                           wake);
                        break;
                    }
            std::free(event);
        }
        if (xcb_connection_has_error(connection.get())) return;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents) return;
    }
}

} // namespace

void KeyGrabber::Start(std::vector<GlobalKey> keys)
{
    Stop();
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    if (wake_ < 0) return;
    thread_ = std::thread([keys = std::move(keys), wake = wake_] { Serve(keys, wake); });
}

void KeyGrabber::Stop()
{
    if (wake_ < 0) return;
    const uint64_t one = 1;
    // The thread wakes from its poll or from a request waiting for its answer. An eventfd
    // takes this write unless its counter is full, and then it is readable already.
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    ::close(wake_);
    wake_ = -1;
}

} // namespace tandrel::app
