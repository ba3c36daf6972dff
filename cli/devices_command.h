#pragma once
#include <string>
#include <vector>

namespace tandrel::cli {

/** `devices [--json]`: lists the playback and capture devices of the audio backend in use
    (TANDREL_AUDIO, else automatic) with their identities, which is the system default and
    which the program would choose, as text or one JSON object. `words` follow "devices". */
int DevicesCommand(const std::vector<std::string>& words);

} // namespace tandrel::cli
