#include "engine/transport.h"

#include <algorithm>

#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "audio/gain_control.h"
#include "audio/level_meter.h"
#include "settings/setting_defaults.h"
#include "settings/user.h"

namespace tandrel {

namespace {


bool Recording()
{
    const TransportState& transport = Transport();
    return transport.isRecording && transport.isRecording();
}

void MoveCue(AudioStream& stream, uint64_t position)
{
    if (!stream.HasEdit()) return;
    stream.reader->SetCursor(std::min(position, stream.reader->length), true);
    TheAudioShell().RedrawCueAndOverview();
}

// The capture runs in standby so the meters and gain control hear the input before a
// recording; in every other state it is off.
void UpdateArming(AudioStream& stream)
{
    if (stream.State() == kStateStandby)
        ArmRecording(stream);
    else
        DisarmRecording(stream);
}

void RunCommand(AudioStream& stream, int command, bool reverse, bool selectionFromCue)
{
    stream.reverse = reverse;
    switch (command) {
    case kTransportPlay:
        stream.Play();
        TheAudioShell().RefreshTransport();
        break;
    case kTransportScrubPlay:
        stream.ScrubPlay();
        TheAudioShell().RefreshTransport();
        break;
    case kTransportPlaySelection: {
        if (stream.playing || !stream.HasEdit() || !stream.reader->HasSelection()) break;
        EditView& view = *stream.reader;
        const uint64_t start = std::min(view.leftMark, view.rightMark);
        const uint64_t end = std::max(view.leftMark, view.rightMark);
        if (!selectionFromCue && view.SetCursor(reverse ? end : start, true) != 0) break;
        if (stream.Play() != 0) break;
        stream.playStart = view.cursor;
        stream.SetEnd(reverse ? start : end);
        TheAudioShell().RefreshTransport();
        break;
    }
    case kTransportToggle:
        if (stream.playing)
            stream.Stop(true);
        else
            stream.Play();
        TheAudioShell().RefreshTransport();
        break;
    case kTransportStop:
        stream.Stop(true);
        break;
    default:
        break;
    }
    UpdateArming(stream);
}

} // namespace

TransportState& Transport()
{
    static TransportState state;
    return state;
}

void LoadScrubSettings()
{
    const UserFlags flags = ReadUserFlags();
    TransportState& transport = Transport();
    transport.initialAudioScrub = flags.InitialScrub();
    transport.initialScrubMs = uint32_t(flags.InitialScrubMilliseconds());
    transport.scrubStepSize = flags.ScrubStep();
}

void TransportCommand(AudioStream& stream, int command, bool reverse)
{
    RunCommand(stream, command, reverse, false);
}

void TransportCommandFromCue(AudioStream& stream, int command, bool reverse)
{
    RunCommand(stream, command, reverse, true);
}

bool ArmRecording(AudioStream& stream)
{
    TransportState& transport = Transport();
    if (transport.recordingArmed) return true;
    AudioEngineState& engine = AudioEngine();
    if (!stream.AllocateRecentAudio(engine.recordingFormat.avgBytesPerSec)) return false;
    if (!engine.audioEnabled) {
        transport.recordingArmed = true;
        return true;
    }
    const AudioFormat& format = engine.recordingFormat;
    if (CreateRecordBuffer(kRecordBufferSeconds, format) == 0 && engine.captureBuffer &&
        engine.captureBuffer->Start(true) == 0) {
        // The monitor levels the input in the format it captures.
        AgcInit(format.sampleRate, format.channels, format.bitsPerSample);
        transport.recordingArmed = true;
        return true;
    }
    ReleaseRecordBuffer();
    stream.FreeRecentAudio();
    return false;
}

void DisarmRecording(AudioStream& stream)
{
    TransportState& transport = Transport();
    if (!transport.recordingArmed) return;
    AudioEngineState& engine = AudioEngine();
    if (engine.audioEnabled) {
        if (engine.captureBuffer) engine.captureBuffer->Stop();
        ReleaseRecordBuffer();
    }
    transport.recordingArmed = false;
    stream.FreeRecentAudio();
    TheLevelMeters().Clear();
    TheAudioShell().ClearMeterDisplays();
}

void PlayPauseKey(AudioStream& stream)
{
    const int state = stream.State();
    if (state == kStateStandby || state == kStatePlaying)
        TransportCommand(stream, kTransportToggle, Transport().reverseDirection);
    else
        TransportCommand(stream, kTransportPlay, Transport().reverseDirection);
}

void StopKey(AudioStream& stream)
{
    if (Recording()) {
        if (Transport().stopRecording) Transport().stopRecording();
        return;
    }
    const int state = stream.State();
    if (state == kStatePlaying || state == kStateScrubbing) {
        TransportCommand(stream, kTransportStop, Transport().reverseDirection);
        TheAudioShell().RefreshTransport();
    }
}

namespace {

// Moves the cue; a playing stream is stopped for the move and started again after it.
void JumpTo(AudioStream& stream, uint64_t position)
{
    if (!stream.HasEdit()) return;
    const bool wasPlaying = stream.playing;
    if (wasPlaying) TransportCommand(stream, kTransportStop, Transport().reverseDirection);
    MoveCue(stream, position);
    if (wasPlaying) TransportCommand(stream, kTransportPlay, Transport().reverseDirection);
}

// Moves the cue `bytes` back from where a stop left it, to the start at most.
void MoveCueBack(AudioStream& stream, uint64_t bytes)
{
    const uint64_t cue = stream.reader->cursor;
    MoveCue(stream, cue > bytes ? cue - bytes : 0);
}

} // namespace

void GoToStart(AudioStream& stream) { JumpTo(stream, 0); }

void GoToEnd(AudioStream& stream)
{
    if (stream.HasEdit()) JumpTo(stream, stream.reader->length);
}

void PreviousMarker(AudioStream& stream)
{
    if (!stream.HasEdit()) return;
    const EditView& view = *stream.reader;
    for (auto marker = view.markers.rbegin(); marker != view.markers.rend(); ++marker)
        if (marker->position < view.cursor) return JumpTo(stream, marker->position);
}

void NextMarker(AudioStream& stream)
{
    if (!stream.HasEdit()) return;
    const EditView& view = *stream.reader;
    for (const MarkerEntry& marker : view.markers)
        if (marker.position > view.cursor) return JumpTo(stream, marker.position);
}

void StepCue(AudioStream& stream, int64_t steps)
{
    StopKey(stream);
    if (!stream.HasEdit() || Recording()) return;
    EditView& view = *stream.reader;
    const int64_t bytes = steps * int64_t(view.blockBytesAligned ? view.blockBytesAligned : view.blockAlign);
    const int64_t target = std::clamp<int64_t>(int64_t(view.cursor) + bytes, 0, int64_t(view.length));
    MoveCue(stream, uint64_t(target));
}

void ToggleFineStep(AudioStream& stream)
{
    if (stream.HasEdit()) stream.reader->SetFineStep(!stream.reader->fineStep);
}

void RollBack(AudioStream& stream)
{
    if (!stream.HasEdit()) return;
    if (!stream.playing) {
        TransportCommand(stream, kTransportPlay, Transport().reverseDirection);
        return;
    }
    TransportCommand(stream, kTransportStop, Transport().reverseDirection);
    const uint64_t second = stream.reader->bytesPerSecond;
    MoveCueBack(stream, ReadNumberSetting("RollbackLong") ? 3 * second : 3 * second / 2);
}

void StepBack(AudioStream& stream, uint32_t seconds)
{
    if (!stream.HasEdit() || Recording()) return;
    const bool wasPlaying = stream.playing;
    if (wasPlaying) TransportCommand(stream, kTransportStop, Transport().reverseDirection);
    MoveCueBack(stream, uint64_t(seconds) * stream.reader->bytesPerSecond);
    if (wasPlaying) TransportCommand(stream, kTransportPlay, Transport().reverseDirection);
}

void ScrubKeyDown(AudioStream& stream, uint32_t key, uint64_t nowMs)
{
    TransportState& transport = Transport();
    transport.tracker.Press(key, nowMs, stream.HasEdit() ? stream.reader->cursor : 0);
    if (key & ScrubKeyTracker::kBackKeys)
        transport.rewindHeld = true;
    else
        transport.forwardHeld = true;
}

void ScrubKeyUp(AudioStream& stream, uint32_t key, uint64_t nowMs)
{
    TransportState& transport = Transport();
    const bool backward = key & ScrubKeyTracker::kBackKeys;
    if (backward)
        transport.rewindHeld = false;
    else
        transport.forwardHeld = false;
    const uint64_t cue = stream.HasEdit() ? stream.reader->cursor : 0;
    const uint32_t step = stream.HasEdit() ? stream.reader->blockBytesAligned : 0;
    const int64_t missing = transport.tracker.Release(key, nowMs, cue, step);
    if (transport.tracker.AnyHeld()) return;
    // The last key is up: the scrub ends and the stream goes back to the Edit's rate.
    if (stream.scrubbing) TransportCommand(stream, kTransportStop, transport.reverseDirection);
    transport.waveformScrubbing = false;
    if (missing != 0 && stream.HasEdit())
        MoveCue(stream, uint64_t(std::max<int64_t>(0, int64_t(stream.reader->cursor) + missing)));
}

void ScrubStep(AudioStream& stream, uint64_t nowMs)
{
    TransportState& transport = Transport();
    const int state = stream.State();
    if (!stream.HasEdit() || (state != kStateStandby && state != kStateScrubbing)) return;
    if (transport.rewindHeld == transport.forwardHeld) return; // neither, or both at once
    const bool backward = transport.rewindHeld;
    EditView& view = *stream.reader;

    ScrubSituation situation;
    situation.rate = view.sampleRate;
    situation.keyboardState = transport.keyboardScrubState;
    situation.fineStep = view.fineStep;
    situation.initialAudioScrub = transport.initialAudioScrub;
    situation.initialScrubMs = transport.initialScrubMs;
    situation.mouseHeld = transport.mouseHeld;
    const uint32_t frequency = ScrubFrequency(transport.tracker, situation, nowMs);
    if (frequency <= kMaxScrubFrequency) {
        stream.SetTargetFrequency(frequency);
        TransportCommand(stream, kTransportScrubPlay, backward);
        transport.waveformScrubbing = true;
        return;
    }
    // Too fast to hear: jump the cue silently by the step size.
    if (stream.scrubbing || stream.playing) TransportCommand(stream, kTransportStop, backward);
    transport.waveformScrubbing = false;
    const int64_t steps = int64_t(transport.scrubStepSize) * (view.fineStep ? 64 : 1);
    const int64_t bytes = steps * int64_t(view.blockBytesAligned);
    const int64_t target =
        std::clamp<int64_t>(int64_t(view.cursor) + (backward ? -bytes : bytes), 0, int64_t(view.length));
    MoveCue(stream, uint64_t(target));
}

} // namespace tandrel
