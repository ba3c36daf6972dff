#include "cli/edit_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <system_error>

#include "cli/arguments.h"
#include "cli/command_support.h"
#include "cli/edit_json.h"
#include "cli/json_writer.h"
#include "cli/relay_sinks.h"
#include "cli/usage.h"
#include "edit/edit_file.h"
#include "edit/edit_view.h"

namespace tandrel::cli {

int EditNewCommand(const std::vector<std::string>& words)
{
    const ParsedArguments parsed =
        ParseArguments(words, {"--rate", "--bits", "--channels"}, {});
    if (!parsed.error.empty()) return UsageError("edit new", parsed.error);
    if (parsed.positional.size() != 1)
        return UsageError("edit new", parsed.positional.empty() ? "no file named"
                                                                 : "more than one file named");
    for (const char* option : {"--rate", "--bits", "--channels"})
        if (!parsed.values.contains(option))
            return UsageError("edit new", std::string(option) + " is required");

    const std::optional<uint32_t> rate = RequiredNumber("edit new", parsed, "--rate", 1, kMaxSampleRate);
    const std::optional<uint32_t> bits = RequiredNumber("edit new", parsed, "--bits", 8, 16, {8, 16});
    const std::optional<uint32_t> channels =
        RequiredNumber("edit new", parsed, "--channels", 1, 2, {1, 2});
    if (!rate || !bits || !channels) return kExitFailed;

    const std::string& path = parsed.positional.front();
    if (PathExists(path)) {
        std::cerr << "edit new: " << path << " already exists\n";
        return kExitFailed;
    }

    EditFile edit;
    edit.channels = *channels;
    edit.sampleRate = *rate;
    edit.bitsPerSample = *bits;
    if (!edit.EditOpen(path, true, false)) {
        const int error = edit.LastSystemError();
        edit.EditClose();
        if (error == EEXIST)
            std::cerr << "edit new: " << path << " already exists\n";
        else
            std::cerr << "edit new: cannot create " << path << ": "
                      << (error != 0 ? std::strerror(error) : "write failed") << "\n";
        return kExitFailed;
    }
    edit.EditClose();
    return kExitOk;
}

int EditInfoCommand(const std::vector<std::string>& words)
{
    const ParsedArguments parsed = ParseArguments(words, {}, {"--master"});
    if (!parsed.error.empty()) return UsageError("edit info", parsed.error);
    if (parsed.positional.size() != 1)
        return UsageError("edit info", parsed.positional.empty() ? "no file named"
                                                                  : "more than one file named");
    const std::string& path = parsed.positional.front();
    const bool master = parsed.switches.contains("--master");

    EditView view;
    if (!OpenViewOrExplain("edit info", view, path, master)) return kExitFailed;
    const bool replayOk = view.replayOk;

    JsonWriter json(2);
    WriteEditInfo(json, view, replayOk);
    std::cout << json.Text() << '\n' << std::flush;
    view.CloseView();
    if (!std::cout) {
        std::cerr << "edit info: cannot write the output\n";
        return kExitFailed;
    }
    return replayOk ? kExitOk : kExitFailed;
}

} // namespace tandrel::cli
