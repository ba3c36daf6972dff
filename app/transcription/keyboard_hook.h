#pragma once
#include <string>

#include "platform/system/shared_library.h"

namespace tandrel::app {

/** The file name of the optional transcription keyboard hook in the plug-in folder. */
inline constexpr const char* kKeyboardHookFile = "libKBTransHook.so";

/** The optional transcription keyboard hook: a library in the plug-in folder exporting
    `void InstallKBHook()` and `void UninstallKBHook()` (extern "C"). Installed, it turns
    global keys into transcription requests to the running program. UI thread. */
class KeyboardHook
{
public:
    KeyboardHook() = default;
    ~KeyboardHook() { Unload(); }
    KeyboardHook(const KeyboardHook&) = delete;
    KeyboardHook& operator=(const KeyboardHook&) = delete;

    /** Start-up: loads kKeyboardHookFile from `folder`. True when it has both exports: it is
        then installed when EnableTranscription is set, and the Settings menu offers
        Transcription. A library that is missing or does not load is passed over in silence;
        one without both exports is reported ("Unable to load transcription DLL") and
        unloaded. */
    bool Load(const std::string& folder);
    bool Loaded() const { return install_ != nullptr; }
    /** Whether the hook is installed. */
    bool On() const { return on_; }

    /** Installs or uninstalls the hook now; nothing when not loaded or already so. */
    void SetOn(bool on);
    /** Installs the hook afresh when it is on, so that it takes changed keys. */
    void Reinstall();
    /** Shutdown: uninstalls when on and unloads. Safe twice. */
    void Unload();

private:
    SharedLibrary library_;
    void (*install_)() = nullptr;
    void (*uninstall_)() = nullptr;
    bool on_ = false;
};

} // namespace tandrel::app
