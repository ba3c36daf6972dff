#include "audio/sample_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/audio_samples.h"

namespace tandrel {

// Widening loops run back to front and narrowing ones front to back: with input and output
// at the same address, each sample is then read before its bytes are overwritten.

void Convert8To16(const uint8_t* in, int16_t* out, size_t count)
{
    for (size_t i = count; i-- > 0;)
        out[i] = Sample8To16(in[i]);
}

void Convert8ToFloat(const uint8_t* in, float* out, size_t count)
{
    for (size_t i = count; i-- > 0;)
        out[i] = float(int32_t(in[i]) - 128) * 0.0078125f;
}

void Convert16To8(const int16_t* in, uint8_t* out, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = Sample16To8(in[i]);
}

void Convert16ToFloat(const int16_t* in, float* out, size_t count)
{
    for (size_t i = count; i-- > 0;)
        out[i] = float(in[i]) * 3.0517578e-5f;
}

uint8_t SampleFloatTo8(float f)
{
    const double scaled = std::trunc(double(f) * 128.0);
    if (!(scaled > -128.0)) return 0; // also NaN
    if (scaled >= 127.0) return 255;
    return uint8_t(128 + int32_t(scaled));
}

int16_t SampleFloatTo16(float f)
{
    const double scaled = double(f) * 2147483648.0;
    if (scaled >= 2147483647.0) return 32767;
    // Below -1.0 the rounded value would not fit 32 bits: full scale negative.
    if (!(scaled > -2147483648.0)) return -32768;
    const int64_t rounded = std::llround(scaled);
    return int16_t(std::clamp<int64_t>(rounded >> 16, -32768, 32767));
}

void ConvertFloatTo8(const float* in, uint8_t* out, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = SampleFloatTo8(in[i]);
}

void ConvertFloatTo16(const float* in, int16_t* out, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = SampleFloatTo16(in[i]);
}

} // namespace tandrel
