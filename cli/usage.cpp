#include "cli/usage.h"

#include <ostream>

namespace tandrel::cli {

void PrintUsage(std::ostream& out)
{
    out << "Usage: tandrel-cli COMMAND [ARGS]\n"
           "\n"
           "Commands:\n"
           "  edit new FILE.kdw --rate R --bits B --channels C\n"
           "      Create an empty Edit. R is the sample rate in Hz (1 to 768000), B the bits\n"
           "      per sample (8 or 16), C the channels (1 or 2). FILE must not exist yet.\n"
           "  edit info FILE.kdw [--master]\n"
           "      Open an Edit read-only, replay its history and print its format, header,\n"
           "      undo and redo records, segments and markers as one JSON object. With\n"
           "      --master the replay shows Master view (the audio the Edit was created with).\n"
           "  edit render FILE.kdw OUT.wav [--master] [--from BYTES --to BYTES]\n"
           "      Render the Edit's audio (or the byte range given) through its render\n"
           "      window into a PCM WAV file.\n"
           "  edit extract SRC.kdw DST.kdw --from BYTES --to BYTES [--rate R --bits B\n"
           "               --channels C]\n"
           "      Copy a range of SRC's audio into a new Edit DST, converting it to the\n"
           "      format given (SRC's format by default).\n"
           "  edit do FILE.kdw CMD [CMD ...]\n"
           "      Run editor commands in order on one Edit, keeping one clipboard:\n"
           "      cursor BYTES, select LEFT RIGHT, mark-left, mark-right, select-all,\n"
           "      deselect, cut, copy, paste, delete, undo, redo, marker NAME,\n"
           "      rename-marker INDEX NAME, delete-marker INDEX, markers (prints the\n"
           "      Markers window's text), open OTHER.kdw (makes another Edit active).\n"
           "      Messages go to stderr as TITLE: TEXT; the exit status is 0 when every\n"
           "      command ran without a message.\n"
           "  library [--storage DIR] list [--json] | rebuild | new TITLE | rename OLD NEW |\n"
           "          copy TITLE | delete TITLE | restore |\n"
           "          extract TITLE NEWTITLE --from BYTES --to BYTES\n"
           "      Work on the Edits of the active account in the storage folder (the\n"
           "      settings' folder unless DIR is given): list them (from the database),\n"
           "      rebuild the databases, make an empty Edit in the recording format, rename,\n"
           "      copy to its \"Copy of\" name, move to the deleted files, bring back the\n"
           "      Edit deleted last, or make a new Edit from a range of another.\n"
           "  devices [--json]\n"
           "      List the playback and capture devices of the audio backend (TANDREL_AUDIO:\n"
           "      null, portaudio or file:in=PATH,out=PATH[,fast]; automatic when unset)\n"
           "      with their identities, the system's default and the device the program\n"
           "      would open, as text or one JSON object.\n"
           "  play FILE.kdw [--from BYTES --to BYTES] [--reverse] [--selection]\n"
           "      Play the Edit (the byte range given, or its saved selection) through the\n"
           "      audio backend (TANDREL_AUDIO, as for devices) in the main stream, driven by\n"
           "      the program's own service loop, and print the underrun count when it ends.\n"
           "      --reverse plays from the later position back to the earlier one.\n"
           "  --help\n"
           "      Print this text.\n"
           "\n"
           "Exit status: 0 success, 1 the command failed, 2 the command line was wrong.\n";
}

} // namespace tandrel::cli
