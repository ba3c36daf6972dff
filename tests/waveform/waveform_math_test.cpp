// The arithmetic of the waveform area: columns and their bytes, scroll shifts and the bands
// they uncover, the Edit's extent on screen, strips, peaks, cart digits and arrow scrubbing.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/waveform/waveform_math.h"
#include "engine/scrub.h"

namespace tandrel::waveform {
namespace {

TEST(ColumnGridTest, ColumnsCoverEveryByteOnceInWholeFrames)
{
    struct Case { const char* name; ColumnGrid grid; };
    const Case cases[] = {
        {"stereo 16-bit 44100: 1764 bytes a column", {176400, 4, false}},
        {"mono 16-bit 22050: 441 bytes, not whole frames", {44100, 2, false}},
        {"stereo 16-bit 11025: 441 bytes, not whole frames", {44100, 4, false}},
        {"mono 8-bit 8000", {8000, 1, false}},
        {"zoomed stereo 16-bit", {176400, 4, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int64_t column = -5; column < 2000; ++column) {
            const int64_t start = ColumnStart(c.grid, column);
            const int64_t next = ColumnStart(c.grid, column + 1);
            ASSERT_EQ(start % c.grid.blockAlign, 0) << "column " << column;
            ASSERT_GT(next, start) << "column " << column;
            ASSERT_EQ(ColumnOf(c.grid, start), column);
            ASSERT_EQ(ColumnOf(c.grid, next - 1), column);
        }
    }
    // A long Edit does not drift: column 360000 (an hour) starts at exactly an hour.
    EXPECT_EQ(ColumnStart({44100, 2, false}, 360000), 3600 * 44100);
    EXPECT_EQ(ColumnStart({176400, 4, true}, 10), 160);
}

TEST(ScrollShiftTest, ShiftsByTheColumnsTheCueMoved)
{
    struct Case { const char* name; int64_t cue, last; bool reversed, refresh, zoomed; ScrollShift
        expected; };
    const int w = 800;
    const Case cases[] = {
        {"forward by 3", 503, 500, false, false, false, {false, 3}},
        {"backward by 2", 498, 500, false, false, false, {false, -2}},
        {"reversed display mirrors the shift", 503, 500, true, false, false, {false, -3}},
        {"no movement redraws everything", 500, 500, false, false, false, {}},
        {"a refresh request redraws everything", 503, 500, false, true, false, {}},
        {"zoomed always redraws everything", 503, 500, false, false, true, {}},
        {"a move of the whole width", 1300, 500, false, false, false, {}},
        {"just under the width", 1299, 500, false, false, false, {false, 799}},
        // 65536 + 3 columns: a 16-bit difference would make this a scroll of 3.
        {"a jump far away is never a small scroll", 500 + 65539, 500, false, false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CueShift(c.cue, c.last, c.reversed, c.refresh, c.zoomed, w), c.expected);
    }
}

TEST(ScrollShiftTest, RecordingShiftsOnlyWhenColumnsComplete)
{
    const int w = 400;
    EXPECT_EQ(RecordingShift(10, 7, false, false, w), (ScrollShift{false, 3}));
    EXPECT_EQ(RecordingShift(10, 7, true, false, w), (ScrollShift{false, -3}));
    EXPECT_EQ(RecordingShift(10, 10, false, false, w), (ScrollShift{false, 0}))
        << "nothing new: the paint is skipped";
    EXPECT_EQ(RecordingShift(0, 0, false, false, w), ScrollShift{}) << "nothing recorded yet";
    EXPECT_EQ(RecordingShift(10, 10, false, true, w), ScrollShift{}) << "refresh";
    EXPECT_EQ(RecordingShift(900, 10, false, false, w), ScrollShift{}) << "more than the width";
}

TEST(DirtyBandTest, TheUncoveredColumnsAreAtTheEdgeTheContentLeft)
{
    EXPECT_EQ(DirtyBand({false, 3}, 800), (ColumnBand{797, 3}));
    EXPECT_EQ(DirtyBand({false, -5}, 800), (ColumnBand{0, 5}));
    EXPECT_EQ(DirtyBand({}, 800), (ColumnBand{0, 800}));
}

TEST(EditColumnsTest, TheEditLiesAroundTheCueAndIsClippedToTheArea)
{
    const ColumnGrid tenMs{32000, 4, false}; // 16-bit stereo 8000 Hz: 320 bytes a column
    struct Case
    {
        const char* name;
        uint64_t cueSeconds100; // cue in hundredths
        uint64_t lengthSeconds100;
        bool reversed;
        int width;
        ColumnBand expected;
    };
    const Case cases[] = {
        {"5 s into 60 s: every column", 500, 6000, false, 800, {0, 800}},
        {"cue at 0: the left half is background", 0, 6000, false, 800, {400, 400}},
        {"cue at 0 reversed: the right half is background", 0, 6000, true, 800, {0, 401}},
        {"1 s Edit, cue at its start", 0, 100, false, 800, {400, 100}},
        {"1 s Edit, cue at its end", 100, 100, false, 800, {300, 100}},
        {"1 s Edit, cue at its end, reversed", 100, 100, true, 800, {401, 100}},
        {"odd width", 500, 6000, false, 801, {0, 801}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int64_t cue = ColumnOf(tenMs, int64_t(c.cueSeconds100 * 320));
        EXPECT_EQ(EditColumns(tenMs, cue, c.lengthSeconds100 * 320, c.width, c.reversed), c.expected);
    }
    EXPECT_EQ(EditColumns(tenMs, 0, 0, 800, false).count, 0) << "an empty Edit";
    // The last column holds the Edit's tail even when it is shorter than a column.
    EXPECT_EQ(EditColumns(tenMs, 0, 321, 800, false), (ColumnBand{400, 2}));
}

TEST(AreaColumnTest, AbsoluteAndAreaColumnsAreInverse)
{
    for (bool reversed : {false, true})
        for (int width : {1, 2, 799, 800})
            for (int c = 0; c < width; c += 7) {
                const int64_t a = AbsoluteColumn(c, 12345, width, reversed);
                EXPECT_EQ(AreaColumn(a, 12345, width, reversed), c);
            }
    EXPECT_EQ(AbsoluteColumn(400, 77, 800, false), 77) << "the cue column shows the cue";
    EXPECT_EQ(AbsoluteColumn(401, 77, 800, false), 78);
    EXPECT_EQ(AbsoluteColumn(401, 77, 800, true), 76);
}

TEST(PositionAtColumnTest, AClickPointsAtTheFirstFrameOfItsColumnInsideTheEdit)
{
    const ColumnGrid stereo{176400, 4, false};
    const ColumnGrid zoomed{176400, 4, true};
    const uint64_t second = 176400, length = 10 * second;
    struct Case { const char* name; ColumnGrid grid; int column; uint64_t cue; bool reversed;
        uint64_t expected; };
    const Case cases[] = {
        {"the cue column keeps the cue's column", stereo, 400, second, false, second},
        {"a column to the right is 10 ms later", stereo, 401, second, false, second + 1764},
        {"reversed, a column to the right is earlier", stereo, 401, second, true, second - 1764},
        {"a cue inside its column points at the column's start", stereo, 400, second + 100, false, second},
        {"before the start is the start", stereo, 0, 0, false, 0},
        {"past the end is the end", stereo, 799, length, false, length},
        {"zoomed columns are four frames", zoomed, 403, second, false, second + 3 * 16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PositionAtColumn(c.grid, c.column, c.cue, length, 800, c.reversed), c.expected) << c.name;
}

TEST(StripLayoutTest, StereoHasTwoStripsAroundATwoRowDivider)
{
    struct Case { int height; uint32_t channels; StripLayout expected; };
    const Case cases[] = {
        {200, 1, {1, {0, 0}, {200, 0}, -1}},
        {200, 2, {2, {0, 101}, {99, 99}, 99}},
        {201, 2, {2, {0, 101}, {99, 100}, 99}},
        {3, 2, {2, {0, 2}, {0, 1}, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.height << " rows, " << c.channels << " channels");
        const StripLayout got = LayoutStrips(c.height, c.channels);
        EXPECT_EQ(got.count, c.expected.count);
        EXPECT_EQ(got.dividerTop, c.expected.dividerTop);
        for (int s = 0; s < got.count; ++s) {
            EXPECT_EQ(got.top[s], c.expected.top[s]);
            EXPECT_EQ(got.height[s], c.expected.height[s]);
        }
    }
}

std::vector<uint8_t> Samples16(std::initializer_list<int16_t> values)
{
    std::vector<uint8_t> bytes;
    for (int16_t v : values) {
        bytes.push_back(uint8_t(uint16_t(v) & 0xFF));
        bytes.push_back(uint8_t(uint16_t(v) >> 8));
    }
    return bytes;
}

TEST(PeakTest, PeaksPerChannelAndTheirHeights)
{
    const auto stereo = Samples16({100, -200, -32768, 5, 300, 32767, 7});
    const ColumnPeak s = PeakOf(stereo.data(), uint32_t(stereo.size()), 2);
    EXPECT_EQ(s.peak[0], 32768) << "-32768 counts as full scale";
    EXPECT_EQ(s.peak[1], 32767);
    const ColumnPeak m = PeakOf(stereo.data(), uint32_t(stereo.size()), 1);
    EXPECT_EQ(m.peak[0], 32768);
    EXPECT_EQ(m.peak[1], 0);
    const auto odd = Samples16({10, -20});
    EXPECT_EQ(PeakOf(odd.data(), 3, 1).peak[0], 10) << "a part sample is ignored";

    struct Case { int32_t peak; int height; int rows; };
    const Case cases[] = {{32768, 99, 99}, {32767, 99, 98}, {16384, 100, 50}, {0, 100, 0},
                          {1, 100, 0}, {40000, 50, 50}, {20000, 0, 0}};
    for (const Case& c : cases) EXPECT_EQ(PeakRows(c.peak, c.height), c.rows) << c.peak;
}

TEST(PeakTest, ZoomedRowsStayInsideTheStrip)
{
    struct Case { int32_t sample; int top, height, row; };
    const Case cases[] = {
        {0, 0, 100, 50}, {32767, 0, 100, 1}, {-32768, 0, 100, 99}, {16384, 101, 99, 126},
        {-16384, 101, 99, 174},
    };
    for (const Case& c : cases) EXPECT_EQ(ZoomRow(c.sample, c.top, c.height), c.row) << c.sample;
}

TEST(CartIndexTest, TwoDigitsAddressColumnThenRow)
{
    struct Case { int first, second, index; };
    const Case cases[] = {{3, 4, 17}, {1, 8, 7}, {1, 1, 0}, {3, 7, 20}, {3, 9, -1},
                          {4, 1, -1}, {9, 9, -1}, {0, 1, -1}, {1, 0, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(CartIndex(c.first, c.second), c.index) << c.first << " then " << c.second;
}

TEST(ArrowScrubTest, ShiftAndCtrlChooseTheSpeed)
{
    using K = ScrubKeyTracker::Key;
    struct Case { bool left, right, shift, control; uint32_t key; };
    const Case cases[] = {
        {false, true, false, false, K::kFastForward},  {false, true, true, false, K::kNormalForward},
        {false, true, false, true, K::kSlowForward},   {false, true, true, true, K::kNormalForward},
        {true, false, false, false, K::kFastBack},     {true, false, true, false, K::kNormalBack},
        {true, false, false, true, K::kSlowBack},      {true, true, false, false, K::kFastForward},
        {false, false, true, true, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ArrowScrubKey(c.left, c.right, c.shift, c.control), c.key)
            << c.left << c.right << c.shift << c.control;
}

} // namespace
} // namespace tandrel::waveform
