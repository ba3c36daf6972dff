#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit/edit_view.h"
#include "platform/audio/audio_event.h"
#include "platform/audio/sound_device.h"

namespace tandrel {

class MixRing;

/** The states a stream shows in the transport display. */
enum StreamState : int
{
    kStateStandby = 1,
    kStateRecording = 2,
    kStatePlaying = 3,
    kStateScrubbing = 4,
};
/** "STANDBY", "RECORDING" (or "PAUSED" when `paused`), "PLAYING", "SCRUBBING". */
const char* StreamStateText(int state, bool paused);

/** No end position: the stream plays until its reader runs out. */
inline constexpr uint64_t kNoEnd = ~uint64_t{0};
/** The current frequency before the first SetFrequency of a play. */
inline constexpr uint32_t kFrequencyUnset = 0xFFFFFFFF;

/** One playback stream: a ring (secondary buffer) of its sound device that DSIdle keeps
    filled, half a ring at a time, from an Edit's render window. The main stream plays the
    Edit open in the editor; each cart and deck owns one more. Playing streams are mixed by
    the sound device; levels are buffer volumes. UI thread only: the sound device's callback
    reads the ring, nothing else of the stream.

    The fields are the stream's record, read by the transport, the recorder and the players;
    change them only through the operations below unless a comment says otherwise. */
class AudioStream
{
public:
    /** A stream with no Edit. A stream that is neither cart nor deck is the main stream: it
        registers itself as such (MainStream) until it is destroyed. Cart and deck streams
        register with the service loop under their player index. `viewSeconds` is the render
        window of its reader; 0 picks twice the largest ring (4 s), so that a refill always
        finds its audio in the window. */
    AudioStream(uint8_t recentSeconds, bool isCart, bool isDeck, uint32_t playerIndex,
                uint32_t viewSeconds = 0);
    /** Closes the stream (Close) and unregisters it. */
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    /** StreamState by priority: recording, scrubbing, playing, else standby. */
    int State() const;
    bool IsMain() const { return !isCart && !isDeck; }
    /** True when the reader has an open Edit. */
    bool HasEdit() const { return reader && reader->edit.IsOpen(); }
    /** Seconds of the reader's render window. */
    uint32_t ViewSeconds() const { return viewSeconds_; }

    /** Starts playback of the reader from its cursor to the Edit's end (to its start when
        `reverse`): makes a 1-second ring (2 when recentSeconds >= 4) in the Edit's format
        and sets playing; DSIdle fills and starts it. Nothing when already playing. 0, or
        the sound device's status when the ring cannot be made (reported). */
    int Play();
    /** As Play with a 2-second ring, and scrubbing set; a playing stream just becomes a
        scrubbing one and keeps its ring. */
    int ScrubPlay();
    /** Player streams: plays from the reader's cursor to `end` (kNoEnd: the Edit's end) in
        a ring with volume and the end event. 0 or the ring's failure (reported). */
    int PlayerStart(uint64_t start, uint64_t end);
    /** Stops playing or scrubbing; the buffer is stopped whenever audio is on. The main
        stream's cue goes back to HeardPosition unless the play reached its end; it also
        refreshes the transport, flags the waveforms, waits for pending marker
        insertions, redraws the cue (with `refresh`) and clears the meter queue. Returns 0,
        or -1 when it was neither playing nor scrubbing (main stream; a player stream only
        stops when playing). */
    int Stop(bool refresh);
    /** Where playback stops: the reader reaching it going forward, or falling to it going
        backward. kNoEnd for none. */
    void SetEnd(uint64_t position) { endPosition = position; }
    /** The frequency the ring plays at from the next DSIdle, clamped to 100000 Hz. */
    void SetTargetFrequency(uint32_t hz);
    /** Changes the recent seconds; -1 when it is already `seconds`, else 0. */
    int SetRecentSeconds(uint8_t seconds);
    /** Ends the end event, stops playback, releases the reader and the ring, and clears the
        state flags (the main stream also ends a record preview and closes the Markers
        window). Safe on a closed stream. */
    void Close();

    /** The position of the reader as it is heard: the cue minus what the output device
        still holds (SoundDevice::OutputLatency), never before where this play started.
        The cue line is drawn here while playing; when stopped it is the cursor. */
    uint64_t HeardPosition() const;

    /** Allocates the recent-audio ring for `bytesPerSecond` of the recording format
        (recentSeconds of it). False when memory is short. */
    bool AllocateRecentAudio(uint32_t bytesPerSecond);
    void FreeRecentAudio();
    /** Appends recorded audio to the recent-audio ring, overwriting the oldest bytes; a
        block longer than the ring keeps its end. Nothing without a ring. */
    void AppendRecentAudio(const uint8_t* bytes, uint32_t count);

    // The stream's record.
    std::unique_ptr<SoundBuffer> secondary; // the ring, or none
    bool recording = false;
    bool recordPaused = false; // shown as PAUSED while recording
    bool playing = false;
    bool scrubbing = false;
    bool started = false;  // ring filled and playing
    bool moreData = true;  // false once a refill found the Edit's data used up
    uint32_t lastCursor = 0;
    uint32_t lapBase = 0;
    uint32_t bytesWritten = 0;
    uint64_t readPosition = 0;
    uint32_t halfFills = 0;
    uint32_t playerTotal = 0;
    std::unique_ptr<AudioEvent> endEvent; // carts and decks
    uint32_t endEventOffset = 0;
    std::unique_ptr<EditView> reader;
    uint8_t recentSeconds;
    std::vector<uint8_t> recentAudioRing;
    /** Bytes ever appended to the recent-audio ring since it was allocated; the newest byte
        sits at (recentAudioWritten - 1) mod its size. The recording view draws from it. */
    uint64_t recentAudioWritten = 0;
    uint64_t endPosition = kNoEnd;
    const bool isCart;
    const bool isDeck;
    const uint32_t playerIndex; // 0xFFFFFFFF for the main stream
    bool reverse = false;
    uint32_t targetFrequency;
    uint32_t currentFrequency = kFrequencyUnset;
    uint32_t ringBytes = 0;
    /** Where this play started, for HeardPosition. */
    uint64_t playStart = 0;
    /** Cart and deck streams while the software mix is on: the player's MixRing, which
        receives every block handed to the ring. Set by the player; null otherwise. */
    MixRing* mixRing = nullptr;
    /** Main stream: an effect preview processing every block before it reaches the ring
        (bytes, count). Set by the effect dialogs while they preview. */
    std::function<void(uint8_t*, uint32_t)> effectPreview;
    /** Main stream: a list the shell keeps with the stream. */
    std::vector<std::string> shellList;

private:
    friend bool DSIdle(AudioStream& stream);
    int StartRing(uint32_t seconds, bool withVolumeAndNotify);
    uint32_t viewSeconds_;
};

/** The main stream, or null before it is made. UI thread. */
AudioStream* MainStream();

/** Opens the Edit at `path` in the stream: stops a player's activity, closes the stream,
    makes a new reader and opens the Edit through it (read-only for players). The frequency
    to play at becomes the Edit's rate. The main stream then has the shell update the title
    and marker displays. 0, or -1 when the reader cannot be made ("ManagerSetEdit: Unable
    to allocate stream object.") or the Edit cannot be opened (reported by the Edit store;
    `openError`, when given, receives the system's error code of that open). */
int ManagerSetEdit(AudioStream& stream, const std::string& path, int* openError = nullptr);

/** Keeps a playing stream's ring filled and its cue moving; called over and over from the
    service loop. Returns true when the play position moved (the caller redraws the cue
    line). Nothing happens without an open Edit, a ring, and state 3 or 4. */
bool DSIdle(AudioStream& stream);

/** The cart and deck streams, carts first, each kind by player index, for the service loop. */
const std::vector<AudioStream*>& PlayerStreams();

} // namespace tandrel
