// tandrel-cli: the Edit store driven from a terminal, for batch work, tests and benchmarks.

#include <iostream>
#include <string>
#include <vector>

#include "base/interaction.h"
#include "base/terminal_progress.h"
#include "base/terminal_sink.h"
#include "cli/devices_command.h"
#include "cli/gain_control_command.h"
#include "cli/edit_commands.h"
#include "cli/play_command.h"
#include "cli/record_command.h"
#include "cli/usage.h"

int main(int argc, char** argv)
{
    using namespace tandrel::cli;

    // Reports of the library go to stderr as "TITLE: TEXT"; nobody is asked anything.
    tandrel::TerminalSink terminal;
    tandrel::InstallInteractionSink(&terminal);
    tandrel::TerminalProgressViews progress;
    tandrel::InstallProgressViews(&progress);

    const std::vector<std::string> words(argv + 1, argv + argc);
    int status = kExitUsage;
    if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h")) {
        PrintUsage(std::cout);
        status = kExitOk;
    } else if (words.size() >= 2 && words[0] == "edit" && words[1] == "new") {
        status = EditNewCommand({words.begin() + 2, words.end()});
    } else if (words.size() >= 2 && words[0] == "edit" && words[1] == "info") {
        status = EditInfoCommand({words.begin() + 2, words.end()});
    } else if (words.size() >= 2 && words[0] == "edit" && words[1] == "render") {
        status = EditRenderCommand({words.begin() + 2, words.end()});
    } else if (!words.empty() && words[0] == "library") {
        status = LibraryCommand({words.begin() + 1, words.end()});
    } else if (words.size() >= 2 && words[0] == "edit" && words[1] == "do") {
        status = EditDoCommand({words.begin() + 2, words.end()});
    } else if (!words.empty() && words[0] == "gain-control") {
        status = GainControlCommand({words.begin() + 1, words.end()});
    } else if (!words.empty() && words[0] == "devices") {
        status = DevicesCommand({words.begin() + 1, words.end()});
    } else if (!words.empty() && words[0] == "play") {
        status = PlayCommand({words.begin() + 1, words.end()});
    } else if (!words.empty() && words[0] == "record") {
        status = RecordCommand({words.begin() + 1, words.end()});
    } else if (!words.empty() && words[0] == "recover") {
        status = RecoverCommand({words.begin() + 1, words.end()});
    } else if (words.size() >= 2 && words[0] == "edit" && words[1] == "extract") {
        status = EditExtractCommand({words.begin() + 2, words.end()});
    } else {
        if (words.empty()) {
            std::cerr << "tandrel-cli: no command given\n\n";
        } else {
            std::string command = words[0];
            if (words[0] == "edit" && words.size() >= 2) command += " " + words[1];
            std::cerr << "tandrel-cli: unknown command \"" << command << "\"\n\n";
        }
        PrintUsage(std::cerr);
    }
    tandrel::InstallProgressViews(nullptr);
    tandrel::InstallInteractionSink(nullptr);
    return status;
}
