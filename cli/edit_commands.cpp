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
#include "cli/edit_json.h"
#include "cli/json_writer.h"
#include "cli/relay_sinks.h"
#include "cli/usage.h"
#include "edit/edit_file.h"
#include "edit/edit_view.h"

namespace tandrel::cli {

namespace {

constexpr uint64_t kMaxSampleRate = 384000;

int UsageError(const std::string& command, const std::string& problem)
{
    std::cerr << command << ": " << problem << "\n\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

/** The value of a required numeric option within [min, max] and, when `only` is not empty,
    one of its values; nullopt after telling the user what is wrong. */
std::optional<uint32_t> RequiredNumber(const ParsedArguments& parsed, const std::string& option,
                                       uint64_t min, uint64_t max,
                                       std::initializer_list<uint64_t> only = {})
{
    const std::string& text = parsed.values.at(option);
    const std::optional<uint64_t> value = ParseUnsigned(text, min, max);
    if (value && (only.size() == 0 || std::find(only.begin(), only.end(), *value) != only.end()))
        return uint32_t(*value);
    std::cerr << "edit new: " << option << " must be ";
    if (only.size() == 0) {
        std::cerr << min << " to " << max;
    } else {
        const char* separator = "";
        for (const uint64_t allowed : only) {
            std::cerr << separator << allowed;
            separator = " or ";
        }
    }
    std::cerr << ", not \"" << text << "\"\n";
    return std::nullopt;
}

bool PathExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() !=
           std::filesystem::file_type::not_found;
}

} // namespace

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

    const std::optional<uint32_t> rate =
        RequiredNumber(parsed, "--rate", 1, kMaxSampleRate);
    const std::optional<uint32_t> bits = RequiredNumber(parsed, "--bits", 8, 16, {8, 16});
    const std::optional<uint32_t> channels = RequiredNumber(parsed, "--channels", 1, 2, {1, 2});
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
        if (error == EEXIST) {
            std::cerr << "edit new: " << path << " already exists\n";
        } else {
            // The file may have been made before a write failed: a half-written Edit is
            // worse than none.
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
            std::cerr << "edit new: cannot create " << path << ": "
                      << (error != 0 ? std::strerror(error) : "write failed") << "\n";
        }
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
    {
        CountingSink reports;
        const bool opened = view.OpenView(path, true);
        if (!opened && !view.edit.IsOpen()) {
            // The library explains layout errors itself (they are on stderr already); a file
            // that cannot be opened at all is ours to explain.
            if (reports.Count() == 0) {
                const int error = view.edit.LastSystemError();
                std::cerr << "edit info: cannot open " << path;
                if (error != 0) std::cerr << ": " << std::strerror(error);
                std::cerr << "\n";
            }
            return kExitFailed;
        }
        if (master) view.SetMasterView(true, false);
    }

    // The replay has run and any failure of it has been reported; replay once more, quietly,
    // to learn whether the state shown is complete.
    bool replayOk;
    {
        QuietSink quiet;
        replayOk = view.SyncEdit();
    }

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
