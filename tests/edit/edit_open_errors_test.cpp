// Opening hand-built files: what is accepted, what is refused with the parse message, the
// version 4 header, and histories that point past the sample data.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "base/recording_sink.h"
#include "edit/edit_file.h"
#include "edit/edit_view.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

Image SmallImage()
{
    Image image;
    image.format = {2, 22050, 16};
    image.length[0] = 3;
    image.length[1] = 4;
    image.length[2] = 4;
    image.normal = {8, 4, 12};
    image.master = {16, 0, 20};
    image.data = Pattern(0, 400);
    image.undo = {BaseStep(400), DeleteRecord(0, 100), InsertMarkerRecord(40, 77, "Guest")};
    image.redo = {DeleteRecord(8, 16)};
    return image;
}

TEST(EditOpenImage, AHandBuiltFileOpensWithEveryField)
{
    TempDir dir;
    const std::string path = dir.File("hand.kdw");
    const Image image = SmallImage();
    WriteAll(path, BuildImage(image));

    ScopedRecordingSink sink;
    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(path, false, false));
    EXPECT_EQ(edit.channels, 2u);
    EXPECT_EQ(edit.sampleRate, 22050u);
    EXPECT_EQ(edit.bitsPerSample, 16u);
    EXPECT_EQ(edit.header.version, 5u);
    EXPECT_EQ(edit.EditGetLength(0), 3u);
    EXPECT_EQ(edit.EditGetLength(1), 4u);
    EXPECT_EQ(edit.header.normal, image.normal);
    EXPECT_EQ(edit.header.master, image.master);
    EXPECT_EQ(edit.EditDataLength(), 400u);
    ASSERT_EQ(edit.undo.size(), 3u);
    ASSERT_EQ(edit.redo.size(), 1u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(edit.undo[i].type, image.undo[i].type);
        EXPECT_EQ(edit.undo[i].position, image.undo[i].position);
        EXPECT_EQ(edit.undo[i].flags, image.undo[i].flags);
        EXPECT_EQ(edit.undo[i].segment.dataStart, image.undo[i].segment.dataStart);
        EXPECT_EQ(edit.undo[i].segment.dataEnd, image.undo[i].segment.dataEnd);
    }
    EXPECT_EQ(edit.undo[2].name, "Guest");
    EXPECT_EQ(edit.undo[2].segment.MarkerId(), 77u);
    EXPECT_EQ(edit.undo[2].segment.NameLength(), 5u);
    EXPECT_EQ(edit.redo[0].segment, Plain(8, 16));
    EXPECT_TRUE(sink.Texts().empty());
}

// An append interrupted before its commit leaves stale size fields; the data length always
// comes from the file's real size, and the next commit puts both fields right.
TEST(EditOpenImage, StaleSizeFieldsAreNotTrusted)
{
    TempDir dir;
    const std::string path = dir.File("stale.kdw");
    Bytes b = BuildImage(SmallImage());
    PutLe32(b, 4, 1234);
    PutLe32(b, 524338, 77);
    WriteAll(path, b);

    ScopedRecordingSink sink;
    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(path, false, false));
    EXPECT_EQ(edit.EditDataLength(), 400u);
    EXPECT_EQ(edit.undo.size(), 3u);
    uint64_t start = 0, end = 0;
    ASSERT_TRUE(AppendData(edit, Pattern(400, 8), start, end));
    EXPECT_EQ(start, 400u);
    EXPECT_EQ(end, 408u);
    edit.EditClose();
    const Bytes after = ReadAll(path);
    EXPECT_EQ(Le32(after, 4), after.size() - 8);
    EXPECT_EQ(Le32(after, 524338), 408u);
    EXPECT_TRUE(sink.Texts().empty());
}

TEST(EditOpenImage, RecordsOfTypeZeroAreDropped)
{
    TempDir dir;
    const std::string path = dir.File("zero.kdw");
    Image image = SmallImage();
    image.undo = {BaseStep(400), Record(0, 5, Plain(1, 2)), DeleteRecord(0, 10)};
    image.redo = {Record(0, 0, Plain(0, 0)), DeleteRecord(2, 4)};
    WriteAll(path, BuildImage(image));

    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(path, false, true));
    ASSERT_EQ(edit.undo.size(), 2u);
    EXPECT_EQ(edit.undo[0].type, 1u);
    EXPECT_EQ(edit.undo[1].type, 2u);
    EXPECT_EQ(edit.undo[1].segment, Plain(0, 10));
    ASSERT_EQ(edit.redo.size(), 1u);
    EXPECT_EQ(edit.redo[0].segment, Plain(2, 4));
}

struct Corruption
{
    const char* name;
    std::function<void(Bytes&)> apply;
};

void PrintTo(const Corruption& c, std::ostream* os) { *os << c.name; }

class EditOpenRejects : public ::testing::TestWithParam<Corruption>
{};

TEST_P(EditOpenRejects, WithTheParseMessageNamingTheFile)
{
    TempDir dir;
    const std::string path = dir.File("broken show.kdw");
    Bytes b = BuildImage(SmallImage());
    GetParam().apply(b);
    WriteAll(path, b);

    ScopedRecordingSink sink;
    EditFile edit;
    EXPECT_FALSE(edit.EditOpen(path, false, false));
    EXPECT_EQ(edit.LastSystemError(), EBADMSG);
    edit.EditClose();
    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>{"EditOpen (5): Error parsing header in file broken show.kdw."});
    EXPECT_EQ(ReadAll(path), b);
}

void SetId(Bytes& b, size_t at, const char* id) { std::copy(id, id + 4, b.begin() + std::ptrdiff_t(at)); }

INSTANTIATE_TEST_SUITE_P(
    Layouts, EditOpenRejects,
    ::testing::Values(
        Corruption{"RiffId", [](Bytes& b) { SetId(b, 0, "RIFX"); }},
        Corruption{"WaveId", [](Bytes& b) { SetId(b, 8, "AVI "); }},
        Corruption{"FmtId", [](Bytes& b) { SetId(b, 12, "fmtx"); }},
        Corruption{"FmtSize16", [](Bytes& b) { PutLe32(b, 16, 16); }},
        Corruption{"FmtSize20", [](Bytes& b) { PutLe32(b, 16, 20); }},
        Corruption{"FormatTag3", [](Bytes& b) { PutLe16(b, 20, 3); }},
        Corruption{"FormatTag0", [](Bytes& b) { PutLe16(b, 20, 0); }},
        Corruption{"ProgramId", [](Bytes& b) { SetId(b, 38, "KDex"); }},
        Corruption{"ProgramSizeSmaller", [](Bytes& b) { PutLe32(b, 42, 524287); }},
        Corruption{"ProgramSizeLarger", [](Bytes& b) { PutLe32(b, 42, 524289); }},
        Corruption{"DataIdMissing", [](Bytes& b) { SetId(b, 524334, "JUNK"); }},
        Corruption{"DataIdMovedBack",
                   [](Bytes& b) {
                       SetId(b, 524334, "\0\0\0\0");
                       SetId(b, 524330, "data");
                   }},
        Corruption{"Version3", [](Bytes& b) { PutLe32(b, 46, 3); }},
        Corruption{"Version6", [](Bytes& b) { PutLe32(b, 46, 6); }},
        Corruption{"EmptyFile", [](Bytes& b) { b.clear(); }},
        Corruption{"CutInsideFormat", [](Bytes& b) { b.resize(30); }},
        Corruption{"CutInsideHeader", [](Bytes& b) { b.resize(100); }},
        Corruption{"CutBeforeVersion", [](Bytes& b) { b.resize(48); }},
        Corruption{"CutBeforeDataChunk", [](Bytes& b) { b.resize(524334); }},
        Corruption{"CutInsideDataSize", [](Bytes& b) { b.resize(524340); }}),
    [](const auto& info) { return std::string(info.param.name); });

class EditOpenUnreadable : public ::testing::TestWithParam<Unreadable>
{};

// A failed open must not write a byte: not the save of the close, nor the one of the
// destructor, nor an explicit save, nor the view's open and close.
TEST_P(EditOpenUnreadable, LeavesEveryByteAndSaysWhy)
{
    TempDir dir;
    const std::string path = dir.File("Show.kdw");
    const Bytes before = WriteUnreadable(path, GetParam());

    ScopedRecordingSink sink;
    {
        EditFile edit;
        EXPECT_FALSE(edit.EditOpen(path, false, false));
        EXPECT_EQ(edit.LastSystemError(), EBADMSG);
        EXPECT_FALSE(edit.IsOpen());
        EXPECT_EQ(edit.EditSave(), -1);
    }
    {
        EditFile edit;
        EXPECT_FALSE(edit.EditOpen(path, false, false));
        edit.EditClose();
    }
    EditView view;
    EXPECT_FALSE(view.OpenView(path, false));
    view.CloseView();
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EditOpenUnreadable, ::testing::ValuesIn(kUnreadableKinds),
                         [](const auto& info) { return std::string(UnreadableName(info.param)); });

TEST(EditOpenMissing, FailsQuietlyAndKeepsTheSystemError)
{
    TempDir dir;
    ScopedRecordingSink sink;
    EditFile edit;
    EXPECT_FALSE(edit.EditOpen(dir.File("absent.kdw"), false, false));
    EXPECT_EQ(edit.LastSystemError(), ENOENT);
    edit.EditClose();
    EXPECT_TRUE(sink.Texts().empty());
}

// --- Version 4 ---------------------------------------------------------------------------

TEST(EditOpenVersion4, IsConvertedAndSavedWithTheLongHeader)
{
    TempDir dir;
    const std::string path = dir.File("old.kdw");
    Image image;
    image.format = kMono8;
    image.version = 4;
    image.length[0] = 12;
    image.length[1] = 13;
    image.length[2] = 14;
    image.normal = {5, 10, 90};
    image.data = Pattern(0, 100);
    const EditRecord base = BaseStep(100);
    const EditRecord cut = DeleteRecord(10, 20);
    image.undo = {base};
    image.redo = {cut};
    const Bytes original = BuildImage(image);
    ASSERT_EQ(Le16(original, 46 + 48), 1u); // the short header keeps its counts at 48 and 50
    ASSERT_EQ(Le16(original, 46 + 50), 1u);
    ASSERT_EQ(Le32(original, 102 + 4), 1u); // and its first record right behind, at 102
    WriteAll(path, original);

    ScopedRecordingSink sink;
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        EXPECT_EQ(edit.header.version, 5u);
        EXPECT_EQ(edit.EditGetLength(0), 12u);
        EXPECT_EQ(edit.EditGetLength(1), 13u);
        EXPECT_EQ(edit.EditGetLength(2), 14u);
        EXPECT_EQ(edit.header.normal, (MarkTriple{5, 10, 90}));
        EXPECT_EQ(edit.header.master, MarkTriple{});
        ASSERT_EQ(edit.undo.size(), 1u);
        ASSERT_EQ(edit.redo.size(), 1u);
        EXPECT_EQ(edit.undo[0].segment, base.segment);
        EXPECT_EQ(edit.undo[0].flags, kRecordBaseStep);
        EXPECT_EQ(edit.redo[0].segment, cut.segment);
        ASSERT_EQ(edit.EditSave(), 0);
        edit.EditClose();
    }
    EXPECT_TRUE(sink.Texts().empty());

    const Bytes b = ReadAll(path);
    EXPECT_EQ(Le32(b, 46), 5u);
    EXPECT_EQ(Le32(b, 46 + 12), 12u);
    EXPECT_EQ(Le64(b, 46 + 24), 5u);
    EXPECT_EQ(Le64(b, 46 + 32), 10u);
    EXPECT_EQ(Le64(b, 46 + 40), 90u);
    EXPECT_EQ(Le64(b, 46 + 48), 0u);
    EXPECT_EQ(Le64(b, 46 + 56), ~uint64_t{0});
    EXPECT_EQ(Le64(b, 46 + 64), ~uint64_t{0});
    EXPECT_EQ(Le16(b, 46 + 72), 1u);
    EXPECT_EQ(Le16(b, 46 + 74), 1u);
    const Bytes baseBytes = EncodeRecord(base);
    const Bytes cutBytes = EncodeRecord(cut);
    EXPECT_EQ(Bytes(b.begin() + 126, b.begin() + 198), baseBytes);
    EXPECT_EQ(Bytes(b.begin() + 198, b.begin() + 270), cutBytes);
    EXPECT_EQ(Bytes(b.begin() + 524342, b.end()), Pattern(0, 100));

    // And it reads back as a version 5 file.
    EditFile again;
    ASSERT_TRUE(again.EditOpen(path, false, true));
    EXPECT_EQ(again.undo.size(), 1u);
    EXPECT_EQ(again.redo.size(), 1u);
    EXPECT_EQ(again.header.normal, (MarkTriple{5, 10, 90}));
}

// --- Histories that name data the file does not hold ----------------------------------------

struct PastDataCase
{
    const char* name;
    std::vector<EditRecord> undo;
    std::vector<EditRecord> redo;
    size_t expectUndo;
    size_t expectRedo;
};

EditRecord GeneratedInsert(uint64_t start, uint64_t end)
{
    EditSegment s = Plain(start, end);
    s.channel[0] = {kSourceSilence, 0, kTreatMono, 0};
    return Record(kStepInsert, 0, s);
}

EditRecord Replace(uint64_t position, uint64_t replacedEnd, uint64_t start, uint64_t end)
{
    EditSegment s = Plain(start, end);
    s.SetReplacedEnd(replacedEnd);
    return Record(kStepReplace, position, s);
}

void PrintTo(const PastDataCase& c, std::ostream* os) { *os << c.name; }

class EditOpenPastData : public ::testing::TestWithParam<PastDataCase>
{};

TEST_P(EditOpenPastData, CutsTheHistoryBackAndStillOpens)
{
    const PastDataCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("past.kdw");
    Image image;
    image.format = kMono8;
    image.data = Pattern(0, 1000);
    image.undo = c.undo;
    image.redo = c.redo;
    WriteAll(path, BuildImage(image));

    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(path, false, false));
    ASSERT_EQ(edit.undo.size(), c.expectUndo);
    ASSERT_EQ(edit.redo.size(), c.expectRedo);
    for (size_t i = 0; i < c.expectUndo; ++i)
        EXPECT_EQ(edit.undo[i].segment, c.undo[i].segment) << "undo record " << i;
    for (size_t i = 0; i < c.expectRedo; ++i)
        EXPECT_EQ(edit.redo[i].segment, c.redo[i].segment) << "redo record " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Histories, EditOpenPastData,
    ::testing::Values(
        PastDataCase{"AllInside", {BaseStep(1000), Record(1, 5, Plain(0, 1000))}, {}, 2, 0},
        PastDataCase{"InsertPastEnd",
                     {BaseStep(1000), DeleteRecord(0, 5), Record(1, 0, Plain(900, 1001)),
                      DeleteRecord(0, 5)},
                     {DeleteRecord(1, 2)},
                     2,
                     1},
        PastDataCase{"InsertStartingPastEnd",
                     {BaseStep(500), Record(1, 0, Plain(1200, 1300))}, {}, 1, 0},
        PastDataCase{"BaseStepPastEnd", {BaseStep(4000), DeleteRecord(0, 5)}, {}, 0, 0},
        PastDataCase{"ReplacePastEnd",
                     {BaseStep(1000), Replace(0, 10, 990, 1010), DeleteRecord(0, 5)}, {}, 1, 0},
        PastDataCase{"ReplaceAtEnd", {BaseStep(1000), Replace(0, 10, 990, 1000)}, {}, 2, 0},
        PastDataCase{"GeneratedInsertIsKept",
                     {BaseStep(1000), GeneratedInsert(5000, 9000)}, {}, 2, 0},
        PastDataCase{"DeleteRangeIsNotData",
                     {BaseStep(1000), DeleteRecord(1500, 2000)}, {}, 2, 0},
        PastDataCase{"RedoPastEndIsDropped",
                     {BaseStep(1000)},
                     {DeleteRecord(0, 5), Record(1, 0, Plain(0, 2000)), DeleteRecord(0, 1)},
                     1,
                     0},
        PastDataCase{"RedoReplacePastEndIsDropped",
                     {BaseStep(1000)}, {Replace(0, 10, 1000, 1002)}, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Opened for editing, the cut would become lasting at the next save: the history as it was
// is kept beside the Edit first, and the user is told what went. Readers say nothing.
TEST(EditOpenCutHistory, KeepsTheHistoryAsItWasAndSaysWhatWasDropped)
{
    TempDir dir;
    const std::string path = dir.File("Show.kdw");
    Image image;
    image.format = kMono8;
    image.data = Pattern(0, 1000);
    image.undo = {BaseStep(1000), DeleteRecord(0, 5), Record(1, 0, Plain(900, 1001)), DeleteRecord(0, 5)};
    image.redo = {Record(1, 0, Plain(0, 2000))};
    const Bytes original = BuildImage(image);
    WriteAll(path, original);

    ScopedRecordingSink sink;
    {
        EditFile reader;
        ASSERT_TRUE(reader.EditOpen(path, false, true));
    }
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_FALSE(FileExists(path + ".history"));
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        EXPECT_EQ(edit.undo.size(), 2u);
    }
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, "History Shortened");
    EXPECT_EQ(sink.Messages()[0].text,
              "The history of \"Show.kdw\" uses audio the file does not hold.  Dropped: the last 2 "
              "steps to undo, 1 step to redo.  The history as it was is kept in \"Show.kdw.history\".");
    EXPECT_EQ(ReadAll(path + ".history"),
              Bytes(original.begin() + kAtHeader, original.begin() + kAtDataId));
}

} // namespace
} // namespace tandrel::test
