#include "cli/command_support.h"

#include <algorithm>
#include <cstring>
#include <iostream>

#include "audio/audio_devices.h"
#include "cli/relay_sinks.h"
#include "cli/usage.h"
#include "cli/edit_commands.h"
#include "edit/edit_view.h"
#include "settings/path_checks.h"
#include "settings/setting_defaults.h"
#include "settings/storage.h"

namespace tandrel::cli {

int UsageError(const std::string& command, const std::string& problem)
{
    std::cerr << command << ": " << problem << "\n\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

std::optional<uint32_t> RequiredNumber(const std::string& command, const ParsedArguments& parsed,
                                       const std::string& option, uint64_t min, uint64_t max,
                                       std::initializer_list<uint64_t> only)
{
    const std::string& text = parsed.values.at(option);
    const std::optional<uint64_t> value = ParseUnsigned(text, min, max);
    if (value && (only.size() == 0 || std::find(only.begin(), only.end(), *value) != only.end()))
        return uint32_t(*value);
    std::cerr << command << ": " << option << " must be ";
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

std::optional<uint64_t> OptionalPosition(const std::string& command, const ParsedArguments& parsed,
                                         const std::string& option, uint64_t fallback)
{
    auto found = parsed.values.find(option);
    if (found == parsed.values.end()) return fallback;
    std::optional<uint64_t> value = ParseUnsigned(found->second, 0, UINT64_MAX);
    if (!value) std::cerr << command << ": " << option << " must be a byte position, not \""
                          << found->second << "\"\n";
    return value;
}

bool OpenViewOrExplain(const std::string& command, EditView& view, const std::string& path,
                       bool master)
{
    CountingSink reports;
    if (!view.OpenView(path, true)) {
        // The library explains layout errors itself; a file that cannot be opened at all is
        // ours to explain.
        if (reports.Count() == 0) {
            const int error = view.edit.LastSystemError();
            std::cerr << command << ": cannot open " << path;
            if (error != 0) std::cerr << ": " << std::strerror(error);
            std::cerr << "\n";
        }
        return false;
    }
    if (master) view.SetMasterView(true, false);
    return true;
}

bool PrepareStorage(const std::string& command, const std::string& folder)
{
    if (folder.empty()) {
        if (SetUpFileStorage()) return true;
        std::cerr << command << ": cannot use the storage folder " << ResolveStorageFolder() << "\n";
        return false;
    }
    if (folder.front() != '/') {
        std::cerr << command << ": --storage needs an absolute folder, not \"" << folder << "\"\n";
        return false;
    }
    KeepStorageFolder(folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder);
    if (CreateFolderPath(StoragePath(StorageSubfolder::Library))) return true;
    std::cerr << command << ": cannot create the Library in " << folder << "\n";
    return false;
}

bool OpenAudioDevices(const std::string& command, const AudioFormat& format)
{
    AudioEngineState& engine = AudioEngine();
    engine.playbackFormat = format;
    engine.followSystemDefaults = ReadNumberSetting("UseWinDefaultAudio") != 0;
    EnumerateAudioDevices();
    TestCaptureDevices();
    if (!ChooseAudioDevices()) {
        engine.followSystemDefaults = true;
        ChooseAudioDevices();
    }
    if (InitDirectSound(format, true) != 0) {
        std::cerr << command << ": the audio device cannot be opened\n";
        return false;
    }
    return true;
}

} // namespace tandrel::cli
