#include "settings/settings_upgrade.h"

#include <iterator>
#include <string>

#include "settings/settings_store.h"

namespace tandrel {

namespace {

constexpr const char* kVersionMarker = "Version 2.0";

// Device and mixer values of the older release; missing ones are simply not there.
constexpr const char* kObsoleteValues[] = {
    "DSCaptureDevice",      "DSCaptureDevice2", "DSPlayDevice",
    "WaveCaptureDevice",    "WavePlayDevice",   "EnableSecondRecordDevice",
    "IgnoreMixerWarning",   "LineInFader",      "LineInSourceLineID",
    "LineInSourceLineName", "MicFader",         "MicSourceLineID",
    "MicSourceLineName",    "PlayerFader",      "PlayerSourceLineID",
    "PlayerSourceLineName", "RecordFader",      "RecordSourceLineID",
};

// Deleting them is resetting them: a reader assumes the default of a missing value.
constexpr const char* kCrossfaders[] = {"XFade0", "XFadeAB", "XFade1", "XFadeCD"};

// Carries `from` over to `to` as text or as number, unless `to` is already set, and removes
// `from`. A value of the current name always wins over the older one.
void Rename(const std::string& from, const std::string& to)
{
    std::string text;
    bool found = false;
    const bool toIsText =
        ReadSettingText(kSettingTwoAttempts, kProductKey, to.c_str(), text, 1u << 16);
    ReadSettingNumber(kSettingTwoAttempts, kProductKey, to.c_str(), &found);
    if (!toIsText && !found) {
        if (ReadSettingText(kSettingTwoAttempts, kProductKey, from.c_str(), text, 1u << 16)) {
            if (!WriteSettingText(kSettingTwoAttempts, kProductKey, to.c_str(), text.c_str()))
                return; // keep the older value rather than lose it
        } else {
            const uint32_t number =
                ReadSettingNumber(kSettingTwoAttempts, kProductKey, from.c_str(), &found);
            if (!found) return;
            if (!WriteSettingNumber(kSettingTwoAttempts, kProductKey, to.c_str(), number)) return;
        }
    }
    DeleteSettingValue(kSettingTwoAttempts, kProductKey, from.c_str());
}

void RenameButton(const std::string& from, const std::string& to)
{
    for (const char* form : {"", "Label", "Pad"})
        Rename(from + form, to + form);
}

} // namespace

bool UpgradeSettings()
{
    if (ReadSettingNumber(kSettingTwoAttempts, kProductKey, kVersionMarker) != 0) return false;
    DeleteSettingValues(kSettingTwoAttempts, kProductKey, kObsoleteValues,
                        std::size(kObsoleteValues));
    for (int deck = 0; deck < 4; ++deck)
        RenameButton(std::string("CartDeck") + char('A' + deck), "Deck" + std::to_string(deck + 1));
    for (int cart = 1; cart <= 21; ++cart)
        RenameButton("CartHotKey" + std::to_string(cart), "Cart" + std::to_string(cart));
    DeleteSettingValues(kSettingTwoAttempts, kProductKey, kCrossfaders, std::size(kCrossfaders));
    WriteSettingNumber(kSettingTwoAttempts, kProductKey, kVersionMarker, 1);
    return true;
}

} // namespace tandrel
