#pragma once
#include <cstddef>
#include <cstdint>

namespace tandrel {

// Sample-format helpers for effects and conversions. Each converts `count` samples; `in` and
// `out` may start at the same address: the widening ones work from the last sample to the
// first, the narrowing ones from the first to the last, so a buffer converts in place either
// way. Any thread.

/** Unsigned 8-bit to signed 16-bit: (b - 128) << 8. */
void Convert8To16(const uint8_t* in, int16_t* out, size_t count);
/** Unsigned 8-bit to float: (b - 128) * 0.0078125. */
void Convert8ToFloat(const uint8_t* in, float* out, size_t count);
/** Signed 16-bit to unsigned 8-bit: (s >> 8) + 128. */
void Convert16To8(const int16_t* in, uint8_t* out, size_t count);
/** Signed 16-bit to float: s * 3.0517578e-5. */
void Convert16ToFloat(const int16_t* in, float* out, size_t count);
/** Float to unsigned 8-bit: 128 + (f * 128 truncated toward zero), clamped to 0..255. */
void ConvertFloatTo8(const float* in, uint8_t* out, size_t count);
/** Float to signed 16-bit: round(f * 2^31) >> 16, saturated to -32768..32767. */
void ConvertFloatTo16(const float* in, int16_t* out, size_t count);

/** One sample of each conversion, as the buffer helpers use it. */
int16_t SampleFloatTo16(float f);
uint8_t SampleFloatTo8(float f);

} // namespace tandrel
