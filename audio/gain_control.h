#pragma once
#include <cstdint>

namespace tandrel {

// Automatic gain control (AGC) of the recorded voice, with DC-offset removal. It raises soft
// input toward a target peak, pulls the gain down on the very sample that would exceed the
// target, lets a raised gain fall back to unity after a stretch of silence, and subtracts a
// slowly tracked DC offset. 16-bit PCM only, per channel. Everything here runs on the UI
// thread, inside the polled recording path and the input monitor.

/** The settings of one side (left or right) of the AGC. */
struct AgcSide
{
    int32_t sensitivityDb = -42; // a 50 ms window whose peak stays at or below this is quiet
    int32_t peakDb = -1;         // target peak
    uint32_t holdMs = 3000;      // quiet time before a raised gain starts to fall
    float response = 0.3f;       // share of the gap closed by the first loud window after quiet
    float release = 0.9f;        // gain multiplier per quiet window while falling
};

/** The AGC settings: "AGCEnable", "AGCMicOnly" and the L/R values. */
struct AgcSettings
{
    uint32_t mode = 0;   // 0 off; 1 both channels; 2 left only; 3 right only
    bool micOnly = true; // run on the captured input, before the carts and decks are mixed in
    AgcSide side[2];     // left, right
};

/** Reads the AGC settings, each missing or unreadable value as its default. A response or
    release text that is not a number reads as its default; both are held to 0..1, since a
    factor above 1 would let the gain run away. Any thread. */
AgcSettings ReadAgcSettings();

/** Stores the AGC settings (not the DC offsets); AgcLoadSettings then puts them in force.
    False when a value could not be written. Any thread. */
bool WriteAgcSettings(const AgcSettings& settings);
/** Turns the AGC on (both channels) when it is off and off when it is on, stores the choice
    and sets the channels up again for the given format. False when it could not be stored.
    UI thread. */
bool AgcToggle(uint32_t rate, uint32_t channels, uint32_t bits);
/** Loads the AGC settings and the DC offset estimates ("DCOffsetL", "DCOffsetR") into the
    program-wide records, at start-up and after the active user is applied; AgcInit then
    configures the channels. UI thread. */
void AgcLoadSettings();

/** The settings loaded last. UI thread. */
const AgcSettings& TheAgcSettings();

/** The AGC is on: "AGCEnable" was not 0 at the last load. UI thread. */
bool AgcActive();

/** Where the recorder and the input monitor run AgcProcess. */
enum class AgcPlacement : uint8_t
{
    Off,       // not at all
    BeforeMix, // on the captured regions, before the mono fold and the software mix
    AfterMix   // on the mixed block
};

/** The placement for the current settings: off when the AGC is off; after the mix only when
    "AGCMicOnly" is 0 and the software mix is on. Without the software mix the captured input
    is the whole recording, so the AGC then runs on it. UI thread. */
AgcPlacement AgcPlacementFor(bool softwareMix);

/** Sets up both channels for the format being captured, with the loaded settings. The gain
    and window state carry on when the channels already run this rate and channel count and
    no settings were loaded since; otherwise they start over. False (and AgcProcess does
    nothing until the next successful call) unless rate >= 1, channels is 1 or 2 and bits
    is 16. UI thread. */
bool AgcInit(uint32_t rate, uint32_t channels, uint32_t bits);

/** Levels and DC-corrects a block of 16-bit interleaved samples in place: sample i runs
    channel i mod channels. Fewer than 2 bytes, or no successful AgcInit: nothing. Allocates
    nothing and takes no locks. UI thread. */
void AgcProcess(void* samples, uint32_t byteCount) noexcept;

/** The freeze flag: while set, the gain and the DC offsets hold still (they are still
    applied). UI thread. */
void SetAgcFrozen(bool frozen);
bool AgcFrozen();

/** The current DC offset estimate of channel 0 (left) or 1 (right). UI thread. */
int32_t AgcDcOffset(uint32_t channel);
/** The current gain of channel 0 or 1 (1.0 before AgcInit). UI thread. */
float AgcGain(uint32_t channel);

/** Writes the DC offset estimates to "DCOffsetL" and "DCOffsetR" when they moved since the
    last load or save (the recorder calls it when a recording stops, the shell at shutdown).
    False when they could not be written. UI thread. */
bool AgcSaveDcOffsets();

/** One channel of the AGC. Exposed so the levelling can be driven sample by sample. */
class AgcChannel
{
  public:
    /** Configures the channel for `rate` and starts over: gain 1.0, a fresh window, the quiet
        counter at its limit so that the first loud window uses the fast response. */
    void Setup(bool enabled, uint32_t rate, const AgcSide& side);

    /** Processes one sample against the channel's DC offset estimate `dcOffset` (updated
        here unless `frozen`); returns the sample as it should be recorded. A disabled
        channel returns `s` unchanged. */
    int16_t Process(int16_t s, int32_t& dcOffset, bool frozen) noexcept;

    float Gain() const { return gain_; }
    /** Frames in one 50 ms window (at least 1). */
    uint32_t WindowFrames() const { return window_; }

  private:
    void ResetWindow() noexcept;

    bool enabled_ = false;
    uint32_t window_ = 1;
    uint32_t quietLimit_ = 0;
    uint32_t holdWindows_ = 0;
    int32_t threshold_ = 0;
    int32_t target_ = 32767;
    float response_ = 0.3f;
    float release_ = 0.9f;
    float gain_ = 1.0f;
    uint32_t quiet_ = 0;
    // The window: peak of |s - offset|, and the raw samples' extremes and sum.
    uint32_t frames_ = 0;
    int32_t peak_ = 1;
    int32_t maximum_ = 0;
    int32_t minimum_ = 0;
    int64_t sum_ = 0; // 64 bits: a long freeze keeps adding without closing the window
};

/** Linear amplitude of `db` on the 16-bit scale: 32767 for db >= 0. */
int32_t AgcLinear(int32_t db);

// The AGC dialog's sliders. Positions are integers; values round to the nearest position.
inline constexpr int32_t kAgcSensitivityOffset = 72; // sensitivity position = dB + 72
inline constexpr int32_t kAgcPeakOffset = 12;        // peak position = dB + 12

float AgcResponseFromPosition(int32_t position);
int32_t AgcResponsePosition(float response);
float AgcReleaseFromPosition(int32_t position);
int32_t AgcReleasePosition(float release);
/** The release as the dialog shows it: 1 for the slowest fall, rising by 0.0889 a step. */
double AgcReleaseShown(float release);

/** "DynamicRangeMult": hundredths of a dB per fader step, 1..200 (50 when unset). Any thread. */
uint32_t DynamicRangeMult();
/** The dynamic range dialog's choice for the current value: 25 below 40, 50 below 70,
    otherwise 100. */
uint32_t DynamicRangeChoice(uint32_t current);
/** Stores a choice of the dynamic range dialog; the caller re-applies the cart and deck
    faders at once. False when the setting could not be written. UI thread. */
bool StoreDynamicRangeMult(uint32_t value);

} // namespace tandrel
