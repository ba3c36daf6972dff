#include "platform/audio/file_device.h"

#include <algorithm>
#include <vector>

#include "platform/audio/clocked_device.h"
#include "platform/audio/wav_file.h"

namespace tandrel {
namespace {

constexpr const char* kHostApi = "File";

std::string PlaybackName(const FileAudioOptions& options)
{
    return options.outPath.empty() ? "File: output discarded" : "File: " + options.outPath;
}

std::string CaptureName(const FileAudioOptions& options)
{
    return options.inPath.empty() ? "File: silence" : "File: " + options.inPath;
}

class FileSoundDevice final : public ClockedSoundDevice
{
  public:
    explicit FileSoundDevice(const FileAudioOptions& options)
        : ClockedSoundDevice(PlaybackName(options), options.fast)
    {
    }
    ~FileSoundDevice() override
    {
        StopClock();
        sink_.Close();
    }

    /** Creates the output file and starts the clock. False with LastError set. */
    bool Open(const std::string& path)
    {
        if (!path.empty() && !sink_.Open(path, OutputFormat(), lastError_)) return false;
        StartClock();
        return true;
    }

  private:
    void Consume(const int16_t* samples, uint32_t frames) override
    {
        if (sink_.IsOpen())
            sink_.Write(samples, size_t(frames) * OutputFormat().channels * sizeof(int16_t));
    }
    // A WAV file has one format: it can change only until the first sample is written.
    bool CanChangeFormat() const override { return !sink_.IsOpen() || sink_.DataBytes() == 0; }
    void FormatChanged() override
    {
        if (sink_.IsOpen()) sink_.Reformat(OutputFormat());
    }

    WavSink sink_;
};

class FileCaptureDevice final : public ClockedCaptureDevice
{
  public:
    explicit FileCaptureDevice(const FileAudioOptions& options)
        : ClockedCaptureDevice(CaptureName(options), options.fast)
    {
    }
    ~FileCaptureDevice() override { StopClock(); }

    bool Open(const std::string& path)
    {
        if (path.empty()) return true;
        if (!source_.Open(path, lastError_)) return false;
        pending_.resize(size_t(kReadFrames) * source_.Format().channels);
        return true;
    }

  private:
    static constexpr uint32_t kReadFrames = 1024;
    struct Frame
    {
        int32_t left = 0, right = 0; // right = left for a mono file
    };

    int PrepareInput(const PcmFormat& format) override
    {
        channels_ = format.channels;
        const uint32_t sourceRate = pending_.empty() ? format.rate : source_.Format().rate;
        step_ = (uint64_t(sourceRate) << 32) / format.rate;
        return kAudioOk;
    }

    Frame NextSourceFrame()
    {
        if (at_ == count_) {
            at_ = 0;
            count_ = pending_.empty() ? 0 : source_.Read(pending_.data(), kReadFrames);
            if (count_ == 0) return Frame{}; // silence after the end
        }
        Frame f;
        if (source_.Format().channels == 2) {
            f.left = pending_[2 * at_];
            f.right = pending_[2 * at_ + 1];
        } else {
            f.left = f.right = pending_[at_];
        }
        ++at_;
        return f;
    }

    // Linear interpolation between the two source frames around the output position; at
    // equal rates the fraction stays 0 and the file's samples pass unchanged.
    void Produce(int16_t* samples, uint32_t frames) override
    {
        if (!primed_) {
            previous_ = NextSourceFrame();
            next_ = NextSourceFrame();
            primed_ = true;
        }
        constexpr uint64_t kOne = uint64_t(1) << 32;
        for (uint32_t i = 0; i < frames; ++i) {
            const int64_t f = int64_t(fraction_);
            const int32_t left =
                previous_.left + int32_t(((next_.left - previous_.left) * f) >> 32);
            const int32_t right =
                previous_.right + int32_t(((next_.right - previous_.right) * f) >> 32);
            if (channels_ == 2) {
                samples[2 * i] = int16_t(left);
                samples[2 * i + 1] = int16_t(right);
            } else {
                samples[i] = int16_t((left + right) >> 1);
            }
            fraction_ += step_;
            while (fraction_ >= kOne) {
                fraction_ -= kOne;
                previous_ = next_;
                next_ = NextSourceFrame();
            }
        }
    }

    WavSource source_;
    std::vector<int16_t> pending_; // empty without an input file
    uint32_t at_ = 0, count_ = 0;
    uint32_t channels_ = 2;
    uint64_t step_ = uint64_t(1) << 32; // source frames per output frame, 32.32
    uint64_t fraction_ = 0;
    Frame previous_, next_;
    bool primed_ = false;
};

class FileBackend final : public AudioBackend
{
  public:
    explicit FileBackend(const FileAudioOptions& options) : options_(options) {}

    const char* Name() const override { return "file"; }
    std::vector<AudioDeviceInfo> PlaybackDevices() override
    {
        return {{DefaultPlaybackDevice(), PlaybackName(options_)}};
    }
    std::vector<AudioDeviceInfo> CaptureDevices() override
    {
        return {{DefaultCaptureDevice(), CaptureName(options_)}};
    }
    DeviceId DefaultPlaybackDevice() override
    {
        return MakeDeviceId(kHostApi, PlaybackName(options_));
    }
    DeviceId DefaultCaptureDevice() override
    {
        return MakeDeviceId(kHostApi, CaptureName(options_));
    }

    int OpenPlayback(const DeviceId& id, std::unique_ptr<SoundDevice>& device) override
    {
        device.reset();
        if (!IsDefaultDeviceId(id) && id != DefaultPlaybackDevice()) return kAudioNoDevice;
        auto file = std::make_unique<FileSoundDevice>(options_);
        if (!file->Open(options_.outPath)) {
            lastError_ = file->LastError();
            return kAudioFileError;
        }
        device = std::move(file);
        return kAudioOk;
    }

    int OpenCapture(const DeviceId& id, std::unique_ptr<CaptureDevice>& device) override
    {
        device.reset();
        if (!IsDefaultDeviceId(id) && id != DefaultCaptureDevice()) return kAudioNoDevice;
        auto file = std::make_unique<FileCaptureDevice>(options_);
        if (!file->Open(options_.inPath)) {
            lastError_ = file->LastError();
            return kAudioFileError;
        }
        device = std::move(file);
        return kAudioOk;
    }

  private:
    const FileAudioOptions options_;
};

} // namespace

std::unique_ptr<AudioBackend> MakeFileBackend(const FileAudioOptions& options)
{
    return std::make_unique<FileBackend>(options);
}

} // namespace tandrel
