#include "audio/audio_devices.h"

#include <algorithm>
#include <cstring>

#include "audio/audio_devices_dialog.h"
#include "audio/default_formats.h"
#include "audio/format_converter.h"
#include "base/interaction.h"
#include "settings/setting_defaults.h"
#include "settings/settings_store.h"

namespace tandrel {
namespace {

constexpr const char* kProductName = "Tandrel";

AudioDeviceHooks& Hooks()
{
    static AudioDeviceHooks hooks;
    return hooks;
}

unsigned Hex(int status) { return static_cast<unsigned>(status); }

PcmFormat ToPcm(const AudioFormat& format)
{
    return PcmFormat{format.sampleRate, format.bitsPerSample, format.channels};
}

// The output runs 16-bit whatever the format's width.
AudioFormat OutputFormatOf(const AudioFormat& format)
{
    AudioFormat output;
    MakeFormat(output, format.sampleRate, 16, format.channels);
    return output;
}

bool ValidIndex(int index, const std::vector<AudioDeviceEntry>& list)
{
    return index >= 0 && size_t(index) < list.size();
}

int FindIdentity(const std::vector<AudioDeviceEntry>& list, const DeviceId& id)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].identity == id) return int(i);
    return -1;
}

/** The index of the entry whose identity is saved under `valueName`; -1 when there is no
    saved text, it is not a braced GUID, or no entry has that identity. */
int FindSaved(const std::vector<AudioDeviceEntry>& list, const char* valueName)
{
    const std::string text = ReadTextSetting(valueName);
    DeviceId id{};
    if (text.empty() || !ParseDeviceId(text, id)) return -1;
    return FindIdentity(list, id);
}

std::vector<AudioDeviceEntry> Listed(const std::vector<AudioDeviceInfo>& devices)
{
    std::vector<AudioDeviceEntry> entries;
    for (const AudioDeviceInfo& device : devices) {
        // The "primary driver" of old had no identity of its own; the default is chosen by
        // the all-zero identity instead, never listed.
        if (IsDefaultDeviceId(device.id)) continue;
        entries.push_back({device.id, device.description, false});
    }
    return entries;
}

void ReadDefaultIdentities(AudioEngineState& engine)
{
    engine.defaultPlayback = DeviceId{};
    engine.defaultCapture = DeviceId{};
    AudioBackend& backend = EnsureAudioBackend();
    engine.defaultPlayback = backend.DefaultPlaybackDevice();
    engine.defaultCapture = backend.DefaultCaptureDevice();
}

// Builds both lists afresh and keeps each chosen index on its identity.
void RebuildLists(AudioEngineState& engine)
{
    const bool hadPlayback = ValidIndex(engine.playbackIndex, engine.playbackDevices);
    const bool hadCapture = ValidIndex(engine.captureIndex, engine.captureDevices);
    const DeviceId playback = hadPlayback ? engine.playbackDevices[engine.playbackIndex].identity
                                          : DeviceId{};
    const DeviceId capture =
        hadCapture ? engine.captureDevices[engine.captureIndex].identity : DeviceId{};
    AudioBackend& backend = EnsureAudioBackend();
    engine.playbackDevices = Listed(backend.PlaybackDevices());
    engine.captureDevices = Listed(backend.CaptureDevices());
    engine.playbackIndex = hadPlayback ? FindIdentity(engine.playbackDevices, playback) : -1;
    engine.captureIndex = hadCapture ? FindIdentity(engine.captureDevices, capture) : -1;
}

void ReleaseDevices(AudioEngineState& engine)
{
    ReleaseRecordBuffer();
    engine.captureDevice.reset();
    engine.bogusBuffer.reset();
    engine.playbackDevice.reset();
}

} // namespace

const char* AudioEngineResultText(int status)
{
    switch (status) {
    case kAudioFailed:
        return "no usable audio devices";
    case kAudioNotOpen:
        return "the audio device is not open";
    default:
        return AudioStatusText(status);
    }
}

AudioEngineState& AudioEngine()
{
    static AudioEngineState engine;
    return engine;
}

void SetAudioDeviceHooks(AudioDeviceHooks hooks) { Hooks() = std::move(hooks); }

const AudioDeviceHooks& InstalledAudioDeviceHooks() { return Hooks(); }

AudioBackend& EnsureAudioBackend()
{
    AudioEngineState& engine = AudioEngine();
    if (!engine.backend) {
        engine.backend = OpenAudioBackend(ReadTextSetting("AudioBackend"), engine.backendDescription);
    }
    return *engine.backend;
}

void UseAudioBackend(std::unique_ptr<AudioBackend> backend, std::string description)
{
    CloseAudioEngine();
    AudioEngineState& engine = AudioEngine();
    engine.backend = std::move(backend);
    engine.backendDescription = std::move(description);
}

AudioChoice SavedAudioChoice()
{
    AudioChoice choice;
    ParseAudioChoice(ReadTextSetting("AudioBackend"), choice);
    return choice;
}

void SwitchAudioBackend(const AudioChoice& choice)
{
    std::string why;
    std::unique_ptr<AudioBackend> backend = OpenChosenAudioBackend(choice, "chosen", why);
    UseAudioBackend(std::move(backend), std::move(why));
}

void CloseAudioEngine()
{
    AudioEngineState& engine = AudioEngine();
    ShutdownDirectSound();
    engine.playbackDevices.clear();
    engine.captureDevices.clear();
    engine.defaultPlayback = DeviceId{};
    engine.defaultCapture = DeviceId{};
    engine.backend.reset(); // after every device of it
    engine.backendDescription.clear();
}

void LoadDefaultFormat()
{
    AudioEngineState& engine = AudioEngine();
    engine.recordingFormat = DefaultFormatRecord(int(ReadNumberSetting("DefaultFormat")));
    engine.playbackFormat = engine.recordingFormat;
}

int StartAudioDevices()
{
    AudioEngineState& engine = AudioEngine();
    // Where the program once checked for DirectX 8 there is nothing to check: a backend
    // always opens, the Null device when there is no sound hardware or server.
    engine.audioEnabled = true;
    engine.followSystemDefaults = ReadNumberSetting("UseWinDefaultAudio") != 0;
    if (engine.recordingFormat.sampleRate == 0) LoadDefaultFormat();
    return InitDirectSound(engine.recordingFormat, true);
}

void EnumerateAudioDevices()
{
    AudioEngineState& engine = AudioEngine();
    ReadDefaultIdentities(engine);
    if (!engine.playbackDevices.empty() && !engine.captureDevices.empty()) return;
    RebuildLists(engine);
}

void TestCaptureDevices()
{
    AudioEngineState& engine = AudioEngine();
    AudioBackend& backend = EnsureAudioBackend();
    const PcmFormat testFormat{44100, 16, 2};
    size_t i = 0;
    while (i < engine.captureDevices.size()) {
        AudioDeviceEntry& entry = engine.captureDevices[i];
        // The device we hold open may refuse a second opener; it passed when it was opened.
        if (engine.captureDevice && int(i) == engine.captureIndex) {
            ++i;
            continue;
        }
        std::unique_ptr<CaptureDevice> device;
        std::unique_ptr<CaptureBuffer> buffer;
        bool usable = backend.OpenCapture(entry.identity, device) == kAudioOk &&
                      device->CreateCaptureBuffer(testFormat, kCaptureTestBytes, buffer) ==
                          kAudioOk &&
                      buffer->Start(true) == kAudioOk;
        if (usable) {
            uint32_t read = 0;
            if (buffer->GetCurrentPosition(nullptr, &read) != kAudioOk)
                entry.needsCaptureNotify = true;
            buffer->Stop();
        }
        buffer.reset();
        device.reset();
        if (usable) {
            ++i;
            continue;
        }
        engine.captureDevices.erase(engine.captureDevices.begin() + ptrdiff_t(i));
        if (engine.captureIndex == int(i))
            engine.captureIndex = -1;
        else if (engine.captureIndex > int(i))
            --engine.captureIndex;
    }
}

void RefreshAudioDeviceLists()
{
    AudioEngineState& engine = AudioEngine();
    ReadDefaultIdentities(engine);
    RebuildLists(engine);
    TestCaptureDevices();
}

bool ChooseAudioDevices()
{
    AudioEngineState& engine = AudioEngine();
    if (engine.playbackDevices.size() == 1) engine.playbackIndex = 0;
    if (engine.captureDevices.size() == 1) engine.captureIndex = 0;
    if (!ValidIndex(engine.playbackIndex, engine.playbackDevices)) {
        engine.playbackIndex = -1;
        if (engine.followSystemDefaults)
            engine.playbackIndex = FindIdentity(engine.playbackDevices, engine.defaultPlayback);
        if (engine.playbackIndex < 0)
            engine.playbackIndex = FindSaved(engine.playbackDevices, "DSPlayDevice");
    }
    if (!ValidIndex(engine.captureIndex, engine.captureDevices)) {
        engine.captureIndex = -1;
        if (engine.followSystemDefaults)
            engine.captureIndex = FindIdentity(engine.captureDevices, engine.defaultCapture);
        if (engine.captureIndex < 0)
            engine.captureIndex = FindSaved(engine.captureDevices, "DSCaptureDevice");
    }
    return ValidIndex(engine.playbackIndex, engine.playbackDevices) &&
           ValidIndex(engine.captureIndex, engine.captureDevices);
}

bool CheckAudioDevices()
{
    AudioEngineState& engine = AudioEngine();
    EnumerateAudioDevices();
    TestCaptureDevices();
    const bool noPlayback = engine.playbackDevices.empty();
    const bool noCapture = engine.captureDevices.empty();
    if (noPlayback && noCapture) {
        ReportError("%s cannot find any ALSA compatible sound devices on this system.  You "
                    "must have a soundcard with ALSA drivers installed.",
                    kProductName);
        return false;
    }
    if (noCapture) {
        ReportError("%s cannot find any compatible sound recording devices on this system.  "
                    "You must have a soundcard with ALSA drivers installed.",
                    kProductName);
        return false;
    }
    if (noPlayback) {
        ReportError("%s cannot find any ALSA compatible sound playback devices on this system. "
                    "You must have a soundcard with ALSA drivers installed.",
                    kProductName);
        return false;
    }
    if (ChooseAudioDevices()) return true;
    AskForAudioDevices(true);
    if (ValidIndex(engine.playbackIndex, engine.playbackDevices) &&
        ValidIndex(engine.captureIndex, engine.captureDevices))
        return true;
    ReportError("CheckAudioDevices: Unable to find appropriate audio devices.");
    return false;
}

int InitDirectSound(const AudioFormat& format, bool checkDevices)
{
    AudioEngineState& engine = AudioEngine();
    engine.recordBufferBytes = 0;
    engine.maxFrequency = kMaxPlaybackFrequency;
    ReadDefaultIdentities(engine);
    if (!engine.audioEnabled) return kAudioFailed;
    if (checkDevices && !CheckAudioDevices()) return kAudioFailed;
    // The device dialog that CheckAudioDevices may have shown can have turned audio off.
    if (!engine.audioEnabled) return kAudioFailed;
    ReleaseDevices(engine); // a second call replaces what the first opened

    AudioBackend& backend = *engine.backend;
    // Without a valid choice the system's default device is opened (all-zero identity).
    const bool haveCapture = ValidIndex(engine.captureIndex, engine.captureDevices);
    const bool havePlayback = ValidIndex(engine.playbackIndex, engine.playbackDevices);
    const DeviceId captureId =
        haveCapture ? engine.captureDevices[engine.captureIndex].identity : DeviceId{};
    const DeviceId playbackId =
        havePlayback ? engine.playbackDevices[engine.playbackIndex].identity : DeviceId{};

    int status = backend.OpenCapture(captureId, engine.captureDevice);
    if (status != kAudioOk) {
        ReportError("InitDirectSound: Unable to obtain record access to the audio backend (%x).",
                    Hex(status));
        return status;
    }
    engine.needsCaptureNotify =
        haveCapture && engine.captureDevices[engine.captureIndex].needsCaptureNotify;

    status = backend.OpenPlayback(playbackId, engine.playbackDevice);
    if (status != kAudioOk) {
        ReportError(
            "InitDirectSound: Unable to obtain playback access to the audio backend (%x).",
            Hex(status));
        return status;
    }
    // Every device of this layer mixes into a mono or a stereo output.
    engine.primaryMono = true;

    // The output ("primary buffer") always runs 16-bit, at the format's rate and channels.
    status = engine.playbackDevice->SetOutputFormat(format.sampleRate, format.channels);
    if (status != kAudioOk) {
        ReportError("InitDirectSound: Unable to set format of primary playback buffer (%x).",
                    Hex(status));
    } else {
        engine.primaryFormat = OutputFormatOf(format);
    }
    // Made even when the format could not be set: the output keeps its old format and
    // streams can still play through it.
    CreateBogusBuffer(format);
    if (status != kAudioOk) return status;

    if (Hooks().openMixer) {
        Hooks().openMixer(havePlayback ? &engine.playbackDevices[engine.playbackIndex] : nullptr,
                          haveCapture ? &engine.captureDevices[engine.captureIndex] : nullptr);
    }
    return kAudioOk;
}

int ShutdownDirectSound()
{
    AudioEngineState& engine = AudioEngine();
    ReleaseDevices(engine);
    engine.needsCaptureNotify = false;
    engine.playbackIndex = -1;
    engine.captureIndex = -1;
    return kAudioOk;
}

int ChangeDirectSoundFormat(const AudioFormat& format)
{
    AudioEngineState& engine = AudioEngine();
    if (engine.bogusBuffer) {
        engine.bogusBuffer->Stop();
        engine.bogusBuffer.reset();
    }
    if (engine.playbackDevice) {
        const int status =
            engine.playbackDevice->SetOutputFormat(format.sampleRate, format.channels);
        if (status != kAudioOk) {
            ReportError(
                "ChangeDirectSoundFormat: Unable to set format of primary playback buffer (%x).",
                Hex(status));
            return status;
        }
        engine.primaryFormat = OutputFormatOf(format);
    }
    return CreateBogusBuffer(format);
}

void ApplyAudioFormat(const AudioFormat& format)
{
    AudioEngineState& engine = AudioEngine();
    engine.playbackFormat = format;
    if (engine.audioEnabled) ChangeDirectSoundFormat(format);
    if (Hooks().setMainTargetFrequency)
        Hooks().setMainTargetFrequency(std::min(format.sampleRate, kMaxPlaybackFrequency));
}

int CreateBogusBuffer(const AudioFormat& format)
{
    AudioEngineState& engine = AudioEngine();
    engine.bogusBuffer.reset();
    if (!engine.playbackDevice) return kAudioNotOpen;
    const PcmFormat pcm = ToPcm(format);
    // A quarter second, in whole frames (a quarter of 11025 Hz stereo is not).
    const uint32_t align = std::max<uint32_t>(pcm.BlockAlign(), 1);
    SoundBufferDesc desc;
    desc.format = pcm;
    desc.bytes = pcm.BytesPerSecond() / 4 / align * align;
    desc.streaming = false; // written once, never refilled
    std::unique_ptr<SoundBuffer> buffer;
    int status = engine.playbackDevice->CreateBuffer(desc, buffer);
    if (status == kAudioOk) {
        LockedRegions regions;
        status = buffer->Lock(0, desc.bytes, regions, kLockEntireBuffer);
        if (status == kAudioOk) {
            const uint8_t silence = pcm.bits == 8 ? 0x80 : 0;
            std::memset(regions.data[0], silence, regions.size[0]);
            if (regions.data[1]) std::memset(regions.data[1], silence, regions.size[1]);
            status = buffer->Unlock(regions);
        }
    }
    if (status == kAudioOk) status = buffer->Play(true);
    if (status != kAudioOk) {
        ReportError("CreateBogusBuffer: Error making de-glitching buffer (%x).", Hex(status));
        return status;
    }
    engine.bogusBuffer = std::move(buffer);
    return kAudioOk;
}

int CreatePlaybackBuffer(uint32_t seconds, const AudioFormat& format,
                         std::unique_ptr<SoundBuffer>& buffer, uint32_t& bufferBytes,
                         [[maybe_unused]] bool withVolumeAndNotify)
{
    AudioEngineState& engine = AudioEngine();
    buffer.reset();
    bufferBytes = seconds * format.channels * (format.bitsPerSample / 8u) * format.sampleRate;
    if (!engine.playbackDevice) return kAudioNotOpen;
    SoundBufferDesc desc;
    desc.format = ToPcm(format);
    desc.bytes = bufferBytes;
    desc.streaming = true; // the stream refills it half by half as it plays
    const int status = engine.playbackDevice->CreateBuffer(desc, buffer);
    if (status != kAudioOk) {
        ReportError("CreatePlaybackBuffer: Unable to create secondary playback buffer (%x).",
                    Hex(status));
        return status;
    }
    return kAudioOk;
}

void ReleaseRecordBuffer()
{
    AudioEngineState& engine = AudioEngine();
    engine.captureBuffer.reset(); // stops it: no more signals after this
    for (std::unique_ptr<AudioEvent>& event : engine.captureEvents) {
        if (event) event->Reset();
        event.reset();
    }
    engine.captureNotifications = {};
    engine.recordBufferBytes = 0;
}

int CreateRecordBuffer(uint32_t seconds, const AudioFormat& format)
{
    AudioEngineState& engine = AudioEngine();
    if (!engine.captureDevice) return kAudioNotOpen;
    ReleaseRecordBuffer();
    const PcmFormat pcm = ToPcm(format);
    const uint32_t bytes = seconds * pcm.BytesPerSecond();
    const int status = engine.captureDevice->CreateCaptureBuffer(pcm, bytes, engine.captureBuffer);
    if (status != kAudioOk) {
        ReportError("CreateRecordBuffer: Unable to create record buffer (%x)", Hex(status));
        return status;
    }
    engine.recordBufferBytes = bytes;
    engine.captureReadOffset = 0;
    engine.captureReadTotal = 0;
    engine.captureSecondOffset = 0;
    if (engine.needsCaptureNotify) return SetupCaptureNotifications(pcm.BytesPerSecond(), seconds);
    return kAudioOk;
}

int SetupCaptureNotifications(uint32_t bytesPerSecond, uint32_t seconds)
{
    AudioEngineState& engine = AudioEngine();
    if (!engine.captureBuffer) return kAudioNotOpen;
    // A sixtieth of the ring. For the 2 s that recording asks for this is bytesPerSecond / 30;
    // taken this way it stays inside the ring for a length that does not divide 60.
    const uint64_t step = uint64_t(bytesPerSecond) * seconds / 60;
    if (step == 0) return kAudioInvalidParam;
    for (int k = 1; k <= kCaptureEventCount; ++k) {
        engine.captureEvents[k - 1] = std::make_unique<AudioEvent>(false);
        engine.captureNotifications[k - 1] = {uint32_t(k * step - 1),
                                              engine.captureEvents[k - 1].get()};
    }
    engine.captureNotifications[kCaptureEventCount - 1].offset = kNotifyOnStop;
    return engine.captureBuffer->SetNotificationPositions(engine.captureNotifications);
}

} // namespace tandrel
