#include "platform/audio/portaudio_device.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace tandrel {
namespace {

// The latency each stream asks for. Below 20 ms the pulse plug-in cannot keep up at all
// (output ran at 0.8x real time); on a busy two-core machine the server ran dry now and then
// at 50 and 100 ms and never at 150. TANDREL_AUDIO_LATENCY_MS overrides it.
constexpr double kDefaultLatencySeconds = 0.150;
constexpr double kMinLatencySeconds = 0.020;

double ChosenLatency()
{
    const char* text = std::getenv("TANDREL_AUDIO_LATENCY_MS");
    if (!text || !*text) return kDefaultLatencySeconds;
    char* end = nullptr;
    const long ms = std::strtol(text, &end, 10);
    if (*end != '\0' || ms < 20 || ms > 2000) return kDefaultLatencySeconds;
    return double(ms) / 1000.0;
}

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

// ALSA reports every plug-in it fails to open, and libjack (which PortAudio links) prints
// about the JACK server it cannot reach: about a hundred lines on a machine without either.
// libjack is looked up rather than linked, so nothing changes where it is absent.
void SilenceStartupMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(QuietAlsa);
        using SetHandler = void (*)(void (*)(const char*));
        for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
            if (void* symbol = dlsym(RTLD_DEFAULT, name))
                reinterpret_cast<SetHandler>(symbol)(QuietJack);
        }
    });
}

std::string PaErrorText(PaError error)
{
    std::string text = Pa_GetErrorText(error);
    if (error == paUnanticipatedHostError) {
        if (const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo(); host && host->errorText)
            text += std::string(": ") + host->errorText;
    }
    return text + " (" + std::to_string(error) + ")";
}

/** Keeps PortAudio initialised while the backend or any of its devices lives. */
struct PaSession
{
    PaError status = Pa_Initialize();
    ~PaSession()
    {
        if (status == paNoError) Pa_Terminate();
    }
};

DeviceId IdOf(PaDeviceIndex index)
{
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    return MakeDeviceId(Pa_GetHostApiInfo(info->hostApi)->name, info->name);
}

PaStreamParameters StreamParameters(PaDeviceIndex index, int channels, bool input, double latency)
{
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    PaStreamParameters p{};
    p.device = index;
    p.channelCount = channels;
    p.sampleFormat = paInt16;
    p.suggestedLatency =
        std::max({kMinLatencySeconds, latency,
                  input ? info->defaultLowInputLatency : info->defaultLowOutputLatency});
    return p;
}

class PortAudioSoundDevice final : public SoundDevice
{
  public:
    PortAudioSoundDevice(std::shared_ptr<PaSession> session, PaDeviceIndex index, double latency)
        : SoundDevice(Pa_GetDeviceInfo(index)->name, 44100, 2), session_(std::move(session)),
          index_(index), latency_(latency)
    {
    }
    ~PortAudioSoundDevice() override
    {
        Close();
        DetachAll();
    }

    int Open(uint32_t rate, uint16_t channels)
    {
        const int available = Pa_GetDeviceInfo(index_)->maxOutputChannels;
        channels = uint16_t(std::min<int>(channels, available));
        const PaStreamParameters out = StreamParameters(index_, channels, false, latency_);
        PaError error = Pa_OpenStream(&stream_, nullptr, &out, rate, paFramesPerBufferUnspecified,
                                      paNoFlag, &Callback, this);
        if (error == paNoError) {
            SetMixFormat(rate, channels);
            error = Pa_StartStream(stream_);
        }
        if (error != paNoError) {
            lastError_ = "cannot start playback on " + Description() + ": " + PaErrorText(error);
            Close();
            return kAudioDeviceFailed;
        }
        return kAudioOk;
    }

    int SetOutputFormat(uint32_t rate, uint16_t channels) override
    {
        if (!IsValidFormat(PcmFormat{rate, 16, channels})) return kAudioInvalidParam;
        const PcmFormat old = OutputFormat();
        if (old.rate == rate && old.channels == channels && stream_) return kAudioOk;
        Close();
        const int result = Open(rate, channels);
        if (result == kAudioOk) return kAudioOk;
        // Keep the device playing in its old format rather than leave it silent. A device
        // that cannot change but still plays has done what it can (OutputFormat tells).
        return Open(old.rate, old.channels) == kAudioOk ? kAudioOk : result;
    }

    double OutputLatency() const override
    {
        const PaStreamInfo* info = stream_ ? Pa_GetStreamInfo(stream_) : nullptr;
        return info ? info->outputLatency : 0.0;
    }

  private:
    void Close()
    {
        if (!stream_) return;
        // Abort rather than stop: nothing queued needs to be heard, and it returns at once.
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
    }

    static int Callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags, void* self)
    {
        auto* device = static_cast<PortAudioSoundDevice*>(self);
        device->Mix(static_cast<int16_t*>(output), uint32_t(frames));
        if (flags & paOutputUnderflow) device->CountUnderrun();
        return paContinue;
    }

    std::shared_ptr<PaSession> session_;
    const PaDeviceIndex index_;
    const double latency_;
    PaStream* stream_ = nullptr;
};

class PortAudioCaptureDevice final : public CaptureDevice
{
  public:
    PortAudioCaptureDevice(std::shared_ptr<PaSession> session, PaDeviceIndex index, double latency)
        : CaptureDevice(Pa_GetDeviceInfo(index)->name), session_(std::move(session)), index_(index),
          latency_(latency)
    {
    }
    ~PortAudioCaptureDevice() override
    {
        CloseInput();
        DetachBuffer();
    }

  private:
    int OpenInput(const PcmFormat& format) override
    {
        CloseInput();
        if (format.channels > Pa_GetDeviceInfo(index_)->maxInputChannels) {
            lastError_ = Description() + " has fewer than " + std::to_string(format.channels) +
                         " input channels";
            return kAudioDeviceFailed;
        }
        const PaStreamParameters in = StreamParameters(index_, format.channels, true, latency_);
        const PaError error =
            Pa_OpenStream(&stream_, &in, nullptr, format.rate, paFramesPerBufferUnspecified,
                          paNoFlag, &Callback, this);
        if (error != paNoError) {
            stream_ = nullptr;
            lastError_ = "cannot open capture on " + Description() + ": " + PaErrorText(error);
            return kAudioDeviceFailed;
        }
        return kAudioOk;
    }

    void CloseInput() override
    {
        if (!stream_) return;
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
    }

    int StartInput() override
    {
        const PaError error = stream_ ? Pa_StartStream(stream_) : paBadStreamPtr;
        if (error != paNoError) {
            lastError_ = "cannot start capture on " + Description() + ": " + PaErrorText(error);
            return kAudioDeviceFailed;
        }
        return kAudioOk;
    }

    void StopInput() override
    {
        if (stream_ && Pa_IsStreamActive(stream_) == 1) Pa_AbortStream(stream_);
    }

    static int Callback(const void* input, void*, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags, void* self)
    {
        auto* device = static_cast<PortAudioCaptureDevice*>(self);
        if (input) device->Deliver(static_cast<const int16_t*>(input), uint32_t(frames));
        if (flags & paInputOverflow) device->CountOverrun();
        return paContinue;
    }

    std::shared_ptr<PaSession> session_;
    const PaDeviceIndex index_;
    const double latency_;
    PaStream* stream_ = nullptr;
};

class PortAudioBackend final : public AudioBackend
{
  public:
    PortAudioBackend(std::shared_ptr<PaSession> session, double latency)
        : session_(std::move(session)), latency_(latency)
    {
    }

    const char* Name() const override { return "portaudio"; }
    std::vector<AudioDeviceInfo> PlaybackDevices() override { return List(false); }
    std::vector<AudioDeviceInfo> CaptureDevices() override { return List(true); }
    DeviceId DefaultPlaybackDevice() override { return DefaultOf(Pa_GetDefaultOutputDevice()); }
    DeviceId DefaultCaptureDevice() override { return DefaultOf(Pa_GetDefaultInputDevice()); }

    int OpenPlayback(const DeviceId& id, std::unique_ptr<SoundDevice>& device) override
    {
        device.reset();
        const PaDeviceIndex index = Find(id, false);
        if (index == paNoDevice) return kAudioNoDevice;
        auto opened = std::make_unique<PortAudioSoundDevice>(session_, index, latency_);
        const int result = opened->Open(44100, 2);
        if (result != kAudioOk) {
            lastError_ = opened->LastError();
            return result;
        }
        device = std::move(opened);
        return kAudioOk;
    }

    int OpenCapture(const DeviceId& id, std::unique_ptr<CaptureDevice>& device) override
    {
        device.reset();
        const PaDeviceIndex index = Find(id, true);
        if (index == paNoDevice) return kAudioNoDevice;
        device = std::make_unique<PortAudioCaptureDevice>(session_, index, latency_);
        return kAudioOk;
    }

  private:
    static bool Usable(PaDeviceIndex index, bool input)
    {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        const int channels = input ? info->maxInputChannels : info->maxOutputChannels;
        if (channels < 1) return false;
        // A device that cannot take 16-bit audio at its own rate is of no use to us.
        const PaStreamParameters p =
            StreamParameters(index, std::min(channels, 2), input, kMinLatencySeconds);
        return Pa_IsFormatSupported(input ? &p : nullptr, input ? nullptr : &p,
                                    info->defaultSampleRate) == paFormatIsSupported;
    }

    std::vector<AudioDeviceInfo> List(bool input)
    {
        std::vector<AudioDeviceInfo> devices;
        for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
            if (Usable(i, input)) devices.push_back({IdOf(i), Pa_GetDeviceInfo(i)->name});
        }
        return devices;
    }

    static DeviceId DefaultOf(PaDeviceIndex index)
    {
        return index == paNoDevice ? DeviceId{} : IdOf(index);
    }

    PaDeviceIndex Find(const DeviceId& id, bool input)
    {
        if (IsDefaultDeviceId(id))
            return input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
        for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
            const int channels = input ? info->maxInputChannels : info->maxOutputChannels;
            if (channels > 0 && IdOf(i) == id) return i;
        }
        return paNoDevice;
    }

    std::shared_ptr<PaSession> session_;
    const double latency_;
};

} // namespace

std::unique_ptr<AudioBackend> MakePortAudioBackend(std::string& why)
{
    SilenceStartupMessages();
    auto session = std::make_shared<PaSession>();
    if (session->status != paNoError) {
        why = "PortAudio did not start: " + PaErrorText(session->status);
        return nullptr;
    }
    const double latency = ChosenLatency();
    auto backend = std::make_unique<PortAudioBackend>(session, latency);
    const size_t playback = backend->PlaybackDevices().size();
    const size_t capture = backend->CaptureDevices().size();
    why = std::string(Pa_GetVersionText()) + ": " + std::to_string(playback) + " playback and " +
          std::to_string(capture) + " capture devices, " +
          std::to_string(int(latency * 1000 + 0.5)) + " ms latency";
    if (playback == 0) why += " (no sound card, and no sound server reachable through ALSA)";
    return backend;
}

} // namespace tandrel
