#include "settings/settings_upgrade.h"

#include <string>

#include "settings/settings_store.h"
#include "settings_test_support.h"

namespace tandrel {
namespace {

// Some of the device and mixer values an older release left behind: the first, the last and
// one of each kind between.
const char* const kObsolete[] = {"DSCaptureDevice", "WavePlayDevice", "IgnoreMixerWarning",
                                 "MicSourceLineName", "RecordSourceLineID"};
const char* const kCrossfaders[] = {"XFade0", "XFadeAB", "XFade1", "XFadeCD"};
// Values the step must leave alone, among them names close to the deleted ones.
const char* const kKept[] = {"UserFlags",     "DeckFader", "CartFader",    "MonitorFader",
                             "DSPlayDevice2", "MicFaders", "DefaultFormat"};

bool IsStored(const char* name)
{
    bool found = false;
    std::string text;
    ReadSettingNumber(kSettingTwoAttempts, kProductKey, name, &found);
    return found || ReadSettingText(kSettingTwoAttempts, kProductKey, name, text, 1 << 16);
}

uint32_t Version(bool& found)
{
    return ReadSettingNumber(kSettingTwoAttempts, kProductKey, "Version 2.0", &found);
}

// Stores every obsolete, crossfader and kept value, alternating numbers and texts.
void StoreAll()
{
    int i = 0;
    auto store = [&i](const char* name) {
        if (i++ % 2)
            ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, name, 7));
        else
            ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, name, "{guid}"));
    };
    for (const char* name : kObsolete)
        store(name);
    for (const char* name : kCrossfaders)
        store(name);
    for (const char* name : kKept)
        store(name);
}

TEST_F(SettingsTest, UpgradeRunsWhenTheVersionIsMissingZeroOrNotANumber)
{
    struct Case
    {
        const char* label;
        void (*prepare)();
    };
    const Case cases[] = {
        {"missing", [] {}},
        {"zero", [] { WriteSettingNumber(kSettingTwoAttempts, kProductKey, "Version 2.0", 0); }},
        {"text", [] { WriteSettingText(kSettingTwoAttempts, kProductKey, "Version 2.0", "1"); }},
    };
    for (const Case& c : cases) {
        DeleteSettingValue(kSettingTwoAttempts, kProductKey, "Version 2.0");
        StoreAll();
        c.prepare();
        EXPECT_TRUE(UpgradeSettings()) << c.label;
        for (const char* name : kObsolete)
            EXPECT_FALSE(IsStored(name)) << c.label << " " << name;
        for (const char* name : kCrossfaders)
            EXPECT_FALSE(IsStored(name)) << c.label << " " << name;
        for (const char* name : kKept)
            EXPECT_TRUE(IsStored(name)) << c.label << " " << name;
        bool found = false;
        EXPECT_EQ(Version(found), 1u) << c.label;
        EXPECT_TRUE(found) << c.label;
    }
}

TEST_F(SettingsTest, UpgradeDoesNothingOnceTheVersionIsSet)
{
    StoreAll();
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "Version 2.0", 1));
    EXPECT_FALSE(UpgradeSettings());
    for (const char* name : kObsolete)
        EXPECT_TRUE(IsStored(name)) << name;
    for (const char* name : kCrossfaders)
        EXPECT_TRUE(IsStored(name)) << name;
}

TEST_F(SettingsTest, UpgradeCarriesOlderCartAndDeckNamesOverWithoutOverwriting)
{
    auto text = [](const char* name, const char* value) {
        ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, name, value));
    };
    text("CartHotKey3", "/carts/jingle.kdw");
    text("CartHotKey3Label", "Jingle");
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "CartHotKey21Pad", 6));
    text("CartDeckB", "/decks/bed.wav");
    text("CartDeckD", "/decks/old.wav");
    text("Deck4", "/decks/current.wav"); // already set: the older value must not replace it

    ASSERT_TRUE(UpgradeSettings());

    struct Case
    {
        const char* name;
        const char* text; // null: a number
        uint32_t number;
    };
    const Case cases[] = {
        {"Cart3", "/carts/jingle.kdw", 0},  {"Cart3Label", "Jingle", 0},
        {"Cart21Pad", nullptr, 6},          {"Deck2", "/decks/bed.wav", 0},
        {"Deck4", "/decks/current.wav", 0},
    };
    for (const Case& c : cases) {
        if (c.text) {
            std::string value;
            EXPECT_TRUE(ReadSettingText(kSettingTwoAttempts, kProductKey, c.name, value, 260))
                << c.name;
            EXPECT_EQ(value, c.text) << c.name;
        } else {
            bool found = false;
            EXPECT_EQ(ReadSettingNumber(kSettingTwoAttempts, kProductKey, c.name, &found),
                      c.number);
            EXPECT_TRUE(found) << c.name;
        }
    }
    for (const char* old :
         {"CartHotKey3", "CartHotKey3Label", "CartHotKey21Pad", "CartDeckB", "CartDeckD"})
        EXPECT_FALSE(IsStored(old)) << old;
}

} // namespace
} // namespace tandrel
