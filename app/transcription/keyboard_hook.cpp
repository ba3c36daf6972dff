#include "app/transcription/keyboard_hook.h"

#include "base/interaction.h"
#include "settings/setting_defaults.h"

namespace tandrel::app {

bool KeyboardHook::Load(const std::string& folder)
{
    Unload();
    if (!library_.Load(folder + "/" + kKeyboardHookFile)) return false;
    auto install = reinterpret_cast<void (*)()>(library_.Symbol("InstallKBHook"));
    auto uninstall = reinterpret_cast<void (*)()>(library_.Symbol("UninstallKBHook"));
    if (!install || !uninstall) {
        ReportError("Unable to load transcription DLL");
        library_.Unload();
        return false;
    }
    install_ = install;
    uninstall_ = uninstall;
    if (ReadNumberSetting("EnableTranscription") != 0) SetOn(true);
    return true;
}

void KeyboardHook::SetOn(bool on)
{
    if (!Loaded() || on == on_) return;
    if (on)
        install_();
    else
        uninstall_();
    on_ = on;
}

void KeyboardHook::Reinstall()
{
    if (!on_) return;
    SetOn(false);
    SetOn(true);
}

void KeyboardHook::Unload()
{
    SetOn(false);
    install_ = uninstall_ = nullptr;
    library_.Unload();
}

} // namespace tandrel::app
