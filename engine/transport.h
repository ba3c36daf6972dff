#pragma once
#include <cstdint>
#include <functional>

#include "engine/audio_stream.h"
#include "engine/scrub.h"

namespace tandrel {

enum TransportCommandCode : int {
    kTransportPlay = 1,
    kTransportScrubPlay = 2,
    kTransportPlaySelection = 3,
    kTransportToggle = 4,
    kTransportStop = 5,
};

/** The transport's own record: direction, the armed capture, pause, the scrub keys and the
    scrub settings taken from UserFlags. One for the program. UI thread. */
struct TransportState
{
    bool reverseDirection = false;
    bool recordingArmed = false;
    bool paused = false;
    bool rewindHeld = false;
    bool forwardHeld = false;
    int keyboardScrubState = 0; // < 0 slow, > 0 fast, 0 normal (set by the key handlers)
    bool mouseHeld = false;
    ScrubKeyTracker tracker;
    bool initialAudioScrub = false;
    uint32_t initialScrubMs = 1000;
    int scrubStepSize = 16; // cue steps of a silent jump
    /** Set while the waveform shows a scrub; cleared when a scrub turns into jumps. */
    bool waveformScrubbing = false;

    /** Stops the recording under way (the new-recording or insert-recording stop). */
    std::function<void()> stopRecording;
    /** Whether a recording is under way. */
    std::function<bool()> isRecording;
};
TransportState& Transport();

/** Loads the scrub settings from UserFlags into the transport. */
void LoadScrubSettings();

/** The transport's entry point for the main stream: 1 play, 2 scrub-play, 3 play the
    selection, 4 play or stop, 5 stop; other values do nothing. Afterwards the capture is
    armed in standby and disarmed otherwise. */
void TransportCommand(AudioStream& stream, int command, bool reverse);
/** As TransportCommand, but command 3 plays from the cue line to the selection's end. */
void TransportCommandFromCue(AudioStream& stream, int command, bool reverse);

/** Arms the capture for input monitoring in the recording format, with the gain control set
    up for it (a no-op when armed); false when it could not. */
bool ArmRecording(AudioStream& stream);
/** Stops the monitoring capture and frees its ring (a no-op when not armed). */
void DisarmRecording(AudioStream& stream);

// The key-level commands.
void PlayPauseKey(AudioStream& stream);
void StopKey(AudioStream& stream);
void GoToStart(AudioStream& stream);
void GoToEnd(AudioStream& stream);
void PreviousMarker(AudioStream& stream);
void NextMarker(AudioStream& stream);
/** Stops, then moves the cue by `steps` cue steps (negative: back). */
void StepCue(AudioStream& stream, int64_t steps);
void ToggleFineStep(AudioStream& stream);
/** Playing: stops and goes back 3 s (1.5 s unless RollbackLong is set) or to the start;
    otherwise plays. */
void RollBack(AudioStream& stream);
/** The transcription step: the cue goes `seconds` back (to the start at most) from where it
    is, and a playing stream plays on from there. Nothing while recording. */
void StepBack(AudioStream& stream, uint32_t seconds);

/** A scrub key went down or up (key codes of ScrubKeyTracker). */
void ScrubKeyDown(AudioStream& stream, uint32_t key, uint64_t nowMs);
void ScrubKeyUp(AudioStream& stream, uint32_t key, uint64_t nowMs);
/** One scrub step, run every main-loop turn while a scrub key is held: plays audibly at the
    scrub frequency, or jumps the cue silently when that is beyond what a buffer can play. */
void ScrubStep(AudioStream& stream, uint64_t nowMs);

} // namespace tandrel
