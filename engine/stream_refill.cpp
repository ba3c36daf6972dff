// DSIdle: the refill of a playing stream's ring and the movement of its cue.
//
// The ring is filled in halves. When the play cursor crosses into one half, the other half
// (just played) is refilled with the audio that follows what the ring holds; `readPosition`
// is the Edit position of the audio half a ring behind the next refill. The cue (the
// reader's cursor) follows the play cursor frame for frame. A reverse play reads the Edit
// backwards, block by block, and turns each block's frames round.

#include <algorithm>
#include <cstring>

#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "audio/level_meter.h"
#include "audio/output_mode.h"
#include "engine/record_mix.h"
#include "engine/stream_io.h"
#include "base/audio_samples.h"
#include "base/interaction.h"

namespace tandrel {

namespace {

// Bytes left to play from `position` in the stream's direction (negative: past the end).
int64_t Remaining(const AudioStream& s, uint64_t position)
{
    return s.reverse ? int64_t(position) - int64_t(s.endPosition)
                     : int64_t(s.endPosition) - int64_t(position);
}

// The stop that ends a play: carts and decks tell their player.
void StopAtEnd(AudioStream& s)
{
    s.Stop(true);
    if (!s.IsMain()) TheAudioShell().PostPlayerFinished(s.isDeck, s.playerIndex);
}

// What every block bound for the ring goes through after it is read.
void ProcessBlock(AudioStream& s, uint8_t* bytes, uint32_t count)
{
    if (s.IsMain() && s.effectPreview && count > 0) s.effectPreview(bytes, count);
}

void FinishBlock(AudioStream& s, uint8_t* bytes, uint32_t count)
{
    const EditView& view = *s.reader;
    if (s.IsMain())
        ApplyOutputMode(bytes, count, CurrentOutputMode(), view.bitsPerSample, view.channels);
    else if (s.mixRing)
        s.mixRing->Write(bytes, count);
}

// Reads `n` bytes of the play into `out`: forward from `from`, or backward the `n` bytes
// ending at `from`, frames reversed.
int ReadBlock(AudioStream& s, uint64_t from, uint32_t n, uint8_t* out)
{
    EditView& view = *s.reader;
    if (!s.reverse) return ReadRendered(view, from, n, out);
    const int error = ReadRendered(view, from - n, n, out);
    ReverseFrames(out, n, view.blockAlign);
    return error;
}

// Moves the cue `frames` frames in the play's direction. False when the reader fails.
bool MoveCue(AudioStream& s, uint64_t frames)
{
    EditView& view = *s.reader;
    const uint64_t bytes = frames * view.blockAlign;
    uint64_t to;
    if (s.reverse)
        to = view.cursor > bytes ? view.cursor - bytes : 0;
    else
        to = std::min(view.cursor + bytes, view.length);
    return view.SetCursor(to, false) == 0;
}

// Ring bytes the output device holds beyond the play cursor.
uint64_t HeldByDevice(const AudioStream& s)
{
    const SoundDevice* device = AudioEngine().playbackDevice.get();
    if (!device) return 0;
    const uint32_t hz = s.currentFrequency != kFrequencyUnset ? s.currentFrequency
                                                              : s.targetFrequency;
    return uint64_t(device->OutputLatency() * hz) * s.reader->blockAlign;
}

// The first fill of the ring, and the start of the buffer. True when it is playing.
bool StartStream(AudioStream& s)
{
    EditView& view = *s.reader;
    SoundBuffer& ring = *s.secondary;
    const uint32_t B = s.ringBytes;
    const uint32_t H = B / 2;

    s.readPosition = 0;
    s.moreData = true;
    s.lastCursor = s.lapBase = s.bytesWritten = s.halfFills = 0;
    ring.SetCurrentPosition(0);

    if (!s.IsMain()) {
        const int64_t total = Remaining(s, view.cursor);
        s.playerTotal = uint32_t(std::max<int64_t>(total, 0));
        s.endEvent = std::make_unique<AudioEvent>(true);
        s.endEventOffset = s.playerTotal % B;
        const NotifyPosition position{s.endEventOffset, s.endEvent.get()};
        ring.SetNotificationPositions({&position, 1});
    }

    LockedRegions locked;
    if (ring.Lock(0, B, locked, kLockEntireBuffer) != 0 ||
        locked.size[0] + locked.size[1] != B) {
        ReportError("DSIdle: Error locking playback buffer.");
        s.Stop(true);
        return false;
    }
    const int64_t remaining = Remaining(s, view.cursor);
    if (remaining <= 0) {
        // Nothing to play (the cue is at the end already): back to standby rather than
        // sitting in PLAYING with a silent ring that never starts.
        ring.Unlock(LockedRegions{{locked.data[0], nullptr}, {0, 0}});
        StopAtEnd(s);
        return false;
    }
    const uint32_t n = uint32_t(std::min<int64_t>(remaining, B));
    uint8_t* bytes = locked.data[0];
    // A read error renders silence; the play goes on, as the render window does.
    ReadBlock(s, view.cursor, n, bytes);
    if (s.reverse)
        s.readPosition = view.cursor > H ? view.cursor - H : 0;
    else
        s.readPosition = std::min(view.cursor + H, s.endPosition);
    ProcessBlock(s, bytes, n);
    std::memset(bytes + n, view.SilenceByte(), B - n);
    FinishBlock(s, bytes, B);
    ring.Unlock(locked);
    if (s.IsMain() && TheAudioShell().MetersOn())
        TheLevelMeters().Meter(bytes, B, view.bitsPerSample, view.channels, view.sampleRate,
                               false, 0);

    s.bytesWritten = B;
    s.halfFills = 0;
    if (ring.Play(true) == 0) {
        s.started = true;
        return true;
    }
    s.Stop(true);
    return false;
}

} // namespace

bool DSIdle(AudioStream& s)
{
    if (!s.HasEdit() || !s.secondary) return false;
    const int state = s.State();
    if (state != kStatePlaying && state != kStateScrubbing) return false;
    EditView& view = *s.reader;
    SoundBuffer& ring = *s.secondary;
    const uint32_t B = s.ringBytes;
    const uint32_t H = B / 2;
    const uint32_t align = view.blockAlign ? view.blockAlign : 1;

    if (s.targetFrequency != s.currentFrequency) {
        ring.SetFrequency(std::clamp(s.targetFrequency, kMinFrequency, kMaxFrequency));
        s.currentFrequency = s.targetFrequency;
    }

    if (!s.started) {
        StartStream(s);
        return false;
    }

    if (!s.IsMain() && s.endEvent && s.endEvent->IsSet()) {
        s.endEvent->Reset();
        if (s.bytesWritten >= s.playerTotal) {
            s.Stop(false);
            s.endEvent.reset(); // the stopped ring signals it no more
            TheAudioShell().PostPlayerFinished(s.isDeck, s.playerIndex);
            return true;
        }
    }

    uint32_t cursor = 0;
    ring.GetCurrentPosition(&cursor, nullptr);
    const bool even = s.halfFills % 2 == 0;
    const bool fillFirst = cursor >= H && s.lastCursor < H && even;
    const bool fillSecond = cursor < H && s.lastCursor >= H && !even;
    if (fillSecond) s.lapBase += B;

    if (s.IsMain() && TheAudioShell().MetersOn()) {
        // A reading is shown once it has left the device, not when the mixer took it.
        const uint64_t played = uint64_t(s.lapBase) + cursor;
        const uint64_t held = HeldByDevice(s);
        if (played >= held) TheLevelMeters().ShowUpTo(played - held);
    }

    bool moved = false;
    if (fillFirst || fillSecond) {
        ++s.halfFills;
        if (!s.moreData) {
            // The half just played held the last of the audio: the cue has reached the end
            // even when no pass saw the cursor between the end and the boundary.
            view.SetCursor(std::min(s.endPosition, view.length), false);
            StopAtEnd(s);
            return true;
        }
        if (view.SetCursor(s.readPosition, false) != 0) {
            s.Stop(false);
            return false;
        }
        const int64_t remaining = Remaining(s, view.cursor);

        LockedRegions locked;
        if (ring.Lock(fillFirst ? 0 : H, H, locked) != 0 ||
            locked.size[0] + locked.size[1] != H) {
            ReportError("DSIdle: Error locking playback buffer midpoint.");
            s.Stop(true);
            return true;
        }
        uint8_t* bytes = locked.data[0];
        if (remaining <= int64_t(H)) {
            // Everything left is in the other half already.
            std::memset(bytes, view.SilenceByte(), H);
            s.moreData = false;
        } else {
            const uint32_t n = uint32_t(std::min<int64_t>(remaining - H, H));
            if (s.reverse) {
                ReadBlock(s, view.cursor - H, n, bytes);
                s.readPosition = view.cursor >= H ? view.cursor - H : 0;
            } else {
                ReadBlock(s, view.cursor + H, n, bytes);
                s.readPosition = std::min(view.cursor + H, s.endPosition);
            }
            ProcessBlock(s, bytes, n);
            std::memset(bytes + n, view.SilenceByte(), H - n);
            FinishBlock(s, bytes, H);
        }
        ring.Unlock(locked);
        if (s.IsMain() && TheAudioShell().MetersOn())
            TheLevelMeters().Meter(bytes, H, view.bitsPerSample, view.channels, view.sampleRate,
                                   false, s.bytesWritten);
        s.bytesWritten += H;

        // The reader now stands at the half boundary the cursor has just crossed; the cue
        // goes on from there by what has been played past it. (Counting from the last
        // cursor instead would put the cue ahead by the time between the last pass and the
        // crossing, and the play would stop that much short of its end.)
        const uint32_t boundary = fillFirst ? H : 0;
        const uint32_t frames = ((cursor + B - boundary) % B) / align;
        if (frames > 0) {
            if (!MoveCue(s, frames)) {
                s.Stop(false);
                return false;
            }
            moved = true;
        }
    } else {
        const int64_t remaining = Remaining(s, view.cursor);
        if (remaining <= 0) {
            StopAtEnd(s);
            return true;
        }
        int64_t frames = (int64_t(cursor) - int64_t(s.lastCursor)) / int64_t(align);
        if (frames > 0) {
            frames = std::min<int64_t>(frames, remaining / align);
            if (!MoveCue(s, uint64_t(frames))) {
                s.Stop(false);
                return false;
            }
            moved = true;
            if (Remaining(s, view.cursor) <= 0) {
                StopAtEnd(s);
                return true;
            }
        }
    }
    s.lastCursor = cursor - cursor % align;
    return moved;
}

} // namespace tandrel
