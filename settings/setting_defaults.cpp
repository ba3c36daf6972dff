#include "settings/setting_defaults.h"

#include <array>

#include "settings/settings_store.h"

namespace tandrel {

namespace {

constexpr SettingDefault Number(std::string_view name, int32_t value, int32_t minimum = 1,
                                int32_t maximum = 0)
{
    return {name, SettingType::Number, true, value, {}, 0, minimum, maximum, 0, -1};
}

constexpr SettingDefault NumberUnset(std::string_view name)
{
    return {name, SettingType::Number, false, 0, {}, 0, 1, 0, 0, -1};
}

constexpr SettingDefault Text(std::string_view name, size_t bufferSize, std::string_view value)
{
    return {name, SettingType::Text, true, 0, value, bufferSize, 1, 0, 0, -1};
}

constexpr SettingDefault TextUnset(std::string_view name, size_t bufferSize)
{
    return {name, SettingType::Text, false, 0, {}, bufferSize, 1, 0, 0, -1};
}

constexpr SettingDefault Family(SettingDefault entry, int32_t first, int32_t last)
{
    entry.firstIndex = first;
    entry.lastIndex = last;
    return entry;
}

constexpr int32_t kCarts = 21;
constexpr int32_t kDecks = 4;

// Defaults the owners of the players did not fix are chosen to be neutral: faders at 100 are
// unity gain for the players and the record mix, crossfaders at 50 keep both decks of a pair
// audible, the player options are off.
constexpr auto kTable = std::to_array<SettingDefault>({
    // Settings store and window placement.
    Number("Version 2.0", 0),
    NumberUnset("winX"),
    NumberUnset("winY"),
    NumberUnset("winWidth"),
    NumberUnset("winHeight"),
    NumberUnset("winMax"),
    NumberUnset("KBwinX"),
    NumberUnset("KBwinY"),
    NumberUnset("KBwinWidth"),
    NumberUnset("KBwinHeight"),
    // Start-up, Edits and storage.
    Number("PlayOption", 1, 1, 6),
    TextUnset("LastOpenFile", kSettingPathSize),
    Text("DefaultFileName", kSettingNameSize, "Untitled"),
    TextUnset("FilesLocation", kSettingPathSize), // documents folder + "/Tandrel", see storage.h
    Number("UserFlags", 0x170001),
    TextUnset("LastImportFolder", kSettingPathSize),
    TextUnset("LastExportFolder", kSettingPathSize),
    // Audio devices.
    Number("DefaultFormat", 16, 1, 18),
    Text("AudioBackend", kSettingPathSize, ""), // "", "null", "portaudio" or "file:in=...,out=..."
    TextUnset("DSPlayDevice", kSettingNameSize),
    TextUnset("DSCaptureDevice", kSettingNameSize),
    NumberUnset("UseDirectSound"), // written only
    Number("UseWinDefaultAudio", 0),
    Number("DontShowDirectXWarning", 0),
    Number("Ignore WMF Warning", 0),
    Number("NoRecordLimit", 0),
    Number("RollbackLong", 0),
    Number("EnableTranscription", 0),
    // The transcription keys: X key names that typing leaves alone (F7 is many word
    // processors' spelling check, so the back key is F8).
    Text("TranscriptionPlayKey", kSettingNameSize, "F9"),
    Text("TranscriptionBackKey", kSettingNameSize, "F8"),
    Number("TranscriptionBackSeconds", 3, 1, 60),
    Number("EditNewFile", 0),
    // EZ-Export.
    Number("EZExportEnabled", 0),
    Number("EZExportFormat", -1),
    Number("EZExportOption", 1),
    TextUnset("EZExportDestination", kSettingPathSize),
    // Players and mixing.
    Number("ProMode", 0),
    Number("CartEditNoTell", 0),
    Number("DisableSoftwareMix", 0),
    Number("HighQualityConvert", 0),
    Number("DynamicRangeMult", 50, 1, 200),
    Number("CartFader", 100),
    Number("DeckFader", 100),
    Number("RecordFader", 100),
    Number("MonitorFader", 100),
    Family(Number("XFade#", 50), 0, 1),
    Number("XFadeAB", 50), // names of an older release, read once by the players
    Number("XFadeCD", 50),
    Family(TextUnset("Cart#", kSettingPathSize), 1, kCarts),
    Family(TextUnset("Deck#", kSettingPathSize), 1, kDecks),
    Family(Number("Cart#Mode", 0), 1, kCarts),
    Family(Number("Cart#Start", 0), 1, kCarts),
    Family(Number("Cart#Stop", 0), 1, kCarts), // a stop of 0 plays to the end
    Family(Number("Cart#Pad", 0), 1, kCarts),
    Family(Number("Deck#Mode", 0), 1, kDecks),
    Family(Number("Deck#Start", 0), 1, kDecks),
    Family(Number("Deck#Stop", 0), 1, kDecks),
    Family(Number("Deck#Pad", 0), 1, kDecks),
    Family(TextUnset("Cart#Label", kSettingLabelSize), 1, kCarts),
    Family(TextUnset("Deck#Label", kSettingLabelSize), 1, kDecks),
    // Automatic gain control and DC offset.
    Number("AGCEnable", 0),
    Number("AGCMicOnly", 1),
    Number("AGCPeakL", -1),
    Number("AGCPeakR", -1),
    Number("AGCSensitivityL", -42),
    Number("AGCSensitivityR", -42),
    Number("AGCHoldL", 3000),
    Number("AGCHoldR", 3000),
    Number("DCOffsetL", 0),
    Number("DCOffsetR", 0),
    Text("AGCResponseL", kSettingNameSize, "0.3"),
    Text("AGCResponseR", kSettingNameSize, "0.3"),
    Text("AGCReleaseL", kSettingNameSize, "0.9"),
    Text("AGCReleaseR", kSettingNameSize, "0.9"),
    // The gain process; its default depends on the current format, so its owner decides.
    NumberUnset("GainAdjustLSDW"),
    NumberUnset("GainAdjustMSDW"),
    // Publishing.
    TextUnset("PodcastProfile", kSettingPathSize),
    TextUnset("Author", 256),
    TextUnset("Album", 256),
    TextUnset("ItemAuthor", 256),
    Number("MatchEnclosureURL", 0),
    Number("MaxItemAge", 180), // its owner reads values below 1 as 1
    Number("HighBitrateIndex", 8),
    Number("LowBitrateIndex", 11),
    Number("PodcastLevel", 0, 1, 3),
    Number("EnableMP3", 0),
    TextUnset("LastImageImportFolder", kSettingPathSize),
    // Mixer binding.
    NumberUnset("RecordSourceLineID"),
    NumberUnset("MicSourceLineID"),
    NumberUnset("PlayerSourceLineID"),
    Number("UncouplePlayers", 0),
    Number("UncoupleRecord", 0),
    Number("UncoupleMicMonitor", 0),
    Number("UncoupleMaster", 0),
});

// Matches `name` against `pattern`, where one '#' stands for a decimal number without a
// leading zero in [first, last].
bool Matches(std::string_view pattern, int32_t first, int32_t last, std::string_view name)
{
    const size_t hash = pattern.find('#');
    if (hash == std::string_view::npos) return pattern == name;
    const std::string_view head = pattern.substr(0, hash), tail = pattern.substr(hash + 1);
    if (name.size() <= head.size() + tail.size()) return false;
    if (!name.starts_with(head) || !name.ends_with(tail)) return false;
    const std::string_view digits =
        name.substr(head.size(), name.size() - head.size() - tail.size());
    if (digits.size() > 3 || (digits.size() > 1 && digits[0] == '0')) return false;
    int32_t number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    return number >= first && number <= last;
}

} // namespace

std::span<const SettingDefault> SettingDefaults()
{
    return kTable;
}

const SettingDefault* FindSetting(std::string_view name)
{
    for (const SettingDefault& entry : kTable)
        if (Matches(entry.name, entry.firstIndex, entry.lastIndex, name)) return &entry;
    return nullptr;
}

uint32_t SettingDefaultNumber(std::string_view name)
{
    const SettingDefault* entry = FindSetting(name);
    if (!entry || entry->type != SettingType::Number || !entry->hasDefault) return 0;
    return uint32_t(entry->number);
}

std::string SettingDefaultText(std::string_view name)
{
    const SettingDefault* entry = FindSetting(name);
    if (!entry || entry->type != SettingType::Text || !entry->hasDefault) return {};
    return std::string(entry->text);
}

uint32_t ReadNumberSetting(std::string_view name)
{
    bool found = false;
    const uint32_t value =
        ReadSettingNumber(kSettingTwoAttempts, kProductKey, std::string(name).c_str(), &found);
    if (!found) return SettingDefaultNumber(name);
    const SettingDefault* entry = FindSetting(name);
    if (entry && entry->minimum <= entry->maximum &&
        (int32_t(value) < entry->minimum || int32_t(value) > entry->maximum))
        return SettingDefaultNumber(name);
    return value;
}

std::string ReadTextSetting(std::string_view name)
{
    const SettingDefault* entry = FindSetting(name);
    const size_t size = entry && entry->bufferSize ? entry->bufferSize : kSettingPathSize;
    std::string text;
    if (ReadSettingText(kSettingTwoAttempts, kProductKey, std::string(name).c_str(), text, size))
        return text;
    return SettingDefaultText(name);
}

} // namespace tandrel
