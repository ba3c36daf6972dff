#include "app/studio.h"

#include <cerrno>
#include <unistd.h>

#include "audio/audio_devices.h"
#include "audio/format_converter.h"
#include "audio/transport.h"
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
    if (displays) displays->FlagWaveformsForRefresh();
    if (editChanged) editChanged();
}

bool Studio::OpenInEditor(const std::string& path, int& error)
{
    if (!stream_) {
        error = ENODEV;
        return false;
    }
    if (ManagerSetEdit(*stream_, path) != 0) {
        // The open has been reported; say why in the system's words for the caller's box.
        error = ::access(path.c_str(), R_OK | W_OK) != 0 ? errno : EBUSY;
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
    if (!HasEdit()) return false;
    path = stream_->reader->edit.path;
    FillFromEditFile(stream_->reader->edit, facts);
    return true;
}

} // namespace tandrel::app
