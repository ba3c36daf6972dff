#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "edit/edit_file.h"
#include "recording/background_flush.h"

namespace tandrel {

/** What kind of recording is under way. */
enum RecordingKind : int
{
    kNotRecording = 0,
    kNewRecording = 1,    // into the temporary Edit, saved as a new Edit at stop
    kInsertRecording = 2, // appended to the open Edit, inserted at the cue line at stop
};

/** Free space kept back on the Library's drive: a recording stops before eating into it. */
inline constexpr uint64_t kRecordingReserveBytes = 0x6400000; // 100 MiB
/** A recording stops by itself after this long unless "NoRecordLimit" is set. */
inline constexpr uint64_t kRecordingTimeLimitCentiseconds = 1800000; // 5 hours
/** Appended audio is flushed to the disk after at most this much of it. */
inline constexpr uint32_t kFlushIntervalSeconds = 1;

/** The program's one recording. UI thread. */
struct RecorderState
{
    int kind = kNotRecording;
    /** The file receiving the audio: `tempFile` for a new recording, the open Edit's file for
        an insert recording; null when not recording. */
    EditFile* file = nullptr;
    std::unique_ptr<EditFile> tempFile;
    std::string tempPath;
    uint64_t totalRecorded = 0;
    /** Bytes the recording may take: the free space at its start, less the reserve. */
    uint64_t freeSpaceLimit = 0;
    uint64_t insertPosition = 0;
    uint32_t displayCalls = 0;
    /** Stereo input is recorded as the mono average of each frame: the "Mono Mix Recording"
        switch. It starts off with every start of the program, whatever the user's flag says. */
    bool monoFold = false;
    /** The captured input is mixed with the carts and decks ("DisableSoftwareMix" is 0). */
    bool softwareMix = true;
    /** "NoRecordLimit": no time limit. */
    bool noTimeLimit = false;
    /** The record fader's gain for the software mix, 16.16; the fader works in software
        because the program drives no hardware mixer. */
    int32_t recordGain = 0x10000;
    bool softwareFader = true;
    /** Puts the recording's audio on the disk, away from the UI thread; null when not
        recording. */
    std::unique_ptr<BackgroundFlush> flusher;
    /** Bytes recorded when the last flush was asked for. */
    uint64_t flushedTotal = 0;
    /** The person has been told that this recording lost input (once per recording; every
        gap gets its marker). */
    bool gapReported = false;
    /** The title the next new recording is saved under without asking; empty: ask. */
    std::string presetTitle;
    /** The stop request for a reached limit has gone out (once per recording). */
    bool limitPosted = false;
    /** A stop came while a marker was being named: asked for again once it has its name. */
    bool stopHeld = false;

    // What the limits are measured against; tests scale them down.
    uint64_t reserveBytes = kRecordingReserveBytes;
    uint64_t timeLimitCentiseconds = kRecordingTimeLimitCentiseconds;
};

RecorderState& Recorder();

/** Loads the settings the recording path reads on every block: "DisableSoftwareMix" and
    "NoRecordLimit". At start-up and when a recording starts. */
void LoadRecorderSettings();

} // namespace tandrel
