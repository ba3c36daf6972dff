#pragma once
#include <cstdint>

#include "recording/recorder_state.h"

namespace tandrel {

// Recording into the Library: a new recording goes into the temporary Edit and becomes a new
// Edit of the active account at its stop; an insert recording is appended to the open Edit
// and inserted at the cue line as one step at its stop. Everything runs on the UI thread;
// the main loop drains the capture buffer (WriteRecordedData) every turn while recording.

/** The record command: starts a new recording, stops the one under way (saving it as a new
    Edit; `keepInList` leaves it in the Library instead of opening it), or resumes a paused
    recording. 0 when it did what was asked, -1 otherwise (the person was told why). */
int Record(bool keepInList);

/** The insert-record command on the Edit open in the main stream: starts, or stops and
    inserts the recorded audio at the cue line where it started. `abandon` cuts the recorded
    audio off again instead. 0 or -1. */
int InsertRecord(bool abandon);

/** The menu and key commands: the waveform's input tracking starts afresh, a recording of
    the other kind is left alone, playback stops first, then Record(false) / InsertRecord(false)
    runs and the recording kind follows the stream. */
void RecordCommand();
void InsertRecordCommand();

/** Stops the recording under way by repeating its own command (the stop key and the
    stop-recording message). Nothing when not recording; held back while a marker dropped
    in it waits for its name (RecordingLimitReached asks for the stop again after). */
void StopRecording();

/** The pause command while recording: the capture keeps running for the meters, nothing is
    written. Resume with `paused` false or with the record command. */
void SetRecordingPaused(bool paused);

/** Checked on every pass of the service loop while recording: true, and the shell is asked
    once to stop the recording, when the recording has used the free space it started with
    or has run for longer than the time limit without "NoRecordLimit"; also when a stop held
    back while a marker was being named is due (asked for once more). */
bool RecordingLimitReached();

/** 0 none, 1 new recording, 2 insert recording. */
int CurrentRecordingKind();
/** Bytes recorded by the recording under way. */
uint64_t RecordedBytes();

/** Connects the recorder to the transport (stop key, recording state). UI thread. */
void InstallRecorder();

} // namespace tandrel
