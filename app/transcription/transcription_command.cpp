#include "app/transcription/transcription_command.h"

#include <cstdio>
#include <optional>
#include <string>

#include "app/program_requests.h"
#include "app/request_client.h"

namespace tandrel::app {

int RunTranscriptionCommand(int argc, char** argv)
{
    const std::optional<TranscriptionAction> action =
        argc == 1 ? TranscriptionActionNamed(argv[0]) : std::nullopt;
    if (!action) {
        std::fprintf(stderr, "usage: tandrel --transcription play-pause|back\n");
        return 1;
    }
    if (SendProgramRequest(kRequestTranscription, {uint8_t(*action)}) != kAnswerTaken) {
        std::fprintf(stderr, "tandrel: no running Tandrel took the transcription action\n");
        return 2;
    }
    return 0;
}

} // namespace tandrel::app
