// Automatic gain control: how the gain rises, falls and holds, which channels it touches, and
// the DC offset it tracks and keeps. Signals are made here; the expected gains follow the
// levelling rules window by window.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "audio/gain_control.h"
#include "settings/setting_defaults.h"
#include "settings/settings_store.h"

namespace tandrel {
namespace {

constexpr uint32_t kRate = 44100, kWindow = kRate / 20;
constexpr float kTarget = 29205; // -1 dB: 32768 * 0.891251 = 29204.9, rounded after adding 0.5

// A tone of period 100 samples: every 50 ms window holds a sample at exactly +amplitude.
int16_t Tone(int32_t amplitude, uint32_t i)
{
    return int16_t(std::lround(amplitude * std::sin(2 * M_PI * (i % 100) / 100.0)));
}

// Runs `windows` windows of `signal` through `channel`; returns the last output.
int16_t Feed(AgcChannel& channel, int32_t& dc, uint32_t windows,
             const std::function<int16_t(uint32_t)>& signal)
{
    int16_t out = 0;
    for (uint32_t i = 0; i < windows * kWindow; ++i)
        out = channel.Process(signal(i), dc, false);
    return out;
}

TEST(AgcChannel, RisesFastThenByFivePercentAndFallsAfterTheHold)
{
    const uint32_t kCases[][2] = {{3277 /* -20 dB */, 3000}, {9000, 1000}, {1000, 0}};
    for (const auto& [amplitude, holdMs] : kCases) {
        SCOPED_TRACE(testing::Message() << amplitude << " " << holdMs);
        AgcChannel channel;
        channel.Setup(true, kRate, AgcSide{.holdMs = holdMs});
        int32_t dc = 0;
        const float aim = kTarget / amplitude * 0.95f;
        float expected = 1.0f + (aim - 1.0f) * 0.3f;
        for (int window = 0; window < 20; ++window) {
            Feed(channel, dc, 1, [&](uint32_t i) { return Tone(amplitude, i); });
            ASSERT_NEAR(channel.Gain(), expected, 1e-4) << "loud window " << window;
            expected += (aim - expected) * 0.05f;
        }
        expected = channel.Gain();
        for (uint32_t quiet = 1; quiet <= holdMs / 50 + 40; ++quiet) {
            Feed(channel, dc, 1, [](uint32_t i) { return int16_t(i % 2 ? 200 : -200); });
            if (quiet >= holdMs / 50) expected = std::max(expected * 0.9f, 1.0f);
            ASSERT_NEAR(channel.Gain(), expected, 1e-5) << "quiet window " << quiet;
        }
        EXPECT_EQ(channel.Gain(), 1.0f);
        EXPECT_EQ(dc, 0); // no window was both still and off centre
    }
}

TEST(AgcChannel, OneLoudSamplePullsTheGainAtOnceUnlessFrozen)
{
    struct Case
    {
        uint32_t loudWindows; // of a -20 dB tone, to raise the gain first
        int16_t sample;
        bool frozen;
        int16_t expected; // 0: pulled to 95 % of the target
    };
    const Case cases[] = {{0, 32000, false, 0},     {0, -32768, false, 0},
                          {10, 20000, false, 0},    {10, -12000, false, 0},
                          {10, 20000, true, 32767}, {10, -20000, true, -32768}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sample << (c.frozen ? " frozen" : ""));
        AgcChannel channel;
        channel.Setup(true, kRate, AgcSide{});
        int32_t dc = 0;
        Feed(channel, dc, c.loudWindows, [](uint32_t i) { return Tone(3277, i); });
        const float before = channel.Gain();
        const int16_t out = channel.Process(c.sample, dc, c.frozen);
        if (c.frozen) {
            EXPECT_EQ(out, c.expected); // saturated, not wrapped
            EXPECT_EQ(channel.Gain(), before);
        } else {
            EXPECT_NEAR(channel.Gain(), kTarget / std::abs(c.sample) * 0.95f, 1e-5);
            EXPECT_NEAR(std::abs(out), kTarget * 0.95f, 1.0f);
        }
    }
}

class AgcEngine : public ::testing::Test // each test with an empty settings file of its own
{
  protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tandrel-agc-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(home_); }
    static void Store(const char* name, int32_t value)
    {
        ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, name, uint32_t(value)));
    }
    std::string home_;
};

TEST_F(AgcEngine, ModesChooseChannelsAndPlacementAndEightBitIsRefused)
{
    using enum AgcPlacement;
    struct Case
    {
        uint32_t mode, micOnly, channels, bits;
        bool accepted, left, right; // which channels lose their DC offset
        AgcPlacement withMix;       // without the software mix it is always before
    };
    const Case cases[] = {
        {0, 1, 2, 16, true, false, false, Off},        {1, 0, 2, 16, true, true, true, AfterMix},
        {2, 1, 2, 16, true, true, false, BeforeMix},   {3, 0, 2, 16, true, false, true, AfterMix},
        {1, 1, 1, 16, true, true, true, BeforeMix},    {3, 1, 1, 16, true, false, false, BeforeMix},
        {1, 1, 2, 8, false, false, false, BeforeMix},  {1, 1, 1, 8, false, false, false, BeforeMix},
        {1, 1, 3, 16, false, false, false, BeforeMix},
    };
    Store("DCOffsetL", 100);
    Store("DCOffsetR", -50);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << "/" << c.channels << "/" << c.bits);
        Store("AGCEnable", int32_t(c.mode));
        Store("AGCMicOnly", int32_t(c.micOnly));
        AgcLoadSettings();
        EXPECT_EQ(AgcPlacementFor(true), c.withMix);
        EXPECT_EQ(AgcPlacementFor(false), c.mode ? BeforeMix : Off);
        EXPECT_EQ(AgcInit(kRate, c.channels, c.bits), c.accepted);
        int16_t block[6] = {10, 20, 30, 40, 50, 60};
        AgcProcess(block, sizeof block);
        for (int i = 0; i < 6; ++i) {
            const bool left = c.channels == 1 || i % 2 == 0;
            const int16_t offset = (left ? c.left : c.right) ? (left ? 100 : -50) : 0;
            EXPECT_EQ(block[i], 10 * (i + 1) - offset) << "sample " << i;
        }
    }
}

TEST_F(AgcEngine, StillWindowsTrackTheDcOffsetWhichIsRemovedAndKept)
{
    Store("AGCEnable", 1);
    AgcLoadSettings();
    ASSERT_TRUE(AgcInit(kRate, 2, 16));
    // Left sits at 240 with a ripple that averages 0; right at -180. Both stay below -42 dB.
    int16_t block[2 * kWindow];
    int32_t expected[2] = {0, 0};
    for (int window = 0; window < 60; ++window) {
        for (uint32_t f = 0; f < kWindow; ++f) {
            block[2 * f] = int16_t(240 + (f % 3 == 0 ? 20 : -10));
            block[2 * f + 1] = -180;
        }
        AgcProcess(block, sizeof block);
        for (int c = 0; c < 2; ++c) {
            expected[c] =
                int32_t(std::trunc(expected[c] + ((c ? -180 : 240) - expected[c]) * 0.05));
            ASSERT_EQ(AgcDcOffset(c), expected[c]) << "window " << window;
        }
    }
    ASSERT_TRUE(AgcSaveDcOffsets());

    // A fresh start takes the kept offsets and removes them from the first sample.
    Store("DCOffsetL", -300);
    AgcLoadSettings();
    ASSERT_TRUE(AgcInit(kRate, 2, 16));
    int16_t frame[2] = {0, 0};
    AgcProcess(frame, sizeof frame);
    EXPECT_EQ(frame[0], 300);
    EXPECT_EQ(frame[1], -expected[1]);
}

TEST_F(AgcEngine, SettingsAndDialogValues)
{
    const std::pair<const char*, float> kFactors[] = {
        {"0.55", 0.55f}, {" 0.2x", 0.2f}, {"abc", 0.3f}, {"1.7", 1.0f}, {"-2", 0.0f}};
    for (const auto& [text, response] : kFactors) {
        ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "AGCResponseR", text));
        EXPECT_EQ(ReadAgcSettings().side[1].response, response) << text;
    }
    for (int32_t p = 0; p <= 90; ++p) {
        EXPECT_EQ(AgcResponsePosition(AgcResponseFromPosition(p)), p);
        EXPECT_EQ(AgcReleasePosition(AgcReleaseFromPosition(p)), p);
    }
    const uint32_t kChoices[][2] = {{1, 25}, {39, 25}, {40, 50}, {69, 50}, {70, 100}, {200, 100}};
    for (const auto& c : kChoices)
        EXPECT_EQ(DynamicRangeChoice(c[0]), c[1]) << c[0];
}

} // namespace
} // namespace tandrel
