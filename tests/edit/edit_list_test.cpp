// The edit list on its own: insertion, deletion and copying of pieces, checked against the
// flat reference, plus the channel code and treatment merge rules.
#include <gtest/gtest.h>

#include <numeric>

#include "edit/edit_list.h"
#include "edit/edit_view.h"
#include "edit_test_support.h"
#include "render_model.h"

namespace tandrel::test {
namespace {

uint64_t SumOfPieces(const EditList& list)
{
    return std::accumulate(list.Segments().begin(), list.Segments().end(), uint64_t{0},
                           [](uint64_t n, const EditSegment& s) { return n + s.Length(); });
}

RenderModel Model(const EditList& list) { return RenderModel::FromSegments(list.Segments(), 2); }

RenderModel Model(std::vector<EditSegment> pieces) { return RenderModel::FromSegments(pieces, 2); }

/** [0,100) [marker 1] [500,520) [marker 2] [marker 3] [900,960) [marker 4] */
EditList Sample()
{
    EditList list;
    const std::vector<EditSegment> pieces = {Plain(0, 100),   MarkerSegment(1), Plain(500, 520),
                                             MarkerSegment(2), MarkerSegment(3), Plain(900, 960),
                                             MarkerSegment(4)};
    EXPECT_EQ(list.Insert(0, pieces), EditList::InsertResult::Inserted);
    EXPECT_EQ(list.Length(), 180u);
    return list;
}

struct InsertCase
{
    const char* name;
    uint64_t position;
    std::vector<EditSegment> pieces;
};

void PrintTo(const InsertCase& c, std::ostream* os) { *os << c.name; }

class EditListInsert : public ::testing::TestWithParam<InsertCase>
{};

TEST_P(EditListInsert, MatchesTheFlatReference)
{
    const InsertCase& c = GetParam();
    EditList list = Sample();
    RenderModel expected = Model(list);
    expected.Insert(c.position, Model(c.pieces));

    EXPECT_EQ(list.Insert(c.position, c.pieces), EditList::InsertResult::Inserted);
    EXPECT_EQ(Model(list).Difference(expected), "");
    EXPECT_EQ(list.Length(), expected.Length());
    EXPECT_EQ(list.Length(), SumOfPieces(list));
}

INSTANTIATE_TEST_SUITE_P(
    Positions, EditListInsert,
    ::testing::Values(
        InsertCase{"AtZeroBeforeEverything", 0, {Plain(2000, 2010)}},
        InsertCase{"AtTheEndAfterTheLastMarker", 180, {Plain(2000, 2010)}},
        InsertCase{"InsideTheFirstPiece", 37, {Plain(2000, 2010)}},
        InsertCase{"OneByteIn", 1, {Plain(2000, 2001)}},
        InsertCase{"OneByteBeforeTheEnd", 179, {Plain(2000, 2004)}},
        InsertCase{"AtABoundaryBeforeItsMarker", 100, {Plain(2000, 2010)}},
        InsertCase{"AtABoundaryBeforeTwoMarkers", 120, {Plain(2000, 2010)}},
        InsertCase{"SeveralPiecesInOrder", 110, {Plain(3000, 3001), MarkerSegment(9), Plain(10, 20)}},
        InsertCase{"AMarkerInsideAPiece", 510 - 500 + 100, {MarkerSegment(9)}},
        InsertCase{"AMarkerAtAnOccupiedBoundary", 120, {MarkerSegment(9)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditListInsertRules, SplittingKeepsChannelSourcesOnBothParts)
{
    EditList list;
    EditSegment treated = Plain(1000, 1100);
    treated.channel[0] = {kSourceData, FourCC("Gain"), kTreatLeft | 0x100, 3};
    treated.channel[1] = {kSourceSilence, 0, kTreatRight, 0};
    ASSERT_EQ(list.Insert(0, std::vector<EditSegment>{treated}), EditList::InsertResult::Inserted);
    ASSERT_EQ(list.Insert(40, std::vector<EditSegment>{Plain(5, 6)}), EditList::InsertResult::Inserted);

    ASSERT_EQ(list.Segments().size(), 3u);
    EditSegment before = treated, after = treated;
    before.dataEnd = 1040;
    after.dataStart = 1040;
    EXPECT_EQ(list.Segments()[0], before);
    EXPECT_EQ(list.Segments()[1], Plain(5, 6));
    EXPECT_EQ(list.Segments()[2], after);
}

TEST(EditListInsertRules, IntoAnEmptyListAppends)
{
    EditList list;
    EXPECT_TRUE(list.Empty());
    ASSERT_EQ(list.Insert(0, std::vector<EditSegment>{Plain(5, 25), MarkerSegment(3)}),
              EditList::InsertResult::Inserted);
    EXPECT_EQ(list.Length(), 20u);
    EXPECT_EQ(list.Segments().size(), 2u);
    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Length(), 0u);
}

TEST(EditListInsertRules, PastTheEndIsSkipped)
{
    EditList list = Sample();
    const auto before = list.Segments();
    EXPECT_EQ(list.Insert(181, std::vector<EditSegment>{Plain(0, 10)}),
              EditList::InsertResult::Skipped);
    EXPECT_EQ(list.Segments(), before);
    EXPECT_EQ(list.Length(), 180u);
}

TEST(EditListInsertRules, FailuresLeaveTheListAlone)
{
    struct Bad
    {
        const char* name;
        uint64_t position;
        std::vector<EditSegment> pieces;
        bool boundaryOnly;
    };
    const std::vector<Bad> cases = {
        {"ReversedPiece", 50, {Plain(20, 10)}, false},
        {"BoundaryOnlyInsideAPiece", 50, {Plain(0, 10)}, true},
        {"BoundaryOnlyOneByteIn", 101, {Plain(0, 10)}, true},
        {"PastTheLengthLimit", 180, {Plain(0, EditList::kMaxLength - 179)}, false},
    };
    for (const Bad& c : cases) {
        EditList list = Sample();
        const auto before = list.Segments();
        EXPECT_EQ(list.Insert(c.position, c.pieces, c.boundaryOnly), EditList::InsertResult::Failed)
            << c.name;
        EXPECT_EQ(list.Segments(), before) << c.name;
        EXPECT_EQ(list.Length(), 180u) << c.name;
    }
}

TEST(EditListInsertRules, BoundaryOnlyAcceptsBoundaries)
{
    for (uint64_t position : {uint64_t{0}, uint64_t{100}, uint64_t{120}, uint64_t{180}}) {
        EditList list = Sample();
        EXPECT_EQ(list.Insert(position, std::vector<EditSegment>{Plain(7, 9)}, true),
                  EditList::InsertResult::Inserted)
            << position;
        EXPECT_EQ(list.Length(), 182u);
    }
}

TEST(EditListInsertRules, UpToTheLengthLimitIsAccepted)
{
    EditList list = Sample();
    EXPECT_EQ(list.Insert(180, std::vector<EditSegment>{Plain(0, EditList::kMaxLength - 180)}),
              EditList::InsertResult::Inserted);
    EXPECT_EQ(list.Length(), EditList::kMaxLength);
    EXPECT_EQ(list.Insert(0, std::vector<EditSegment>{Plain(0, 1)}), EditList::InsertResult::Failed);
    EXPECT_EQ(list.Length(), EditList::kMaxLength);
}

struct DeleteCase
{
    const char* name;
    uint64_t start;
    uint64_t end;
};

void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.name; }

class EditListDelete : public ::testing::TestWithParam<DeleteCase>
{};

TEST_P(EditListDelete, MatchesTheFlatReference)
{
    const DeleteCase& c = GetParam();
    EditList list = Sample();
    RenderModel expected = Model(list);
    expected.Delete(c.start, c.end);

    EXPECT_TRUE(list.Delete(c.start, c.end));
    EXPECT_EQ(Model(list).Difference(expected), "");
    EXPECT_EQ(list.Length(), 180 - (std::min<uint64_t>(c.end, 180) - c.start));
    EXPECT_EQ(list.Length(), SumOfPieces(list));
    for (const EditSegment& s : list.Segments())
        EXPECT_TRUE(s.IsMarker() || s.Length() > 0) << "an emptied piece was left in the list";
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, EditListDelete,
    ::testing::Values(DeleteCase{"InsideOnePiece", 10, 30}, DeleteCase{"FromZero", 0, 30},
                      DeleteCase{"AWholePieceWithItsMarkers", 100, 120},
                      DeleteCase{"AcrossMarkers", 90, 130}, DeleteCase{"ToABoundary", 50, 100},
                      DeleteCase{"FromABoundary", 120, 150}, DeleteCase{"Everything", 0, 180},
                      DeleteCase{"TheTail", 150, 180}, DeleteCase{"RunsPastTheEnd", 170, 250},
                      DeleteCase{"Nothing", 60, 60}, DeleteCase{"OneByte", 179, 180}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditListDeleteRules, DeletingEverythingKeepsOnlyEndMarkers)
{
    EditList list;
    ASSERT_EQ(list.Insert(0, std::vector<EditSegment>{MarkerSegment(1), Plain(0, 50), MarkerSegment(2),
                                                     Plain(60, 70), MarkerSegment(3)}),
              EditList::InsertResult::Inserted);
    ASSERT_TRUE(list.Delete(0, 60));
    EXPECT_EQ(list.Length(), 0u);
    ASSERT_EQ(list.Segments().size(), 2u);
    EXPECT_EQ(list.Segments()[0].MarkerId(), 1u);
    EXPECT_EQ(list.Segments()[1].MarkerId(), 3u);
}

TEST(EditListDeleteRules, RefusedRangesLeaveTheListAlone)
{
    const std::vector<DeleteCase> cases = {
        {"Reversed", 50, 40}, {"LongerThanTheList", 0, 181}, {"LongerFromInside", 30, 211}};
    for (const DeleteCase& c : cases) {
        EditList list = Sample();
        const auto before = list.Segments();
        EXPECT_FALSE(list.Delete(c.start, c.end)) << c.name;
        EXPECT_EQ(list.Segments(), before) << c.name;
        EXPECT_EQ(list.Length(), 180u) << c.name;
    }
    EditList empty;
    EXPECT_FALSE(empty.Delete(0, 0));
}

TEST(EditListCopy, TrimsTheEndsAndSkipsMarkers)
{
    const EditList list = Sample();
    EXPECT_EQ(list.CopyRange(90, 130),
              (std::vector<EditSegment>{Plain(90, 100), Plain(500, 520), Plain(900, 910)}));
    EXPECT_EQ(list.CopyRange(5, 15), (std::vector<EditSegment>{Plain(5, 15)}));
    EXPECT_EQ(list.CopyRange(100, 120), (std::vector<EditSegment>{Plain(500, 520)}));
    EXPECT_TRUE(list.CopyRange(100, 100).empty());
    // Whatever the range, the copy renders as the same bytes as the list does there.
    for (uint64_t s = 0; s < 180; s += 13)
        for (uint64_t e = s; e <= 180; e += 29) {
            RenderModel expected = Model(list).Copy(s, e);
            EXPECT_EQ(Model(list.CopyRange(s, e)).Difference(expected), "") << s << ".." << e;
        }
}

// --- Channel codes and treatment merging -----------------------------------------------------

struct CodeCase
{
    uint32_t a;
    uint32_t b;
    int code;
};

class ChannelCodes : public ::testing::TestWithParam<CodeCase>
{};

TEST_P(ChannelCodes, FollowTheChannelBits)
{
    const CodeCase& c = GetParam();
    EXPECT_EQ(ChannelCode(c.a, c.b), c.code) << std::hex << "A=0x" << c.a << " B=0x" << c.b;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChannelCodes,
    ::testing::Values(
        // mono: A bit 0 alone among the channel bits; B does not matter
        CodeCase{0x1, 0x0, 0}, CodeCase{0x1, 0xF, 0}, CodeCase{0x10101, 0x0, 0},
        CodeCase{0x3, 0x0, -1}, CodeCase{0x5, 0x0, -1}, CodeCase{0x9, 0x0, -1},
        // left: A bit 1 without bits 0, 2, 3
        CodeCase{0x2, 0x0, 1}, CodeCase{0x202, 0x4, 1}, CodeCase{0x6, 0x0, -1},
        CodeCase{0xA, 0x0, -1},
        // right: A without bits 0 and 1, B bit 2 without bits 0, 1, 3
        CodeCase{0x0, 0x4, 2}, CodeCase{0x100, 0x104, 2}, CodeCase{0x8, 0x4, 2},
        CodeCase{0x0, 0x5, -1}, CodeCase{0x0, 0x6, -1}, CodeCase{0x0, 0xC, -1},
        // both: A bit 3 without bit 2, B bit 3 without bits 0 and 1
        CodeCase{0x8, 0x8, 3}, CodeCase{0x8, 0xC, 3}, CodeCase{0x20008, 0x10008, 3},
        CodeCase{0xC, 0x8, -1}, CodeCase{0x8, 0x9, -1}, CodeCase{0x8, 0xA, -1},
        CodeCase{0x8, 0x0, -1},
        // nothing selected
        CodeCase{0x0, 0x0, -1}, CodeCase{0x100, 0x100, -1}));

struct MergeCase
{
    const char* name;
    ChannelSource channel;
    ChannelSource treatment;
    ChannelSource expected;
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class TreatmentMerge : public ::testing::TestWithParam<MergeCase>
{};

TEST_P(TreatmentMerge, ReplacesOnlyTheGroupsTheTreatmentCarries)
{
    const MergeCase& c = GetParam();
    ChannelSource channel = c.channel;
    MergeTreatment(channel, c.treatment);
    EXPECT_EQ(channel, c.expected) << std::hex << "flags 0x" << channel.treatFlags << " param 0x"
                                   << channel.treatParam;
}

constexpr uint32_t kGain = FourCC("Gain");

INSTANTIATE_TEST_SUITE_P(
    Table, TreatmentMerge,
    ::testing::Values(
        MergeCase{"GainReplacesGain",
                  {0, kGain, 0x208, 0x1},
                  {0x1234, 0x5678, 0x100, 0x20},
                  {0, kGain, 0x108, 0x21}},
        MergeCase{"GainKeepsNormalise",
                  {0, 0, 0x70001, 0x0},
                  {0, 0, 0x201, 0x4},
                  {0, 0, 0x70201, 0x4}},
        MergeCase{"NormaliseReplacesNormaliseStep",
                  {kSourceSilence, 0, 0xA0100, 0x1},
                  {0, 0, 0x50000, 0x4},
                  {kSourceSilence, 0, 0x50100, 0x5}},
        MergeCase{"NormaliseKeepsBitsAbove23",
                  {0, 0, 0x1030000, 0x0},
                  {0, 0, 0x20000, 0x0},
                  {0, 0, 0x1020000, 0x0}},
        MergeCase{"BothGroups",
                  {0, 0, 0x20201, 0x10},
                  {0, 0, 0x10100, 0x2},
                  {0, 0, 0x10101, 0x12}},
        MergeCase{"NeitherGroupChangesNothing",
                  {0, kGain, 0x20201, 0x10},
                  {0, 0, 0x8 | 0x400 | 0x40000, 0x99},
                  {0, kGain, 0x20201, 0x10}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tandrel::test
