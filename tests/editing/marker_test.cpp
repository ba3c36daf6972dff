// Markers: named positions that travel with the audio, come and go with undo, and are
// listed by the Markers window.
#include <gtest/gtest.h>

#include "base/recording_sink.h"
#include "editing/edit_commands.h"
#include "editing/markers.h"
#include "editing/selection.h"
#include "editing_test_support.h"

namespace tandrel::test {
namespace {

std::vector<std::pair<uint64_t, std::string>> Shown(const Editor& editor)
{
    std::vector<std::pair<uint64_t, std::string>> shown;
    for (const MarkerRow& row : MarkerRows(editor)) shown.push_back({row.position, row.name});
    return shown;
}

TEST(MarkerTime, ShowsHoursMinutesSecondsAndHundredths)
{
    struct Case { uint64_t centiseconds; const char* text; };
    const Case cases[] = {{0, "0:00:00.00"}, {372345, "1:02:03.45"}, {5999, "0:00:59.99"},
                          {6000, "0:01:00.00"}, {360000 * 12 + 1, "12:00:00.01"}};
    for (const Case& c : cases) // 32000 bytes a second: 320 a hundredth
        EXPECT_EQ(MarkerTimeText(c.centiseconds * 320, 32000), c.text) << c.centiseconds;
}

class Markers : public ::testing::Test
{
protected:
    void Insert(uint64_t at, const std::string& name)
    {
        ASSERT_EQ(PlaceCueLine(e.view, at), 0);
        sink.ScriptText(name);
        ASSERT_GE(InsertMarker(e.editor), 0);
    }
    TempDir dir;
    ScopedRecordingSink sink;
    EditorFixture e{dir, "markers.kdw"};
};

TEST_F(Markers, TravelWithTheAudioAndComeBackWithUndo)
{
    Insert(96000, "Intro ends");
    Insert(160000, "Guest");
    EXPECT_EQ(Shown(e.editor), (std::vector<std::pair<uint64_t, std::string>>{
                                   {96000, "Intro ends"}, {160000, "Guest"}}));
    SetMarks(e.view, 32000, 64000);
    CutCommand(e.editor);
    EXPECT_EQ(Shown(e.editor), (std::vector<std::pair<uint64_t, std::string>>{
                                   {64000, "Intro ends"}, {128000, "Guest"}}));
    UndoCommand(e.editor);
    EXPECT_EQ(Shown(e.editor), (std::vector<std::pair<uint64_t, std::string>>{
                                   {96000, "Intro ends"}, {160000, "Guest"}}));
    // The audio is untouched by markers.
    EXPECT_EQ(RenderAll(e.view), e.audio);
}

TEST_F(Markers, DeletingTheAudioAroundAMarkerTakesItAndUndoBringsItBackWhole)
{
    Insert(96000, "Ad break");
    const uint32_t id = MarkerRows(e.editor).at(0).markerId;
    SetMarks(e.view, 64000, 128000);
    DeleteCommand(e.editor);
    EXPECT_TRUE(MarkerRows(e.editor).empty());
    UndoCommand(e.editor);
    ASSERT_EQ(MarkerRows(e.editor).size(), 1u);
    EXPECT_EQ(MarkerRows(e.editor)[0].markerId, id);
    EXPECT_EQ(MarkerRows(e.editor)[0].name, "Ad break");
}

TEST_F(Markers, DeleteMarkerIsAStepThatUndoRestores)
{
    Insert(1000 * 4, "one");
    Insert(2000 * 4, "two");
    const uint32_t id = MarkerRows(e.editor).at(1).markerId;
    ASSERT_TRUE(DeleteMarker(e.editor, 1));
    ASSERT_EQ(MarkerRows(e.editor).size(), 1u);
    EXPECT_EQ(MarkerRows(e.editor)[0].name, "one");
    UndoCommand(e.editor);
    ASSERT_EQ(MarkerRows(e.editor).size(), 2u);
    EXPECT_EQ(MarkerRows(e.editor)[1].markerId, id);
    EXPECT_EQ(MarkerRows(e.editor)[1].name, "two");
    EXPECT_FALSE(DeleteMarker(e.editor, 2)) << "an index past the list does nothing";
}

TEST_F(Markers, RenameAsksWithTheTimeAndKeepsTheNewName)
{
    Insert(32000 * 3723 / 1000, "old"); // 3.723 s
    sink.Clear();
    sink.ScriptText("new name");
    ASSERT_TRUE(RenameMarker(e.editor, 0));
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].text, "Mark at position: 0:00:03.72");
    e.view.CloseView();
    EditView reopened(1);
    ASSERT_TRUE(reopened.OpenView(e.path, true));
    Editor editor{&reopened, nullptr};
    EXPECT_EQ(MarkerRows(editor).at(0).name, "new name");
}

TEST_F(Markers, CancellingTheNameInsertsNothing)
{
    sink.ScriptText(std::nullopt);
    EXPECT_EQ(InsertMarker(e.editor), -1);
    EXPECT_EQ(e.view.edit.undo.size(), 1u);
}

TEST_F(Markers, CopyTextHasTwoTabsAndCrLf)
{
    Insert(0, "Start");
    Insert(208000, "Later");
    EXPECT_EQ(MarkerRowsText(MarkerRows(e.editor)),
              "0:00:00.00\t\tStart\r\n0:00:06.50\t\tLater\r\n");
    EXPECT_EQ(MarkerIndex(e.view, 208000), 1);
    EXPECT_EQ(MarkerIndex(e.view, 4), -1);
    EXPECT_EQ(MarkersWindowTitle(e.editor), "Markers markers.kdw");
}

// A host that is recording or playing, for markers dropped on the fly. While playing, the
// person hears `heard`: the output's latency behind the cue.
class LiveHost : public EditorHost
{
public:
    bool PlayerStopped() const override { return !playing; }
    bool Recording() const override { return recording; }
    uint64_t RecordedBytes() const override { return recorded; }
    uint64_t HeardPosition(const EditView&) const override { return heard; }
    bool playing = false;
    bool recording = false;
    uint64_t recorded = 0;
    uint64_t heard = 0;
};

TEST_F(Markers, DroppedWhileRecordingWaitForTheRecordingToBeCommitted)
{
    LiveHost host;
    host.recording = true;
    e.editor.host = &host;
    host.recorded = 4000;
    sink.ScriptText("first");
    ASSERT_TRUE(DropMarker(e.editor));
    host.recorded = 8000;
    sink.ScriptText(std::nullopt); // cancelled: never shown
    EXPECT_FALSE(DropMarker(e.editor));
    host.recorded = 12000;
    sink.ScriptText("third");
    ASSERT_TRUE(DropMarker(e.editor));
    EXPECT_EQ(Shown(e.editor), (std::vector<std::pair<uint64_t, std::string>>{
                                   {4000, "first"}, {12000, "third"}}));
    ASSERT_TRUE(DeleteMarker(e.editor, 1)); // drops "third" from the pending list
    EXPECT_EQ(e.view.edit.undo.size(), 1u) << "nothing is pushed while recording";

    host.recording = false;
    ASSERT_TRUE(CommitPendingMarkers(e.view, 64000));
    EXPECT_EQ(Shown(e.editor), (std::vector<std::pair<uint64_t, std::string>>{{68000, "first"}}));
    EXPECT_TRUE(ThePendingMarkers().records.empty());
}

TEST_F(Markers, DroppedWhilePlayingArePushedAtOnceWhereTheyWereHeard)
{
    LiveHost host;
    host.playing = true;
    e.editor.host = &host;
    ASSERT_EQ(PlaceCueLine(e.view, 20000), 0);
    host.heard = 16000;
    sink.ScriptText("live");
    ASSERT_TRUE(DropMarker(e.editor));
    EXPECT_EQ(Shown(e.editor), (std::vector<std::pair<uint64_t, std::string>>{{16000, "live"}}));
    EXPECT_EQ(e.view.cursor, 20000u);
    EXPECT_TRUE(ThePendingMarkers().records.empty());

    host.playing = false;
    EXPECT_FALSE(DropMarker(e.editor)) << "only while recording or playing";

    // Master view shows other positions than the history's: refused, as the menu is.
    host.playing = true;
    e.view.SetMasterView(true, true);
    const size_t steps = e.view.edit.undo.size();
    sink.Clear();
    sink.ScriptText("in master view");
    EXPECT_FALSE(DropMarker(e.editor));
    EXPECT_EQ(e.view.edit.undo.size(), steps);
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, "Master View");
}

} // namespace
} // namespace tandrel::test
