// Cut, copy, paste and delete as a person uses them, checked by listening: the rendered
// audio after every step is compared with what the same edits do to a plain copy.
#include <gtest/gtest.h>

#include "base/recording_sink.h"
#include "editing/clipboard.h"
#include "editing/edit_commands.h"
#include "editing/selection.h"
#include "editing/undo_redo.h"
#include "editing_test_support.h"

namespace tandrel::test {
namespace {

class ClipboardFlow : public ::testing::Test
{
protected:
    void SetUp() override { TheClipboard() = AudioClipboard{}; }
    TempDir dir;
    ScopedRecordingSink sink;
};

TEST_F(ClipboardFlow, CutInOneEditPastesIntoAnotherAndLeavesTheSourceAsItWas)
{
    Bytes cut;
    std::vector<EditRecord> historyOfA;
    {
        EditorFixture a(dir, "a.kdw");
        SetMarks(a.view, 64000, 96004);
        CutCommand(a.editor);
        cut = Take(a.audio, 64000, 96004);
        ASSERT_EQ(RenderAll(a.view), a.audio);
        historyOfA = History(a.view.edit);
        a.view.CloseView();
    }
    EditorFixture b(dir, "b.kdw", 3);
    ASSERT_EQ(PlaceCueLine(b.view, 40000), 0);
    PasteCommand(b.editor);
    b.audio.insert(b.audio.begin() + 40000, cut.begin(), cut.end());
    EXPECT_EQ(RenderAll(b.view), b.audio);
    EXPECT_EQ(b.view.leftMark, 40000u);
    EXPECT_EQ(b.view.rightMark, 40000u + cut.size());
    EXPECT_TRUE(sink.Messages().empty()) << sink.Texts()[0];

    EditView again(1);
    ASSERT_TRUE(again.OpenView(dir.File("a.kdw"), true));
    EXPECT_TRUE(SameRecords(History(again.edit), historyOfA));
    EXPECT_EQ(again.leftMark, kNoPosition) << "the cut's own selection state is kept";
}

TEST_F(ClipboardFlow, PasteOfThreePiecesIsOneStep)
{
    EditorFixture e(dir, "pieces.kdw");
    // Two cuts leave three pieces where [20000, 140000) was.
    SetMarks(e.view, 40000, 48000);
    DeleteCommand(e.editor);
    Take(e.audio, 40000, 48000);
    SetMarks(e.view, 80000, 88000);
    DeleteCommand(e.editor);
    Take(e.audio, 80000, 88000);
    SetMarks(e.view, 20000, 100000);
    CopyCommand(e.editor);
    ASSERT_EQ(TheClipboard().clipSegments.size(), 3u);
    Bytes copied(e.audio.begin() + 20000, e.audio.begin() + 100000);
    const Bytes beforePaste = e.audio;

    ASSERT_EQ(PlaceCueLine(e.view, 200000), 0);
    const size_t steps = e.view.edit.undo.size();
    PasteCommand(e.editor);
    EXPECT_EQ(e.view.edit.undo.size(), steps + 3);
    e.audio.insert(e.audio.begin() + 200000, copied.begin(), copied.end());
    EXPECT_EQ(RenderAll(e.view), e.audio);

    UndoCommand(e.editor);
    EXPECT_EQ(RenderAll(e.view), beforePaste);
    EXPECT_EQ(e.view.cursor, 200000u);
    EXPECT_FALSE(HasSelection(e.view));
    RedoCommand(e.editor);
    EXPECT_EQ(RenderAll(e.view), e.audio);
    EXPECT_EQ(e.view.leftMark, 200000u);
    EXPECT_EQ(e.view.rightMark, 280000u);
    EXPECT_EQ(e.view.edit.undo.size(), steps + 3);
}

TEST_F(ClipboardFlow, CopySkipsMarkersAndTrimsBothEnds)
{
    EditorFixture e(dir, "trim.kdw");
    SetMarks(e.view, 100000, 104000);
    DeleteCommand(e.editor);
    e.view.edit.EditPushStep(kStepInsertMarker, 90000, MarkerSegment(5), 0, "inside");
    e.view.SyncEdit();
    SetMarks(e.view, 60000, 140000);
    ASSERT_EQ(CopySelection(e.view), 0);
    const std::vector<EditSegment>& pieces = TheClipboard().clipSegments;
    ASSERT_EQ(pieces.size(), 3u) << "two audio pieces around the marker's split";
    EXPECT_EQ(pieces.front().dataStart, 60000u);
    EXPECT_EQ(pieces.back().dataEnd, 144000u);
    uint64_t total = 0;
    for (const EditSegment& piece : pieces) {
        EXPECT_FALSE(piece.IsMarker());
        total += piece.Length();
    }
    EXPECT_EQ(total, 80000u);
    EXPECT_EQ(TheClipboard().clipPath, e.path);
}

TEST_F(ClipboardFlow, DeleteLeavesTheCueAtTheLeftMark)
{
    EditorFixture e(dir, "delete.kdw");
    ASSERT_EQ(PlaceCueLine(e.view, 300000), 0);
    SetMarks(e.view, 32000, 64000);
    DeleteCommand(e.editor);
    EXPECT_EQ(e.view.cursor, 32000u);
    EXPECT_FALSE(HasSelection(e.view));
    Take(e.audio, 32000, 64000);
    EXPECT_EQ(RenderAll(e.view), e.audio);
}

TEST_F(ClipboardFlow, SelectAllOnAnEmptyEditSelectsNothing)
{
    ASSERT_TRUE(MakeEdit(dir.File("empty.kdw"), kStereo16, 0, 0));
    EditView view(1);
    ASSERT_TRUE(view.OpenView(dir.File("empty.kdw"), false));
    Editor editor{&view, nullptr};
    SelectAllCommand(editor);
    EXPECT_EQ(view.leftMark, 0u);
    EXPECT_EQ(view.rightMark, 0u);
    EXPECT_FALSE(CanCut(editor));
    CutCommand(editor);
    DeleteCommand(editor);
    EXPECT_TRUE(view.edit.undo.empty());
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(ClipboardFlow, PasteNearTheHistoryBudgetIsRefusedWithoutChange)
{
    EditorFixture e(dir, "full.kdw");
    SetMarks(e.view, 0, 32000);
    CopyCommand(e.editor);
    // Fill the history up to a record short of the budget.
    EditFile& edit = e.view.edit;
    EditRecord filler;
    filler.type = kStepTreat;
    filler.segment.dataEnd = 4;
    while (edit.HistoryBytes() + kRecordSize < kProgramChunkSize) edit.undo.push_back(filler);
    ASSERT_EQ(edit.EditSave(), 0);
    const std::vector<EditRecord> before = History(edit);
    PasteCommand(e.editor);
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, "Sorry");
    EXPECT_EQ(sink.Messages()[0].text, "The undo/redo stack has exceeded its size limit.");
    EXPECT_TRUE(SameRecords(History(edit), before));
}

TEST_F(ClipboardFlow, MasterViewRefusesChangesButAllowsCopy)
{
    EditorFixture e(dir, "master.kdw");
    SetMarks(e.view, 0, 32000);
    e.view.SetMasterView(true, true);
    SetMarks(e.view, 8000, 16000);
    for (void (*command)(Editor&) : {CutCommand, PasteCommand, DeleteCommand, UndoCommand, RedoCommand}) {
        sink.Clear();
        command(e.editor);
        ASSERT_EQ(sink.Messages().size(), 1u);
        EXPECT_EQ(sink.Messages()[0].title, "Master View");
        EXPECT_EQ(sink.Messages()[0].text,
                  "Editing operations which would change the file are not allowed in Master mode.");
    }
    EXPECT_EQ(e.view.edit.undo.size(), 1u);
    sink.Clear();
    CopyCommand(e.editor);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_TRUE(TheClipboard().clipMaster);

    // Pasting what was copied in Master view places the Master selection's audio.
    e.view.SetMasterView(false, true);
    ASSERT_EQ(PlaceCueLine(e.view, 0), 0);
    PasteCommand(e.editor);
    Bytes piece(e.audio.begin() + 8000, e.audio.begin() + 16000);
    e.audio.insert(e.audio.begin(), piece.begin(), piece.end());
    EXPECT_EQ(RenderAll(e.view), e.audio);
}

TEST_F(ClipboardFlow, PasteFromAnEditOfAnotherRateConverts)
{
    ASSERT_TRUE(MakeEdit(dir.File("slow.kdw"), Format{2, 16000, 16}, 64000, 64000));
    {
        EditView source(1);
        ASSERT_TRUE(source.OpenView(dir.File("slow.kdw"), false));
        SetMarks(source, 0, 64000);
        ASSERT_EQ(CopySelection(source), 0);
    }
    EditorFixture e(dir, "target.kdw", 2);
    PasteCommand(e.editor);
    EXPECT_TRUE(sink.Messages().empty());
    // One second at 16 kHz becomes one second at 8 kHz: about 32000 bytes.
    EXPECT_NEAR(double(e.view.length), 64000.0 + 32000.0, 400.0);
    EXPECT_EQ(e.view.rightMark - e.view.leftMark, e.view.length - 64000);
}

} // namespace
} // namespace tandrel::test
