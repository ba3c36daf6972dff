#include "audio/format_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include <samplerate.h>

#include "base/audio_samples.h"
#include "base/byte_order.h"
#include "base/result_codes.h"

namespace tandrel {

int gResamplerType = SRC_SINC_FASTEST;

namespace {

// libsamplerate holds back about half its filter (some 20 frames for the fastest sinc, 150
// for the best, counted at the output rate when going down and at the input rate when going
// up) and lets it out with the final block, on top of that block's own share.
constexpr double kResamplerHeldFrames = 256;
// Room for at least this many frames per src_process call, however small the block.
constexpr size_t kMinResamplerFrames = 512;

bool Supported(const AudioFormat& format)
{
    return (format.channels == 1 || format.channels == 2) &&
           (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.sampleRate > 0;
}

int16_t Load16(const uint8_t* p)
{
    return int16_t(GetU16(p));
}
void Store16(uint8_t* p, int value)
{
    PutU16(p, uint16_t(int16_t(value)));
}

void Widen8To16(const uint8_t* in, uint8_t* out, size_t samples)
{
    for (size_t i = 0; i < samples; ++i)
        Store16(out + 2 * i, Sample8To16(in[i]));
}

// Keeps the high byte, moved to unsigned 8-bit.
void Narrow16To8(const uint8_t* in, uint8_t* out, size_t samples)
{
    for (size_t i = 0; i < samples; ++i)
        out[i] = Sample16To8(Load16(in + 2 * i));
}

void ToFloats(const uint8_t* in, uint32_t bits, size_t samples, float* out)
{
    if (bits == 8) {
        for (size_t i = 0; i < samples; ++i)
            out[i] = float(int(in[i]) - 128) * (1.0f / 128);
    } else {
        for (size_t i = 0; i < samples; ++i)
            out[i] = float(Load16(in + 2 * i)) * (1.0f / 32768);
    }
}

// 16 bits: the 32-bit fixed-point value rounded, then its upper half; 8 bits: truncated.
// Both saturate, so the resampler's overshoot on loud material clips instead of wrapping.
void FromFloats(const float* in, size_t samples, uint32_t bits, uint8_t* out)
{
    if (bits == 8) {
        for (size_t i = 0; i < samples; ++i) {
            const float scaled = in[i] * 128.0f;
            // Compared before the cast so that no value is out of int's range.
            const int value = scaled >= 256.0f ? 255 : scaled > -256.0f ? 128 + int(scaled) : 0;
            out[i] = uint8_t(std::clamp(value, 0, 255));
        }
    } else {
        for (size_t i = 0; i < samples; ++i) {
            // Bounded first (a NaN becomes -2) so that the cast is always defined; x +- 0.5 is
            // exact, and truncating it rounds half away from zero like llround, only cheaper.
            const double x = std::fmin(std::fmax(double(in[i]), -2.0), 2.0) * 2147483648.0;
            const long long fixed = (long long)(x + (x < 0 ? -0.5 : 0.5)) >> 16;
            Store16(out + 2 * i, int(std::clamp(fixed, -32768LL, 32767LL)));
        }
    }
}

// From the last sample backwards, so that `in` may be `out`.
size_t MonoToStereo(const uint8_t* in, uint8_t* out, size_t bytes, uint32_t bits)
{
    if (bits == 8) {
        for (size_t i = bytes; i-- > 0;) {
            const uint8_t sample = in[i];
            out[2 * i] = sample;
            out[2 * i + 1] = sample;
        }
    } else {
        for (size_t i = bytes / 2; i-- > 0;) {
            const uint8_t low = in[2 * i], high = in[2 * i + 1];
            out[4 * i] = low;
            out[4 * i + 1] = high;
            out[4 * i + 2] = low;
            out[4 * i + 3] = high;
        }
    }
    return bytes * 2;
}

// Left plus right without halving, so a voice on one side only keeps its level; a loud
// centred source clips.
// Forwards, so that `in` may be `out`.
size_t StereoToMono(const uint8_t* in, uint8_t* out, size_t bytes, uint32_t bits)
{
    if (bits == 8) {
        const size_t frames = bytes / 2;
        for (size_t i = 0; i < frames; ++i)
            out[i] = uint8_t(std::clamp(int(in[2 * i]) + int(in[2 * i + 1]) - 128, 0, 255));
        return frames;
    }
    const size_t frames = bytes / 4;
    for (size_t i = 0; i < frames; ++i) {
        const int sum = Load16(in + 4 * i) + Load16(in + 4 * i + 2);
        Store16(out + 2 * i, std::clamp(sum, -32768, 32767));
    }
    return frames * 2;
}

} // namespace

struct FormatConverter::Resampler
{
    SRC_STATE* state = nullptr;
    SRC_DATA data{};
};

void FormatConverter::ResamplerDeleter::operator()(Resampler* resampler) const noexcept
{
    if (resampler->state) src_delete(resampler->state);
    delete resampler;
}

void MakeFormat(AudioFormat& format, uint32_t rate, uint32_t bits, uint32_t channels)
{
    format.formatTag = 1;
    format.channels = uint16_t(channels);
    format.sampleRate = rate;
    format.bitsPerSample = uint16_t(bits);
    format.blockAlign = uint16_t(bits / 8 * channels);
    format.avgBytesPerSec = format.blockAlign * rate;
    format.extensionSize = 0;
}

uint32_t InitFormatConverter(uint32_t blockBytes, FormatConverter& converter, bool useAcm)
{
    (void)useAcm; // no ACM here: the resampler serves both engines
    ReleaseFormatConverter(converter);
    const AudioFormat& source = converter.source;
    const AudioFormat& destination = converter.destination;
    if (!Supported(source) || !Supported(destination)) return kResultCannotConvert;
    const bool rateChanges = source.sampleRate != destination.sampleRate;
    const double ratio = double(destination.sampleRate) / source.sampleRate;
    if (rateChanges && !src_is_valid_ratio(ratio)) return kResultCannotConvert;
    const uint32_t sourceFrameBytes = source.bitsPerSample / 8 * source.channels;
    if (blockBytes < sourceFrameBytes) return kResultGeneralFailure;

    try {
        if (rateChanges) {
            const size_t inputSamples = blockBytes / (source.bitsPerSample / 8);
            size_t outputFloats = 2 * size_t(ratio * double(inputSamples));
            outputFloats = std::max(outputFloats, kMinResamplerFrames * source.channels);
            outputFloats -= outputFloats % source.channels;
            converter.floatIn_.resize(inputSamples);
            converter.floatOut_.resize(outputFloats);

            converter.resampler_.reset(new FormatConverter::Resampler);
            int error = 0;
            SRC_STATE* state = src_new(gResamplerType, int(source.channels), &error);
            if (!state) {
                ReleaseFormatConverter(converter);
                return kResultGeneralFailure;
            }
            FormatConverter::Resampler& resampler = *converter.resampler_;
            resampler.state = state;
            resampler.data.data_in = converter.floatIn_.data();
            resampler.data.data_out = converter.floatOut_.data();
            resampler.data.input_frames = 0;
            resampler.data.output_frames = long(outputFloats / source.channels);
            resampler.data.src_ratio = ratio;
        }

        // Room for the widest, most channels and fastest rate of one block.
        uint64_t size = blockBytes;
        if (destination.bitsPerSample > source.bitsPerSample)
            size *= destination.bitsPerSample / source.bitsPerSample;
        if (destination.channels > source.channels) size *= destination.channels / source.channels;
        if (destination.sampleRate > source.sampleRate) size = uint64_t(double(size) * ratio);
        uint64_t outputBytes = destination.sampleRate > source.sampleRate ? size * 2 : size + 64;
        if (rateChanges) {
            // A block's own share plus whatever the resampler still held, which is all let
            // out with a final block however short.
            const double blockFrames = double(blockBytes / sourceFrameBytes);
            const double frames =
                std::ceil(blockFrames * ratio + kResamplerHeldFrames * std::max(1.0, ratio)) + 2;
            const uint32_t channels = std::max(source.channels, destination.channels);
            const uint64_t worst = uint64_t(frames) * channels * (destination.bitsPerSample / 8);
            outputBytes = std::max(outputBytes, worst);
        }
        converter.byteIn_.resize(size_t(blockBytes) + 64);
        converter.byteOut_.resize(size_t(outputBytes));
    } catch (const std::bad_alloc&) {
        ReleaseFormatConverter(converter);
        return kResultOutOfMemory;
    } catch (const std::length_error&) {
        ReleaseFormatConverter(converter);
        return kResultOutOfMemory;
    }
    converter.from_ = source;
    converter.to_ = destination;
    converter.blockBytes_ = blockBytes;
    return kResultOk;
}

uint32_t FormatConverter::Resample(uint32_t frames, bool finalBlock, size_t& bytes)
{
    const uint32_t channels = from_.channels;
    const uint32_t outBits = to_.bitsPerSample;
    const size_t outFrameBytes = size_t(channels) * (outBits / 8);
    const size_t floatFrames = floatOut_.size() / channels;
    // Counted in frames of the widest channel layout: going mono to stereo doubles what is
    // written here, in place, after this.
    const size_t frameLimit =
        byteOut_.size() / (std::max(channels, uint32_t(to_.channels)) * (outBits / 8));
    size_t framesDone = 0;
    ToFloats(byteIn_.data(), from_.bitsPerSample, size_t(frames) * channels, floatIn_.data());

    SRC_DATA& data = resampler_->data;
    data.data_in = floatIn_.data();
    data.input_frames = long(frames);
    data.end_of_input = finalBlock ? 1 : 0;
    bytes = 0;
    for (;;) {
        const size_t room = frameLimit - framesDone;
        if (room == 0) return kResultGeneralFailure; // never write past the output buffer
        data.data_out = floatOut_.data();
        data.output_frames = long(std::min(room, floatFrames));
        if (src_process(resampler_->state, &data) != 0) return kResultGeneralFailure;
        const long used = data.input_frames_used;
        const long made = data.output_frames_gen;
        data.data_in += used * long(channels);
        data.input_frames -= used;
        FromFloats(floatOut_.data(), size_t(made) * channels, outBits, byteOut_.data() + bytes);
        framesDone += size_t(made);
        bytes = framesDone * outFrameBytes;
        if (used == 0 && made == 0) {
            if (data.input_frames > 0) return kResultGeneralFailure;
            break;
        }
        // A full output may mean more is waiting inside the library; a final block goes on
        // until the library's tail is out.
        if (data.input_frames > 0 || made == data.output_frames || finalBlock) continue;
        break;
    }
    if (finalBlock) src_reset(resampler_->state);
    return kResultOk;
}

uint32_t ConvertBlock(FormatConverter& converter, uint32_t inputBytes, uint32_t& outputBytes,
                      bool finalBlock)
{
    outputBytes = 0;
    if (converter.blockBytes_ == 0 || inputBytes > converter.blockBytes_)
        return kResultGeneralFailure;
    const AudioFormat& source = converter.from_;
    const AudioFormat& destination = converter.to_;
    const uint32_t frameBytes = source.bitsPerSample / 8 * source.channels;
    const uint32_t frames = inputBytes / frameBytes;
    const uint8_t* channelSource = converter.byteIn_.data();
    uint8_t* out = converter.byteOut_.data();
    size_t bytes = size_t(frames) * frameBytes;

    if (converter.resampler_) {
        const uint32_t result = converter.Resample(frames, finalBlock, bytes);
        if (result != kResultOk) return result;
        channelSource = out;
    } else if (source.bitsPerSample != destination.bitsPerSample) {
        const size_t samples = size_t(frames) * source.channels;
        if (source.bitsPerSample == 8) {
            Widen8To16(channelSource, out, samples);
            bytes = samples * 2;
        } else {
            Narrow16To8(channelSource, out, samples);
            bytes = samples;
        }
        channelSource = out;
    }

    if (source.channels != destination.channels) {
        bytes = source.channels == 1
                    ? MonoToStereo(channelSource, out, bytes, destination.bitsPerSample)
                    : StereoToMono(channelSource, out, bytes, destination.bitsPerSample);
    } else if (channelSource != out) {
        std::memcpy(out, channelSource, bytes); // equal formats: passed through
    }
    outputBytes = uint32_t(bytes);
    return kResultOk;
}

uint32_t ReleaseFormatConverter(FormatConverter& converter)
{
    converter.resampler_.reset();
    std::vector<uint8_t>().swap(converter.byteIn_);
    std::vector<uint8_t>().swap(converter.byteOut_);
    std::vector<float>().swap(converter.floatIn_);
    std::vector<float>().swap(converter.floatOut_);
    converter.blockBytes_ = 0;
    return kResultOk;
}

} // namespace tandrel
