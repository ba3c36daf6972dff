// Damaged files: whatever the bytes say, opening and replaying either works or fails with a
// message, and never crashes or leaves the edit list inconsistent.
#include <gtest/gtest.h>

#include <numeric>
#include <sstream>

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

size_t HistoryEnd(const Image& image)
{
    size_t at = kAtRecords;
    for (const auto* list : {&image.undo, &image.redo})
        for (const EditRecord& r : *list) at += EncodeRecord(r).size();
    return at;
}

/** Empty when the view is self-consistent, else what is wrong. */
std::string ViewProblems(const EditView& view)
{
    std::ostringstream out;
    const auto& segs = view.segments.Segments();
    const uint64_t sum = std::accumulate(segs.begin(), segs.end(), uint64_t{0},
                                         [](uint64_t n, const EditSegment& s) { return n + s.Length(); });
    if (view.segments.Length() != sum)
        out << "list length " << view.segments.Length() << " but pieces sum to " << sum << "; ";
    if (view.length > sum) out << "view length " << view.length << " beyond the pieces; ";
    uint64_t last = 0;
    for (const MarkerEntry& m : view.markers) {
        if (m.segment >= segs.size()) {
            out << "marker refers to segment " << m.segment << " of " << segs.size() << "; ";
            continue;
        }
        if (!segs[m.segment].IsLiveMarker()) out << "marker entry on a non-marker; ";
        if (m.position < last || m.position > sum) out << "marker position " << m.position << "; ";
        last = m.position;
    }
    return out.str();
}

/** Opens `path` read-only in a fresh view, checks the outcome and returns the messages. */
std::vector<std::string> OpenAndCheck(const std::string& path, const std::string& what,
                                      bool* opened = nullptr)
{
    ScopedRecordingSink sink;
    EditView view;
    const bool ok = view.OpenView(path, true);
    if (opened) *opened = ok;
    if (ok) {
        EXPECT_EQ(ViewProblems(view), "") << what;
        // A second replay of the same history gives the same list.
        const auto first = view.segments.Segments();
        const bool again = view.SyncEdit();
        (void)again;
        EXPECT_EQ(view.segments.Segments(), first) << what;
        EXPECT_EQ(ViewProblems(view), "") << what;
        // Walking the history back and forth must stay safe whatever the group sizes say.
        for (int i = 0; i < 12; ++i) {
            if (i < 6)
                view.edit.EditUndo();
            else
                view.edit.EditRedo();
            view.SyncEdit();
            EXPECT_EQ(ViewProblems(view), "") << what << " after undo/redo " << i;
        }
    }
    view.CloseView();
    for (const std::string& text : sink.Texts()) {
        // Opening a view also renders around the cursor, which may find data missing.
        const bool known = text.rfind("EditOpen", 0) == 0 ||
                           text.rfind("SyncEdit: error parsing type ", 0) == 0 ||
                           text.rfind("Render: ", 0) == 0;
        EXPECT_TRUE(known) << what << ": unexpected message \"" << text << "\"";
    }
    return sink.Texts();
}

TEST(EditCorruptInput, TheUndamagedImageReplaysCleanly)
{
    TempDir dir;
    const std::string path = dir.File("rich.kdw");
    WriteAll(path, BuildImage(RichImage()));
    ScopedRecordingSink sink;
    EditView view;
    ASSERT_TRUE(view.OpenView(path, true));
    EXPECT_TRUE(sink.Texts().empty()) << sink.Texts().front();
    EXPECT_EQ(view.edit.undo.size(), 11u);
    EXPECT_EQ(view.edit.redo.size(), 2u);
    EXPECT_EQ(view.markers.size(), 1u);
    EXPECT_EQ(view.MarkerName(2), "Second marker");
    EXPECT_EQ(ViewProblems(view), "");
}

TEST(EditCorruptInput, TruncationAtAnyLength)
{
    TempDir dir;
    const std::string path = dir.File("cut.kdw");
    const Image image = RichImage();
    const Bytes whole = BuildImage(image);
    const size_t historyEnd = HistoryEnd(image);

    std::vector<size_t> lengths = {0, 3, 4, 8, 11, 12, 16, 20, 37, 38, 42, 45, 46, 47, 50,
                                   100, 125, 126, 127, 5000, 524333, 524334, 524337,
                                   524338, 524341, 524342, 524343, 524342 + 999,
                                   524342 + 1205, whole.size() - 1, whole.size()};
    for (size_t at = kAtRecords; at < historyEnd + 8; at += 7) lengths.push_back(at);

    for (size_t length : lengths) {
        WriteAll(path, Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(length)));
        const std::string what = "cut at " + std::to_string(length);
        bool opened = false;
        const auto texts = OpenAndCheck(path, what, &opened);
        if (length < kAtData) {
            EXPECT_FALSE(opened) << what;
        } else {
            EXPECT_TRUE(opened) << what << ": the history is cut back to the data, not refused";
        }
        if (length < kAtRecords || (length >= kAtDataId && length < kAtData)) {
            EXPECT_EQ(texts,
                      std::vector<std::string>{"EditOpen (5): Error parsing header in file cut.kdw."})
                << what;
        }
    }
}

TEST(EditCorruptInput, ImpossibleCountsAndNameLengths)
{
    TempDir dir;
    const std::string path = dir.File("counts.kdw");
    const Image image = RichImage();
    const Bytes whole = BuildImage(image);
    const size_t firstMarkerNameLength = kAtRecords + 72 + 48;
    ASSERT_EQ(Le32(whole, firstMarkerNameLength), 5u);

    struct Damage
    {
        const char* name;
        size_t at;
        uint32_t value;
        int width;
        bool mustFail;
    };
    const std::vector<Damage> damages = {
        {"UndoCountMax", 46 + 72, 0xFFFF, 2, true},
        {"RedoCountMax", 46 + 74, 0xFFFF, 2, true},
        {"UndoCountJustPastTheChunk", 46 + 72, 7281, 2, false},
        {"UndoCountOneMore", 46 + 72, 12, 2, false},
        {"NameLengthHuge", firstMarkerNameLength, 0xFFFFFFF0, 4, true},
        {"NameLengthAllOnes", firstMarkerNameLength, 0xFFFFFFFF, 4, true},
        {"NameLengthTheWholeChunk", firstMarkerNameLength, 524288, 4, false},
        {"NameLengthOneMore", firstMarkerNameLength, 6, 4, false},
        // The first paste record: behind the base step and the five-byte name of "First".
        {"GroupSizeHuge", kAtRecords + 4 * 72 + 5, 0xFFFFFFFF, 4, false},
        {"GroupSizeZero", kAtRecords + 4 * 72 + 5, 0, 4, false},
        {"TypeHuge", kAtRecords + 2 * 72 + 4 + 5, 0xFFFFFFFF, 4, false},
        {"ChannelsZero", 22, 0, 2, false},
        {"BitsZero", 34, 0, 2, false},
        {"RateZero", 24, 0, 4, false},
    };
    for (const Damage& d : damages) {
        Bytes b = whole;
        if (d.width == 2)
            PutLe16(b, d.at, uint16_t(d.value));
        else
            PutLe32(b, d.at, d.value);
        WriteAll(path, b);
        bool opened = true;
        OpenAndCheck(path, d.name, &opened);
        if (d.mustFail) {
            EXPECT_FALSE(opened) << d.name;
        }
    }
}

/** splitmix64: a small generator whose sequence is the same everywhere. */
class Random
{
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t Below(uint64_t n) { return Next() % n; }

private:
    uint64_t state_;
};

TEST(EditCorruptInput, RandomDamageNeverCrashes)
{
    TempDir dir;
    const std::string path = dir.File("flips.kdw");
    const Image image = RichImage();
    const Bytes whole = BuildImage(image);
    const size_t historyEnd = HistoryEnd(image);
    Random random(20260601);

    int opened = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes b = whole;
        std::ostringstream what;
        what << "round " << round << ":";
        const int changes = 1 + int(random.Below(4));
        for (int i = 0; i < changes; ++i) {
            const uint64_t where = random.Below(10);
            size_t at;
            if (where < 7)
                at = size_t(random.Below(historyEnd));
            else if (where < 8)
                at = kAtDataId + size_t(random.Below(8));
            else
                at = kAtHeader + size_t(random.Below(80));
            if (random.Below(3) == 0 && at + 4 <= b.size()) {
                // A whole field at once: the values a broken writer would leave.
                static const uint32_t values[] = {0, 1, 2, 7, 8, 0xFF, 0xFFFF, 0x7FFFFFFF,
                                                  0xFFFFFFFF, 524288, 1000};
                at &= ~size_t{3};
                const uint32_t v = values[random.Below(std::size(values))];
                PutLe32(b, at, v);
                what << " [" << at << "]=" << v;
            } else {
                const uint8_t mask = uint8_t(1 + random.Below(255));
                b[at] ^= mask;
                what << " [" << at << "]^=" << int(mask);
            }
        }
        WriteAll(path, b);
        bool ok = false;
        OpenAndCheck(path, what.str(), &ok);
        opened += ok;
        if (HasFailure()) break;
    }
    // Most single-field damage leaves a file that still opens; if none opened, the check
    // above tested nothing.
    EXPECT_GT(opened, 100);
}

} // namespace
} // namespace tandrel::test
