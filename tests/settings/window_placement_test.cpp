#include "settings/window_placement.h"

#include <map>
#include <string>

#include "settings/settings_store.h"
#include "settings_test_support.h"

namespace tandrel {
namespace {

const DesktopRect kDesktop{0, 0, 1920, 1080};
const WindowMetrics kMetrics{4, 20, 23};

// Main window default: 830 + 2 * 4 wide, 600 + 2 * 4 + 20 + 23 high, centred on 1920 × 1080.
const WindowPlacement kMainDefault{1920 / 2 - 838 / 2, 1080 / 2 - 651 / 2, 838, 651, false};
// Keyboard window default: 751 + 2 * 4 wide, 238 + 2 * 4 + 23 high.
const WindowPlacement kKeyboardDefault{1920 / 2 - 759 / 2, 1080 / 2 - 269 / 2, 759, 269, false};

using Stored = std::map<std::string, int32_t>;

void Store(const Stored& values)
{
    for (const auto& [name, value] : values)
        ASSERT_TRUE(
            WriteSettingNumber(kSettingTwoAttempts, kProductKey, name.c_str(), uint32_t(value)));
}

void ExpectPlacement(const WindowPlacement& actual, const WindowPlacement& expected,
                     const std::string& label)
{
    EXPECT_EQ(actual.x, expected.x) << label;
    EXPECT_EQ(actual.y, expected.y) << label;
    EXPECT_EQ(actual.width, expected.width) << label;
    EXPECT_EQ(actual.height, expected.height) << label;
    EXPECT_EQ(actual.maximised, expected.maximised) << label;
}

TEST_F(SettingsTest, MainWindowTakesAllFiveValuesOrNone)
{
    struct Case
    {
        const char* label;
        Stored stored;
        bool saved;
        WindowPlacement expected; // maximised starts true, so a default keeps it true
    };
    const Case cases[] = {
        {"all five",
         {{"winX", -8}, {"winY", 12}, {"winWidth", 1000}, {"winHeight", 700}, {"winMax", 0}},
         true,
         {-8, 12, 1000, 700, false}},
        {"maximised",
         {{"winX", 0}, {"winY", 0}, {"winWidth", 838}, {"winHeight", 610}, {"winMax", 5}},
         true,
         {0, 0, 838, 610, true}},
        {"too small",
         {{"winX", 1}, {"winY", 2}, {"winWidth", 500}, {"winHeight", 609}, {"winMax", 0}},
         true,
         {1, 2, 838, 610, false}},
        {"winMax missing",
         {{"winX", 1}, {"winY", 2}, {"winWidth", 900}, {"winHeight", 700}},
         false,
         {kMainDefault.x, kMainDefault.y, 838, 651, true}},
        {"winX missing",
         {{"winY", 2}, {"winWidth", 900}, {"winHeight", 700}, {"winMax", 0}},
         false,
         {kMainDefault.x, kMainDefault.y, 838, 651, true}},
        {"nothing saved", {}, false, {kMainDefault.x, kMainDefault.y, 838, 651, true}},
    };
    for (const Case& c : cases) {
        for (const char* name : {"winX", "winY", "winWidth", "winHeight", "winMax"})
            DeleteSettingValue(kSettingTwoAttempts, kProductKey, name);
        Store(c.stored);
        WindowPlacement placement{-1, -1, -1, -1, true};
        EXPECT_EQ(LoadWindowPlacement(placement, kDesktop, kMetrics), c.saved) << c.label;
        ExpectPlacement(placement, c.expected, c.label);
    }
}

TEST_F(SettingsTest, MainWindowPlacementSurvivesSaveAndLoad)
{
    for (bool maximised : {true, false}) {
        const WindowPlacement saved{-1920, 40, 1280, 1024, maximised};
        ASSERT_TRUE(SaveWindowPlacement(saved));
        bool found = false;
        EXPECT_EQ(ReadSettingNumber(kSettingTwoAttempts, kProductKey, "winMax", &found),
                  maximised ? 1u : 0u);
        WindowPlacement loaded;
        EXPECT_TRUE(LoadWindowPlacement(loaded, kDesktop, kMetrics));
        ExpectPlacement(loaded, saved, maximised ? "maximised" : "normal");
    }
}

TEST_F(SettingsTest, KeyboardWindowKeepsItsCornerOnTheDesktop)
{
    struct Case
    {
        const char* label;
        DesktopRect desktop;
        Stored stored;
        bool saved;
        WindowPlacement expected;
    };
    const auto all = [](int32_t x, int32_t y, int32_t w, int32_t h) {
        return Stored{{"KBwinX", x}, {"KBwinY", y}, {"KBwinWidth", w}, {"KBwinHeight", h}};
    };
    const WindowPlacement fallback = kKeyboardDefault;
    const Case cases[] = {
        {"inside", kDesktop, all(100, 200, 400, 150), true, {100, 200, 400, 150, false}},
        {"at the origin, 1 x 1", kDesktop, all(0, 0, 1, 1), true, {0, 0, 1, 1, false}},
        {"last pixel", kDesktop, all(1919, 1079, 400, 150), true, {1919, 1079, 400, 150, false}},
        {"x negative", kDesktop, all(-1, 200, 400, 150), false, fallback},
        {"y negative", kDesktop, all(100, -5, 400, 150), false, fallback},
        {"x past the right", kDesktop, all(1920, 200, 400, 150), false, fallback},
        {"y past the bottom", kDesktop, all(100, 1080, 400, 150), false, fallback},
        {"no width", kDesktop, all(100, 200, 0, 150), false, fallback},
        {"no height", kDesktop, all(100, 200, 400, 0), false, fallback},
        {"height missing",
         kDesktop,
         {{"KBwinX", 1}, {"KBwinY", 1}, {"KBwinWidth", 400}},
         false,
         fallback},
        {"desktop with an origin",
         {100, 30, 1380, 830},
         all(50, 200, 400, 150),
         false,
         {100 + 1280 / 2 - 759 / 2, 30 + 800 / 2 - 269 / 2, 759, 269, false}},
    };
    for (const Case& c : cases) {
        for (const char* name : {"KBwinX", "KBwinY", "KBwinWidth", "KBwinHeight"})
            DeleteSettingValue(kSettingTwoAttempts, kProductKey, name);
        Store(c.stored);
        WindowPlacement placement{-1, -1, -1, -1, false};
        EXPECT_EQ(LoadKeyboardWindowPlacement(placement, c.desktop, kMetrics), c.saved) << c.label;
        ExpectPlacement(placement, c.expected, c.label);
    }

    ASSERT_TRUE(SaveKeyboardWindowPlacement({30, 40, 500, 200, true}));
    WindowPlacement loaded;
    EXPECT_TRUE(LoadKeyboardWindowPlacement(loaded, kDesktop, kMetrics));
    ExpectPlacement(loaded, {30, 40, 500, 200, false}, "saved");
}

} // namespace
} // namespace tandrel
