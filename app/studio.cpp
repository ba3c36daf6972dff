#include "app/studio.h"

#include <cerrno>

#include "audio/audio_devices.h"
#include "audio/format_converter.h"
#include "engine/transport.h"
#include "library/new_edits.h"
#include "recording/recorder.h"
#include "recording/recording_recovery.h"
#include "settings/storage.h"

namespace tandrel::app {

namespace {
// Seconds of recent audio the main stream keeps for the recording view.
constexpr uint8_t kRecentSeconds = 4;
} // namespace

LibraryRecorder::LibraryRecorder()
{
    InstallRecorder();
    LoadRecorderSettings();
}

void LibraryRecorder::Record()
{
    RecordCommand();
}

void LibraryRecorder::InsertRecord()
{
    InsertRecordCommand();
}

void LibraryRecorder::StopAtLimit()
{
    StopRecording();
}

void LibraryRecorder::RecoverInterrupted()
{
    RecoverInterruptedRecordings();
}

void LibraryRecorder::SetMonoMix(bool on)
{
    tandrel::Recorder().monoFold = on;
}

bool LibraryRecorder::MonoMix() const
{
    return tandrel::Recorder().monoFold;
}

uint64_t LibraryRecorder::RecordedBytes() const
{
    return tandrel::RecordedBytes();
}

bool LibraryRecorder::Recording() const
{
    return CurrentRecordingKind() != 0;
}

Studio::Studio() : recorder_(std::make_unique<RecorderLink>()) {}

Studio::~Studio()
{
    StopAudio();
}

void Studio::StartAudio(uint32_t viewSeconds)
{
    if (stream_) return;
    stream_ = std::make_unique<AudioStream>(kRecentSeconds, false, false, 0, viewSeconds);
    InstallAudioShell(this);
    InstallOpenEditFacts(this);
}

void Studio::StopAudio()
{
    if (!stream_) return;
    stream_->Stop(false);
    DisarmRecording(*stream_);
    stream_->Close();
    stream_.reset();
    PublishEditFacts();
    InstallOpenEditFacts(nullptr);
    InstallAudioShell(nullptr);
}

Editor Studio::CurrentEditor()
{
    Editor editor;
    editor.view = View();
    editor.host = this;
    return editor;
}

bool Studio::CurrentAccount(Account& account) const
{
    return ActiveAccount(account);
}

void Studio::UseRecorder(std::unique_ptr<RecorderLink> recorder)
{
    recorder_ = recorder ? std::move(recorder) : std::make_unique<RecorderLink>();
}

bool Studio::PlayerStopped() const
{
    return !stream_ || (!stream_->playing && !stream_->scrubbing);
}

bool Studio::Recording() const
{
    return recorder_->Recording() || (stream_ && stream_->recording);
}

uint64_t Studio::RecordedBytes() const
{
    return recorder_->RecordedBytes();
}

bool Studio::TransportBusy() const
{
    return stream_ && (stream_->playing || stream_->scrubbing);
}

uint64_t Studio::HeardPosition(const EditView& view) const
{
    return stream_ && stream_->reader.get() == &view ? stream_->HeardPosition() : view.cursor;
}

void Studio::RefreshDisplays()
{
    PublishEditFacts();
    if (displays) displays->FlagWaveformsForRefresh();
    if (editChanged) editChanged();
}

bool Studio::OpenInEditor(const std::string& path, int& error)
{
    if (!stream_) {
        error = ENODEV;
        return false;
    }
    if (ManagerSetEdit(*stream_, path, &error) != 0) {
        PublishEditFacts(); // the Edit held before is gone
        return false;
    }
    const EditView& view = *stream_->reader;
    AudioFormat format;
    MakeFormat(format, view.sampleRate, view.bitsPerSample, view.channels);
    if (!(format == AudioEngine().playbackFormat)) ApplyAudioFormat(format);
    return true;
}

void Studio::CloseEditor()
{
    if (!stream_) return;
    stream_->Stop(false);
    stream_->Close();
    EditChanged();
}

std::string Studio::ActivePath() const
{
    return HasEdit() ? stream_->reader->edit.path : std::string();
}

void Studio::Refresh()
{
    RefreshDisplays();
}

void Studio::RefreshTransport()
{
    if (displays) displays->RefreshTransport();
}

void Studio::RedrawCue()
{
    if (displays) displays->RedrawCue();
}

void Studio::RedrawCueAndOverview()
{
    if (displays) displays->RedrawCueAndOverview();
}

void Studio::FlagWaveformsForRefresh()
{
    if (displays) displays->FlagWaveformsForRefresh();
}

void Studio::EditChanged()
{
    PublishEditFacts();
    if (displays) displays->EditChanged();
    if (editChanged) editChanged();
}

void Studio::ShowMeterReading(int32_t left, int32_t right, bool leftClip, bool rightClip)
{
    if (displays) displays->ShowMeterReading(left, right, leftClip, rightClip);
}

void Studio::ClearMeterDisplays()
{
    if (displays) displays->ClearMeterDisplays();
}

bool Studio::MetersOn() const
{
    return displays && displays->MetersOn();
}

void Studio::WriteRecordedData()
{
    RecorderAudioShell::WriteRecordedData();
    // The recording view scrolls as the new audio arrives.
    if (displays) displays->RedrawCue();
}

void Studio::PostPlayerFinished(bool isDeck, uint32_t playerIndex)
{
    if (postMessage) postMessage(int(kPlayerFinishedMessage), isDeck ? 1 : 0, int64_t(playerIndex));
}

bool Studio::OpenEdit(std::string& path, EditInfo& facts)
{
    std::lock_guard<std::mutex> hold(factsLock_);
    if (factsPath_.empty()) return false;
    path = factsPath_;
    facts = facts_;
    return true;
}

void Studio::PublishEditFacts()
{
    std::string path;
    EditInfo facts;
    size_t undo = 0, redo = 0;
    if (HasEdit()) {
        const EditFile& edit = stream_->reader->edit;
        path = edit.path;
        FillFromEditFile(edit, facts);
        undo = edit.undo.size();
        redo = edit.redo.size();
    }
    bool edited = false;
    {
        std::lock_guard<std::mutex> hold(factsLock_);
        edited = !path.empty() && path == factsPath_ &&
                 (facts != facts_ || undo != undoSeen_ || redo != redoSeen_);
        factsPath_ = path;
        facts_ = facts;
    }
    undoSeen_ = undo;
    redoSeen_ = redo;
    // The picker lists the Library's entries: they follow the Edit's length, times and size.
    Account account;
    if (edited && CurrentAccount(account)) UpdateInDatabase(account, path);
}

} // namespace tandrel::app
