#pragma once

namespace tandrel::app {

/** `tandrel --transcription ACTION` (ACTION "play-pause" or "back"), for a desktop shortcut
    where the keyboard hook gets no global keys: asks the running copy over its socket to
    carry the action out. `argc`/`argv` are the words after --transcription. Returns 0 when
    the running copy took it; otherwise says why on stderr and returns 1 (unknown action) or
    2 (no running copy took it). */
int RunTranscriptionCommand(int argc, char** argv);

} // namespace tandrel::app
