#include "audio/gain_control.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "settings/setting_defaults.h"
#include "settings/settings_store.h"

namespace tandrel {

namespace {

struct AgcEngine
{
    bool ready = false; // a format AgcInit accepted
    bool settingsLoaded = false; // settings came in after the channels were set up
    uint32_t rate = 0;
    uint32_t channels = 0;
    AgcChannel channel[2];
};

AgcSettings gSettings;
AgcEngine gEngine;
bool gActive = false;
bool gFrozen = false;
int32_t gDcOffset[2] = {0, 0};
int32_t gSavedDcOffset[2] = {0, 0}; // as last loaded or written

// A decimal number at the start of `text` (leading blanks skipped), or false.
bool ParseDecimal(const std::string& text, double& value)
{
    const char* first = text.c_str();
    while (*first == ' ' || *first == '\t')
        ++first;
    const auto [end, error] = std::from_chars(first, text.c_str() + text.size(), value);
    return error == std::errc() && end != first && std::isfinite(value);
}

float ReadFactor(const char* name)
{
    double value = 0;
    if (!ParseDecimal(ReadTextSetting(name), value)) ParseDecimal(SettingDefaultText(name), value);
    return float(std::clamp(value, 0.0, 1.0));
}

int32_t ClampToSample(int32_t value)
{
    return std::clamp<int32_t>(value, std::numeric_limits<int16_t>::min(),
                               std::numeric_limits<int16_t>::max());
}

} // namespace

int32_t AgcLinear(int32_t db)
{
    if (db >= 0) return 32767;
    return int32_t(std::round(32768.0 * std::pow(10.0, db / 20.0) + 0.5));
}

namespace {

const char* const kSideNames[2][5] = {
    {"AGCSensitivityL", "AGCPeakL", "AGCHoldL", "AGCResponseL", "AGCReleaseL"},
    {"AGCSensitivityR", "AGCPeakR", "AGCHoldR", "AGCResponseR", "AGCReleaseR"},
};

} // namespace

AgcSettings ReadAgcSettings()
{
    AgcSettings settings;
    settings.mode = ReadNumberSetting("AGCEnable");
    settings.micOnly = ReadNumberSetting("AGCMicOnly") != 0;
    for (int c = 0; c < 2; ++c) {
        AgcSide& side = settings.side[c];
        side.sensitivityDb = int32_t(ReadNumberSetting(kSideNames[c][0]));
        side.peakDb = int32_t(ReadNumberSetting(kSideNames[c][1]));
        side.holdMs = ReadNumberSetting(kSideNames[c][2]);
        side.response = ReadFactor(kSideNames[c][3]);
        side.release = ReadFactor(kSideNames[c][4]);
    }
    return settings;
}

bool WriteAgcSettings(const AgcSettings& settings)
{
    auto number = [](const char* name, uint32_t value) {
        return WriteSettingNumber(kSettingTwoAttempts, kProductKey, name, value);
    };
    // The factors are kept as decimal texts; two places are all the sliders can set.
    auto factor = [](const char* name, float value) {
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", double(value));
        return WriteSettingText(kSettingTwoAttempts, kProductKey, name, text);
    };
    bool ok = number("AGCEnable", settings.mode) && number("AGCMicOnly", settings.micOnly ? 1 : 0);
    for (int c = 0; c < 2 && ok; ++c) {
        const AgcSide& side = settings.side[c];
        ok = number(kSideNames[c][0], uint32_t(side.sensitivityDb)) &&
             number(kSideNames[c][1], uint32_t(side.peakDb)) && number(kSideNames[c][2], side.holdMs) &&
             factor(kSideNames[c][3], side.response) && factor(kSideNames[c][4], side.release);
    }
    return ok;
}

bool AgcToggle(uint32_t rate, uint32_t channels, uint32_t bits)
{
    AgcSettings settings = ReadAgcSettings();
    settings.mode = settings.mode == 0 ? 1 : 0;
    if (!WriteSettingNumber(kSettingTwoAttempts, kProductKey, "AGCEnable", settings.mode)) return false;
    AgcLoadSettings();
    AgcInit(rate, channels, bits);
    return true;
}

void AgcLoadSettings()
{
    gSettings = ReadAgcSettings();
    gActive = gSettings.mode != 0;
    gDcOffset[0] = ClampToSample(int32_t(ReadNumberSetting("DCOffsetL")));
    gDcOffset[1] = ClampToSample(int32_t(ReadNumberSetting("DCOffsetR")));
    gSavedDcOffset[0] = gDcOffset[0];
    gSavedDcOffset[1] = gDcOffset[1];
    gEngine.settingsLoaded = true;
}

const AgcSettings& TheAgcSettings()
{
    return gSettings;
}

bool AgcActive()
{
    return gActive;
}

AgcPlacement AgcPlacementFor(bool softwareMix)
{
    if (!gActive) return AgcPlacement::Off;
    return gSettings.micOnly || !softwareMix ? AgcPlacement::BeforeMix : AgcPlacement::AfterMix;
}

bool AgcInit(uint32_t rate, uint32_t channels, uint32_t bits)
{
    if (rate < 1 || (channels != 1 && channels != 2) || bits != 16) {
        gEngine.ready = false;
        return false;
    }
    // The gain the input monitor has settled on carries into the recording that follows.
    if (gEngine.ready && !gEngine.settingsLoaded && gEngine.rate == rate &&
        gEngine.channels == channels)
        return true;
    const uint32_t mode = gSettings.mode;
    gEngine.channel[0].Setup(mode == 1 || mode == 2, rate, gSettings.side[0]);
    gEngine.channel[1].Setup(mode == 1 || mode == 3, rate, gSettings.side[1]);
    gEngine.rate = rate;
    gEngine.channels = channels;
    gEngine.settingsLoaded = false;
    gEngine.ready = true;
    return true;
}

void AgcProcess(void* samples, uint32_t byteCount) noexcept
{
    if (!gEngine.ready || byteCount < 2) return;
    // The capture regions are byte runs; samples are moved with memcpy so alignment never
    // matters.
    uint8_t* bytes = static_cast<uint8_t*>(samples);
    const uint32_t count = byteCount / 2;
    const uint32_t channels = gEngine.channels;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t c = channels == 2 ? i & 1 : 0;
        int16_t s;
        std::memcpy(&s, bytes + 2 * i, 2);
        s = gEngine.channel[c].Process(s, gDcOffset[c], gFrozen);
        std::memcpy(bytes + 2 * i, &s, 2);
    }
}

void SetAgcFrozen(bool frozen)
{
    gFrozen = frozen;
}

bool AgcFrozen()
{
    return gFrozen;
}

int32_t AgcDcOffset(uint32_t channel)
{
    return gDcOffset[channel & 1];
}

float AgcGain(uint32_t channel)
{
    return gEngine.channel[channel & 1].Gain();
}

bool AgcSaveDcOffsets()
{
    if (gDcOffset[0] == gSavedDcOffset[0] && gDcOffset[1] == gSavedDcOffset[1]) return true;
    const SettingNumber values[] = {{"DCOffsetL", uint32_t(gDcOffset[0])},
                                    {"DCOffsetR", uint32_t(gDcOffset[1])}};
    if (!WriteSettingNumbers(kSettingTwoAttempts, kProductKey, values, 2)) return false;
    gSavedDcOffset[0] = gDcOffset[0];
    gSavedDcOffset[1] = gDcOffset[1];
    return true;
}

void AgcChannel::Setup(bool enabled, uint32_t rate, const AgcSide& side)
{
    enabled_ = enabled;
    // A rate below 20 Hz would give an empty window.
    window_ = std::max<uint32_t>(rate / 20, 1);
    quietLimit_ = uint32_t(2 * uint64_t(rate) / window_);
    const double hold = std::trunc(side.holdMs * 0.001 * rate / window_);
    holdWindows_ = uint32_t(std::min(hold, double(std::numeric_limits<uint32_t>::max())));
    threshold_ = AgcLinear(side.sensitivityDb);
    target_ = AgcLinear(side.peakDb);
    response_ = side.response;
    release_ = side.release;
    gain_ = 1.0f;
    quiet_ = quietLimit_;
    ResetWindow();
}

void AgcChannel::ResetWindow() noexcept
{
    frames_ = 0;
    peak_ = 1;
    maximum_ = std::numeric_limits<int32_t>::min();
    minimum_ = std::numeric_limits<int32_t>::max();
    sum_ = 0;
}

int16_t AgcChannel::Process(int16_t s, int32_t& dcOffset, bool frozen) noexcept
{
    if (!enabled_) return s;
    ++frames_;
    maximum_ = std::max<int32_t>(maximum_, s);
    minimum_ = std::min<int32_t>(minimum_, s);
    sum_ += s;
    const int32_t d = s - dcOffset;
    const int32_t a = d < 0 ? -d : d;
    if (!frozen) {
        peak_ = std::max(peak_, a);
        if (a * gain_ > target_) {
            gain_ = float(target_) / float(a) * 0.95f;
            quiet_ = 0;
        } else if (frames_ >= window_) {
            const int32_t mean = int32_t(sum_ / int64_t(frames_));
            // Only a window with little swing tells the offset apart from the signal.
            if ((int64_t(maximum_) - minimum_) / 2 < threshold_)
                dcOffset = int32_t(std::trunc(dcOffset + (mean - dcOffset) * 0.05));
            if (peak_ <= threshold_) {
                if (quiet_ < std::numeric_limits<uint32_t>::max()) ++quiet_;
                if (gain_ > 1.0f && quiet_ >= holdWindows_)
                    gain_ = std::max(gain_ * release_, 1.0f);
            } else {
                const float delta = float(target_) / float(peak_) * 0.95f - gain_;
                // A counter that reached the limit is a long quiet; the counter starts there,
                // so the first loud window after start-up takes the fast response.
                gain_ += delta * (quiet_ >= quietLimit_ ? response_ : 0.05f);
                quiet_ = 0;
            }
            ResetWindow();
        }
    }
    // Saturate: while frozen the gain does not follow the peaks, and a wrapped sample is a click.
    const float out = std::trunc(float(d) * gain_);
    return int16_t(std::clamp(out, -32768.0f, 32767.0f));
}

float AgcResponseFromPosition(int32_t position)
{
    return float(position * 0.01 + 0.1);
}

int32_t AgcResponsePosition(float response)
{
    return int32_t(std::lround((response - 0.1) * 100));
}

float AgcReleaseFromPosition(int32_t position)
{
    return float(0.95 - position * 0.01);
}

int32_t AgcReleasePosition(float release)
{
    return int32_t(std::lround(95 - release * 100.0));
}

double AgcReleaseShown(float release)
{
    return (0.95 - release) * 2.2222222222222223 * 4 + 1;
}

uint32_t DynamicRangeMult()
{
    return ReadNumberSetting("DynamicRangeMult");
}

uint32_t DynamicRangeChoice(uint32_t current)
{
    if (current < 40) return 25;
    if (current < 70) return 50;
    return 100;
}

bool StoreDynamicRangeMult(uint32_t value)
{
    return WriteSettingNumber(kSettingTwoAttempts, kProductKey, "DynamicRangeMult", value);
}

} // namespace tandrel
