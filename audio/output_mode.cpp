#include "audio/output_mode.h"

#include <algorithm>
#include <cstring>

#include "settings/setting_defaults.h"

namespace tandrel {

namespace {
int gOutputMode = kOutputNormal;
}

const char* OutputModeLabel(int mode)
{
    switch (mode) {
    case kOutputMonoMix:
        return "Output: Mono Mix";
    case kOutputMonoMix6dB:
        return "Output: Mono Mix -6dB";
    case kOutputMonoMix12dB:
        return "Output: Mono Mix -12dB";
    case kOutputLeftOnly:
        return "Output: Left Channel Only";
    case kOutputRightOnly:
        return "Output: Right Channel Only";
    }
    return "";
}

int CurrentOutputMode()
{
    return gOutputMode;
}

void SetCurrentOutputMode(int mode)
{
    gOutputMode = mode;
}

void LoadOutputMode()
{
    gOutputMode = int(ReadNumberSetting("PlayOption"));
}

void ApplyOutputMode(uint8_t* bytes, uint32_t count, int mode, uint32_t bits, uint32_t channels)
{
    if (bits != 16 || channels != 2 || mode < kOutputMonoMix || mode > kOutputRightOnly) return;
    const uint32_t frames = count / 4;
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t frame[2];
        std::memcpy(frame, bytes + 4 * i, 4);
        const int32_t sum = int32_t(frame[0]) + frame[1];
        int32_t left = frame[0];
        int32_t right = frame[1];
        switch (mode) {
        case kOutputMonoMix:
            // A loud stereo pair would wrap around; clipping is what a listener expects.
            left = right = std::clamp(sum, -32768, 32767);
            break;
        case kOutputMonoMix6dB:
            left = right = sum >> 1;
            break;
        case kOutputMonoMix12dB:
            left = right = sum >> 2;
            break;
        case kOutputLeftOnly:
            right = left;
            break;
        case kOutputRightOnly:
            left = right;
            break;
        }
        frame[0] = int16_t(left);
        frame[1] = int16_t(right);
        std::memcpy(bytes + 4 * i, frame, 4);
    }
}

} // namespace tandrel
