#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/audio_format.h"
#include "platform/audio/audio_backend.h"
#include "platform/audio/sound_device.h"

namespace tandrel {

// The sound devices of the program: the two device lists, the one playback and one capture
// device the user chose, and the engine state that holds them open. The functions keep the
// names they have always had (InitDirectSound, ShutdownDirectSound ...); underneath they
// open the devices of the audio backend chosen by TANDREL_AUDIO (PortAudio, Null or File).
//
// Everything here runs on the UI thread. Results are 0 or negative: the statuses of
// platform/audio/sound_device.h (kAudioNoDevice, kAudioDeviceFailed ...) and the two below.

/** The general failure ("-1"): no usable devices, or the user left the device choice open. */
inline constexpr int kAudioFailed = -1;
/** The device object an operation needs is not open (the capture device for a record
    buffer, for example). */
inline constexpr int kAudioNotOpen = -9;
/** A short text for any status of this file or of sound_device.h. */
const char* AudioEngineResultText(int status);

/** Capture notification events: 60 equal segments of the capture ring plus the stop event. */
inline constexpr int kCaptureEventCount = 61;
/** Highest frequency a stream's buffer is set to; stream frequencies are clamped to it. */
inline constexpr uint32_t kMaxPlaybackFrequency = 100000;
/** Capture rings made for recording are this long. */
inline constexpr uint32_t kRecordBufferSeconds = 2;
/** The size of the ring TestCaptureDevices records into: 2 s of 44100 Hz 16-bit stereo. */
inline constexpr uint32_t kCaptureTestBytes = 352800;

/** One listed device. */
struct AudioDeviceEntry
{
    DeviceId identity{};     // stored in the settings as braced GUID text
    std::string description; // the name shown in the Audio Devices dialog
    bool needsCaptureNotify = false; // capture only: its ring cannot report its position,
                                     // so recording follows the 61 notification events
};

/** The program's one audio engine record. Its members are public so that the stream
    manager, the recorder and the tests can reach them; change them only through the
    functions below unless a comment says otherwise. The members are declared so that the
    buffers go before their devices and the devices before the backend. */
struct AudioEngineState
{
    // The backend the devices come from, and the line OpenAudioBackend wrote about it.
    std::unique_ptr<AudioBackend> backend;
    std::string backendDescription;

    // The device lists, in the backend's order; they live for the whole run.
    std::vector<AudioDeviceEntry> playbackDevices;
    std::vector<AudioDeviceEntry> captureDevices;
    int playbackIndex = -1; // -1: none chosen
    int captureIndex = -1;
    DeviceId defaultPlayback{}; // the system's default devices, all zeros when unknown
    DeviceId defaultCapture{};

    // Open between InitDirectSound and ShutdownDirectSound.
    std::unique_ptr<SoundDevice> playbackDevice;
    std::unique_ptr<CaptureDevice> captureDevice;
    bool primaryMono = false; // the output accepts a mono format
    uint32_t maxFrequency = kMaxPlaybackFrequency;
    AudioFormat primaryFormat{}; // what the output was last set to

    // The de-glitching buffer: a quarter second of silence that loops for ever so that the
    // output runs at all times and streams start without a click.
    std::unique_ptr<SoundBuffer> bogusBuffer;

    // Recording. The events outlive the capture buffer that may signal them.
    bool needsCaptureNotify = false; // copied from the chosen capture entry
    std::array<std::unique_ptr<AudioEvent>, kCaptureEventCount> captureEvents;
    std::array<NotifyPosition, kCaptureEventCount> captureNotifications{};
    std::unique_ptr<CaptureBuffer> captureBuffer;
    uint32_t recordBufferBytes = 0;
    uint32_t captureReadOffset = 0;
    /** Bytes taken from the capture buffer since it was made, against its CapturedBytes. */
    uint64_t captureReadTotal = 0;
    uint32_t captureSecondOffset = 0;

    // Choices.
    bool audioEnabled = true;          // false: nothing is opened, streams skip the devices
    bool followSystemDefaults = false; // UseWinDefaultAudio: pick the system's default devices
    AudioFormat playbackFormat{};      // the current format (the open Edit's, or recording)
    AudioFormat recordingFormat{};     // the default recording format (DefaultFormat)
};

/** The engine record. UI thread. */
AudioEngineState& AudioEngine();

/** What the devices ask of other parts of the program when formats and devices change.
    Every member may be empty (the command-line tool and most tests leave them so). */
struct AudioDeviceHooks
{
    /** The main stream's target frequency (already clamped to kMaxPlaybackFrequency). */
    std::function<void(uint32_t hz)> setMainTargetFrequency;
    /** Every cart and deck player stops (before the devices change). */
    std::function<void()> stopPlayers;
    /** The players are armed again (after the devices changed). */
    std::function<void()> rearmPlayers;
    /** The mixer forgets its lines: the devices changed. */
    std::function<void()> resetMixerBinding;
    /** The devices are open: bind the mixer to them (the chosen entries, or null). */
    std::function<void(const AudioDeviceEntry* playback, const AudioDeviceEntry* capture)>
        openMixer;
    /** Whether an Edit is open in the editor (its format is then the playback format). */
    std::function<bool()> editIsOpen;
};
/** Installs the hooks (copied). UI thread. */
void SetAudioDeviceHooks(AudioDeviceHooks hooks);
/** The hooks installed. UI thread. */
const AudioDeviceHooks& InstalledAudioDeviceHooks();

// --- Backend -------------------------------------------------------------------------------

/** Makes sure a backend is open: OpenAudioBackend (TANDREL_AUDIO, else the "AudioBackend"
    setting, else automatic) the first time. Never fails: without sound hardware the Null device stands in, so audio is always
    available. Returns the backend. */
AudioBackend& EnsureAudioBackend();
/** Uses `backend` from now on (tests, or a backend chosen in the program). Shuts the devices
    down and empties the device lists first. */
void UseAudioBackend(std::unique_ptr<AudioBackend> backend, std::string description);
/** Shuts the devices down and releases the backend and the lists (program exit, tests). */
void CloseAudioEngine();
/** The sound system the person chose in Audio Devices (the "AudioBackend" setting); a text
    that cannot be read counts as automatic. */
AudioChoice SavedAudioChoice();
/** Shuts the devices down and opens `choice` as the backend from now on (TANDREL_AUDIO does
    not override a choice made now). The caller opens the devices again. UI thread. */
void SwitchAudioBackend(const AudioChoice& choice);

/** The start-up check that used to ask for a DirectX version: audio enabled = true, and
    InitDirectSound(the recording format, checking the devices). An audio backend is always
    available (the Null device at worst), so there is no warning to show. Returns
    InitDirectSound's result. */
int StartAudioDevices();

/** Reads DefaultFormat (1..18, 16 when missing or out of range) into the recording format
    and the playback format. */
void LoadDefaultFormat();

// --- Device lists ---------------------------------------------------------------------------

/** Fills both lists from the backend, unless both already hold a device. Devices without an
    identity are skipped; the backend lists only devices it can use. Also reads the system's
    default identities. */
void EnumerateAudioDevices();
/** Records into a test ring on every capture device: a device whose ring cannot be made or
    started is dropped from the list; one whose position cannot be read gets
    needsCaptureNotify. The device open now is trusted without a test. */
void TestCaptureDevices();
/** Makes sure both chosen indexes are valid: a list of one chooses its device; otherwise the
    system default (when following the defaults), then the identity saved in DSPlayDevice /
    DSCaptureDevice; failing that, the Audio Devices dialog. False after telling the user. */
bool CheckAudioDevices();
/** The choosing part of CheckAudioDevices without the dialog: true when both indexes are
    valid afterwards. */
bool ChooseAudioDevices();
/** Empties the lists and fills them again, keeping each chosen index on the same identity
    (-1 when that device is gone). */
void RefreshAudioDeviceLists();

// --- Open and close -------------------------------------------------------------------------

/** Opens the chosen devices (after CheckAudioDevices when `checkDevices`): the capture
    device, the playback device set to `format`, and the de-glitching buffer. 0, or the
    failing status after reporting it; kAudioFailed when no devices could be chosen. */
int InitDirectSound(const AudioFormat& format, bool checkDevices);
/** Releases the capture buffer and its events, the capture device, the de-glitching buffer
    and the playback device, in that order; both indexes back to -1. Returns 0. */
int ShutdownDirectSound();

// --- Formats ---------------------------------------------------------------------------------

/** Sets the output to `format` (always 16-bit at its rate and channels) and makes a new
    de-glitching buffer in it. 0 or the failing status, reported. */
int ChangeDirectSoundFormat(const AudioFormat& format);
/** The playback format becomes `format`: the output follows it when audio is on and the
    main stream's target frequency becomes its rate. (The gain control follows the capture,
    not the playback: ArmRecording and the recorder set it up.) */
void ApplyAudioFormat(const AudioFormat& format);
/** Replaces the de-glitching buffer with a looping quarter second of silence in `format`.
    0 or the failing status, reported as "CreateBogusBuffer: Error making de-glitching
    buffer (%x)."; kAudioNotOpen without a playback device. */
int CreateBogusBuffer(const AudioFormat& format);

// --- Buffers for streams and recording ------------------------------------------------------

/** Releases `buffer` and makes a new stopped, silent streaming ring of `seconds` of
    `format` on the playback device; `bufferBytes` receives its size (seconds x bytes per
    second). `withVolumeAndNotify` is true for cart and deck streams (they set a volume and
    an end notification), false for the main stream (it changes frequency); every buffer
    of this device layer can do all three. 0, or the failing status after reporting
    "CreatePlaybackBuffer: Unable to create secondary playback buffer (%x).";
    kAudioNotOpen without a playback device (not reported). */
int CreatePlaybackBuffer(uint32_t seconds, const AudioFormat& format,
                         std::unique_ptr<SoundBuffer>& buffer, uint32_t& bufferBytes,
                         bool withVolumeAndNotify);
/** Replaces the capture ring with a stopped one of `seconds` of `format` (recording asks for
    kRecordBufferSeconds), closing the old events; read offsets back to 0. With
    needsCaptureNotify it also sets up the 61 events. 0; kAudioNotOpen without a capture
    device; otherwise the status after reporting "CreateRecordBuffer: Unable to create
    record buffer (%x)". */
int CreateRecordBuffer(uint32_t seconds, const AudioFormat& format);
/** Cuts the capture ring into 60 segments with an event at the last byte of each, plus an
    event for the stop: event k (1..60) at k x step - 1 with step = bytesPerSecond / (60 /
    seconds). 0, or the status of the capture ring. */
int SetupCaptureNotifications(uint32_t bytesPerSecond, uint32_t seconds);
/** Releases the capture ring, then resets and closes its events. */
void ReleaseRecordBuffer();

} // namespace tandrel
