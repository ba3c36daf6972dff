#include "app/transcription/transcription_settings.h"

#include <cstdlib>

#include "settings/setting_defaults.h"
#include "settings/settings_store.h"

namespace tandrel::app {

TranscriptionSettings LoadTranscriptionSettings()
{
    TranscriptionSettings settings;
    settings.enabled = ReadNumberSetting("EnableTranscription") != 0;
    settings.playPauseKey = ReadTextSetting("TranscriptionPlayKey");
    settings.backKey = ReadTextSetting("TranscriptionBackKey");
    settings.backSeconds = ReadNumberSetting("TranscriptionBackSeconds");
    return settings;
}

bool SaveTranscriptionSettings(const TranscriptionSettings& settings)
{
    const SettingNumber numbers[] = {{"EnableTranscription", settings.enabled ? 1u : 0u},
                                     {"TranscriptionBackSeconds", settings.backSeconds}};
    return WriteSettingNumbers(kSettingTwoAttempts, kProductKey, numbers, 2) &&
           WriteSettingText(kSettingTwoAttempts, kProductKey, "TranscriptionPlayKey",
                            settings.playPauseKey.c_str()) &&
           WriteSettingText(kSettingTwoAttempts, kProductKey, "TranscriptionBackKey",
                            settings.backKey.c_str());
}

bool GlobalKeysAvailable()
{
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    // Under Wayland an X display reaches only the X programs, not the one being typed in.
    return display && *display && !(wayland && *wayland);
}

} // namespace tandrel::app
