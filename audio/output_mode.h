#pragma once
#include <cstdint>

namespace tandrel {

/** The output modes of the main stream ("PlayOption"). */
enum OutputMode : int
{
    kOutputNormal = 1,
    kOutputMonoMix = 2,
    kOutputMonoMix6dB = 3,
    kOutputMonoMix12dB = 4,
    kOutputLeftOnly = 5,
    kOutputRightOnly = 6,
};

/** The menu label of a mode: "Output: Mono Mix" and so on; "" for normal or unknown. */
const char* OutputModeLabel(int mode);

/** The mode the main stream plays with; start-up loads it from "PlayOption", the menu sets
    it (and saves it). UI thread. */
int CurrentOutputMode();
void SetCurrentOutputMode(int mode);
/** Reads "PlayOption" (1..6, default 1) into the current mode. */
void LoadOutputMode();

/** Applies `mode` to `count` bytes of interleaved audio in place. Only 16-bit stereo is
    changed; mono, 8-bit audio and a mode outside 2..6 are left alone. The plain mono sum of
    mode 2 saturates at the 16-bit limits instead of wrapping. A trailing part frame is left
    alone. */
void ApplyOutputMode(uint8_t* bytes, uint32_t count, int mode, uint32_t bits, uint32_t channels);

} // namespace tandrel
