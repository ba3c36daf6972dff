// How history records and their name texts are laid out in the program chunk, and the
// limit the chunk puts on the history.
#include <gtest/gtest.h>

#include "base/recording_sink.h"
#include "edit/edit_file.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

struct StoredRecordCase
{
    const char* name;
    EditRecord record;
    uint32_t expectSize;
};

EditRecord WithChannel0Flags(uint32_t type, uint32_t flags)
{
    EditSegment s = Plain(0, 10);
    s.channel[0].treatFlags = flags; // sits where a marker keeps its name length
    s.channel[0].treatParam = 0x1234;
    return Record(type, 0, s);
}

EditRecord DeleteMarkerWithName(uint32_t id, const std::string& name)
{
    EditRecord r = DeleteMarkerRecord(id);
    r.SetName(name);
    return r;
}

const std::vector<StoredRecordCase>& StoredCases()
{
    static const std::vector<StoredRecordCase> cases = {
        {"MarkerWithTenByteName", InsertMarkerRecord(10, 501, "Chapter 01"), 82},
        {"MarkerWithoutName", InsertMarkerRecord(20, 502, ""), 72},
        {"DeleteMarkerKeepsItsName", DeleteMarkerWithName(501, "Ad break"), 80},
        {"TreatFlagsAreNotAName", WithChannel0Flags(kStepTreat, 0x10101), 72},
        {"InsertWithChannelBits", WithChannel0Flags(kStepInsert, kTreatBoth), 72},
        {"LongName", InsertMarkerRecord(30, 503, std::string(300, 'x')), 372},
    };
    return cases;
}

TEST(EditRecordStorage, EachRecordTakesItsSizeAndReadsBack)
{
    TempDir dir;
    const std::string path = dir.File("records.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 100, 100));
    const auto& cases = StoredCases();
    ScopedRecordingSink sink;
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        for (const auto& c : cases) ASSERT_TRUE(edit.EditPushStep({c.record})) << c.name;
        uint64_t expected = 80 + 72;
        for (const auto& c : cases) expected += c.expectSize;
        EXPECT_EQ(edit.HistoryBytes(), expected);
        edit.EditClose();
    }
    EXPECT_TRUE(sink.Texts().empty());

    // Walk the chunk by the sizes the records must take.
    const Bytes b = ReadAll(path);
    ASSERT_EQ(Le16(b, 46 + 72), cases.size() + 1);
    size_t at = kAtRecords + 72;
    for (const auto& c : cases) {
        const EditRecord got = DecodeRecord(b, at);
        EXPECT_EQ(got.type, c.record.type) << c.name << " at " << at;
        EXPECT_EQ(got.segment, c.record.segment) << c.name;
        if (c.record.HasNameText()) {
            EXPECT_EQ(std::string(b.begin() + std::ptrdiff_t(at + 72),
                                  b.begin() + std::ptrdiff_t(at + 72 + c.record.name.size())),
                      c.record.name)
                << c.name;
        }
        at += c.expectSize;
    }

    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(path, false, true));
    ASSERT_EQ(edit.undo.size(), cases.size() + 1);
    for (size_t i = 0; i < cases.size(); ++i) {
        const EditRecord& got = edit.undo[i + 1];
        EXPECT_EQ(got.type, cases[i].record.type) << cases[i].name;
        EXPECT_EQ(got.segment.dataStart, cases[i].record.segment.dataStart) << cases[i].name;
        EXPECT_EQ(got.segment.channel[0].source, cases[i].record.segment.channel[0].source);
        EXPECT_EQ(got.segment.channel[0].treatFlags, cases[i].record.segment.channel[0].treatFlags);
        EXPECT_EQ(got.segment.channel[1], cases[i].record.segment.channel[1]);
        EXPECT_EQ(got.name, cases[i].record.name) << cases[i].name;
        EXPECT_EQ(got.StoredSize(), cases[i].expectSize) << cases[i].name;
    }
}

TEST(EditRecordStorage, SingleRecordPushFillsGroupSizeAndName)
{
    TempDir dir;
    const std::string path = dir.File("single.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 100, 100));
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        ASSERT_TRUE(edit.EditPushStep(kStepInsertMarker, 42, MarkerSegment(9), 0, "Intro"));
        edit.EditClose();
    }
    const Bytes b = ReadAll(path);
    const EditRecord r = DecodeRecord(b, kAtRecords + 72);
    EXPECT_EQ(r.groupSize, 1u);
    EXPECT_EQ(r.type, 7u);
    EXPECT_EQ(r.position, 42u);
    EXPECT_EQ(r.segment.MarkerId(), 9u);
    EXPECT_EQ(r.segment.NameLength(), 5u);
    EXPECT_EQ(std::string(b.begin() + kAtRecords + 144, b.begin() + kAtRecords + 149), "Intro");
}

// --- The 524288-byte budget ----------------------------------------------------------------

// 80 + 72 x 7280 + 48 is exactly the size of the program chunk.
constexpr size_t kRecordsAtLimit = 7280;
constexpr size_t kNameAtLimit = 48;

void FillHistory(EditFile& edit, size_t undoCount, size_t redoCount, size_t nameBytes)
{
    while (edit.undo.size() + 1 < undoCount) {
        const uint64_t i = edit.undo.size();
        edit.undo.push_back(DeleteRecord(i, i + 1));
    }
    edit.undo.push_back(InsertMarkerRecord(0, 4242, std::string(nameBytes, 'n')));
    for (size_t i = 0; i < redoCount; ++i) edit.redo.push_back(DeleteRecord(i, i + 2));
}

TEST(EditHistoryBudget, AFullChunkSavesAndOneByteMoreIsRefused)
{
    TempDir dir;
    const std::string path = dir.File("budget.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 100, 100));
    const size_t undoCount = 7001, redoCount = kRecordsAtLimit - undoCount;

    ScopedRecordingSink sink;
    Bytes saved;
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        FillHistory(edit, undoCount, redoCount, kNameAtLimit);
        EXPECT_EQ(edit.HistoryBytes(), 524288u);
        ASSERT_EQ(edit.EditSave(), 0);
        EXPECT_TRUE(sink.Texts().empty());

        saved = ReadAll(path);
        ASSERT_EQ(saved.size(), 524342u + 100u) << "the history must never move the data";
        EXPECT_EQ(Le16(saved, 46 + 72), undoCount);
        EXPECT_EQ(Le16(saved, 46 + 74), redoCount);
        // The last redo record ends exactly where the data chunk begins.
        const EditRecord last = DecodeRecord(saved, 524334 - 72);
        EXPECT_EQ(last.type, 2u);
        EXPECT_EQ(last.segment, Plain(redoCount - 1, redoCount + 1));
        EXPECT_EQ(Id4(saved, 524334), "data");
        EXPECT_EQ(Le32(saved, 524338), 100u);

        edit.undo.back().SetName(std::string(kNameAtLimit + 1, 'n'));
        edit.header.normal.cursor = 5; // would show in the file if anything were written
        EXPECT_EQ(edit.EditSave(), -1);
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{
                                    "EditSave: The undo/redo stack has exceeded its size limit."});
        EXPECT_EQ(ReadAll(path), saved);
        EXPECT_EQ(edit.undo.size(), undoCount);
        EXPECT_EQ(edit.redo.size(), redoCount);

        edit.undo.back().SetName(std::string(kNameAtLimit, 'n'));
        edit.header.normal.cursor = 0;
        edit.EditClose();
    }

    EditFile again;
    ASSERT_TRUE(again.EditOpen(path, false, true));
    ASSERT_EQ(again.undo.size(), undoCount);
    ASSERT_EQ(again.redo.size(), redoCount);
    EXPECT_EQ(again.undo.back().name, std::string(kNameAtLimit, 'n'));
    EXPECT_EQ(again.undo[undoCount - 2].segment, Plain(undoCount - 2, undoCount - 1));
    EXPECT_EQ(again.redo.back().segment, Plain(redoCount - 1, redoCount + 1));
}

TEST(EditHistoryBudget, APushThatDoesNotFitIsTakenBackOff)
{
    TempDir dir;
    const std::string path = dir.File("push-budget.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 100, 100));

    ScopedRecordingSink sink;
    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(path, false, false));
    // Room for exactly one more plain record.
    FillHistory(edit, kRecordsAtLimit - 1, 0, kNameAtLimit);
    ASSERT_EQ(edit.EditSave(), 0);

    EXPECT_TRUE(edit.EditPushStep(kStepDelete, 0, Plain(0, 1)));
    EXPECT_EQ(edit.HistoryBytes(), 524288u);
    ASSERT_EQ(edit.EditUndo(), 0);
    ASSERT_EQ(edit.redo.size(), 1u);
    const Bytes beforePush = ReadAll(path);
    ASSERT_EQ(Le16(beforePush, 46 + 74), 1u);

    EditRecord a = DeleteRecord(0, 1), b = DeleteRecord(1, 2);
    a.groupSize = b.groupSize = 2;
    EXPECT_FALSE(edit.EditPushStep({a, b}));
    EXPECT_EQ(edit.undo.size(), kRecordsAtLimit - 1);
    EXPECT_EQ(edit.undo.back().type, kStepInsertMarker);
    EXPECT_TRUE(edit.redo.empty()) << "the redo list stays cleared after a failed push";
    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>{"EditSave: The undo/redo stack has exceeded its size limit."});
    EXPECT_EQ(ReadAll(path), beforePush);

    // A single record fits again; the one after it does not.
    EXPECT_TRUE(edit.EditPushStep(kStepDelete, 0, Plain(3, 4)));
    EXPECT_FALSE(edit.EditPushStep(kStepDelete, 0, Plain(5, 6)));
    EXPECT_EQ(edit.undo.size(), kRecordsAtLimit);
    EXPECT_EQ(edit.undo.back().segment, Plain(3, 4));
    EXPECT_EQ(sink.Texts().size(), 2u);
}

} // namespace
} // namespace tandrel::test
