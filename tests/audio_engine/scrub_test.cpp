// The scrub keys: how fast a held key plays, when it switches to silent jumps, and how far a
// quick tap moves the cue.
#include <gtest/gtest.h>

#include "engine/scrub.h"

namespace tandrel {
namespace {

using Key = ScrubKeyTracker::Key;

TEST(ScrubFrequency, ChoosesTheRateFromModifiersKeysAndTime)
{
    struct Case { const char* name; bool first, second; int keyboard; bool fine, initialScrub,
        mouse; uint64_t heldMs; int repeats; uint32_t expected; };
    const Case cases[] = {
        {"normal key plays at the Edit's rate", false, false, 0, false, false, false, 900, 0, 44100},
        {"slow key plays at two thirds", false, false, -1, false, false, false, 900, 0, 29400},
        {"slow in fine step is twenty times slower", false, false, -1, true, false, false, 900, 0, 1470},
        {"first modifier is slow whatever the key", true, false, 1, false, false, false, 900, 0, 29400},
        {"second modifier alone is normal", false, true, 1, false, false, false, 900, 0, 44100},
        {"first modifier wins over the second", true, true, 1, false, false, false, 900, 0, 29400},
        {"fast without initial scrub always jumps", false, false, 1, false, false, false, 10, 0, 100001},
        {"fast with initial scrub, fresh press", false, false, 1, false, true, false, 50, 0, 100000},
        {"fast with initial scrub, within its time", false, false, 1, false, true, false, 1000, 0, 100000},
        {"fast with initial scrub, after its time", false, false, 1, false, true, false, 1001, 0, 100001},
        {"after its time but the mouse is held", false, false, 1, false, true, true, 5000, 0, 100000},
        {"after its time with four repeats", false, false, 1, false, true, false, 5000, 4, 100000},
        {"after its time with three repeats", false, false, 1, false, true, false, 5000, 3, 100001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScrubKeyTracker tracker;
        tracker.SetModifiers(c.first, c.second);
        tracker.Press(Key::kFastForward, 1000, 0);
        for (int i = 0; i < c.repeats; ++i) tracker.Press(Key::kFastForward, 1000 + i, 0);
        ScrubSituation situation;
        situation.rate = 44100;
        situation.keyboardState = c.keyboard;
        situation.fineStep = c.fine;
        situation.initialAudioScrub = c.initialScrub;
        situation.initialScrubMs = 1000;
        situation.mouseHeld = c.mouse;
        EXPECT_EQ(ScrubFrequency(tracker, situation, 1000 + c.heldMs), c.expected);
    }
}

TEST(ScrubKeyTracker, ATapMovesTheCueAtLeastItsMinimumSteps)
{
    struct Case
    {
        const char* name;
        uint32_t key;
        bool first, second;
        uint64_t heldMs;
        uint64_t cueAtRelease; // pressed at 10000
        int64_t expected;      // bytes still to move, with cue steps of 100 bytes
    };
    const Case cases[] = {
        {"fast forward tap adds four steps", Key::kFastForward, false, false, 100, 10000, 400},
        {"fast back tap goes back four steps", Key::kFastBack, false, false, 100, 10000, -400},
        {"normal tap, partly moved already", Key::kNormalForward, false, false, 100, 10150, 50},
        {"slow tap moved far enough", Key::kSlowBack, false, false, 100, 9800, 0},
        {"a hold is not a tap", Key::kFastForward, false, false, 500, 10000, 0},
        {"first modifier makes fast count as slow", Key::kFastForward, true, false, 100, 10000, 100},
        {"second modifier makes slow count as normal", Key::kSlowBack, false, true, 100, 10000, -200},
        {"second modifier leaves normal normal", Key::kNormalForward, false, true, 100, 10000, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScrubKeyTracker tracker;
        tracker.SetModifiers(c.first, c.second);
        tracker.Press(c.key, 5000, 10000);
        EXPECT_TRUE(tracker.AnyHeld());
        EXPECT_EQ(tracker.Release(c.key, 5000 + c.heldMs, c.cueAtRelease, 100), c.expected);
        EXPECT_FALSE(tracker.AnyHeld());
    }
}

TEST(ScrubKeyTracker, AHoldStartsWithItsFirstKey)
{
    ScrubKeyTracker tracker;
    EXPECT_FALSE(tracker.FreshPress(0));
    tracker.Press(Key::kNormalForward, 100, 0);
    tracker.Press(Key::kSlowForward, 300, 0); // a second key joins the hold
    EXPECT_EQ(tracker.HeldFor(400), 300u);
    EXPECT_TRUE(tracker.FreshPress(220));
    EXPECT_FALSE(tracker.FreshPress(221));
    EXPECT_EQ(tracker.Release(Key::kNormalForward, 400, 0, 10), 20) << "300 ms is a tap";
    EXPECT_EQ(tracker.Release(Key::kFastBack, 400, 0, 10), 0) << "a key never pressed";
    tracker.Release(Key::kSlowForward, 900, 0, 10);
    EXPECT_EQ(tracker.HeldFor(900), 0u);
}

} // namespace
} // namespace tandrel
