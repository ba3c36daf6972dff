#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/format_converter.h"

namespace tandrel::test {

// Fixtures and measurements for the converter tests. Samples are doubles in -1..1,
// interleaved by channel.

/** `frames` frames of a sine per channel; channel c has amplitude amplitudes[c] (a negative
    one inverts the phase). */
std::vector<double> Sine(double frequency, double rate, size_t frames,
                         std::span<const double> amplitudes);
/** Square wave of the given period in samples, at +amplitude / -amplitude, one channel. */
std::vector<double> Square(size_t period, double amplitude, size_t frames);
/** Uniform white noise from a fixed seed. */
std::vector<double> Noise(double amplitude, size_t samples, uint32_t seed);

/** To PCM bytes, rounded to the nearest step: 16-bit little-endian signed, 8-bit offset by 128. */
std::vector<uint8_t> ToPcm(std::span<const double> samples, uint32_t bits);
std::vector<double> FromPcm(std::span<const uint8_t> bytes, uint32_t bits);

/** Every `channels`th sample from `channel`, skipping `margin` frames at each end. */
std::vector<double> Channel(std::span<const double> samples, uint32_t channels, uint32_t channel,
                            size_t margin);

double Rms(std::span<const double> x);
double MaxStep(std::span<const double> x);
/** Frequency from the mean distance between upward zero crossings (interpolated). */
double ZeroCrossingFrequency(std::span<const double> x, double rate);
/** Largest distance from the least-squares sine of `frequency` fitted to `x`. */
double SineFitError(std::span<const double> x, double frequency, double rate);

/** Feeds `input` through `converter` in blocks of `blockBytes`, flagging the last block final
    (or, with `emptyFinal`, sending an extra empty final block). Appends to `output`; returns
    the first failing result code. Fails the test when a block reports more output than the
    buffer holds. */
uint32_t ConvertAll(FormatConverter& converter, std::span<const uint8_t> input, size_t blockBytes,
                    std::vector<uint8_t>& output, bool emptyFinal = false);

} // namespace tandrel::test
