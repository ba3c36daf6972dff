// Where undo and redo leave the cue line and the selection, for each kind of step.
#include <gtest/gtest.h>

#include "base/four_cc.h"
#include "editing/selection.h"
#include "editing/undo_redo.h"
#include "editing_test_support.h"

namespace tandrel::test {
namespace {

struct PlacementCase
{
    const char* name;
    EditRecord step;
    int records;           // 2 for the channel offset
    uint64_t undoCue, undoLeft, undoRight;
    uint64_t redoCue, redoLeft, redoRight;
};

EditRecord Step(uint32_t type, uint64_t position, uint64_t start, uint64_t end, uint32_t groupSize = 1)
{
    EditRecord record;
    record.type = type;
    record.position = position;
    record.groupSize = groupSize;
    record.segment.dataStart = start;
    record.segment.dataEnd = end;
    return record;
}

std::vector<PlacementCase> Cases()
{
    std::vector<PlacementCase> cases;
    cases.push_back({"insert", Step(kStepInsert, 8000, 100000, 104000), 1,
                     8000, kNoPosition, kNoPosition, 8000, 8000, 12000});
    cases.push_back({"delete", Step(kStepDelete, 500, 4000, 6000), 1,
                     500, 4000, 6000, 4000, kNoPosition, kNoPosition});
    EditRecord gain = Step(kStepTreat, 1200, 2000, 3000);
    gain.segment.channel[0] = {0, FourCC("Gain"), kTreatBoth | 0x100, 3};
    gain.segment.channel[1] = gain.segment.channel[0];
    cases.push_back({"treat", gain, 1, 1200, 2000, 3000, 1200, 2000, 3000});
    EditRecord bleep = Step(kStepGenerate, 1600, 2000, 2400);
    bleep.segment.channel[0] = {kSourceGenerated, FourCC("Blep"), kTreatBoth, 0};
    bleep.segment.channel[1] = bleep.segment.channel[0];
    cases.push_back({"generate", bleep, 1, 1600, 2000, 2400, 1600, 2000, 2400});
    cases.push_back({"silence", Step(kStepSilence, 4000, 4000, 4400), 1,
                     4000, kNoPosition, kNoPosition, 4000, 4000, 4400});
    EditRecord replace = Step(kStepReplace, 1000, 200000, 202000);
    replace.segment.SetReplacedEnd(1800);
    cases.push_back({"replace", replace, 1, 1000, 1000, 1800, 1000, 1000, 3000});
    return cases;
}

TEST(UndoRedoPlacement, EachKindOfStepLeavesCueAndSelectionWhereItActed)
{
    for (const PlacementCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        EditorFixture e(dir, "place.kdw");
        ASSERT_TRUE(e.view.edit.EditPushStep({c.step}));
        ASSERT_TRUE(e.view.SyncEdit());
        SetMarks(e.view, 40, 80);
        ASSERT_EQ(PlaceCueLine(e.view, 44), 0);

        ASSERT_EQ(ViewUndo(e.view), 0);
        EXPECT_EQ(e.view.cursor, c.undoCue);
        EXPECT_EQ(e.view.leftMark, c.undoLeft);
        EXPECT_EQ(e.view.rightMark, c.undoRight);
        ASSERT_EQ(ViewRedo(e.view), 0);
        EXPECT_EQ(e.view.cursor, c.redoCue);
        EXPECT_EQ(e.view.leftMark, c.redoLeft);
        EXPECT_EQ(e.view.rightMark, c.redoRight);
    }
}

TEST(UndoRedoPlacement, MarkerStepsKeepCueAndSelection)
{
    TempDir dir;
    EditorFixture e(dir, "marker.kdw");
    ASSERT_TRUE(e.view.edit.EditPushStep(kStepInsertMarker, 6000, MarkerSegment(9), 0, "x"));
    ASSERT_TRUE(e.view.SyncEdit());
    SetMarks(e.view, 400, 800);
    ASSERT_EQ(PlaceCueLine(e.view, 1200), 0);
    ASSERT_EQ(ViewUndo(e.view), 0);
    EXPECT_TRUE(e.view.markers.empty());
    EXPECT_EQ(e.view.cursor, 1200u);
    EXPECT_EQ(e.view.leftMark, 400u);
    ASSERT_EQ(ViewRedo(e.view), 0);
    EXPECT_EQ(e.view.markers.size(), 1u);
    EXPECT_EQ(e.view.rightMark, 800u);
}

TEST(UndoRedoPlacement, OnlyTheBaseStepLeftChangesNothing)
{
    TempDir dir;
    EditorFixture e(dir, "base.kdw");
    ASSERT_EQ(PlaceCueLine(e.view, 4000), 0);
    EXPECT_EQ(ViewUndo(e.view), 1);
    EXPECT_EQ(e.view.cursor, 4000u);
    EXPECT_EQ(ViewRedo(e.view), -1);
    EXPECT_EQ(RenderAll(e.view), e.audio);
}

} // namespace
} // namespace tandrel::test
