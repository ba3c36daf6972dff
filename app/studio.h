#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "editing/editor.h"
#include "library/edit_info.h"
#include "library/editor_slot.h"
#include "library/library_account.h"
#include "recording/recorder_shell.h"

namespace tandrel::app {

/** The recorder as the menus, keys and start-up reach it. The plain one offers nothing (the
    record commands are then disabled); the program uses the Library recorder below. */
class RecorderLink
{
public:
    virtual ~RecorderLink() = default;
    virtual bool Available() const { return false; }
    /** The Record command: starts a new recording, or stops the one under way. */
    virtual void Record() {}
    /** The Insert Record command: records into the active Edit at the cue line, or stops. */
    virtual void InsertRecord() {}
    /** The recording reached its length limit, or the program closes: the recording under
        way is stopped as its own command would, and saved. */
    virtual void StopAtLimit() {}
    /** Brings back recordings a crash or a failed save left behind: at start-up, and before
        the temporary Edit is made anew. */
    virtual void RecoverInterrupted() {}
    /** The mono-mix recording switch. */
    virtual void SetMonoMix(bool on) { monoMix_ = on; }
    virtual bool MonoMix() const { return monoMix_; }
    virtual uint64_t RecordedBytes() const { return 0; }
    virtual bool Recording() const { return false; }

private:
    bool monoMix_ = false;
};

/** The recorder of the recording library: new and insert recordings into the Library. */
class LibraryRecorder : public RecorderLink
{
public:
    LibraryRecorder();
    bool Available() const override { return true; }
    void Record() override;
    void InsertRecord() override;
    void StopAtLimit() override;
    void RecoverInterrupted() override;
    void SetMonoMix(bool on) override;
    bool MonoMix() const override;
    uint64_t RecordedBytes() const override;
    bool Recording() const override;
};

/** The program's state below its windows: the main stream with the Edit in the editor, the
    active account and the recorder; and the program's side of the seams the subsystems
    call (editor host, editor slot, audio shell, open-Edit facts). The displays it keeps
    informed are the waveform and transport widgets, reached through `displays`. UI thread,
    one for the program. */
class Studio : public EditorHost,
               public EditorSlot,
               public RecorderAudioShell,
               public OpenEditFacts
{
public:
    Studio();
    ~Studio() override;
    Studio(const Studio&) = delete;
    Studio& operator=(const Studio&) = delete;

    /** The audio manager and the main stream, whose render window holds `viewSeconds`;
        installs the shells. */
    void StartAudio(uint32_t viewSeconds = 0);
    /** Stops the transport and the input monitor and closes the main stream. */
    void StopAudio();

    AudioStream* Stream() { return stream_.get(); }
    /** The active Edit and this host, as the editing commands take them. */
    Editor CurrentEditor();
    bool HasEdit() const { return stream_ && stream_->HasEdit(); }
    EditView* View() { return HasEdit() ? stream_->reader.get() : nullptr; }
    int TransportState() const { return stream_ ? stream_->State() : kStateStandby; }
    bool RecordingPaused() const { return stream_ && stream_->recording && stream_->recordPaused; }

    /** The active account of the current storage folder; false before storage is known. */
    bool CurrentAccount(Account& account) const;

    RecorderLink& Recorder() { return *recorder_; }
    /** Replaces the recorder (null: the plain one). */
    void UseRecorder(std::unique_ptr<RecorderLink> recorder);

    /** The widgets that show audio: the display half of the audio shell. Null: nothing is
        shown. */
    AudioShell* displays = nullptr;
    /** Called whenever the active Edit changed or was edited: title, menus, marker views. */
    std::function<void()> editChanged;
    /** Posts a program message to the main window (any thread). */
    std::function<void(int message, uint32_t word, int64_t parameter)> postMessage;

    // EditorHost
    bool PlayerStopped() const override;
    bool Recording() const override;
    uint64_t RecordedBytes() const override;
    bool TransportBusy() const override;
    uint64_t HeardPosition(const EditView& view) const override;
    void RefreshDisplays() override;

    // EditorSlot
    bool OpenInEditor(const std::string& path, int& error) override;
    void CloseEditor() override;
    std::string ActivePath() const override;
    void Refresh() override;

    // AudioShell
    void RefreshTransport() override;
    void RedrawCue() override;
    void RedrawCueAndOverview() override;
    void FlagWaveformsForRefresh() override;
    void EditChanged() override;
    void ShowMeterReading(int32_t left, int32_t right, bool leftClip, bool rightClip) override;
    void ClearMeterDisplays() override;
    bool MetersOn() const override;
    void WriteRecordedData() override;
    void PostPlayerFinished(bool isDeck, uint32_t playerIndex) override;

    // OpenEditFacts
    bool OpenEdit(std::string& path, EditInfo& facts) override;

private:
    /** Copies the active Edit's path and facts for OpenEdit, and refreshes its Library entry
        when its length or history changed since the last copy. UI thread. */
    void PublishEditFacts();

    std::unique_ptr<AudioStream> stream_;
    std::unique_ptr<RecorderLink> recorder_;

    // What OpenEdit answers other threads with: only the UI thread touches the stream.
    mutable std::mutex factsLock_; // guards factsPath_ and facts_
    std::string factsPath_;        // empty: no Edit open
    EditInfo facts_;
    // The history the last copy was taken at (UI thread).
    size_t undoSeen_ = 0, redoSeen_ = 0;
};

} // namespace tandrel::app
