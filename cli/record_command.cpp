// tandrel-cli record: the recorder of the program driven by the same loop the program runs
// (drain the capture, service the streams, check the limits, a millisecond's sleep). With
// the fast File device nothing waits for a clock: the capture is pumped 10 ms at a time and
// exactly the frames asked for are recorded.

#include "cli/record_command.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "audio/audio_devices.h"
#include "engine/audio_stream.h"
#include "audio/format_converter.h"
#include "audio/gain_control.h"
#include "engine/service_loop.h"
#include "cli/command_support.h"
#include "cli/edit_commands.h"
#include "library/library_account.h"
#include "recording/capture_drain.h"
#include "recording/recorder.h"
#include "recording/recorder_shell.h"
#include "recording/recording_recovery.h"

namespace tandrel::cli {

namespace {

constexpr const char* kCommand = "record";

std::atomic<bool> gInterrupted{false};

extern "C" void OnStopSignal(int)
{
    gInterrupted.store(true);
}

/** The shell of the command: the new Edit is not opened, only remembered. */
class CliRecorderShell : public RecorderShell
{
public:
    void OpenRecordedEdit(const std::string& path) override { recordedPath = path; }
    std::string recordedPath;
};

// Puts the program-wide hooks back and closes the devices and the stream in the right order
// whatever way the command ends.
struct RecordingSession
{
    RecordingSession()
    {
        InstallAudioShell(&audioShell);
        InstallRecorderShell(&recorderShell);
        InstallRecorder();
    }
    ~RecordingSession()
    {
        stream.Close();
        CloseAudioEngine();
        InstallRecorderShell(nullptr);
        InstallAudioShell(nullptr);
    }
    RecorderAudioShell audioShell;
    CliRecorderShell recorderShell;
    AudioStream stream{2, false, false, 0};
};

/** Runs the loop until `bytes` are recorded (0: until interrupted) or a limit is reached. */
void RunRecording(uint64_t bytes, uint32_t rate)
{
    CaptureDevice& capture = *AudioEngine().captureDevice;
    const bool fast = capture.Pump(0) == kAudioOk;
    const uint32_t blockAlign = std::max<uint32_t>(AudioEngine().captureBuffer->Format().BlockAlign(), 1);
    const uint32_t tenMilliseconds = std::max(1u, rate / 100);
    while (!gInterrupted.load()) {
        if (bytes != 0 && RecordedBytes() >= bytes) break;
        if (fast) {
            uint64_t frames = tenMilliseconds;
            if (bytes != 0) frames = std::min<uint64_t>(frames, (bytes - RecordedBytes()) / blockAlign);
            capture.Pump(uint32_t(frames));
        }
        WriteRecordedData();
        ServiceAudio(false);
        if (RecordingLimitReached()) {
            std::cerr << "record: a recording limit was reached\n";
            break;
        }
        if (!fast) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

int RecordCommand(const std::vector<std::string>& words)
{
    const ParsedArguments parsed =
        ParseArguments(words, {"--seconds", "--insert-into", "--at", "--storage"}, {"--abandon"});
    if (!parsed.error.empty()) return UsageError(kCommand, parsed.error);
    const bool insert = parsed.values.contains("--insert-into");
    if (insert != parsed.values.contains("--at"))
        return UsageError(kCommand, "--insert-into and --at go together");
    if (insert ? !parsed.positional.empty() : parsed.positional.size() != 1)
        return UsageError(kCommand, insert ? "an insert recording takes no title of its own"
                                           : "name the title of the new Edit");
    if (!insert && parsed.switches.contains("--abandon"))
        return UsageError(kCommand, "--abandon is for insert recordings");
    uint64_t seconds = 0;
    if (parsed.values.contains("--seconds")) {
        const std::optional<uint32_t> given = RequiredNumber(kCommand, parsed, "--seconds", 1, 86400);
        if (!given) return kExitFailed;
        seconds = *given;
    }
    const auto storage = parsed.values.find("--storage");
    if (!PrepareStorage(kCommand, storage == parsed.values.end() ? std::string() : storage->second))
        return kExitFailed;
    Account account;
    if (!ActiveAccount(account)) {
        std::cerr << "record: the storage folder is not known\n";
        return kExitFailed;
    }

    LoadDefaultFormat();
    AgcLoadSettings();
    RecordingSession session;
    AudioStream& stream = session.stream;
    AudioFormat format = AudioEngine().recordingFormat;
    if (insert) {
        const std::string path = account.EditPath(parsed.values.at("--insert-into"));
        if (ManagerSetEdit(stream, path) != 0) {
            std::cerr << "record: cannot open " << path << "\n";
            return kExitFailed;
        }
        const std::optional<uint64_t> at = OptionalPosition(kCommand, parsed, "--at", 0);
        if (!at) return kExitUsage;
        EditView& view = *stream.reader;
        if (*at > view.length || *at % std::max<uint32_t>(view.blockAlign, 1) != 0) {
            std::cerr << "record: --at must be a frame position within the Edit (0.." << view.length << ")\n";
            return kExitFailed;
        }
        view.SetCursor(*at, true);
        MakeFormat(format, view.sampleRate, view.bitsPerSample, view.channels);
    } else {
        Recorder().presetTitle = parsed.positional.front();
    }
    if (!OpenAudioDevices(kCommand, format)) return kExitFailed;

    gInterrupted.store(false);
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    if (insert)
        tandrel::InsertRecordCommand();
    else
        tandrel::RecordCommand();
    const int kind = CurrentRecordingKind();
    if (kind == kNotRecording) {
        std::cerr << "record: the recording did not start\n";
        return kExitFailed;
    }
    RunRecording(seconds * format.avgBytesPerSec, format.sampleRate);
    const uint64_t recorded = RecordedBytes();
    int result = 0;
    if (insert)
        result = InsertRecord(parsed.switches.contains("--abandon"));
    else
        StopRecording();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (insert ? result != 0 : session.recorderShell.recordedPath.empty()) {
        std::cerr << "record: the recording could not be saved\n";
        return kExitFailed;
    }
    std::cout << "recorded " << recorded << " bytes into "
              << (insert ? stream.reader->edit.path : session.recorderShell.recordedPath) << "\n";
    return kExitOk;
}

int RecoverCommand(const std::vector<std::string>& words)
{
    const ParsedArguments parsed = ParseArguments(words, {"--storage"}, {});
    if (!parsed.error.empty()) return UsageError("recover", parsed.error);
    if (!parsed.positional.empty()) return UsageError("recover", "recover takes no file");
    const auto storage = parsed.values.find("--storage");
    if (!PrepareStorage("recover", storage == parsed.values.end() ? std::string() : storage->second))
        return kExitFailed;
    const std::vector<std::string> made = RecoverInterruptedRecordings();
    for (const std::string& path : made) std::cout << "recovered " << path << "\n";
    if (made.empty()) std::cout << "nothing to recover\n";
    return kExitOk;
}

} // namespace tandrel::cli
