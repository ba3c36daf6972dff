// The transcription keyboard hook, loaded by the program from KD_Xtras: InstallKBHook takes
// the configured keys on the X display, UninstallKBHook lets them go. Both run on the
// program's UI thread.
#include <X11/Xlib.h>

#include <memory>
#include <mutex>
#include <utility>

#include "app/transcription/hook/key_grabber.h"
#include "app/transcription/transcription_settings.h"

namespace {

std::mutex hookLock;
std::unique_ptr<tandrel::app::KeyGrabber> grabber;

} // namespace

extern "C" __attribute__((visibility("default"))) void InstallKBHook()
{
    using namespace tandrel::app;
    std::lock_guard<std::mutex> guard(hookLock);
    if (grabber) return;
    const TranscriptionSettings settings = LoadTranscriptionSettings();
    std::vector<GlobalKey> keys;
    for (const auto& [name, action] :
         {std::pair{settings.playPauseKey, TranscriptionAction::PlayPause},
          std::pair{settings.backKey, TranscriptionAction::Back}}) {
        // A name X does not know ("F99", a typo) takes no key.
        const KeySym symbol = XStringToKeysym(name.c_str());
        if (symbol != NoSymbol) keys.push_back({uint32_t(symbol), action});
    }
    grabber = std::make_unique<KeyGrabber>();
    grabber->Start(std::move(keys));
}

extern "C" __attribute__((visibility("default"))) void UninstallKBHook()
{
    std::lock_guard<std::mutex> guard(hookLock);
    grabber.reset();
}
