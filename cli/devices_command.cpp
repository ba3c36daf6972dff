#include "cli/devices_command.h"

#include <iostream>

#include "audio/audio_devices.h"
#include "cli/arguments.h"
#include "cli/command_support.h"
#include "cli/edit_commands.h"
#include "cli/json_writer.h"
#include "settings/setting_defaults.h"

namespace tandrel::cli {
namespace {

void WriteList(JsonWriter& json, const std::vector<AudioDeviceEntry>& list, int selected,
               const DeviceId& defaultId, bool capture)
{
    json.BeginArray();
    for (size_t i = 0; i < list.size(); ++i) {
        const AudioDeviceEntry& entry = list[i];
        json.BeginObject();
        json.Key("index").Uint(i);
        json.Key("identity").String(DeviceIdText(entry.identity));
        json.Key("description").String(entry.description);
        json.Key("default").Bool(entry.identity == defaultId);
        json.Key("selected").Bool(int(i) == selected);
        if (capture) json.Key("needsCaptureNotify").Bool(entry.needsCaptureNotify);
        json.EndObject();
    }
    json.EndArray();
}

void PrintList(const char* heading, const std::vector<AudioDeviceEntry>& list, int selected,
               const DeviceId& defaultId)
{
    std::cout << heading << (list.empty() ? " none\n" : "\n");
    for (size_t i = 0; i < list.size(); ++i) {
        const AudioDeviceEntry& entry = list[i];
        std::cout << "  " << i << "  " << DeviceIdText(entry.identity) << "  "
                  << entry.description;
        if (entry.identity == defaultId) std::cout << "  [default]";
        if (int(i) == selected) std::cout << "  [selected]";
        if (entry.needsCaptureNotify) std::cout << "  [position by notification]";
        std::cout << "\n";
    }
}

} // namespace

int DevicesCommand(const std::vector<std::string>& words)
{
    const ParsedArguments parsed = ParseArguments(words, {}, {"--json"});
    if (!parsed.error.empty()) return UsageError("devices", parsed.error);
    if (!parsed.positional.empty())
        return UsageError("devices", "unexpected \"" + parsed.positional.front() + "\"");

    // The same lists and choice the program makes at start-up, without opening a device
    // and without the dialog: what is listed, and what would be opened.
    AudioEngineState& engine = AudioEngine();
    engine.followSystemDefaults = ReadNumberSetting("UseWinDefaultAudio") != 0;
    EnumerateAudioDevices();
    TestCaptureDevices();
    ChooseAudioDevices();

    if (parsed.switches.count("--json")) {
        JsonWriter json(2);
        json.BeginObject();
        json.Key("backend").String(engine.backend->Name());
        json.Key("backendDescription").String(engine.backendDescription);
        json.Key("playback");
        WriteList(json, engine.playbackDevices, engine.playbackIndex, engine.defaultPlayback,
                  false);
        json.Key("capture");
        WriteList(json, engine.captureDevices, engine.captureIndex, engine.defaultCapture, true);
        json.EndObject();
        std::cout << json.Text() << "\n";
    } else {
        std::cout << "Backend: " << engine.backendDescription << "\n";
        PrintList("Playback devices:", engine.playbackDevices, engine.playbackIndex,
                  engine.defaultPlayback);
        PrintList("Capture devices:", engine.captureDevices, engine.captureIndex,
                  engine.defaultCapture);
    }
    CloseAudioEngine();
    return kExitOk;
}

} // namespace tandrel::cli
