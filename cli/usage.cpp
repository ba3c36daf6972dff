#include "cli/usage.h"

#include <ostream>

namespace tandrel::cli {

void PrintUsage(std::ostream& out)
{
    out << "Usage: tandrel-cli COMMAND [ARGS]\n"
           "\n"
           "Commands:\n"
           "  edit new FILE.kdw --rate R --bits B --channels C\n"
           "      Create an empty Edit. R is the sample rate in Hz (1 to 384000), B the bits\n"
           "      per sample (8 or 16), C the channels (1 or 2). FILE must not exist yet.\n"
           "  edit info FILE.kdw [--master]\n"
           "      Open an Edit read-only, replay its history and print its format, header,\n"
           "      undo and redo records, segments and markers as one JSON object. With\n"
           "      --master the replay shows Master view (the audio the Edit was created with).\n"
           "  --help\n"
           "      Print this text.\n"
           "\n"
           "Exit status: 0 success, 1 the command failed, 2 the command line was wrong.\n";
}

} // namespace tandrel::cli
