// The shared progress window: sharing by kind, the percentage shown, and who may cancel.
#include <gtest/gtest.h>

#include "base/progress.h"
#include "base/scripted_progress.h"

namespace tandrel {
namespace {

TEST(Progress, OverallPercentSplitsTheBarBetweenSteps)
{
    struct Case { int step, steps, percent, overall; };
    const Case cases[] = {
        {1, 3, 50, 49}, {0, 1, 100, 100}, {0, 1, 150, 100}, {0, 1, -5, 0},
        {2, 3, 100, 99}, {3, 3, 0, 100}, {0, 4, 99, 24}, {0, 0, 50, 50},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OverallPercent(c.step, c.steps, c.percent), c.overall)
            << c.step << "/" << c.steps << " at " << c.percent;
}

TEST(Progress, ShowsOnlyRisingPercentagesOfTheCurrentStep)
{
    ScriptedProgressViews views;
    ProgressWindow* progress = AcquireProgress(kProgressForeground);
    ASSERT_TRUE(OpenProgress(progress, 3, false));
    EXPECT_TRUE(ProgressText(progress, "Copying take.kdw..."));
    EXPECT_TRUE(ProgressPercent(progress, 60));
    EXPECT_TRUE(ProgressPercent(progress, 30)); // lower: nothing happens
    EXPECT_TRUE(ProgressNextStep(progress));
    EXPECT_TRUE(ProgressPercent(progress, 50));
    EXPECT_TRUE(ProgressNextStep(progress));
    EXPECT_TRUE(ProgressNextStep(progress));
    EXPECT_TRUE(ProgressNextStep(progress)); // never past the last step
    EXPECT_TRUE(ProgressPercent(progress, 0));
    ReleaseProgress(kProgressForeground);
    EXPECT_EQ(views.percents, (std::vector<int>{20, 49, 100}));
    EXPECT_EQ(views.texts, std::vector<std::string>{"Copying take.kdw..."});
    EXPECT_EQ(views.viewsClosed, 1);
}

TEST(Progress, NestedOperationsShareOneWindowUntilBothRelease)
{
    ScriptedProgressViews views;
    ProgressWindow* outer = AcquireProgress(kProgressForeground);
    ASSERT_TRUE(OpenProgress(outer, 1, true));
    ProgressWindow* inner = AcquireProgress(3); // 3 is the foreground kind too
    EXPECT_EQ(inner, outer);
    ASSERT_TRUE(OpenProgress(inner, 2, true));
    EXPECT_EQ(views.viewsMade, 1);
    ReleaseProgress(kProgressForeground);
    EXPECT_EQ(views.viewsClosed, 0);
    EXPECT_TRUE(ProgressPercent(outer, 10));
    ReleaseProgress(3);
    EXPECT_EQ(views.viewsClosed, 1);

    ProgressWindow* background = AcquireProgress(kProgressBackground);
    EXPECT_NE(background, nullptr);
    EXPECT_NE(background, AcquireProgress(kProgressForeground));
    ReleaseProgress(kProgressForeground);
    ReleaseProgress(kProgressBackground);
    EXPECT_EQ(AcquireProgress(7), nullptr);
}

TEST(Progress, OnlyTheCancellableForegroundWindowCancels)
{
    struct Case { int kind; bool threaded; bool cancels; };
    const Case cases[] = {
        {kProgressForeground, true, true},
        {kProgressForeground, false, false},
        {kProgressBackground, true, false},
        {kProgressSilent, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " threaded " << c.threaded);
        ScriptedProgressViews views;
        views.cancelAtPercent = 40;
        ProgressWindow* progress = AcquireProgress(c.kind);
        ASSERT_TRUE(OpenProgress(progress, 1, c.threaded));
        EXPECT_TRUE(ProgressPercent(progress, 20));
        EXPECT_EQ(ProgressPercent(progress, 40), !c.cancels);
        // Once cancelled, every call that reports says so.
        EXPECT_EQ(ProgressPercent(progress, 50), !c.cancels);
        EXPECT_EQ(ProgressText(progress, "x"), !c.cancels);
        EXPECT_EQ(ProgressNextStep(progress), !c.cancels);
        ReleaseProgress(c.kind);
    }
}

TEST(Progress, ANewWindowForgetsAnEarlierCancel)
{
    {
        ScriptedProgressViews views;
        views.cancelAtPercent = 0;
        ProgressWindow* progress = AcquireProgress(kProgressForeground);
        ASSERT_TRUE(OpenProgress(progress, 1, true));
        EXPECT_FALSE(ProgressPercent(progress, 0));
        ReleaseProgress(kProgressForeground);
    }
    ScriptedProgressViews views;
    ProgressWindow* progress = AcquireProgress(kProgressForeground);
    ASSERT_TRUE(OpenProgress(progress, 1, true));
    EXPECT_TRUE(ProgressPercent(progress, 10));
    ReleaseProgress(kProgressForeground);
}

TEST(Progress, CallsNeedAnOpenWindowAndAStep)
{
    ProgressWindow* progress = AcquireProgress(kProgressForeground);
    EXPECT_FALSE(ProgressText(progress, "too early"));
    EXPECT_FALSE(ProgressPercent(progress, 10));
    EXPECT_FALSE(OpenProgress(progress, 0, false));
    EXPECT_FALSE(ProgressPercent(nullptr, 10));
    ReleaseProgress(kProgressForeground);

    ProgressWindow* silent = AcquireProgress(kProgressSilent);
    EXPECT_TRUE(ProgressText(silent, "quiet"));
    EXPECT_TRUE(ProgressPercent(silent, 10));
}

} // namespace
} // namespace tandrel
