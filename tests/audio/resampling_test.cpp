// Rate changes through the resampler, fed block by block as the Edit store and the importer
// feed them: length, pitch, level and continuity of a 1 kHz tone, saturation, and independence
// from the block size.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <span>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/format_converter.h"
#include "base/result_codes.h"

namespace tandrel {
namespace {

// Samples are doubles in -1..1, interleaved by channel.
std::vector<double> Sine(double frequency, double rate, size_t frames, std::span<const double> amplitudes)
{
    std::vector<double> out;
    for (size_t n = 0; n < frames; ++n)
        for (double amplitude : amplitudes)
            out.push_back(amplitude * std::sin(2 * std::numbers::pi * frequency * double(n) / rate));
    return out;
}

// To PCM bytes, rounded to the nearest step: 16-bit little-endian signed, 8-bit offset by 128.
std::vector<uint8_t> ToPcm(std::span<const double> samples, uint32_t bits)
{
    std::vector<uint8_t> out;
    for (double x : samples) {
        const long v = std::clamp(std::lround(x * (bits == 8 ? 128 : 32768)), bits == 8 ? -128L : -32768L,
                                  bits == 8 ? 127L : 32767L);
        if (bits == 8) out.push_back(uint8_t(v + 128));
        else out.insert(out.end(), {uint8_t(v & 0xFF), uint8_t((v >> 8) & 0xFF)});
    }
    return out;
}

std::vector<double> FromPcm(std::span<const uint8_t> bytes, uint32_t bits)
{
    std::vector<double> out;
    for (size_t i = 0; bits == 8 ? i < bytes.size() : i + 1 < bytes.size(); i += bits / 8)
        out.push_back(bits == 8 ? (int(bytes[i]) - 128) / 128.0
                                : int16_t(uint16_t(bytes[i] | (bytes[i + 1] << 8))) / 32768.0);
    return out;
}

// Every `channels`th sample from `channel`, skipping `margin` frames at each end.
std::vector<double> Channel(std::span<const double> samples, uint32_t channels, uint32_t channel, size_t margin)
{
    std::vector<double> out;
    for (size_t n = margin; n + margin < samples.size() / channels; ++n)
        out.push_back(samples[n * channels + channel]);
    return out;
}

double Rms(std::span<const double> x)
{
    double sum = 0;
    for (double v : x) sum += v * v;
    return x.empty() ? 0 : std::sqrt(sum / double(x.size()));
}

double MaxStep(std::span<const double> x)
{
    double step = 0;
    for (size_t n = 1; n < x.size(); ++n) step = std::max(step, std::abs(x[n] - x[n - 1]));
    return step;
}

// Frequency from the mean distance between upward zero crossings (interpolated).
double ZeroCrossingFrequency(std::span<const double> x, double rate)
{
    double first = -1, last = -1;
    size_t crossings = 0;
    for (size_t n = 1; n < x.size(); ++n)
        if (x[n - 1] < 0 && x[n] >= 0) {
            last = double(n - 1) + -x[n - 1] / (x[n] - x[n - 1]);
            if (first < 0) first = last;
            ++crossings;
        }
    return crossings < 2 ? 0 : rate * double(crossings - 1) / (last - first);
}

// Largest distance from the least-squares sine of `frequency` fitted to `x` (the 2x2 normal
// equations of x ~ a cos + b sin).
double SineFitError(std::span<const double> x, double frequency, double rate)
{
    auto angle = [&](size_t n) { return 2 * std::numbers::pi * frequency * double(n) / rate; };
    double cc = 0, ss = 0, cs = 0, xc = 0, xs = 0;
    for (size_t n = 0; n < x.size(); ++n) {
        const double c = std::cos(angle(n)), s = std::sin(angle(n));
        cc += c * c, ss += s * s, cs += c * s, xc += x[n] * c, xs += x[n] * s;
    }
    const double det = cc * ss - cs * cs;
    const double a = (xc * ss - xs * cs) / det, b = (xs * cc - xc * cs) / det;
    double worst = 0;
    for (size_t n = 0; n < x.size(); ++n)
        worst = std::max(worst, std::abs(x[n] - a * std::cos(angle(n)) - b * std::sin(angle(n))));
    return worst;
}

// Feeds `input` through `converter` in blocks of `blockBytes`, flagging the last block final
// (or, with `emptyFinal`, sending an extra empty final block). Appends to `output`; returns the
// first failing result code. Fails the test when a block reports more output than the buffer holds.
uint32_t ConvertAll(FormatConverter& converter, std::span<const uint8_t> input, size_t blockBytes,
                    std::vector<uint8_t>& output, bool emptyFinal = false)
{
    for (size_t position = 0;;) {
        const size_t count = std::min(blockBytes, input.size() - position);
        const bool final = emptyFinal ? count == 0 : position + count == input.size();
        if (count > 0) std::memcpy(converter.InputBuffer(), input.data() + position, count);
        uint32_t produced = 0;
        if (const uint32_t result = ConvertBlock(converter, uint32_t(count), produced, final)) return result;
        EXPECT_LE(produced, converter.OutputCapacity());
        output.insert(output.end(), converter.OutputBuffer(), converter.OutputBuffer() + produced);
        position += count;
        if (final) return 0;
    }
}

struct Shape { uint32_t rate, bits, channels; };

struct Pair
{
    const char* name;
    Shape from, to;
    std::vector<double> amplitudes; // per source channel; negative inverts the phase
};

const Pair kPairs[] = {
    {"CdToDvd", {44100, 16, 2}, {48000, 16, 2}, {0.5, -0.25}},
    {"DvdToHalfCdMono", {48000, 16, 1}, {22050, 16, 1}, {0.5}},
    {"DvdToPhone", {48000, 16, 2}, {8000, 16, 2}, {0.4, 0.6}},
    {"PhoneToDvdMono", {8000, 16, 1}, {48000, 16, 1}, {0.5}},
    {"EightBitMonoToCdStereo", {22050, 8, 1}, {44100, 16, 2}, {0.5}},
    {"CdStereoToEightBitMono", {44100, 16, 2}, {48000, 8, 1}, {0.5, -0.25}},
};
const size_t kBlockSizes[] = {8192, 4096, 1004, 36, 4};

std::vector<double> DestinationAmplitudes(const Pair& pair)
{
    if (pair.from.channels == pair.to.channels) return pair.amplitudes;
    if (pair.to.channels == 2) return {pair.amplitudes[0], pair.amplitudes[0]};
    return {pair.amplitudes[0] + pair.amplitudes[1]}; // summed, not halved
}

void SetFormats(FormatConverter& converter, const Shape& from, const Shape& to)
{
    MakeFormat(converter.source, from.rate, from.bits, from.channels);
    MakeFormat(converter.destination, to.rate, to.bits, to.channels);
}

class ToneThroughBlocks : public testing::TestWithParam<std::tuple<Pair, size_t, bool>>
{
};

TEST_P(ToneThroughBlocks, KeepsLengthPitchLevelAndContinuity)
{
    const auto& [pair, requestedBlock, emptyFinal] = GetParam();
    const double kTone = 1000;
    const size_t inputFrames = pair.from.rate; // one second: a whole number of cycles
    const std::vector<uint8_t> input =
        ToPcm(Sine(kTone, pair.from.rate, inputFrames, pair.amplitudes), pair.from.bits);

    FormatConverter converter;
    SetFormats(converter, pair.from, pair.to);
    const size_t frameBytes = pair.from.bits / 8 * pair.from.channels;
    const size_t block = requestedBlock / frameBytes * frameBytes;
    ASSERT_EQ(InitFormatConverter(uint32_t(block), converter, false), kResultOk);
    std::vector<uint8_t> output;
    ASSERT_EQ(ConvertAll(converter, input, block, output, emptyFinal), kResultOk);

    const std::vector<double> samples = FromPcm(output, pair.to.bits);
    const size_t outFrames = samples.size() / pair.to.channels;
    // All of the resampler's held-back tail comes out with the final block.
    const double expectedFrames = double(inputFrames) * pair.to.rate / pair.from.rate;
    EXPECT_NEAR(double(outFrames), expectedFrames, 2.0);

    const double lsb = pair.from.bits == 8 || pair.to.bits == 8 ? 1 / 128.0 : 1 / 32768.0;
    const std::vector<double> amplitudes = DestinationAmplitudes(pair);
    const size_t margin = pair.to.rate / 50; // the stream's start and end ring
    for (uint32_t c = 0; c < pair.to.channels; ++c) {
        SCOPED_TRACE("channel " + std::to_string(c));
        const std::vector<double> x = Channel(samples, pair.to.channels, c, margin);
        const double amplitude = std::abs(amplitudes[c]);
        EXPECT_NEAR(ZeroCrossingFrequency(x, pair.to.rate), kTone, kTone * 0.001);
        const double levelDb = 20 * std::log10(Rms(x) / (amplitude / std::sqrt(2.0)));
        EXPECT_NEAR(levelDb, 0.0, 0.5);
        // A sample lost, repeated or zeroed at a block join moves the wave off the fitted sine
        // by about the largest step, 2 pi f / rate of the amplitude (at least 0.033 here), and
        // a lost or zeroed one makes a step larger than that.
        const double slope = 2 * std::numbers::pi * kTone / pair.to.rate * amplitude;
        EXPECT_LT(MaxStep(x), 1.05 * slope + 3 * lsb);
        EXPECT_LT(SineFitError(x, kTone, pair.to.rate), 0.002 + 1.5 * lsb);
    }
}

std::string ToneCaseName(const testing::TestParamInfo<ToneThroughBlocks::ParamType>& info)
{
    const auto& [pair, block, emptyFinal] = info.param;
    return std::string(pair.name) + "_" + std::to_string(block) +
           (emptyFinal ? "_EmptyFinal" : "_LastFinal");
}

INSTANTIATE_TEST_SUITE_P(Blocks, ToneThroughBlocks,
                         testing::Combine(testing::ValuesIn(kPairs), testing::ValuesIn(kBlockSizes),
                                          testing::Bool()),
                         ToneCaseName);

// Loud material overshoots full scale after filtering; it must clip, not wrap round to the
// opposite sign.
TEST(Resampling, OvershootClipsInsteadOfWrapping)
{
    const size_t kPeriod = 441; // 100 Hz at 44.1 kHz
    std::vector<double> square(44100);
    for (size_t n = 0; n < square.size(); ++n) square[n] = n % kPeriod < kPeriod / 2 ? 0.97 : -0.97;
    for (uint32_t bits : {16u, 8u}) {
        SCOPED_TRACE(bits);
        FormatConverter converter;
        SetFormats(converter, {44100, 16, 1}, {48000, bits, 1});
        ASSERT_EQ(InitFormatConverter(8192, converter, false), kResultOk);
        std::vector<uint8_t> output;
        ASSERT_EQ(ConvertAll(converter, ToPcm(square, 16), 8192, output), kResultOk);
        const std::vector<double> x = FromPcm(output, bits);

        double peak = 0;
        for (double v : x)
            peak = std::max(peak, v);
        EXPECT_GE(peak, bits == 16 ? 32767 / 32768.0 : 127 / 128.0); // the overshoot was clipped

        // A wrapped sample is an isolated swing to the other side: count the changes between
        // "high" and "low", which must be the square's own edges.
        int state = 0, changes = 0;
        for (double v : x) {
            const int now = v > 0.5 ? 1 : v < -0.5 ? -1 : state;
            if (state != 0 && now != state) ++changes;
            state = now;
        }
        EXPECT_EQ(changes, int(2 * square.size() / kPeriod) - 1);
    }
}

// With rates this close a full block gives back nearly its own size, and a final one adds the
// resampler's held-back tail on top: the output buffer must have room for both.
TEST(Resampling, AFullFinalBlockAtNearlyEqualRatesFits)
{
    const Pair kCases[] = {
        {"CdToNtscCd", {44100, 16, 2}, {44056, 16, 2}, {0.5, 0.5}},
        {"DvdToNtscDvd", {48000, 16, 2}, {47952, 16, 2}, {0.5, 0.5}},
    };
    const size_t kBlock = 8192, kBlocks = 16;
    for (const Pair& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> input =
            ToPcm(Sine(1000, c.from.rate, kBlock * kBlocks / 4, c.amplitudes), 16);
        FormatConverter converter;
        SetFormats(converter, c.from, c.to);
        ASSERT_EQ(InitFormatConverter(kBlock, converter, false), kResultOk);
        std::vector<uint8_t> output;
        ASSERT_EQ(ConvertAll(converter, input, kBlock, output), kResultOk);
        EXPECT_NEAR(double(output.size() / 4), double(input.size() / 4) * c.to.rate / c.from.rate,
                    2.0);
    }
}

// The slower converters hold back far more (about 860 frames for the best one going up six
// times), more than one resampler call can return; all of it must still come out.
TEST(Resampling, EveryConverterTypeLetsOutItsWholeTail)
{
    const int saved = gResamplerType;
    const double amplitude[] = {0.5};
    const std::vector<uint8_t> input = ToPcm(Sine(1000, 8000, 8000, amplitude), 16);
    for (int type : {0, 1, 2}) {
        SCOPED_TRACE(type);
        gResamplerType = type;
        FormatConverter converter;
        SetFormats(converter, {8000, 16, 1}, {48000, 16, 1});
        ASSERT_EQ(InitFormatConverter(2, converter, false), kResultOk);
        std::vector<uint8_t> output;
        ASSERT_EQ(ConvertAll(converter, input, 2, output), kResultOk);
        const std::vector<double> x = FromPcm(output, 16);
        EXPECT_NEAR(double(x.size()), 48000.0, 2.0);
        const std::vector<double> middle = Channel(x, 1, 0, 960);
        EXPECT_LT(SineFitError(middle, 1000, 48000), 0.002);
    }
    gResamplerType = saved;
}

// How a stream is cut into blocks must not change what comes out, and a converter is ready
// for a new stream after a final block.
TEST(Resampling, OutputDoesNotDependOnTheBlockSize)
{
    struct Case { Shape from, to; };
    const Case kCases[] = {
        {{44100, 16, 2}, {48000, 16, 2}},
        {{48000, 16, 2}, {22050, 8, 1}},
        {{11025, 8, 1}, {44100, 16, 2}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.from.rate) + " -> " + std::to_string(c.to.rate));
        std::mt19937 random(1234); // white noise
        std::vector<double> noise(c.from.rate / 2 * c.from.channels);
        for (double& x : noise) x = 0.7 * (double(random()) / 2147483648.0 - 1.0);
        const std::vector<uint8_t> input = ToPcm(noise, c.from.bits);
        const size_t frameBytes = c.from.bits / 8 * c.from.channels;

        FormatConverter converter;
        SetFormats(converter, c.from, c.to);
        ASSERT_EQ(InitFormatConverter(8192, converter, false), kResultOk);
        std::vector<uint8_t> whole, again, tiny;
        ASSERT_EQ(ConvertAll(converter, input, 8192, whole), kResultOk);
        ASSERT_EQ(ConvertAll(converter, input, 100 * frameBytes, again, true), kResultOk);

        FormatConverter small;
        SetFormats(small, c.from, c.to);
        ASSERT_EQ(InitFormatConverter(uint32_t(frameBytes), small, false), kResultOk);
        ASSERT_EQ(ConvertAll(small, input, frameBytes, tiny), kResultOk);

        const std::vector<double> a = FromPcm(whole, c.to.bits);
        const double lsb = c.to.bits == 8 ? 1 / 128.0 : 1 / 32768.0;
        for (const std::vector<uint8_t>* other : {&again, &tiny}) {
            const std::vector<double> b = FromPcm(*other, c.to.bits);
            ASSERT_EQ(a.size(), b.size());
            double worst = 0;
            for (size_t i = 0; i < a.size(); ++i)
                worst = std::max(worst, std::abs(a[i] - b[i]));
            EXPECT_LE(worst, lsb);
        }
    }
}

} // namespace
} // namespace tandrel
