// tandrel-cli play: the Edit in the main stream, played to its end by the same service loop
// the program runs (a pass, then a millisecond), through the audio backend TANDREL_AUDIO
// names. With the fast File device there is no clock to wait for: each millisecond is
// pumped through the device instead of slept.

#include "cli/play_command.h"

#include <chrono>
#include <cmath>
#include <iostream>
#include <thread>

#include "audio/audio_devices.h"
#include "engine/audio_stream.h"
#include "audio/format_converter.h"
#include "audio/output_mode.h"
#include "engine/service_loop.h"
#include "cli/command_support.h"
#include "cli/edit_commands.h"
#include "edit/edit_types.h"
#include "settings/setting_defaults.h"

namespace tandrel::cli {

namespace {

constexpr const char* kCommand = "play";

// Closes the devices and the stream in the right order whatever way the command ends.
struct EngineSession
{
    ~EngineSession()
    {
        stream.Close();
        CloseAudioEngine();
    }
    AudioStream stream{2, false, false, 0};
};

} // namespace

int PlayCommand(const std::vector<std::string>& words)
{
    const ParsedArguments parsed =
        ParseArguments(words, {"--from", "--to"}, {"--reverse", "--selection"});
    if (!parsed.error.empty()) return UsageError(kCommand, parsed.error);
    if (parsed.positional.size() != 1)
        return UsageError(kCommand, parsed.positional.empty() ? "no file named"
                                                              : "more than one file named");
    const bool reverse = parsed.switches.contains("--reverse");
    const bool selection = parsed.switches.contains("--selection");
    if (selection && (parsed.values.contains("--from") || parsed.values.contains("--to")))
        return UsageError(kCommand, "--selection cannot go with --from or --to");
    const std::string& path = parsed.positional.front();
    if (!PathExists(path)) {
        std::cerr << "play: " << path << " does not exist\n";
        return kExitFailed;
    }

    LoadDefaultFormat();
    LoadOutputMode();
    EngineSession session;
    AudioStream& stream = session.stream;
    if (ManagerSetEdit(stream, path) != 0) {
        std::cerr << "play: cannot open " << path << "\n";
        return kExitFailed;
    }
    EditView& view = *stream.reader;
    // A play leaves the file as it was: no cursor or marks are saved when it closes.
    view.edit.readOnly = true;

    uint64_t from = reverse ? view.length : 0;
    uint64_t to = reverse ? 0 : view.length;
    if (selection) {
        if (view.leftMark == kNoPosition || view.rightMark == kNoPosition ||
            view.leftMark == view.rightMark) {
            std::cerr << "play: the Edit has no selection\n";
            return kExitFailed;
        }
        const uint64_t a = std::min({view.leftMark, view.rightMark, view.length});
        const uint64_t b = std::min(std::max(view.leftMark, view.rightMark), view.length);
        from = reverse ? b : a;
        to = reverse ? a : b;
    } else {
        const auto given = OptionalPosition(kCommand, parsed, "--from", from);
        const auto until = OptionalPosition(kCommand, parsed, "--to", to);
        if (!given || !until) return kExitUsage;
        from = std::min(*given, view.length);
        to = std::min(*until, view.length);
        if (reverse ? to > from : from > to)
            return UsageError(kCommand, reverse ? "--to lies after --from for a reverse play"
                                                : "--from lies after --to");
    }
    const uint32_t align = view.blockAlign ? view.blockAlign : 1;
    from -= from % align;
    to -= to % align;

    AudioFormat format;
    MakeFormat(format, view.sampleRate, view.bitsPerSample, view.channels);
    if (!OpenAudioDevices(kCommand, format)) return kExitFailed;
    SoundDevice& device = *AudioEngine().playbackDevice;

    stream.reverse = reverse;
    view.SetCursor(from, false);
    if (stream.Play() != 0) {
        std::cerr << "play: the stream cannot start\n";
        return kExitFailed;
    }
    stream.SetEnd(to);

    // Fast File devices are driven a millisecond at a time; the others run on their clock.
    const uint32_t millisecond = std::max(1u, device.OutputFormat().rate / 1000);
    const bool fast = device.Pump(0) == kAudioOk;
    const auto started = std::chrono::steady_clock::now();
    while (stream.State() != kStateStandby) {
        ServiceAudio(false);
        if (fast)
            device.Pump(millisecond);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ServicePeriodMs()));
    }
    // What the device still holds is heard before the device is closed.
    if (fast)
        device.Pump(device.OutputFormat().rate / 10);
    else
        std::this_thread::sleep_for(
            std::chrono::duration<double>(device.OutputLatency() + 0.05));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::cout << "played " << (reverse ? from - to : to - from) << " bytes from " << from
              << " to " << to << (reverse ? " in reverse" : "") << " in " << std::fixed;
    std::cout.precision(3);
    std::cout << seconds << " s\n";
    // The device's count: the stream's ring running dry, and output underflows the backend
    // reported while it played.
    std::cout << "underruns: " << device.Underruns() << "\n";
    return kExitOk;
}

} // namespace tandrel::cli
