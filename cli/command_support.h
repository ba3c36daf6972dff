#pragma once
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "base/file_io.h"
#include "cli/arguments.h"

namespace tandrel {
class EditView;
struct AudioFormat;
}

namespace tandrel::cli {

/** Tells what was wrong with the command line, prints the usage and returns kExitUsage. */
int UsageError(const std::string& command, const std::string& problem);

/** The value of the required option `option` within [min, max] and, when `only` is not empty,
    one of those values; nullopt after telling the user what is wrong. */
std::optional<uint32_t> RequiredNumber(const std::string& command, const ParsedArguments& parsed,
                                       const std::string& option, uint64_t min, uint64_t max,
                                       std::initializer_list<uint64_t> only = {});

/** The value of an optional byte position; `fallback` when it is not given, nullopt (after
    telling the user) when it is not a number. */
std::optional<uint64_t> OptionalPosition(const std::string& command, const ParsedArguments& parsed,
                                         const std::string& option, uint64_t fallback);

/** Opens `path` read-only into `view` (in Master view with `master`). On failure explains
    why on stderr, unless the library already has, and returns false. */
bool OpenViewOrExplain(const std::string& command, EditView& view, const std::string& path,
                       bool master);

/** Uses `folder` as the storage folder, or the one the settings name when it is empty,
    creating what is missing. False after telling the user why not. */
bool PrepareStorage(const std::string& command, const std::string& folder);

/** Opens the audio devices of the backend TANDREL_AUDIO names for `format`: the saved choice
    when it is listed, else the system's default devices (there is no dialog to choose
    with). False after telling the user. */
bool OpenAudioDevices(const std::string& command, const AudioFormat& format);

} // namespace tandrel::cli
