#pragma once
#include <string>
#include <vector>

namespace tandrel::cli {

/** `record TITLE [--seconds N] [--storage DIR]` records a new Edit of the active account;
    `record --insert-into TITLE --at BYTES [--seconds N] [--abandon]` records into that Edit
    at the byte position. Without --seconds it records until interrupted (SIGINT or SIGTERM
    stop it properly). Uses the recorder of the program with the backend TANDREL_AUDIO names. */
int RecordCommand(const std::vector<std::string>& words);

/** `recover [--storage DIR]`: saves audio that interrupted recordings left behind. */
int RecoverCommand(const std::vector<std::string>& words);

} // namespace tandrel::cli
