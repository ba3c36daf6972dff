#include "recording/recorder.h"

#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "audio/format_converter.h"
#include "audio/gain_control.h"
#include "audio/level_meter.h"
#include "engine/transport.h"
#include "base/interaction.h"
#include "editing/markers.h"
#include "library/library_account.h"
#include "library/library_names.h"
#include "library/new_edits.h"
#include "recording/capture_drain.h"
#include "recording/free_space.h"
#include "recording/recorder_shell.h"
#include "recording/recording_journal.h"
#include "recording/recording_recovery.h"
#include "recording/recording_titles.h"
#include "settings/setting_defaults.h"
#include "settings/storage.h"

namespace tandrel {

namespace {

AudioFormat FormatOf(const EditFile& file)
{
    AudioFormat format;
    MakeFormat(format, file.sampleRate, file.bitsPerSample, file.channels);
    return format;
}

/** The free space a recording may use; 0 after telling the person there is none. */
uint64_t StartingFreeSpace()
{
    std::string library;
    const uint64_t space = GetLibraryFolder(library) ? RecordingFreeSpace(library, Recorder().reserveBytes) : 0;
    if (space == 0)
        MessageDialog("Sorry!",
                      "You're out of disk space.  There is no room left to make another recording.");
    return space;
}

/** Starts the capture into the recording in `format`: the recent-audio ring, a looping
    capture ring and the gain control. */
bool StartCapture(AudioStream& main, const AudioFormat& format)
{
    AudioEngineState& engine = AudioEngine();
    RecorderState& recorder = Recorder();
    if (!engine.audioEnabled || !main.AllocateRecentAudio(format.avgBytesPerSec)) return false;
    recorder.flusher = std::make_unique<BackgroundFlush>(recorder.file->path);
    if (!recorder.flusher->Running() || CreateRecordBuffer(kRecordBufferSeconds, format) != 0 ||
        !engine.captureBuffer || engine.captureBuffer->Start(true) != kAudioOk) {
        ReleaseRecordBuffer();
        recorder.flusher.reset();
        main.FreeRecentAudio();
        return false;
    }
    AgcInit(format.sampleRate, format.channels, format.bitsPerSample);
    recorder.totalRecorded = 0;
    recorder.flushedTotal = 0;
    recorder.displayCalls = 0;
    recorder.limitPosted = false;
    recorder.stopHeld = false;
    recorder.gapReported = false;
    main.recording = true;
    return main.State() == kStateRecording;
}

/** Stops the capture and takes in what it still holds. False when the capture would not
    stop (what it holds is still taken in). */
bool StopCapture(AudioStream& main)
{
    AudioEngineState& engine = AudioEngine();
    bool stopped = true;
    if (engine.captureBuffer) {
        stopped = engine.captureBuffer->Stop() == kAudioOk;
        DrainStoppedCapture();
    }
    Recorder().flusher.reset(); // after the flush under way; the stop's own flush follows
    ReleaseRecordBuffer();
    main.recording = false;
    main.recordPaused = false;
    Transport().paused = false;
    TheAudioShell().RefreshTransport();
    TheLevelMeters().Clear();
    TheAudioShell().ClearMeterDisplays();
    AgcSaveDcOffsets();
    return stopped;
}

/** The recording is over: back to no recording, the input monitored again. */
void FinishRecording(AudioStream& main)
{
    RecorderState& recorder = Recorder();
    recorder.kind = kNotRecording;
    recorder.file = nullptr;
    recorder.tempFile.reset();
    recorder.tempPath.clear();
    recorder.presetTitle.clear();
    ArmRecording(main);
    TheRecorderShell().UpdateTitle();
    TheRecorderShell().RefreshDisplays(true);
    TheAudioShell().FlagWaveformsForRefresh();
}

/** Markers dropped during a new recording go into its Edit once the base step is there. */
void CommitMarkersIntoEdit(const std::string& path, uint64_t offset)
{
    {
        PendingMarkers& pending = ThePendingMarkers();
        std::lock_guard guard(pending.lock);
        if (pending.records.empty()) return;
    }
    EditView view;
    if (view.OpenView(path, false)) CommitPendingMarkers(view, offset);
}

/** Closes and deletes the temporary Edit of a new recording that never really started. */
void DiscardTempEdit()
{
    RecorderState& recorder = Recorder();
    if (recorder.tempFile) recorder.tempFile->EditClose();
    if (!recorder.tempPath.empty()) ::unlink(recorder.tempPath.c_str());
    recorder.file = nullptr;
    recorder.tempFile.reset();
    recorder.tempPath.clear();
}

int StartNewRecording(AudioStream& main)
{
    RecorderShell& shell = TheRecorderShell();
    if (!shell.MayStartRecording()) return -1;
    LoadRecorderSettings();
    // A temporary Edit still holding an earlier recording is saved before it is replaced.
    RecoverLeftoverTempEdit();
    AudioEngineState& engine = AudioEngine();
    if (!(engine.recordingFormat == engine.playbackFormat)) ApplyAudioFormat(engine.recordingFormat);
    RecorderState& recorder = Recorder();
    recorder.freeSpaceLimit = StartingFreeSpace();
    if (recorder.freeSpaceLimit == 0) return -1;
    recorder.totalRecorded = 0;

    recorder.tempFile = MakeTempEdit(recorder.tempPath);
    if (!recorder.tempFile) {
        main.Close();
        ReportError("Record: Unable to open temporary file for recording.");
        return -1;
    }
    if (!recorder.tempFile->EditOpen(recorder.tempPath, true, false)) {
        main.Close();
        ReportError("Record: Unable to create new file for recording.");
        DiscardTempEdit();
        return -1;
    }
    if (recorder.tempFile->EditBeginData() != 0) {
        ReportError("Record: Unable to prepare new file for recording.");
        DiscardTempEdit();
        return -1;
    }
    recorder.file = recorder.tempFile.get();
    main.Close();
    shell.RefreshDisplays(true);
    if (!StartCapture(main, FormatOf(*recorder.file))) {
        main.Close();
        DiscardTempEdit();
        MessageDialog("Record Error", "Unable to start recording.");
        return -1;
    }
    recorder.kind = kNewRecording;
    shell.UpdateTitle();
    return 0;
}

/** Moves the finished temporary Edit into the account under its title and enters it in the
    database; the path of the new Edit, or empty when it could not be saved (the temporary
    Edit then stays for the recovery). */
std::string SaveRecording(const std::string& tempPath, const std::string& presetTitle)
{
    Account account;
    if (!ActiveAccount(account)) return {};
    std::string title;
    if (!presetTitle.empty())
        title = UniqueTitle(account.Folder(), presetTitle, ".kdw");
    else if (!TheRecorderShell().ChooseTitle(account, title))
        title = DefaultRecordingTitle(account, "Recording");
    if (!SaveNewEdit(tempPath, account, title)) return {};
    const std::string path = account.EditPath(title);
    // A database that cannot take the entry is rebuilt from the files later; the Edit is
    // kept either way.
    AddToDatabase(account, path, title);
    return path;
}

int StopNewRecording(AudioStream& main, bool keepInList)
{
    RecorderState& recorder = Recorder();
    if (!StopCapture(main)) ReportError("Record: Unable to stop recording.");
    TheRecorderShell().RefreshDisplays(true);

    EditFile& file = *recorder.tempFile;
    const uint32_t align = std::max<uint32_t>(file.channels * (file.bitsPerSample / 8), 1);
    uint64_t start = 0, end = 0;
    bool ok = file.EditEndData(start, end) == 0;
    end = start + (end - start) / align * align; // a failed write may have left part of a frame
    ok = ok && PushBaseStep(file, start, end);
    file.EditClose();
    if (ok) CommitMarkersIntoEdit(recorder.tempPath, 0);
    const std::string path = ok ? SaveRecording(recorder.tempPath, recorder.presetTitle) : std::string();
    if (path.empty()) {
        // The audio stays in the temporary Edit: the next recording or start saves it.
        ReportError("Record: Unable to save new file after recording.");
        FinishRecording(main);
        return -1;
    }
    recorder.tempFile.reset();
    recorder.tempPath.clear();
    if (!keepInList) TheRecorderShell().OpenRecordedEdit(path);
    FinishRecording(main);
    return 0;
}

int StartInsertRecording(AudioStream& main)
{
    RecorderShell& shell = TheRecorderShell();
    if (!shell.MayStartRecording()) return -1;
    LoadRecorderSettings();
    RecorderState& recorder = Recorder();
    recorder.freeSpaceLimit = StartingFreeSpace();
    if (recorder.freeSpaceLimit == 0) return -1;
    recorder.totalRecorded = 0;
    if (!main.HasEdit()) {
        MessageDialog("Sorry", "An Insert Record cannot be performed on an empty Edit file.");
        return -1;
    }
    EditView& view = *main.reader;
    EditFile& file = view.edit;
    if (!WriteInsertRecordingNote({file.path, file.EditDataLength()}) || file.EditBeginData() != 0) {
        RemoveInsertRecordingNote();
        ReportError("InsertRecord: Unable to prepare file for insert-recording.");
        return -1;
    }
    recorder.insertPosition = view.cursor;
    recorder.file = &file;
    if (!StartCapture(main, FormatOf(file))) {
        file.EditEndData();
        RemoveInsertRecordingNote();
        recorder.file = nullptr;
        MessageDialog("Record Error", "Unable to start insert recording.");
        return -1;
    }
    recorder.kind = kInsertRecording;
    shell.UpdateTitle();
    return 0;
}

int StopInsertRecording(AudioStream& main, bool abandon)
{
    RecorderState& recorder = Recorder();
    if (!StopCapture(main)) ReportError("InsertRecord: Unable to stop.");
    EditView& view = *main.reader;
    EditFile& file = view.edit;
    if (abandon) {
        if (file.EditEndData() == 0) RemoveInsertRecordingNote();
        FinishRecording(main);
        return 0;
    }
    uint64_t start = 0, end = 0;
    if (file.EditEndData(start, end) != 0) {
        // The note stays: the next start offers the audio as an Edit of its own.
        ReportError("InsertRecord: Unable to save.");
        FinishRecording(main);
        return -1;
    }
    const uint32_t align = std::max<uint32_t>(view.blockAlign, 1);
    end = start + (end - start) / align * align;
    int result = 0;
    if (end > start) {
        if (!file.EditPushStep(kStepInsert, recorder.insertPosition, EditSegment::Audio(start, end))) {
            ReportError("InsertRecord: Unable to apply.");
            FinishRecording(main);
            return -1;
        }
        view.SyncEdit();
    }
    RemoveInsertRecordingNote();
    CommitPendingMarkers(view, recorder.insertPosition);
    if (view.SetCursor(recorder.insertPosition, true) != 0) {
        ReportError("InsertRecord: Unable to render.");
        result = -1;
    }
    TheAudioShell().EditChanged();
    FinishRecording(main);
    return result;
}

} // namespace

RecorderState& Recorder()
{
    static RecorderState state;
    return state;
}

void LoadRecorderSettings()
{
    RecorderState& recorder = Recorder();
    recorder.softwareMix = ReadNumberSetting("DisableSoftwareMix") == 0;
    recorder.noTimeLimit = ReadNumberSetting("NoRecordLimit") != 0;
}

int Record(bool keepInList)
{
    AudioStream* main = MainStream();
    if (!main) return -1;
    if (main->recordPaused) {
        SetRecordingPaused(false);
        return 0;
    }
    DisarmRecording(*main);
    int result = main->State() == kStateRecording ? StopNewRecording(*main, keepInList)
                                                  : StartNewRecording(*main);
    if (Recorder().kind == kNotRecording) ArmRecording(*main);
    TheAudioShell().FlagWaveformsForRefresh();
    return result;
}

int InsertRecord(bool abandon)
{
    AudioStream* main = MainStream();
    if (!main) return -1;
    SetRecordingPaused(false);
    DisarmRecording(*main);
    int result = main->State() == kStateRecording ? StopInsertRecording(*main, abandon)
                                                  : StartInsertRecording(*main);
    if (Recorder().kind == kNotRecording) ArmRecording(*main);
    TheAudioShell().FlagWaveformsForRefresh();
    return result;
}

namespace {

void RunRecordingCommand(int kind, int (*command)(bool))
{
    TheRecorderShell().ResetInputTracker();
    RecorderState& recorder = Recorder();
    AudioStream* main = MainStream();
    if (!main || (recorder.kind != kNotRecording && recorder.kind != kind)) return;
    if (recorder.kind == kNotRecording && (main->playing || main->scrubbing)) main->Stop(true);
    command(false);
    recorder.kind = main->State() == kStateRecording ? kind : kNotRecording;
}

} // namespace

void RecordCommand()
{
    RunRecordingCommand(kNewRecording, Record);
}

void InsertRecordCommand()
{
    RunRecordingCommand(kInsertRecording, InsertRecord);
}

void StopRecording()
{
    const int kind = Recorder().kind;
    if (kind == kNotRecording) return;
    // The stop can come while a marker's name is asked for (the name box keeps the loop
    // running): the marker belongs to this recording, so the stop waits for its name.
    if (MarkerNamesPending()) {
        Recorder().stopHeld = true;
        return;
    }
    SetRecordingPaused(false); // a paused recording is stopped, not resumed
    if (kind == kNewRecording)
        RecordCommand();
    else
        InsertRecordCommand();
}

void SetRecordingPaused(bool paused)
{
    AudioStream* main = MainStream();
    RecorderState& recorder = Recorder();
    if (paused && !(main && main->recording)) return;
    // Whatever was captured before the pause belongs to the recording. A failing drain ends
    // the recording, which then has nothing left to pause.
    if (paused && !main->recordPaused) WriteRecordedData();
    const bool recording = main && main->recording;
    if (paused && !recording) return;
    if (paused && recorder.flusher) {
        recorder.flusher->Request();
        recorder.flushedTotal = recorder.totalRecorded;
    }
    Transport().paused = paused;
    if (main) main->recordPaused = paused && recording;
    TheAudioShell().RefreshTransport();
}

bool RecordingLimitReached()
{
    RecorderState& recorder = Recorder();
    AudioStream* main = MainStream();
    if (recorder.kind == kNotRecording || !recorder.file || !main) return false;
    const EditFile& file = *recorder.file;
    const uint64_t bytesPerSecond = uint64_t(file.bitsPerSample / 8) * file.channels * file.sampleRate;
    const bool outOfSpace = recorder.totalRecorded > recorder.freeSpaceLimit;
    const bool tooLong = !recorder.noTimeLimit && bytesPerSecond > 0 &&
                         recorder.totalRecorded * 100 / bytesPerSecond > recorder.timeLimitCentiseconds;
    const bool heldStopDue = recorder.stopHeld && !MarkerNamesPending();
    if (!outOfSpace && !tooLong && !heldStopDue) return false;
    if (!recorder.limitPosted || heldStopDue) {
        recorder.limitPosted = true;
        recorder.stopHeld = false;
        TheRecorderShell().PostStopRecording();
    }
    return true;
}

int CurrentRecordingKind()
{
    return Recorder().kind;
}

uint64_t RecordedBytes()
{
    return Recorder().totalRecorded;
}

void InstallRecorder()
{
    TransportState& transport = Transport();
    transport.stopRecording = StopRecording;
    transport.isRecording = [] { return Recorder().kind != kNotRecording; };
}

} // namespace tandrel
