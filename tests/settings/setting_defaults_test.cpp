#include "settings/setting_defaults.h"

#include <string>

#include "settings/settings_store.h"
#include "settings_test_support.h"

namespace tandrel {
namespace {

TEST(SettingDefaults, NumberedFamiliesStopAtTheirLastButton)
{
    for (const char* name :
         {"Cart1", "Cart21", "Deck1", "Deck4", "Cart12Label", "Deck3Pad", "XFade0", "XFade1"})
        EXPECT_NE(FindSetting(name), nullptr) << name;
    for (const char* name : {"Cart0", "Cart22", "Cart01", "Deck5", "Deck5Label", "Cart", "XFade2",
                             "CartLabel", "Cart1Labels", "Cart-1", "NoSuchSetting"})
        EXPECT_EQ(FindSetting(name), nullptr) << name;
}

TEST(SettingDefaults, NoTwoEntriesClaimTheSameName)
{
    // Expand each entry's family and make sure the name finds that entry and not an earlier one.
    for (const SettingDefault& entry : SettingDefaults()) {
        std::string name(entry.name);
        const size_t hash = name.find('#');
        if (hash != std::string::npos) name.replace(hash, 1, std::to_string(entry.lastIndex));
        EXPECT_EQ(FindSetting(name), &entry) << name;
    }
}

TEST_F(SettingsTest, StoredValuesWinOverDefaultsUnlessOutOfRangeOrOfTheWrongType)
{
    struct Case
    {
        const char* name;
        bool asText;
        uint32_t stored;
        uint32_t expected;
    };
    const Case cases[] = {
        {"PlayOption", false, 6, 6},      {"PlayOption", false, 7, 1},
        {"PlayOption", false, 0, 1},      {"DefaultFormat", false, 1, 1},
        {"DefaultFormat", false, 19, 16}, {"DefaultFormat", true, 3, 16},
        {"PodcastLevel", false, 4, 0},    {"PodcastLevel", false, 2, 2},
        {"UserFlags", false, 0, 0},       {"EZExportFormat", false, 2, 2},
        {"NotInTheTable", false, 9, 9},
    };
    for (const Case& c : cases) {
        if (c.asText)
            ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, c.name,
                                         std::to_string(c.stored).c_str()));
        else
            ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, c.name, c.stored));
        EXPECT_EQ(ReadNumberSetting(c.name), c.expected) << c.name << " " << c.stored;
    }
    EXPECT_EQ(ReadNumberSetting("UseWinDefaultAudio"), 0u);
    EXPECT_EQ(ReadNumberSetting("NeverWritten"), 0u);
}

TEST_F(SettingsTest, TextsFallBackToTheirDefaultWhenMissingOrTooLongForTheirBuffer)
{
    EXPECT_EQ(ReadTextSetting("DefaultFileName"), "Untitled");
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "DefaultFileName", "Show"));
    EXPECT_EQ(ReadTextSetting("DefaultFileName"), "Show");
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "DefaultFileName",
                                 std::string(64, 'n').c_str()));
    EXPECT_EQ(ReadTextSetting("DefaultFileName"), "Untitled");
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "Cart2Label",
                                 std::string(127, 'l').c_str()));
    EXPECT_EQ(ReadTextSetting("Cart2Label"), std::string(127, 'l'));
    EXPECT_EQ(ReadTextSetting("Cart3Label"), "");
}

} // namespace
} // namespace tandrel
