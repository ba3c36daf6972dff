// Pushing steps, undo and redo on the Edit file, and marker ids.
#include <gtest/gtest.h>

#include <set>

#include "base/recording_sink.h"
#include "edit/edit_file.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

class EditHistory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = dir.File("history.kdw");
        ASSERT_TRUE(MakeEdit(path, kMono8, 1000, 600));
        ASSERT_TRUE(edit.EditOpen(path, false, false));
    }

    /** Undo and redo counts as they stand in the file. */
    std::pair<uint16_t, uint16_t> CountsOnDisk() const
    {
        const Bytes b = ReadAll(path);
        return {Le16(b, 46 + 72), Le16(b, 46 + 74)};
    }

    static std::vector<EditRecord> Group(std::vector<EditRecord> records)
    {
        for (EditRecord& r : records) r.groupSize = uint32_t(records.size());
        return records;
    }

    TempDir dir;
    std::string path;
    EditFile edit;
    ScopedRecordingSink sink;
};

TEST_F(EditHistory, MismatchedGroupSizesAreRefusedWithoutAnyChange)
{
    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(0, 10)}));
    ASSERT_EQ(edit.EditUndo(), 0);
    const Bytes before = ReadAll(path);

    const std::vector<std::vector<uint32_t>> badGroups = {{2, 1}, {1, 2}, {3, 3}, {0}, {2}};
    for (const auto& sizes : badGroups) {
        std::vector<EditRecord> records;
        for (uint32_t n : sizes) {
            records.push_back(DeleteRecord(0, 1));
            records.back().groupSize = n;
        }
        EXPECT_FALSE(edit.EditPushStep(records)) << "group of " << sizes.size();
        EXPECT_EQ(edit.undo.size(), 1u);
        EXPECT_EQ(edit.redo.size(), 1u) << "a refused push must not clear the redo list";
    }
    EXPECT_EQ(ReadAll(path), before);
}

TEST_F(EditHistory, PushClearsRedo)
{
    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(0, 10)}));
    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(10, 20)}));
    ASSERT_EQ(edit.EditUndo(), 0);
    ASSERT_EQ(edit.EditUndo(), 0);
    EXPECT_EQ(CountsOnDisk(), (std::pair<uint16_t, uint16_t>{1, 2}));

    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(30, 40)}));
    EXPECT_TRUE(edit.redo.empty());
    ASSERT_EQ(edit.undo.size(), 2u);
    EXPECT_EQ(edit.undo[1].segment, Plain(30, 40));
    EXPECT_EQ(CountsOnDisk(), (std::pair<uint16_t, uint16_t>{2, 0}));
    EXPECT_EQ(edit.EditRedo(), -1);
}

TEST_F(EditHistory, AGroupIsUndoneAndRedoneWhole)
{
    const auto paste = Group({Record(kStepInsert, 100, Plain(600, 650)),
                              Record(kStepInsert, 150, Plain(700, 720)),
                              Record(kStepInsert, 170, Plain(800, 900))});
    ASSERT_TRUE(edit.EditPushStep(paste));
    ASSERT_EQ(edit.undo.size(), 4u);

    ASSERT_EQ(edit.EditUndo(), 0);
    ASSERT_EQ(edit.undo.size(), 1u);
    ASSERT_EQ(edit.redo.size(), 3u);
    // Moved one by one, so the redo list holds the group newest first.
    EXPECT_EQ(edit.redo[0].segment, paste[2].segment);
    EXPECT_EQ(edit.redo[2].segment, paste[0].segment);
    EXPECT_EQ(CountsOnDisk(), (std::pair<uint16_t, uint16_t>{1, 3}));

    ASSERT_EQ(edit.EditRedo(), 0);
    ASSERT_EQ(edit.undo.size(), 4u);
    EXPECT_TRUE(edit.redo.empty());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(edit.undo[i + 1].segment, paste[i].segment) << i;
        EXPECT_EQ(edit.undo[i + 1].position, paste[i].position) << i;
        EXPECT_EQ(edit.undo[i + 1].groupSize, 3u);
    }
    EXPECT_EQ(CountsOnDisk(), (std::pair<uint16_t, uint16_t>{4, 0}));
}

TEST_F(EditHistory, UndoAndRedoStepByStepAcrossMixedGroups)
{
    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(0, 5)}));
    ASSERT_TRUE(edit.EditPushStep(Group({Record(1, 0, Plain(600, 610)), Record(1, 5, Plain(620, 630))})));
    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(5, 6)}));
    ASSERT_EQ(edit.undo.size(), 5u);

    const std::vector<size_t> undoSizes = {4, 2, 1};
    for (size_t expected : undoSizes) {
        ASSERT_EQ(edit.EditUndo(), 0);
        EXPECT_EQ(edit.undo.size(), expected);
        EXPECT_EQ(edit.undo.size() + edit.redo.size(), 5u);
    }
    EXPECT_EQ(edit.EditUndo(), 1) << "only the base step is left";
    const std::vector<size_t> redoSizes = {2, 4, 5};
    for (size_t expected : redoSizes) {
        ASSERT_EQ(edit.EditRedo(), 0);
        EXPECT_EQ(edit.undo.size(), expected);
    }
    EXPECT_EQ(edit.EditRedo(), -1);
    EXPECT_EQ(edit.undo[3].segment, Plain(620, 630));
    EXPECT_EQ(edit.undo[4].segment, Plain(5, 6));
}

TEST_F(EditHistory, AGroupSizeOfZeroMovesNothing)
{
    edit.undo.push_back(DeleteRecord(0, 10));
    edit.undo.back().groupSize = 0;
    EXPECT_EQ(edit.EditUndo(), 0);
    EXPECT_EQ(edit.undo.size(), 2u);
    EXPECT_TRUE(edit.redo.empty());
    EXPECT_EQ(CountsOnDisk(), (std::pair<uint16_t, uint16_t>{2, 0})) << "the undo still saves";
}

TEST_F(EditHistory, UndoStopsAtTheBaseStepAndMasterViewRefusesBoth)
{
    const Bytes before = ReadAll(path);
    EXPECT_EQ(edit.EditUndo(), 1);
    EXPECT_EQ(edit.undo.size(), 1u);
    EXPECT_EQ(ReadAll(path), before);

    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(0, 10)}));
    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(0, 20)}));
    ASSERT_EQ(edit.EditUndo(), 0);
    edit.EditSetMasterMode(true);
    EXPECT_EQ(edit.EditUndo(), -1);
    EXPECT_EQ(edit.EditRedo(), -1);
    EXPECT_EQ(edit.undo.size(), 2u);
    EXPECT_EQ(edit.redo.size(), 1u);
    edit.EditSetMasterMode(false);
    EXPECT_EQ(edit.EditRedo(), 0);

    edit.undo.clear();
    edit.redo.clear();
    EXPECT_EQ(edit.EditUndo(), -1) << "an empty undo list";
}

TEST_F(EditHistory, HistorySurvivesReopening)
{
    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(0, 10)}));
    ASSERT_TRUE(edit.EditPushStep({InsertMarkerRecord(3, 17, "Cold open")}));
    ASSERT_TRUE(edit.EditPushStep({DeleteRecord(20, 30)}));
    ASSERT_EQ(edit.EditUndo(), 0);
    edit.EditClose();

    EditFile again;
    ASSERT_TRUE(again.EditOpen(path, false, false));
    ASSERT_EQ(again.undo.size(), 3u);
    ASSERT_EQ(again.redo.size(), 1u);
    EXPECT_EQ(again.undo[2].name, "Cold open");
    EXPECT_EQ(again.redo[0].segment, Plain(20, 30));
    EXPECT_EQ(again.EditRedo(), 0);
    EXPECT_EQ(again.undo.back().segment, Plain(20, 30));
}

TEST_F(EditHistory, ReadOnlyEditRefusesPush)
{
    edit.EditClose();
    const Bytes before = ReadAll(path);
    EditFile ro;
    ASSERT_TRUE(ro.EditOpen(path, false, true));
    EXPECT_FALSE(ro.EditPushStep({DeleteRecord(0, 10)}));
    EXPECT_FALSE(ro.EditPushStep(kStepDelete, 0, Plain(0, 10)));
    EXPECT_EQ(ro.undo.size(), 1u);
    ro.EditClose();
    EXPECT_EQ(ReadAll(path), before);
}

// --- Marker ids ------------------------------------------------------------------------------

TEST_F(EditHistory, MarkerIdsNeverRepeat)
{
    std::set<uint32_t> seen;
    for (int i = 0; i < 5000; ++i) {
        const uint32_t id = edit.EditNewMarkerId();
        EXPECT_TRUE(seen.insert(id).second) << "id " << id << " handed out twice";
    }
}

TEST_F(EditHistory, MarkerIdsAvoidMarkersInEitherList)
{
    // Occupy the ids just after the first one, in both lists, so that whatever the clock says
    // the next ids must step around them.
    const uint32_t first = edit.EditNewMarkerId();
    std::set<uint32_t> taken;
    for (uint32_t i = 1; i <= 3000; ++i) {
        EditRecord r = InsertMarkerRecord(0, first + i, "");
        (i % 2 ? edit.undo : edit.redo).push_back(r);
        taken.insert(first + i);
    }
    for (int i = 0; i < 200; ++i) {
        const uint32_t id = edit.EditNewMarkerId();
        EXPECT_EQ(taken.count(id), 0u) << "id " << id << " is already used by a marker";
        EXPECT_NE(id, first);
    }
    edit.undo.resize(1);
    edit.redo.clear();
}

} // namespace
} // namespace tandrel::test
