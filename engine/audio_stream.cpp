#include "engine/audio_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "audio/format_converter.h"
#include "audio/level_meter.h"
#include "audio/output_mode.h"
#include "base/ring_pieces.h"
#include "engine/record_mix.h"
#include "engine/stream_io.h"
#include "base/interaction.h"

namespace tandrel {

namespace {

AudioStream* gMainStream = nullptr;
std::vector<AudioStream*> gPlayerStreams;

// The largest ring a stream plays from (scrubbing, or recent seconds of 4 and more).
constexpr uint32_t kLongRingSeconds = 2;

bool PlayerOrder(const AudioStream* a, const AudioStream* b)
{
    if (a->isCart != b->isCart) return a->isCart; // carts before decks
    return a->playerIndex < b->playerIndex;
}

} // namespace

// Copies `count` rendered bytes of the Edit from `from` into `out`, through the view's render
// window. When the range lies outside the window, the window is moved over it and back to
// the cursor afterwards; the cursor itself is left where it was. 0 or the render's error.
int ReadRendered(EditView& view, uint64_t from, uint32_t count, uint8_t* out)
{
    const uint64_t cursor = view.cursor;
    bool moved = false;
    int error = 0;
    while (count > 0 && view.bufferBytes > 0) {
        const uint64_t windowEnd = view.windowStart + view.bufferBytes;
        if (view.renderedStart != view.windowStart || from < view.windowStart ||
            from >= windowEnd) {
            // Put `from` at the start of the window (as near as the Edit's ends allow).
            error = view.SetCursor(from + view.bufferBytes / 2, false);
            if (!error) error = view.Render(false);
            moved = true;
            if (error) break;
            if (from < view.windowStart || from >= view.windowStart + view.bufferBytes) {
                error = -1; // beyond anything the window can show
                break;
            }
            continue;
        }
        const RingPieces pieces = view.ReadWindow(uint32_t(from - view.windowStart));
        uint32_t taken = 0;
        for (int i = 0; i < 2 && taken < count; ++i) {
            const uint32_t part = std::min(pieces.size[i], count - taken);
            if (part) std::memcpy(out + taken, pieces.data[i], part);
            taken += part;
        }
        if (taken == 0) {
            error = -1;
            break;
        }
        out += taken;
        from += taken;
        count -= taken;
    }
    if (count > 0) std::memset(out, view.SilenceByte(), count);
    if (moved) {
        const int restore = view.SetCursor(cursor, false);
        if (!error) error = restore;
    }
    return error;
}

const char* StreamStateText(int state, bool paused)
{
    switch (state) {
    case kStateRecording:
        return paused ? "PAUSED" : "RECORDING";
    case kStatePlaying:
        return "PLAYING";
    case kStateScrubbing:
        return "SCRUBBING";
    }
    return "STANDBY";
}

AudioStream* MainStream()
{
    return gMainStream;
}

const std::vector<AudioStream*>& PlayerStreams()
{
    return gPlayerStreams;
}

AudioStream::AudioStream(uint8_t recent, bool cart, bool deck, uint32_t index,
                         uint32_t viewSeconds)
    : recentSeconds(recent), isCart(cart), isDeck(deck),
      playerIndex(cart || deck ? index : 0xFFFFFFFF),
      targetFrequency(std::min(AudioEngine().recordingFormat.sampleRate, kMaxPlaybackFrequency)),
      viewSeconds_(viewSeconds ? viewSeconds : 2 * kLongRingSeconds)
{
    if (IsMain()) {
        gMainStream = this;
    } else {
        gPlayerStreams.insert(
            std::upper_bound(gPlayerStreams.begin(), gPlayerStreams.end(), this, PlayerOrder),
            this);
    }
}

AudioStream::~AudioStream()
{
    Close();
    if (gMainStream == this) gMainStream = nullptr;
    std::erase(gPlayerStreams, this);
}

int AudioStream::State() const
{
    if (recording) return kStateRecording;
    if (scrubbing) return kStateScrubbing;
    if (playing) return kStatePlaying;
    return kStateStandby;
}

int AudioStream::StartRing(uint32_t seconds, bool withVolumeAndNotify)
{
    AudioFormat format;
    MakeFormat(format, reader->sampleRate, reader->bitsPerSample, reader->channels);
    uint32_t bytes = 0;
    int status = CreatePlaybackBuffer(seconds, format, secondary, bytes, withVolumeAndNotify);
    if (status != 0) {
        ringBytes = 0;
        return status;
    }
    // The ring is refilled in halves of whole frames. An odd rate gives a ring of an odd
    // number of frames (11025 Hz stereo: 44100 bytes, halves of 22050): drop its last frame.
    const uint32_t pair = 2 * format.blockAlign;
    if (bytes % pair != 0) {
        SoundBufferDesc desc;
        desc.format = PcmFormat{format.sampleRate, format.bitsPerSample, format.channels};
        desc.bytes = bytes - bytes % pair;
        secondary.reset();
        status = AudioEngine().playbackDevice->CreateBuffer(desc, secondary);
        if (status != 0) {
            ReportError("CreatePlaybackBuffer: Unable to create secondary playback buffer (%x).",
                        unsigned(status));
            ringBytes = 0;
            return status;
        }
        bytes = desc.bytes;
    }
    ringBytes = bytes;
    return 0;
}

int AudioStream::Play()
{
    if (playing) return 0;
    if (!HasEdit()) return -1;
    if (AudioEngine().audioEnabled) {
        const int status = StartRing(recentSeconds < 4 ? 1 : kLongRingSeconds, false);
        if (status != 0) return status;
    }
    playing = true;
    endPosition = reverse ? 0 : reader->length;
    playStart = reader->cursor;
    return 0;
}

int AudioStream::ScrubPlay()
{
    if (playing) {
        scrubbing = true; // the ring keeps running; DSIdle takes up the new frequency
        return 0;
    }
    if (!HasEdit()) return -1;
    if (AudioEngine().audioEnabled) {
        const int status = StartRing(kLongRingSeconds, false);
        if (status != 0) return status;
    }
    playing = true;
    scrubbing = true;
    endPosition = reverse ? 0 : reader->length;
    playStart = reader->cursor;
    return 0;
}

int AudioStream::PlayerStart(uint64_t start, uint64_t end)
{
    if (!HasEdit()) return -1;
    if (AudioEngine().audioEnabled) {
        const int status = StartRing(recentSeconds < 4 ? 1 : kLongRingSeconds, true);
        if (status != 0) return status;
    }
    if (start != reader->cursor) reader->SetCursor(std::min(start, reader->length), false);
    started = false;
    playing = true;
    endPosition = end == kNoEnd ? reader->length : std::min(end, reader->length);
    playStart = reader->cursor;
    return 0;
}

int AudioStream::Stop(bool refresh)
{
    const bool audioOn = AudioEngine().audioEnabled;
    const uint32_t playbackRate =
        std::min(reader && reader->sampleRate ? reader->sampleRate
                                              : AudioEngine().playbackFormat.sampleRate,
                 kMaxPlaybackFrequency);
    if (!IsMain()) {
        if (State() != kStatePlaying) return -1;
        if (secondary) secondary->Stop();
        playing = scrubbing = false;
        targetFrequency = playbackRate;
        currentFrequency = kFrequencyUnset;
        started = false;
        moreData = true;
        return 0;
    }

    AudioShell& shell = TheAudioShell();
    const bool wasActive = playing || scrubbing;
    if (wasActive) {
        // The cue goes back to what the person has heard, so that the line does not jump
        // ahead at the stop and the next play or mark starts where they stopped listening.
        // A play that reached its end keeps the cue there.
        const uint64_t heard = HeardPosition();
        const bool atEnd = reader && (reverse ? reader->cursor <= endPosition
                                              : reader->cursor >= endPosition);
        if (audioOn && secondary) secondary->Stop();
        playing = scrubbing = false;
        if (reader && !atEnd && heard != reader->cursor) reader->SetCursor(heard, false);
        shell.RefreshTransport();
        started = false;
        moreData = true;
        targetFrequency = playbackRate;
        currentFrequency = kFrequencyUnset;
        shell.FlagWaveformsForRefresh();
    }
    shell.WaitForMarkerInsertions();
    if (refresh) shell.RedrawCueAndOverview();
    TheLevelMeters().Clear();
    return wasActive ? 0 : -1;
}

void AudioStream::SetTargetFrequency(uint32_t hz)
{
    targetFrequency = std::min(hz, kMaxPlaybackFrequency);
}

int AudioStream::SetRecentSeconds(uint8_t seconds)
{
    if (seconds == recentSeconds) return -1;
    recentSeconds = seconds;
    return 0;
}

void AudioStream::Close()
{
    if (IsMain()) TheAudioShell().EndRecordPreviewAndMarkers();
    if (playing || scrubbing) Stop(false);
    if (secondary) secondary->Stop();
    // Only a stopped ring no longer signals its end event: free the event after the stop.
    endEvent.reset();
    reader.reset();
    secondary.reset();
    ringBytes = 0;
    recording = recordPaused = playing = scrubbing = started = false;
    moreData = true;
}

bool AudioStream::AllocateRecentAudio(uint32_t bytesPerSecond)
{
    try {
        recentAudioRing.assign(size_t(recentSeconds) * bytesPerSecond, 0);
        recentAudioWritten = 0;
    } catch (const std::bad_alloc&) {
        recentAudioRing = {};
        return false;
    }
    return true;
}

void AudioStream::FreeRecentAudio()
{
    recentAudioRing = {};
    recentAudioWritten = 0;
}

void AudioStream::AppendRecentAudio(const uint8_t* bytes, uint32_t count)
{
    const size_t size = recentAudioRing.size();
    if (size == 0 || count == 0) return;
    recentAudioWritten += count;
    // Where the kept bytes begin: the newest byte lands just before recentAudioWritten.
    const size_t kept = std::min<size_t>(count, size);
    CopyIntoRing(recentAudioRing.data(), size, size_t((recentAudioWritten - kept) % size), bytes,
                 count);
}

uint64_t AudioStream::HeardPosition() const
{
    if (!reader) return 0;
    const uint64_t cue = reader->cursor;
    if (!playing || !AudioEngine().playbackDevice) return cue;
    const uint32_t align = reader->blockAlign ? reader->blockAlign : 1;
    const uint32_t hz = currentFrequency != kFrequencyUnset ? currentFrequency : targetFrequency;
    // The device plays what it holds at the ring's frequency: that many ring bytes are
    // between the play cursor and the speaker.
    const uint64_t held =
        uint64_t(AudioEngine().playbackDevice->OutputLatency() * hz) * align;
    if (reverse) return std::min(cue + held, std::max(playStart, cue));
    return cue > playStart + held ? cue - held : std::min(playStart, cue);
}

int ManagerSetEdit(AudioStream& stream, const std::string& path, int* openError)
{
    if (!stream.IsMain()) {
        stream.Stop(false);
        if (stream.mixRing) stream.mixRing->Empty();
    }
    stream.Close();
    EditView* view = new (std::nothrow) EditView(stream.ViewSeconds(), !stream.IsMain());
    if (!view) {
        ReportError("ManagerSetEdit: Unable to allocate stream object.");
        return -1;
    }
    stream.reader.reset(view);
    if (!view->OpenView(path, !stream.IsMain())) {
        if (openError) *openError = view->edit.LastSystemError();
        stream.reader.reset();
        return -1;
    }
    // The ring plays at the Edit's own rate until someone asks for another.
    stream.SetTargetFrequency(view->sampleRate);
    stream.currentFrequency = kFrequencyUnset;
    if (stream.IsMain()) TheAudioShell().EditChanged();
    return 0;
}

} // namespace tandrel
