// The view over an Edit: opening and closing with the saved marks, the stored length, Master
// view, undo and redo through the view, and renaming markers.
#include <gtest/gtest.h>

#include "base/recording_sink.h"
#include "edit/edit_view.h"
#include "edit_test_support.h"
#include "render_model.h"

namespace tandrel::test {
namespace {

EditRecord Silence(uint64_t position, uint64_t length, const Format& f)
{
    const ChannelSource s{kSourceSilence, 0, f.channels == 1 ? kTreatMono : kTreatBoth, 0};
    EditSegment seg = Plain(position, position + length);
    seg.channel[0] = s;
    if (f.channels == 2) seg.channel[1] = s;
    return Record(kStepSilence, position, seg);
}

EditRecord NamedMarker(uint64_t position, uint32_t id, const std::string& name)
{
    return InsertMarkerRecord(position, id, name);
}

class EditViewTest : public ::testing::Test
{
protected:
    void Make(Format format, uint64_t base = 1000)
    {
        format_ = format;
        path = dir.File("view.kdw");
        ASSERT_TRUE(MakeEdit(path, format, 4000, base));
    }
    void Push(const std::vector<EditRecord>& singles)
    {
        for (const EditRecord& r : singles) ASSERT_TRUE(view.edit.EditPushStep({r}));
    }
    RenderModel Rendered() const
    {
        return RenderModel::FromSegments(view.segments.Segments(), format_.channels);
    }
    std::vector<uint64_t> MarkerPositions() const
    {
        std::vector<uint64_t> out;
        for (const MarkerEntry& m : view.markers) out.push_back(m.position);
        return out;
    }

    TempDir dir;
    std::string path;
    EditView view;
    ScopedRecordingSink sink;
    Format format_;
};

TEST_F(EditViewTest, OpenTakesTheFormatAndTheSavedMarks)
{
    Make(kStereo16);
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        edit.EditSetMarks({40, 12, 96});
        edit.EditClose();
    }
    ASSERT_TRUE(view.OpenView(path, false));
    EXPECT_EQ(view.channels, 2u);
    EXPECT_EQ(view.sampleRate, 8000u);
    EXPECT_EQ(view.bitsPerSample, 16u);
    EXPECT_EQ(view.blockAlign, 4u);
    EXPECT_EQ(view.bytesPerSecond, 32000u);
    EXPECT_EQ(view.cursor, 40u);
    EXPECT_EQ(view.leftMark, 12u);
    EXPECT_EQ(view.rightMark, 96u);
    EXPECT_EQ(view.length, 1000u);
    ASSERT_EQ(view.segments.Segments().size(), 1u);
    EXPECT_EQ(view.segments.Segments()[0], Plain(0, 1000));

    view.cursor = 52;
    view.leftMark = kNoPosition;
    view.rightMark = 800;
    view.CloseView();
    EXPECT_FALSE(view.edit.IsOpen());
    const Bytes b = ReadAll(path);
    EXPECT_EQ(Le64(b, 46 + 24), 52u);
    EXPECT_EQ(Le64(b, 46 + 32), kNoPosition);
    EXPECT_EQ(Le64(b, 46 + 40), 800u);
    EXPECT_TRUE(sink.Texts().empty());
    view.CloseView(); // safe twice
}

TEST_F(EditViewTest, OpenFailuresLeaveTheViewClosed)
{
    EXPECT_FALSE(view.OpenView(dir.File("missing.kdw"), false));
    EXPECT_FALSE(view.edit.IsOpen());
    EXPECT_FALSE(view.CanUndo());
    EXPECT_FALSE(view.CanRedo());
    EXPECT_TRUE(sink.Texts().empty());

    Make(kMono8);
    const Bytes good = ReadAll(path);
    Bytes bad = good;
    bad[16] = 16; // "fmt " size
    WriteAll(path, bad);
    EXPECT_FALSE(view.OpenView(path, false));
    EXPECT_FALSE(view.edit.IsOpen());
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"EditOpen (5): Error parsing header in file view.kdw."});

    // The failed open let go of the file.
    WriteAll(path, good);
    EXPECT_TRUE(view.OpenView(path, false));
}

TEST_F(EditViewTest, AFailedReplayIsReportedButTheViewStaysOpen)
{
    Make(kMono8);
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        ASSERT_TRUE(edit.EditPushStep({DeleteRecord(0, 1500)}));
        edit.EditClose();
    }
    EXPECT_TRUE(view.OpenView(path, false));
    EXPECT_TRUE(view.edit.IsOpen());
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"SyncEdit: error parsing type 2"});
}

struct LengthCase
{
    const char* name;
    Format format;
    std::vector<uint64_t> silences; // inserted at the end, one step each
    uint64_t piecesLength;
    uint64_t viewLength;
    uint32_t hundredths;
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }

class EditViewLength : public EditViewTest, public ::testing::WithParamInterface<LengthCase>
{};

TEST_P(EditViewLength, IsStoredInHundredthsOfASecond)
{
    const LengthCase& c = GetParam();
    Make(c.format);
    ASSERT_TRUE(view.OpenView(path, false));
    uint64_t end = 1000;
    for (uint64_t s : c.silences) {
        Push({Silence(end, s, c.format)});
        end += s;
    }
    ASSERT_TRUE(view.SyncEdit());
    EXPECT_EQ(view.segments.Length(), c.piecesLength);
    EXPECT_EQ(view.length, c.viewLength);
    EXPECT_EQ(view.edit.EditGetLength(0), c.hundredths);
    view.CloseView();
    EXPECT_EQ(Le32(ReadAll(path), 46 + 12), c.hundredths);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EditViewLength,
    ::testing::Values(LengthCase{"MonoBaseOnly", kMono8, {}, 1000, 1000, 12},
                      LengthCase{"StereoThreeSeconds", kStereo16, {96000}, 97000, 97000, 303},
                      LengthCase{"RoundedToWholeFrames", kStereo16, {6}, 1006, 1004, 3},
                      LengthCase{"BeyondFourGigabytes", kMono8, {uint64_t{1} << 33}, 8589935592,
                                 8589935592, 107374194}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditViewTest, MasterViewShowsOnlyTheFirstStep)
{
    Make(kMono8);
    ASSERT_TRUE(view.OpenView(path, false));
    Push({DeleteRecord(0, 100), Silence(0, 200, kMono8), Record(kStepInsert, 50, Plain(1000, 1400)),
          DeleteRecord(300, 320), NamedMarker(10, 1, "a"), Silence(900, 8, kMono8),
          DeleteRecord(0, 4), Record(kStepInsert, 0, Plain(2000, 2100)), DeleteRecord(500, 600)});
    ASSERT_EQ(view.edit.undo.size(), 10u);
    ASSERT_TRUE(view.SyncEdit());
    const RenderModel full = Rendered();
    const uint64_t fullLength = view.length;
    const uint32_t fullHundredths = view.edit.EditGetLength(0);
    ASSERT_NE(fullLength, 1000u);

    view.cursor = 7;
    view.leftMark = 3;
    view.rightMark = 9;
    view.SetMasterView(true, true);
    EXPECT_TRUE(view.master);
    ASSERT_EQ(view.segments.Segments().size(), 1u);
    EXPECT_EQ(view.segments.Segments()[0], Plain(0, 1000));
    EXPECT_EQ(view.length, 1000u);
    EXPECT_TRUE(view.markers.empty());
    EXPECT_EQ(view.edit.EditGetLength(0), fullHundredths) << "Master view never stores its length";
    EXPECT_EQ(view.cursor, 0u);
    EXPECT_EQ(view.leftMark, kNoPosition);
    EXPECT_EQ(view.rightMark, kNoPosition);
    EXPECT_FALSE(view.CanUndo());
    EXPECT_FALSE(view.CanRedo());
    EXPECT_EQ(view.edit.EditUndo(), -1);

    view.cursor = 11;
    view.leftMark = 1;
    view.rightMark = 2;
    view.SetMasterView(false, true);
    EXPECT_EQ(Rendered().Difference(full), "");
    EXPECT_EQ(view.length, fullLength);
    EXPECT_EQ(view.cursor, 7u);
    EXPECT_EQ(view.leftMark, 3u);
    EXPECT_EQ(view.rightMark, 9u);

    const Bytes b = ReadAll(path);
    EXPECT_EQ(Le64(b, 46 + 48), 11u);
    EXPECT_EQ(Le64(b, 46 + 56), 1u);
    EXPECT_EQ(Le64(b, 46 + 64), 2u);
    EXPECT_TRUE(sink.Texts().empty());
}

// Whether the view offers undo and redo; which list each replays to is the replay tests' work.
TEST_F(EditViewTest, UndoAndRedoThroughTheView)
{
    Make(kMono8);
    ASSERT_TRUE(view.OpenView(path, false));
    EXPECT_TRUE(view.CanUndo()); // the base step is there, even though it stays
    EXPECT_FALSE(view.CanRedo());
    Push({NamedMarker(100, 5, "Ad")});
    ASSERT_EQ(view.edit.EditUndo(), 0);
    ASSERT_TRUE(view.SyncEdit());
    EXPECT_TRUE(view.markers.empty());
    EXPECT_TRUE(view.CanRedo());
    ASSERT_EQ(view.edit.EditRedo(), 0);
    ASSERT_TRUE(view.SyncEdit());
    EXPECT_EQ(MarkerPositions(), std::vector<uint64_t>{100});
    EXPECT_FALSE(view.CanRedo());
}

TEST_F(EditViewTest, RenamingAMarkerRewritesItsRecordInPlace)
{
    Make(kMono8);
    ASSERT_TRUE(view.OpenView(path, false));
    Push({NamedMarker(100, 11, "Intro"), NamedMarker(500, 12, "Interview"), DeleteRecord(0, 10)});
    ASSERT_TRUE(view.SyncEdit());
    ASSERT_EQ(view.edit.EditUndo(), 0);
    ASSERT_TRUE(view.SyncEdit());
    view.cursor = 33;

    ASSERT_TRUE(view.RenameMarkerText(12, "Listener mail"));
    EXPECT_EQ(view.cursor, 33u);
    EXPECT_EQ(view.MarkerName(12), "Listener mail");
    EXPECT_EQ(view.MarkerName(11), "Intro");
    EXPECT_EQ(view.edit.undo.size(), 3u) << "renaming is not a step";
    EXPECT_EQ(view.edit.redo.size(), 1u) << "renaming keeps the redo list";
    EXPECT_EQ(view.markers.size(), 2u);
    EXPECT_FALSE(view.RenameMarkerText(99, "nobody"));
    EXPECT_EQ(view.MarkerName(99), "");

    // On disk: base (72), "Intro" (77), then the renamed record with its 13-byte name.
    {
        const Bytes b = ReadAll(path);
        const size_t at = kAtRecords + 72 + 77;
        const EditRecord r = DecodeRecord(b, at);
        EXPECT_EQ(r.type, 7u);
        EXPECT_EQ(r.segment.MarkerId(), 12u);
        EXPECT_EQ(r.segment.NameLength(), 13u);
        EXPECT_EQ(std::string(b.begin() + at + 72, b.begin() + at + 85), "Listener mail");
        EXPECT_EQ(Le16(b, 46 + 74), 1u);
        EXPECT_EQ(DecodeRecord(b, at + 85).segment, Plain(0, 10)) << "the redo record follows";
    }

    ASSERT_TRUE(view.RenameMarkerText(12, ""));
    EXPECT_EQ(view.MarkerName(12), "");
    view.CloseView();
    {
        const Bytes b = ReadAll(path);
        const size_t at = kAtRecords + 72 + 77;
        EXPECT_EQ(DecodeRecord(b, at).segment.NameLength(), 0u);
        EXPECT_EQ(DecodeRecord(b, at + 72).segment, Plain(0, 10));
    }
    EditFile reopened;
    ASSERT_TRUE(reopened.EditOpen(path, false, true));
    ASSERT_EQ(reopened.undo.size(), 3u);
    EXPECT_EQ(reopened.undo[1].name, "Intro");
    EXPECT_EQ(reopened.undo[2].name, "");
    EXPECT_TRUE(sink.Texts().empty());
}

} // namespace
} // namespace tandrel::test
