#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tandrel::app {

// The sending side of the program's local socket without Qt, for the second copy of the
// program, the keyboard hook (which runs in a thread of its own) and other programs' tools.

/** The socket's path: $XDG_RUNTIME_DIR/tandrel.socket, or one per user in the temporary
    folder ($TMPDIR, else /tmp) when that is not set. Any thread. */
std::string ProgramSocketPath();

/** Sends one request to the running copy and waits at most `timeoutMs` for its answer
    (kAnswerTaken, kAnswerQueued or kAnswerRefused). 0 when no copy listens, it does not
    answer in time, or `cancelFd` (when >= 0) becomes readable first. Any thread; never
    reports. */
char SendProgramRequest(uint32_t type, const std::vector<uint8_t>& data, int timeoutMs = 3000,
                        int cancelFd = -1);

} // namespace tandrel::app
