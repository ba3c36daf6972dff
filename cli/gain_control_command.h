#pragma once
#include <string>
#include <vector>

namespace tandrel::cli {

/** `gain-control [on|off]`: turns the automatic gain control on (both channels) or off, as the
    window's command does, and prints whether it is on. `words` follow "gain-control". */
int GainControlCommand(const std::vector<std::string>& words);

} // namespace tandrel::cli
