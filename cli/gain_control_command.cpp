#include "cli/gain_control_command.h"

#include <iostream>

#include "audio/gain_control.h"
#include "cli/command_support.h"
#include "cli/edit_commands.h"
#include "settings/settings_store.h"

namespace tandrel::cli {

int GainControlCommand(const std::vector<std::string>& words)
{
    if (words.size() > 1 || (words.size() == 1 && words[0] != "on" && words[0] != "off"))
        return UsageError("gain-control", "give on, off or nothing");
    if (words.size() == 1) {
        const bool on = words[0] == "on";
        // Off keeps the channel choice of the settings; on from off uses both channels.
        AgcSettings settings = ReadAgcSettings();
        if ((settings.mode != 0) != on) settings.mode = on ? 1 : 0;
        if (!WriteSettingNumber(kSettingTwoAttempts, kProductKey, "AGCEnable", settings.mode)) {
            std::cerr << "tandrel-cli: the setting could not be written\n";
            return kExitFailed;
        }
    }
    std::cout << "gain control: " << (ReadAgcSettings().mode != 0 ? "on" : "off") << "\n";
    return kExitOk;
}

} // namespace tandrel::cli
