#include "recording/capture_drain.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio_devices.h"
#include "engine/audio_stream.h"
#include "audio/gain_control.h"
#include "audio/level_meter.h"
#include "engine/record_mix.h"
#include "engine/transport.h"
#include "base/interaction.h"
#include "editing/markers.h"
#include "recording/recorder.h"
#include "recording/recorder_shell.h"
#include "recording/recorder_state.h"

namespace tandrel {

namespace {

constexpr uint32_t kDisplayRefreshEvery = 3000;

/** Where the capture has got to, as a byte offset in the ring. */
enum class Probe
{
    Nothing, // no new position (no event signalled yet, or the stop event)
    Position,
    Failed,
};

Probe CapturePosition(AudioEngineState& engine, uint32_t& position, int& failure)
{
    if (engine.needsCaptureNotify) {
        // The read offset sits on a segment boundary; the first signalled event from the
        // segment it starts is the nearest one ahead, and everything before it is complete.
        const uint32_t segments = kCaptureEventCount - 1;
        const uint32_t step = engine.recordBufferBytes / segments;
        const uint32_t next = step ? engine.captureReadOffset / step % segments : 0;
        for (uint32_t i = 0; i < segments; ++i) {
            const uint32_t k = (next + i) % segments;
            AudioEvent* event = engine.captureEvents[k].get();
            if (!event || !event->Test()) continue;
            position = (engine.captureNotifications[k].offset + 1) & ~3u;
            if (position >= engine.recordBufferBytes) position = 0;
            return Probe::Position;
        }
        // The stop event says nothing about where the input stopped: the segment events
        // before it have delivered everything complete.
        if (AudioEvent* stop = engine.captureEvents[segments].get()) stop->Test();
        return Probe::Nothing;
    }
    uint32_t read = 0;
    const int status = engine.captureBuffer->GetCurrentPosition(nullptr, &read);
    if (status != kAudioOk) {
        failure = status;
        return Probe::Failed;
    }
    position = read;
    return Probe::Position;
}

/** Replaces each stereo frame by its mono average, in place. */
void FoldToMono(uint8_t* bytes, uint32_t count, uint32_t bits)
{
    if (bits == 16) {
        for (uint32_t i = 0; i + 4 <= count; i += 4) {
            int16_t left, right;
            std::memcpy(&left, bytes + i, 2);
            std::memcpy(&right, bytes + i + 2, 2);
            const auto mono = int16_t((int32_t(left) + right) / 2);
            std::memcpy(bytes + i, &mono, 2);
            std::memcpy(bytes + i + 2, &mono, 2);
        }
    } else {
        for (uint32_t i = 0; i + 2 <= count; i += 2) bytes[i] = bytes[i + 1] = uint8_t((bytes[i] + bytes[i + 1]) / 2);
    }
}

/** The cart and deck rings that feed the software mix: carts first. */
std::vector<MixRing*> PlayerMixRings()
{
    std::vector<MixRing*> rings;
    for (AudioStream* player : PlayerStreams())
        if (player->mixRing) rings.push_back(player->mixRing);
    return rings;
}

RecordMixer& TheRecordMixer()
{
    static RecordMixer mixer;
    return mixer;
}

/** Takes one processed block onward: into the recent-audio ring, the live meters and, when
    `write`, the recording's file. False when the file write failed. */
bool Deliver(AudioStream& main, const uint8_t* bytes, uint32_t count, const PcmFormat& format,
             bool write)
{
    main.AppendRecentAudio(bytes, count);
    TheLevelMeters().Meter(bytes, count, format.bits, format.channels, format.rate, true, 0);
    if (!write) return true;
    RecorderState& recorder = Recorder();
    uint64_t done = 0;
    return recorder.file && recorder.file->EditWrite(bytes, count, done) == 0 && done == count;
}

/** Steps shared by the recording and the input monitor: everything captured from the read
    offset to `position` goes through the gain control, the mono fold and the software mix
    and on to Deliver. False when a write failed. */
bool ProcessCaptured(AudioEngineState& engine, AudioStream& main, uint32_t position, bool write)
{
    const PcmFormat& format = engine.captureBuffer->Format();
    const uint32_t align = std::max<uint32_t>(format.BlockAlign(), 1);
    int64_t n = int64_t(position) - int64_t(engine.captureReadOffset);
    if (n < 0) n += engine.recordBufferBytes;
    n -= n % align;
    if (n <= 0) return true;

    LockedRegions regions;
    if (engine.captureBuffer->Lock(engine.captureReadOffset, uint32_t(n), regions) != kAudioOk)
        return true; // nothing taken; the next turn tries again
    RecorderState& recorder = Recorder();
    const AgcPlacement agc = AgcPlacementFor(recorder.softwareMix);
    const bool sixteenBit = format.bits == 16;
    const std::vector<MixRing*> rings = recorder.softwareMix && sixteenBit ? PlayerMixRings()
                                                                         : std::vector<MixRing*>();
    uint8_t* pieces[2] = {regions.data[0], regions.data[1]};
    const uint32_t sizes[2] = {regions.size[0], regions.size[1]};
    bool ok = true;
    for (int i = 0; i < 2 && ok; ++i) {
        if (!pieces[i] || sizes[i] == 0) continue;
        if (agc == AgcPlacement::BeforeMix) AgcProcess(pieces[i], sizes[i]);
        if (recorder.monoFold && format.channels == 2) FoldToMono(pieces[i], sizes[i], format.bits);
        if (!recorder.softwareMix || !sixteenBit) {
            ok = Deliver(main, pieces[i], sizes[i], format, write);
            continue;
        }
        // The mixer takes at most kMaxBytes at a time; a longer piece (the loop fell behind)
        // goes through in turns so that none of it is lost.
        for (uint32_t at = 0; at < sizes[i] && ok; at += RecordMixer::kMaxBytes) {
            RingPieces captured;
            captured.data[0] = pieces[i] + at;
            captured.size[0] = std::min(sizes[i] - at, RecordMixer::kMaxBytes);
            uint32_t bytes = 0;
            int16_t* mixed = TheRecordMixer().Mix(captured, recorder.recordGain,
                                                  recorder.softwareFader, rings, bytes);
            if (agc == AgcPlacement::AfterMix) AgcProcess(mixed, bytes);
            ok = Deliver(main, reinterpret_cast<const uint8_t*>(mixed), bytes, format, write);
        }
    }
    engine.captureBuffer->Unlock(regions);
    if (write) recorder.totalRecorded += uint64_t(n);
    engine.captureReadOffset = uint32_t((engine.captureReadOffset + uint64_t(n)) % engine.recordBufferBytes);
    engine.captureReadTotal += uint64_t(n);
    return ok;
}

/** When the loop stalled for as long as the ring holds, the input has come round past the
    read offset and overwritten what was not taken yet: that is gone. The read offset moves
    on to half a ring behind the input, clear of its writes, and the bytes skipped are
    returned (0 when the input is still behind the ring's end). */
uint64_t SkipOverwrittenInput(AudioEngineState& engine)
{
    const uint64_t ring = engine.recordBufferBytes;
    const uint64_t captured = engine.captureBuffer->CapturedBytes();
    if (captured - engine.captureReadTotal < ring) return 0;
    const uint32_t align = std::max<uint32_t>(engine.captureBuffer->Format().BlockAlign(), 1);
    uint64_t resume = captured - ring / 2;
    resume -= resume % align;
    const uint64_t lost = resume - engine.captureReadTotal;
    engine.captureReadTotal = resume;
    engine.captureReadOffset = uint32_t(resume % ring);
    return lost;
}

/** Input lost during a recording is never a silent jump: a marker names the gap where it
    falls in the recording, and the person is told (once a recording). */
void MarkGap(uint64_t lost, uint32_t bytesPerSecond)
{
    RecorderState& recorder = Recorder();
    const uint64_t hundredths = bytesPerSecond ? lost * 100 / bytesPerSecond : 0;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%llu.%02llu", static_cast<unsigned long long>(hundredths / 100),
                  static_cast<unsigned long long>(hundredths % 100));
    const std::string name = std::string("Gap: ") + seconds + " s lost";
    HoldRecordingMarker(recorder.totalRecorded, name);
    if (recorder.gapReported) return;
    recorder.gapReported = true;
    TheRecorderShell().ShowCaptureGap(
        std::string("The recording fell behind the input and ") + seconds +
        " seconds of audio are missing from it.  A marker named \"" + name +
        "\" marks the place, and any later gap in this recording gets a marker of its own.");
}

/** A failed capture or write: an insert recording is abandoned, a new one saved as far as it
    got. */
int AbandonRecording(int code)
{
    const int kind = Recorder().kind;
    if (kind == kNewRecording)
        Record(true);
    else if (kind == kInsertRecording)
        InsertRecord(true);
    ReportError("WriteRecordedData generated error %x, aborting.", unsigned(code));
    return code;
}

/** The capture ring went away under a recording (the devices were closed): nothing more
    can come in, so the recording is stopped and saved as far as it got, and the person is
    told, rather than showing RECORDING over a capture that no longer runs. */
int LostCapture()
{
    if (Recorder().kind == kNotRecording) return kAudioNotOpen;
    StopRecording();
    ReportError("WriteRecordedData generated error %x, aborting.", unsigned(kAudioNotOpen));
    return kAudioNotOpen;
}

int Drain(bool onlyWhatIsLeft)
{
    AudioStream* main = MainStream();
    AudioEngineState& engine = AudioEngine();
    if (!main) return kAudioNotOpen;
    // Audio switched off ends the recording: what the stopped capture holds is still its own.
    if (!engine.audioEnabled && !onlyWhatIsLeft) return -1;
    if (!engine.captureBuffer || engine.recordBufferBytes == 0)
        return onlyWhatIsLeft ? kAudioNotOpen : LostCapture();

    if (const uint64_t lost = SkipOverwrittenInput(engine))
        MarkGap(lost, engine.captureBuffer->Format().BytesPerSecond());
    uint32_t position = 0;
    int failure = 0;
    switch (CapturePosition(engine, position, failure)) {
    case Probe::Nothing:
        return 0;
    case Probe::Failed:
        return onlyWhatIsLeft ? failure : AbandonRecording(failure);
    case Probe::Position:
        break;
    }
    if (!ProcessCaptured(engine, *main, position, true))
        return onlyWhatIsLeft ? -1 : AbandonRecording(uint32_t(-1));

    RecorderState& recorder = Recorder();
    if (recorder.flusher && recorder.file) {
        if (const int error = recorder.flusher->Failure(); error != 0 && !onlyWhatIsLeft) {
            ReportError("EditWrite: Error (%d) writing file %s.", error, recorder.file->title.c_str());
            return AbandonRecording(uint32_t(-1));
        }
        const uint64_t flushEvery = uint64_t(kFlushIntervalSeconds) * engine.captureBuffer->Format().BytesPerSecond();
        if (recorder.totalRecorded - recorder.flushedTotal >= flushEvery) {
            recorder.flusher->Request();
            recorder.flushedTotal = recorder.totalRecorded;
        }
    }
    if (!onlyWhatIsLeft)
        TheRecorderShell().RefreshDisplays(++recorder.displayCalls % kDisplayRefreshEvery == 0);
    return 0;
}

} // namespace

int WriteRecordedData()
{
    return Drain(false);
}

int DrainStoppedCapture()
{
    // Following the notification events, each turn takes one segment: take them all.
    for (int turn = 0; turn < kCaptureEventCount; ++turn) {
        const uint64_t before = Recorder().totalRecorded;
        const int result = Drain(true);
        if (result != 0 || Recorder().totalRecorded == before) return result;
    }
    return 0;
}

void MonitorInput()
{
    AudioStream* main = MainStream();
    AudioEngineState& engine = AudioEngine();
    const bool paused = Recorder().kind != kNotRecording && main && main->recordPaused;
    if (!main || !(Transport().recordingArmed || paused)) return;
    if (!engine.audioEnabled || !engine.captureBuffer || engine.recordBufferBytes == 0) return;
    SkipOverwrittenInput(engine); // nothing is recorded: the meters just go on from there
    uint32_t position = 0;
    int failure = 0;
    if (CapturePosition(engine, position, failure) != Probe::Position) return;
    ProcessCaptured(engine, *main, position, false);
}

} // namespace tandrel
