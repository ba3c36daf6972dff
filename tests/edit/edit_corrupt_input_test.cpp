// Damaged files: the damage that must be refused, cuts of the file, and walking a history
// whose group sizes lie. Crash-only damage is the edit_open fuzzer's work.
#include <gtest/gtest.h>

#include <numeric>

#include "base/recording_sink.h"
#include "edit/edit_view.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

/** A mono Edit with a history using every step type, a group, names and a redo list. */
Image RichImage()
{
    Image image;
    image.format = kMono8;
    image.data = Pattern(0, 2000);
    EditSegment silence = Plain(100, 140);
    silence.channel[0] = {kSourceSilence, 0, kTreatMono, 0};
    EditSegment bleep = Plain(200, 260);
    bleep.channel[0] = {kSourceGenerated, FourCC("Blep"), kTreatMono, 1};
    EditSegment gain = Plain(50, 500);
    gain.channel[0] = {0, FourCC("Gain"), kTreatMono | 0x100, 9};
    EditSegment replace = Plain(1500, 1600);
    replace.SetReplacedEnd(700);
    EditRecord pasteA = Record(kStepInsert, 300, Plain(1000, 1100), 0, 2);
    EditRecord pasteB = Record(kStepInsert, 400, Plain(1200, 1210), 0, 2);
    image.undo = {BaseStep(1000),
                  InsertMarkerRecord(20, 1, "First"),
                  Record(kStepSilence, 100, silence),
                  Record(kStepGenerate, 200, bleep),
                  pasteA,
                  pasteB,
                  Record(kStepTreat, 50, gain),
                  InsertMarkerRecord(600, 2, "Second marker"),
                  Record(kStepReplace, 650, replace),
                  DeleteRecord(30, 45),
                  DeleteMarkerRecord(1)};
    image.undo.back().SetName("First");
    image.redo = {DeleteRecord(0, 5), InsertMarkerRecord(5, 3, "")};
    return image;
}

/** Opens `path` read-only, walks the history back and forth (whatever the group sizes say)
    checking the list stays consistent, and returns whether it opened. Only the known
    messages may appear. */
bool OpenAndWalk(const std::string& path, const std::string& what)
{
    ScopedRecordingSink sink;
    EditView view;
    const bool ok = view.OpenView(path, true);
    for (int i = 0; ok && i < 12; ++i) {
        if (i < 6)
            view.edit.EditUndo();
        else
            view.edit.EditRedo();
        view.SyncEdit();
        const auto& segs = view.segments.Segments();
        const uint64_t sum = std::accumulate(segs.begin(), segs.end(), uint64_t{0},
                                             [](uint64_t n, const EditSegment& s) { return n + s.Length(); });
        EXPECT_EQ(view.segments.Length(), sum) << what << " after undo/redo " << i;
        EXPECT_LE(view.length, sum) << what;
        for (const MarkerEntry& m : view.markers)
            EXPECT_TRUE(m.segment < segs.size() && segs[m.segment].IsLiveMarker()) << what;
    }
    view.CloseView();
    for (const std::string& text : sink.Texts()) {
        // Opening a view also renders around the cursor, which may find data missing.
        const bool known = text.rfind("EditOpen", 0) == 0 ||
                           text.rfind("SyncEdit: error parsing type ", 0) == 0 ||
                           text.rfind("Render: ", 0) == 0;
        EXPECT_TRUE(known) << what << ": unexpected message \"" << text << "\"";
    }
    return ok;
}

// A file cut inside its history is refused; cut inside its data, the history is cut back to
// the data and the Edit still opens.
TEST(EditCorruptInput, TruncationOpensOnlyWithTheWholeHistory)
{
    TempDir dir;
    const std::string path = dir.File("cut.kdw");
    const Bytes whole = BuildImage(RichImage());
    for (size_t length : {kAtRecords, kAtRecords + 72 + 40, size_t{5000}, kAtData, kAtData + 999,
                          kAtData + 1205, whole.size() - 1, whole.size()}) {
        WriteAll(path, Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(length)));
        EXPECT_EQ(OpenAndWalk(path, "cut at " + std::to_string(length)), length >= kAtData) << length;
    }
    ScopedRecordingSink sink;
    EditView view;
    ASSERT_TRUE(view.OpenView(path, true));
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_EQ(view.edit.undo.size(), 11u);
    EXPECT_EQ(view.edit.redo.size(), 2u);
}

TEST(EditCorruptInput, ImpossibleCountsFailAndOddGroupSizesStaySafe)
{
    TempDir dir;
    const std::string path = dir.File("counts.kdw");
    const Bytes whole = BuildImage(RichImage());
    const size_t firstMarkerNameLength = kAtRecords + 72 + 48;
    const size_t firstPasteGroupSize = kAtRecords + 4 * 72 + 5; // behind the name "First"
    ASSERT_EQ(Le32(whole, firstMarkerNameLength), 5u);
    struct Damage
    {
        const char* name;
        size_t at;
        uint32_t value;
        int width;
        bool mustFail;
    };
    const Damage damages[] = {
        {"UndoCountMax", 46 + 72, 0xFFFF, 2, true},
        {"RedoCountMax", 46 + 74, 0xFFFF, 2, true},
        {"NameLengthHuge", firstMarkerNameLength, 0xFFFFFFF0, 4, true},
        {"NameLengthAllOnes", firstMarkerNameLength, 0xFFFFFFFF, 4, true},
        {"GroupSizeHuge", firstPasteGroupSize, 0xFFFFFFFF, 4, false},
        {"GroupSizeZero", firstPasteGroupSize, 0, 4, false},
    };
    for (const Damage& d : damages) {
        Bytes b = whole;
        if (d.width == 2)
            PutLe16(b, d.at, uint16_t(d.value));
        else
            PutLe32(b, d.at, d.value);
        WriteAll(path, b);
        const bool opened = OpenAndWalk(path, d.name);
        EXPECT_FALSE(opened && d.mustFail) << d.name;
    }
}

} // namespace
} // namespace tandrel::test
