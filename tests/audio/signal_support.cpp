#include "signal_support.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

namespace tandrel::test {

std::vector<double> Sine(double frequency, double rate, size_t frames,
                         std::span<const double> amplitudes)
{
    std::vector<double> out;
    out.reserve(frames * amplitudes.size());
    for (size_t n = 0; n < frames; ++n) {
        const double s = std::sin(2 * std::numbers::pi * frequency * double(n) / rate);
        for (double amplitude : amplitudes)
            out.push_back(amplitude * s);
    }
    return out;
}

std::vector<double> Square(size_t period, double amplitude, size_t frames)
{
    std::vector<double> out(frames);
    for (size_t n = 0; n < frames; ++n)
        out[n] = n % period < period / 2 ? amplitude : -amplitude;
    return out;
}

std::vector<double> Noise(double amplitude, size_t samples, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::vector<double> out(samples);
    for (double& x : out)
        x = amplitude * (double(generator()) / 2147483648.0 - 1.0);
    return out;
}

std::vector<uint8_t> ToPcm(std::span<const double> samples, uint32_t bits)
{
    std::vector<uint8_t> out;
    for (double x : samples) {
        if (bits == 8) {
            out.push_back(uint8_t(std::clamp(128 + std::lround(x * 128), 0L, 255L)));
        } else {
            const long v = std::clamp(std::lround(x * 32768), -32768L, 32767L);
            out.push_back(uint8_t(v & 0xFF));
            out.push_back(uint8_t((v >> 8) & 0xFF));
        }
    }
    return out;
}

std::vector<double> FromPcm(std::span<const uint8_t> bytes, uint32_t bits)
{
    std::vector<double> out;
    if (bits == 8) {
        for (uint8_t b : bytes)
            out.push_back((int(b) - 128) / 128.0);
    } else {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(int16_t(uint16_t(bytes[i] | (bytes[i + 1] << 8))) / 32768.0);
    }
    return out;
}

std::vector<double> Channel(std::span<const double> samples, uint32_t channels, uint32_t channel,
                            size_t margin)
{
    std::vector<double> out;
    const size_t frames = samples.size() / channels;
    for (size_t n = margin; n + margin < frames; ++n)
        out.push_back(samples[n * channels + channel]);
    return out;
}

double Rms(std::span<const double> x)
{
    double sum = 0;
    for (double v : x)
        sum += v * v;
    return x.empty() ? 0 : std::sqrt(sum / double(x.size()));
}

double MaxStep(std::span<const double> x)
{
    double step = 0;
    for (size_t n = 1; n < x.size(); ++n)
        step = std::max(step, std::abs(x[n] - x[n - 1]));
    return step;
}

double ZeroCrossingFrequency(std::span<const double> x, double rate)
{
    double first = -1, last = -1;
    size_t crossings = 0;
    for (size_t n = 1; n < x.size(); ++n) {
        if (x[n - 1] < 0 && x[n] >= 0) {
            const double at = double(n - 1) + -x[n - 1] / (x[n] - x[n - 1]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return rate * double(crossings - 1) / (last - first);
}

double SineFitError(std::span<const double> x, double frequency, double rate)
{
    // Least squares for x ~ a cos + b sin: solve the 2x2 normal equations.
    double cc = 0, ss = 0, cs = 0, xc = 0, xs = 0;
    for (size_t n = 0; n < x.size(); ++n) {
        const double w = 2 * std::numbers::pi * frequency * double(n) / rate;
        const double c = std::cos(w), s = std::sin(w);
        cc += c * c;
        ss += s * s;
        cs += c * s;
        xc += x[n] * c;
        xs += x[n] * s;
    }
    const double det = cc * ss - cs * cs;
    const double a = (xc * ss - xs * cs) / det;
    const double b = (xs * cc - xc * cs) / det;
    double worst = 0;
    for (size_t n = 0; n < x.size(); ++n) {
        const double w = 2 * std::numbers::pi * frequency * double(n) / rate;
        worst = std::max(worst, std::abs(x[n] - a * std::cos(w) - b * std::sin(w)));
    }
    return worst;
}

uint32_t ConvertAll(FormatConverter& converter, std::span<const uint8_t> input, size_t blockBytes,
                    std::vector<uint8_t>& output, bool emptyFinal)
{
    size_t position = 0;
    bool finalSent = false;
    while (!finalSent) {
        const size_t count = std::min(blockBytes, input.size() - position);
        const bool last = position + count == input.size();
        const bool final = emptyFinal ? (count == 0) : last;
        if (count > 0) std::memcpy(converter.InputBuffer(), input.data() + position, count);
        uint32_t produced = 0;
        const uint32_t result = ConvertBlock(converter, uint32_t(count), produced, final);
        if (result != 0) return result;
        EXPECT_LE(produced, converter.OutputCapacity());
        output.insert(output.end(), converter.OutputBuffer(), converter.OutputBuffer() + produced);
        position += count;
        finalSent = final;
    }
    return 0;
}

} // namespace tandrel::test
