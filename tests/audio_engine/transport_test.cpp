// The transport moves the main stream between standby, playing and scrubbing, and arms the
// capture in standby. Audio is switched off here: the logic is the same, without devices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "audio/audio_devices.h"
#include "engine/scrub_settings.h"
#include "settings/user.h"
#include "engine/transport.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

class TransportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("HOME", dir.Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir.Path() / "config").c_str(), 1);
        AudioEngine().audioEnabled = false;
        AudioEngine().recordingFormat = AudioFormat{1, 2, 8000, 32000, 4, 16, 0};
        Transport() = TransportState{};
        const uint64_t bytes = 60 * kStereo16.BytesPerSecond(); // one minute
        ASSERT_TRUE(MakeEdit(dir.File("show.kdw"), kStereo16, bytes, bytes));
        ASSERT_EQ(ManagerSetEdit(stream, dir.File("show.kdw")), 0);
        view = stream.reader.get();
    }
    void TearDown() override
    {
        stream.Close();
        AudioEngine().audioEnabled = true;
    }

    TempDir dir;
    AudioStream stream{2, false, false, 0xFFFFFFFF};
    EditView* view = nullptr;
};

TEST_F(TransportTest, CommandsMoveBetweenStandbyAndPlaying)
{
    TransportCommand(stream, kTransportPlay, false);
    EXPECT_EQ(stream.State(), kStatePlaying);
    EXPECT_FALSE(Transport().recordingArmed) << "the capture is off while playing";
    TransportCommand(stream, kTransportPlay, false); // already playing: nothing
    EXPECT_EQ(stream.State(), kStatePlaying);
    TransportCommand(stream, kTransportToggle, false);
    EXPECT_EQ(stream.State(), kStateStandby);
    EXPECT_TRUE(Transport().recordingArmed) << "standby arms the capture";
    TransportCommand(stream, kTransportToggle, false);
    EXPECT_EQ(stream.State(), kStatePlaying);
    TransportCommand(stream, kTransportStop, false);
    EXPECT_EQ(stream.State(), kStateStandby);
    EXPECT_TRUE(Transport().recordingArmed);
    TransportCommand(stream, 9, false); // unknown commands do nothing
    EXPECT_EQ(stream.State(), kStateStandby);
    EXPECT_TRUE(Transport().recordingArmed) << "a standby stream stays armed";
}

TEST_F(TransportTest, PlaySelectionNeedsASelectionAndStartsAtItsEdge)
{
    view->SetCursor(1000 * 4, true);
    TransportCommand(stream, kTransportPlaySelection, false);
    EXPECT_EQ(stream.State(), kStateStandby) << "no selection";
    view->leftMark = view->rightMark = 40000;
    TransportCommand(stream, kTransportPlaySelection, false);
    EXPECT_EQ(stream.State(), kStateStandby) << "an empty selection";

    struct Case { bool reverse; bool fromCue; uint64_t cue; uint64_t end; };
    const Case cases[] = {{false, false, 40000, 80000}, {true, false, 80000, 40000},
                          {false, true, 4000, 80000}, {true, true, 4000, 40000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "reverse " << c.reverse << " from cue " << c.fromCue);
        view->SetCursor(4000, true);
        view->leftMark = 40000;
        view->rightMark = 80000;
        if (c.fromCue)
            TransportCommandFromCue(stream, kTransportPlaySelection, c.reverse);
        else
            TransportCommand(stream, kTransportPlaySelection, c.reverse);
        EXPECT_EQ(stream.State(), kStatePlaying);
        EXPECT_EQ(view->cursor, c.cue);
        EXPECT_EQ(stream.endPosition, c.end);
        TransportCommand(stream, kTransportStop, false);
    }
}

TEST_F(TransportTest, FastForwardWithoutInitialScrubOnlyJumps)
{
    Transport().initialAudioScrub = false;
    Transport().scrubStepSize = 16;
    Transport().keyboardScrubState = 1;
    view->SetCursor(0, true);
    ScrubKeyDown(stream, ScrubKeyTracker::kFastForward, 1000);
    for (int turn = 1; turn <= 3; ++turn) {
        ScrubStep(stream, 1000 + 10 * turn);
        EXPECT_EQ(stream.State(), kStateStandby) << "never audible";
        EXPECT_EQ(view->cursor, uint64_t(turn) * 16 * view->blockBytesAligned);
    }
    ScrubKeyUp(stream, ScrubKeyTracker::kFastForward, 2000);
    ScrubStep(stream, 2010);
    EXPECT_EQ(view->cursor, 3u * 16 * view->blockBytesAligned) << "nothing moves once released";
}

TEST_F(TransportTest, InitialAudioScrubPlaysThenJumps)
{
    Transport().initialAudioScrub = true;
    Transport().initialScrubMs = 1000;
    Transport().keyboardScrubState = 1;
    view->SetCursor(0, true);
    ScrubKeyDown(stream, ScrubKeyTracker::kFastForward, 5000);
    ScrubStep(stream, 5010);
    EXPECT_EQ(stream.State(), kStateScrubbing);
    EXPECT_EQ(stream.targetFrequency, kMaxScrubFrequency);
    EXPECT_FALSE(stream.reverse);
    ScrubStep(stream, 5900);
    EXPECT_EQ(stream.State(), kStateScrubbing);
    const uint64_t before = view->cursor;
    ScrubStep(stream, 6200); // past the initial-scrub time
    EXPECT_EQ(stream.State(), kStateStandby);
    EXPECT_GT(view->cursor, before);
}

TEST_F(TransportTest, ReverseScrubPlaysBackwardAndReleaseRestoresTheRate)
{
    view->SetCursor(200000, true);
    Transport().keyboardScrubState = 0;
    ScrubKeyDown(stream, ScrubKeyTracker::kNormalBack, 100);
    ScrubStep(stream, 110);
    EXPECT_EQ(stream.State(), kStateScrubbing);
    EXPECT_TRUE(stream.reverse);
    EXPECT_EQ(stream.targetFrequency, 8000u);
    ScrubKeyUp(stream, ScrubKeyTracker::kNormalBack, 2000);
    EXPECT_EQ(stream.State(), kStateStandby);
    EXPECT_EQ(stream.targetFrequency, 8000u);
    EXPECT_TRUE(Transport().recordingArmed);
}

TEST_F(TransportTest, RollBackStopsAndGoesBackOrPlays)
{
    view->SetCursor(10 * 32000, true);
    RollBack(stream);
    EXPECT_EQ(stream.State(), kStatePlaying) << "not playing: roll back plays";
    view->SetCursor(10 * 32000, true);
    RollBack(stream);
    EXPECT_EQ(stream.State(), kStateStandby);
    EXPECT_EQ(view->cursor, 10u * 32000 - 48000) << "1.5 s back by default";
    TransportCommand(stream, kTransportPlay, false);
    view->SetCursor(32000, true);
    RollBack(stream);
    EXPECT_EQ(view->cursor, 0u) << "never before the start";
}

TEST_F(TransportTest, MarkersStepsAndEnds)
{
    for (uint64_t at : {64000ull, 320000ull}) {
        view->edit.EditPushStep(kStepInsertMarker, at, MarkerSegment(uint32_t(at)), 0, "m");
    }
    view->SyncEdit();
    view->SetCursor(100000, true);
    PreviousMarker(stream);
    EXPECT_EQ(view->cursor, 64000u);
    PreviousMarker(stream);
    EXPECT_EQ(view->cursor, 64000u) << "no marker before the first";
    NextMarker(stream);
    EXPECT_EQ(view->cursor, 320000u);
    GoToEnd(stream);
    EXPECT_EQ(view->cursor, view->length);
    StepCue(stream, -3);
    EXPECT_EQ(view->cursor, view->length - 3 * view->blockBytesAligned);
    ToggleFineStep(stream);
    StepCue(stream, 1);
    EXPECT_EQ(view->cursor, view->length - 3 * 320 + 16) << "a fine step is four frames";
    GoToStart(stream);
    EXPECT_EQ(view->cursor, 0u);
    StepCue(stream, -5);
    EXPECT_EQ(view->cursor, 0u);
}

TEST_F(TransportTest, ScrubSettingsPackIntoUserFlagsAndApplyAtOnce)
{
    ScrubSettingsDialog dialog;
    dialog.Open();
    EXPECT_EQ(dialog.stepIndex, 7) << "the default flags";
    EXPECT_EQ(dialog.timeIndex, 1);
    EXPECT_FALSE(dialog.TimeSliderEnabled());
    EXPECT_EQ(dialog.StepCaption(), "Fast forward/reverse speed");
    dialog.stepIndex = 20; // clamped to 15
    dialog.timeIndex = 3;
    dialog.initialAudioScrub = true;
    EXPECT_EQ(dialog.StepCaption(), "Fast forward/reverse speed at end of initial audio scrub");
    ASSERT_TRUE(dialog.Ok());
    const UserFlags flags = ReadUserFlags();
    EXPECT_EQ(flags.bits, 0x003F0101u) << "step 15, time 3, initial scrub and the play direction";
    EXPECT_EQ(Transport().scrubStepSize, 100);
    EXPECT_EQ(Transport().initialScrubMs, 2000u);
    EXPECT_TRUE(Transport().initialAudioScrub);
}

} // namespace
} // namespace tandrel::test
