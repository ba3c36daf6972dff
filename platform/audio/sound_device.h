#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/ring_pieces.h"
#include "platform/audio/audio_event.h"
#include "platform/audio/callback_gate.h"
#include "platform/audio/device_id.h"
#include "platform/audio/notification_table.h"

namespace tandrel {

// The sound device layer. A SoundDevice mixes, in its real-time callback, every playing
// SoundBuffer into 16-bit output at the device's rate; each buffer is a ring that the UI
// thread fills through Lock/Unlock while the callback plays it at its own frequency and
// volume. A CaptureDevice fills one CaptureBuffer ring from the input. An AudioBackend lists
// the devices of one kind of hardware (PortAudio, Null, File) and opens them.
//
// Threads: every call below is for the UI thread unless it says otherwise. The callback
// never locks, blocks, allocates or does I/O; it reads buffers through atomics and a
// fixed table of buffer slots that the UI thread publishes.

/** Statuses: 0 or one of these negative codes. AudioStatusText names each. */
enum AudioStatus : int
{
    kAudioOk = 0,
    kAudioInvalidParam = -2,   // an argument is out of range
    kAudioInvalidCall = -3,    // not allowed in the object's present state
    kAudioNoDevice = -4,       // no device with that identity
    kAudioDeviceFailed = -5,   // the backend refused; LastError() says why
    kAudioOutOfMemory = -6,    // the ring could not be allocated
    kAudioTooManyBuffers = -7, // every buffer slot of the device is taken
    kAudioFileError = -8,      // the File device could not open, read or write its WAV
};
const char* AudioStatusText(int status);

inline constexpr uint32_t kMinFrequency = 100;
inline constexpr uint32_t kMaxFrequency = 100000; // scrubbing plays up to this rate
inline constexpr int32_t kVolumeSilent = -10000;  // hundredths of a dB
inline constexpr int32_t kVolumeFull = 0;
inline constexpr size_t kMaxSoundBuffers = 64;
inline constexpr uint32_t kMaxRingBytes = 0x0FFFFFFF;

/** PCM format of a buffer or a device. */
struct PcmFormat
{
    uint32_t rate = 44100;
    uint16_t bits = 16;    // 8 (unsigned) or 16 (signed, little-endian)
    uint16_t channels = 2; // 1 or 2
    uint32_t BlockAlign() const { return uint32_t(bits / 8) * channels; }
    uint32_t BytesPerSecond() const { return BlockAlign() * rate; }
    bool operator==(const PcmFormat&) const = default;
};
/** 8 or 16 bits, 1 or 2 channels, kMinFrequency..kMaxFrequency Hz. */
bool IsValidFormat(const PcmFormat& format);

/** The one or two pieces of a locked ring region (the second when it wraps). */
using LockedRegions = BasicRingPieces<uint8_t>;

// Lock flags.
inline constexpr uint32_t kLockFromWriteCursor = 0x1; // the offset is the write cursor
inline constexpr uint32_t kLockEntireBuffer = 0x2;    // the byte count is the whole ring

// SoundBuffer::Status bits.
inline constexpr uint32_t kBufferPlaying = 0x1;
inline constexpr uint32_t kBufferLooping = 0x4;

class SoundDevice;

/** How to make a playback buffer. */
struct SoundBufferDesc
{
    PcmFormat format;
    uint32_t bytes = 0;    // ring size, a multiple of the block alignment
    bool streaming = true; // the UI refills it as it plays: count an underrun when the play
                           // cursor reaches bytes that were not written since the last lap
};

/** A secondary playback buffer used as a ring. Made by SoundDevice::CreateBuffer; its
    destructor stops it and takes it out of the mix (waiting for a callback pass in progress).
    A buffer whose device was destroyed first answers kAudioInvalidCall. */
class SoundBuffer
{
  public:
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    /** Gives writable access to `bytes` of the ring from `offset` (flags kLockEntireBuffer:
        the whole ring from `offset`; kLockFromWriteCursor: from the write cursor). The
        region wraps into `second` when it passes the end. Write only where the callback is
        not reading: while playing, the part of the ring the play cursor has just left.
        kAudioInvalidParam for an offset outside the ring or a count of 0 or more than it. */
    int Lock(uint32_t offset, uint32_t bytes, LockedRegions& regions, uint32_t flags = 0);
    /** Publishes what was written to the regions of a Lock (their byte counts may have been
        reduced to what was written). kAudioInvalidParam for pieces outside the ring. */
    int Unlock(const LockedRegions& regions);

    /** Starts (or keeps) playing from the play cursor; looping plays the ring over and over,
        otherwise playback stops at its end with the cursor back at 0. */
    int Play(bool looping);
    /** Stops playing; the cursor stays where it is. When this returns the callback no longer
        touches the buffer; kNotifyOnStop events are signalled if it was playing. */
    int Stop();
    /** The play cursor, and the write cursor (where it is safe to write: past what the
        callback is reading). Either pointer may be null. */
    int GetCurrentPosition(uint32_t* play, uint32_t* write) const;
    /** Moves the play cursor (rounded down to a whole frame); allowed while playing, and
        when it returns the callback has left the old position. Resets the underrun
        accounting: only what is unlocked afterwards counts as written. */
    int SetCurrentPosition(uint32_t offset);
    /** Playback rate in Hz, kMinFrequency..kMaxFrequency, or 0 for the buffer's own rate.
        The callback resamples by linear interpolation; this is how scrubbing is heard. */
    int SetFrequency(uint32_t hz);
    uint32_t Frequency() const;
    /** Volume in hundredths of a dB, kVolumeSilent (silence) .. kVolumeFull (unity). */
    int SetVolume(int32_t hundredthsDb);
    int32_t Volume() const { return volume_.load(std::memory_order_relaxed); }
    /** Sets the notification positions; only while stopped (kAudioInvalidCall otherwise). */
    int SetNotificationPositions(std::span<const NotifyPosition> positions);
    /** kBufferPlaying and kBufferLooping bits. */
    uint32_t Status() const;
    /** Times the play cursor ran into bytes that were not refilled (streaming buffers). */
    uint64_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }

    const PcmFormat& Format() const { return format_; }
    uint32_t Bytes() const { return bytes_; }

  private:
    friend class SoundDevice;
    SoundBuffer(SoundDevice* device, const SoundBufferDesc& desc, std::unique_ptr<uint8_t[]> ring);

    // Audio callback: adds this buffer's next `frames` device frames to `mix`. True when
    // the buffer has just run into bytes that were not refilled (a new underrun).
    bool MixInto(int32_t* mix, uint32_t frames, uint32_t deviceRate,
                 uint32_t deviceChannels) noexcept;
    template <int Bits, int SourceChannels, int DeviceChannels>
    uint64_t Resample(int32_t* mix, uint32_t frames, uint64_t& position, uint64_t step,
                      int32_t gain, bool looping, bool& ended) const noexcept;

    SoundDevice* device_; // null once the device is gone
    const PcmFormat format_;
    const uint32_t bytes_;
    const uint32_t frames_;
    const bool streaming_;
    const std::unique_ptr<uint8_t[]> ring_;
    NotificationTable notifications_;

    // Shared between the UI thread and the callback.
    std::atomic<uint32_t> status_{0};
    std::atomic<uint32_t> playCursor_{0}; // bytes, a whole frame
    std::atomic<uint32_t> writeLead_{0};  // bytes the callback read in its last pass
    std::atomic<uint32_t> seeks_{0};      // SetCurrentPosition count
    std::atomic<uint32_t> frequency_{0};
    std::atomic<int32_t> gain_{0x10000}; // 16.16
    std::atomic<int32_t> volume_{0};
    std::atomic<uint64_t> unlockedBytes_{0}; // ring bytes written, at most a ring ahead
    std::atomic<uint64_t> playedBytes_{0};
    std::atomic<uint64_t> underruns_{0};

    // The callback's own state.
    uint32_t phase_ = 0; // fraction of a source frame, 0.32 fixed point
    uint32_t seenSeeks_ = 0;
    bool starving_ = false;
};

/** A playback device: mixes every playing buffer into 16-bit output. Backends derive from
    it and call Mix from their real-time callback. */
class SoundDevice
{
  public:
    virtual ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    /** Makes a stopped buffer with a silent ring. kAudioInvalidParam for a bad format or
        size, kAudioTooManyBuffers when all kMaxSoundBuffers slots are taken,
        kAudioOutOfMemory. */
    int CreateBuffer(const SoundBufferDesc& desc, std::unique_ptr<SoundBuffer>& buffer);

    /** The output format: always 16-bit, at the device's rate and channel count. */
    PcmFormat OutputFormat() const;
    /** Asks for another output rate and channel count (the mix follows; buffers keep
        playing). A device that cannot change keeps its format and still answers kAudioOk:
        OutputFormat tells what it is. kAudioInvalidParam for an invalid format. */
    virtual int SetOutputFormat(uint32_t rate, uint16_t channels);
    /** Fast File devices only: mixes `frames` more frames now, on the calling thread.
        kAudioInvalidCall for every other device. */
    virtual int Pump(uint32_t frames);
    /** Seconds between a frame leaving Mix and its being heard (0 without hardware): the
        play cursor runs this far ahead of the sound, which a cue line or meter may allow for. */
    virtual double OutputLatency() const { return 0.0; }

    /** Underruns: buffers that ran into unwritten bytes, plus output underflows that the
        backend reported. */
    uint64_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }
    const std::string& Description() const { return description_; }
    /** The backend's text for the last kAudioDeviceFailed or kAudioFileError. */
    const std::string& LastError() const { return lastError_; }

    /** Audio callback (or the caller of Pump): mixes every playing buffer into `out`,
        `frames` frames of interleaved 16-bit samples at the output format, advancing each
        buffer's play cursor and signalling its events. No locks, allocation or I/O. */
    void Mix(int16_t* out, uint32_t frames) noexcept;

  protected:
    SoundDevice(std::string description, uint32_t rate, uint16_t channels);
    /** Backends: changes the mix format while no Mix call can run. */
    void SetMixFormat(uint32_t rate, uint16_t channels);
    /** Audio callback: counts an output underflow reported by the backend. */
    void CountUnderrun() noexcept { underruns_.fetch_add(1, std::memory_order_relaxed); }
    /** Backends call this from their destructor after their callback has stopped. */
    void DetachAll();
    std::string lastError_;

  private:
    friend class SoundBuffer;
    void Unpublish(SoundBuffer* buffer);

    static constexpr uint32_t kMixChunkFrames = 4096;
    const std::string description_;
    std::array<std::atomic<SoundBuffer*>, kMaxSoundBuffers> slots_{};
    std::atomic<uint32_t> rate_;
    std::atomic<uint32_t> channels_;
    std::atomic<uint64_t> underruns_{0};
    CallbackGate gate_;
    std::unique_ptr<int32_t[]> mix_; // kMixChunkFrames stereo frames
};

// CaptureBuffer::Status bits.
inline constexpr uint32_t kCaptureCapturing = 0x1;
inline constexpr uint32_t kCaptureLooping = 0x2;

class CaptureDevice;

/** The capture ring. Made by CaptureDevice::CreateCaptureBuffer (one at a time per device);
    the callback writes captured audio at the capture cursor, the UI reads behind it. */
class CaptureBuffer
{
  public:
    ~CaptureBuffer();
    CaptureBuffer(const CaptureBuffer&) = delete;
    CaptureBuffer& operator=(const CaptureBuffer&) = delete;

    /** Starts capturing at the capture cursor; looping wraps around the ring, otherwise
        capture stops when the ring is full. kAudioDeviceFailed when the input cannot start. */
    int Start(bool looping);
    /** Stops capturing; when this returns the callback no longer writes. Signals the
        kNotifyOnStop events if it was capturing. */
    int Stop();
    /** The capture cursor (where the input writes next) and the read cursor (everything
        before it is complete); here they are the same. Either pointer may be null. */
    int GetCurrentPosition(uint32_t* capture, uint32_t* read) const;
    /** Every byte the input has put into the ring since the buffer was made: a reader that
        keeps its own total sees from the difference when the input has come round past it
        (the capture cursor is this total modulo the ring). */
    uint64_t CapturedBytes() const { return captured_.load(std::memory_order_acquire); }
    /** Access to `bytes` of the ring from `offset`, in one or two pieces; the UI may modify
        the captured bytes in place. Read behind the read cursor only, and Unlock before the
        input comes round again. */
    int Lock(uint32_t offset, uint32_t bytes, LockedRegions& regions);
    int Unlock(const LockedRegions& regions);
    /** Only while stopped (kAudioInvalidCall otherwise); at most kMaxNotifyPositions. */
    int SetNotificationPositions(std::span<const NotifyPosition> positions);
    uint32_t Status() const { return status_.load(std::memory_order_acquire); }

    const PcmFormat& Format() const { return format_; }
    uint32_t Bytes() const { return bytes_; }

  private:
    friend class CaptureDevice;
    CaptureBuffer(CaptureDevice* device, const PcmFormat& format, uint32_t bytes,
                  std::unique_ptr<uint8_t[]> ring);
    // Audio callback: stores `frames` captured frames (16-bit, the buffer's channels).
    void Write(const int16_t* samples, uint32_t frames) noexcept;

    CaptureDevice* device_;
    const PcmFormat format_;
    const uint32_t bytes_;
    const std::unique_ptr<uint8_t[]> ring_;
    NotificationTable notifications_;
    std::atomic<uint32_t> status_{0};
    std::atomic<uint32_t> cursor_{0};
    std::atomic<uint64_t> captured_{0};
    std::atomic<uint32_t> unlocks_{0};
};

/** A capture device. The input runs only while its buffer captures, at the buffer's rate
    and channel count. Backends derive from it and call Deliver from their callback. */
class CaptureDevice
{
  public:
    virtual ~CaptureDevice();
    CaptureDevice(const CaptureDevice&) = delete;
    CaptureDevice& operator=(const CaptureDevice&) = delete;

    /** Makes the capture ring of `bytes` (a multiple of the block alignment) in `format`.
        kAudioInvalidCall while another capture buffer of this device exists,
        kAudioInvalidParam, kAudioOutOfMemory, or kAudioDeviceFailed from the backend. */
    int CreateCaptureBuffer(const PcmFormat& format, uint32_t bytes,
                            std::unique_ptr<CaptureBuffer>& buffer);
    /** Fast File devices only: captures `frames` more frames now, on the calling thread. */
    virtual int Pump(uint32_t frames);

    /** Input overflows reported by the backend (audio lost before it reached the ring). */
    uint64_t Overruns() const { return overruns_.load(std::memory_order_relaxed); }
    const std::string& Description() const { return description_; }
    const std::string& LastError() const { return lastError_; }

  protected:
    explicit CaptureDevice(std::string description);
    // Backend hooks, UI thread. The input delivers 16-bit frames in `format`'s rate and
    // channel count (the buffer converts to 8 bits itself).
    virtual int OpenInput(const PcmFormat& format) = 0;
    virtual void CloseInput() = 0;
    virtual int StartInput() = 0;
    /** Returns once the backend no longer calls Deliver. */
    virtual void StopInput() = 0;

    /** Audio callback: hands `frames` captured frames to the capturing buffer, if any. */
    void Deliver(const int16_t* samples, uint32_t frames) noexcept;
    void CountOverrun() noexcept { overruns_.fetch_add(1, std::memory_order_relaxed); }
    /** Backends call this from their destructor, after their input has stopped. */
    void DetachBuffer();
    std::string lastError_;

  private:
    friend class CaptureBuffer;
    void Release(CaptureBuffer* buffer);

    const std::string description_;
    std::atomic<CaptureBuffer*> buffer_{nullptr};
    std::atomic<uint64_t> overruns_{0};
    CallbackGate gate_;
};

/** A device as listed by a backend. */
struct AudioDeviceInfo
{
    DeviceId id{};
    std::string description;
};

/** One kind of audio hardware: lists its devices and opens them. Devices must be
    destroyed before their backend. */
class AudioBackend
{
  public:
    virtual ~AudioBackend() = default;
    /** "portaudio", "null" or "file". */
    virtual const char* Name() const = 0;
    /** The usable devices, in the backend's order. */
    virtual std::vector<AudioDeviceInfo> PlaybackDevices() = 0;
    virtual std::vector<AudioDeviceInfo> CaptureDevices() = 0;
    /** The identity of the device the system would pick; all zeros when there is none. */
    virtual DeviceId DefaultPlaybackDevice() = 0;
    virtual DeviceId DefaultCaptureDevice() = 0;
    /** Opens a playback device (all-zero identity: the default) and starts its output,
        mixing silence until a buffer plays. kAudioNoDevice, kAudioDeviceFailed,
        kAudioFileError. */
    virtual int OpenPlayback(const DeviceId& id, std::unique_ptr<SoundDevice>& device) = 0;
    virtual int OpenCapture(const DeviceId& id, std::unique_ptr<CaptureDevice>& device) = 0;
    /** The backend's text for the last failed open. */
    const std::string& LastError() const { return lastError_; }

  protected:
    std::string lastError_;
};

} // namespace tandrel
