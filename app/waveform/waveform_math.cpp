#include "app/waveform/waveform_math.h"

#include <algorithm>
#include <cstdlib>

#include "engine/scrub.h"

namespace tandrel::waveform {

namespace {

// Division rounding toward minus infinity, for columns before the Edit's start.
int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

constexpr int kZoomFrames = 4;

} // namespace

int64_t ColumnStart(const ColumnGrid& grid, int64_t column)
{
    const int64_t align = grid.blockAlign ? grid.blockAlign : 1;
    if (grid.zoomed) return column * kZoomFrames * align;
    const int64_t bytes = FloorDiv(column * int64_t(grid.bytesPerSecond), 100);
    return FloorDiv(bytes, align) * align;
}

int64_t ColumnOf(const ColumnGrid& grid, int64_t position)
{
    const int64_t align = grid.blockAlign ? grid.blockAlign : 1;
    if (grid.zoomed) return FloorDiv(position, kZoomFrames * align);
    if (grid.bytesPerSecond == 0) return 0;
    const int64_t column = FloorDiv(position * 100, grid.bytesPerSecond);
    // Column starts are rounded down to whole frames, so a position can already belong to
    // the next column.
    return ColumnStart(grid, column + 1) <= position ? column + 1 : column;
}

ScrollShift CueShift(int64_t cueColumn, int64_t lastCueColumn, bool reversed, bool refresh,
                     bool zoomed, int width)
{
    int64_t shift = cueColumn - lastCueColumn;
    if (reversed) shift = -shift;
    // The difference is kept whole: a jump of any length is a jump, never a small scroll.
    if (refresh || zoomed || shift == 0 || std::llabs(shift) >= width) return {};
    return {false, int(shift)};
}

ScrollShift RecordingShift(int64_t columns, int64_t lastColumns, bool reversed, bool refresh,
                           int width)
{
    if (refresh || columns == 0) return {};
    int64_t shift = columns - lastColumns;
    if (reversed) shift = -shift;
    if (std::llabs(shift) >= width) return {};
    return {false, int(shift)};
}

ColumnBand DirtyBand(const ScrollShift& shift, int width)
{
    if (shift.full) return {0, width};
    if (shift.columns > 0) return {width - shift.columns, shift.columns};
    return {0, -shift.columns};
}

int64_t AbsoluteColumn(int column, int64_t cueColumn, int width, bool reversed)
{
    const int64_t fromCue = int64_t(column) - CueColumn(width);
    return reversed ? cueColumn - fromCue : cueColumn + fromCue;
}

int64_t AreaColumn(int64_t absolute, int64_t cueColumn, int width, bool reversed)
{
    const int64_t fromCue = absolute - cueColumn;
    return reversed ? CueColumn(width) - fromCue : CueColumn(width) + fromCue;
}

uint64_t PositionAtColumn(const ColumnGrid& grid, int column, uint64_t cue, uint64_t length,
                          int width, bool reversed)
{
    const int64_t absolute = AbsoluteColumn(column, ColumnOf(grid, int64_t(cue)), width, reversed);
    const int64_t start = ColumnStart(grid, absolute);
    if (start <= 0) return 0;
    return std::min<uint64_t>(uint64_t(start), length - length % std::max<uint32_t>(grid.blockAlign, 1));
}

ColumnBand EditColumns(const ColumnGrid& grid, int64_t cueColumn, uint64_t length, int width,
                       bool reversed)
{
    if (length == 0 || width <= 0) return {0, 0};
    const int64_t lastAbsolute = ColumnOf(grid, int64_t(length) - 1);
    int64_t a = AreaColumn(0, cueColumn, width, reversed);
    int64_t b = AreaColumn(lastAbsolute, cueColumn, width, reversed);
    if (a > b) std::swap(a, b);
    const int64_t first = std::clamp<int64_t>(a, 0, width);
    const int64_t end = std::clamp<int64_t>(b + 1, 0, width);
    return {int(first), int(std::max<int64_t>(0, end - first))};
}

StripLayout LayoutStrips(int height, uint32_t channels)
{
    StripLayout layout;
    if (channels != 2) {
        layout.count = 1;
        layout.top[0] = 0;
        layout.height[0] = std::max(0, height);
        return layout;
    }
    layout.count = 2;
    layout.dividerTop = height / 2 - 1;
    layout.top[0] = 0;
    layout.height[0] = std::max(0, layout.dividerTop);
    layout.top[1] = layout.dividerTop + StripLayout::kDividerRows;
    layout.height[1] = std::max(0, height - layout.top[1]);
    return layout;
}

ColumnPeak PeakOf(const uint8_t* bytes, uint32_t count, uint32_t channels)
{
    ColumnPeak result;
    const uint32_t frameBytes = 2 * (channels == 2 ? 2 : 1);
    for (uint32_t at = 0; at + frameBytes <= count; at += frameBytes) {
        for (uint32_t c = 0; c < frameBytes / 2; ++c) {
            const int16_t sample = int16_t(uint16_t(bytes[at + 2 * c] | bytes[at + 2 * c + 1] << 8));
            result.peak[c] = std::max(result.peak[c], std::abs(int32_t(sample)));
        }
    }
    return result;
}

int PeakRows(int32_t peak, int stripHeight)
{
    if (stripHeight <= 0 || peak <= 0) return 0;
    return int(std::min<int64_t>(int64_t(peak) * stripHeight / 32768, stripHeight));
}

int ZoomRow(int32_t sample, int stripTop, int stripHeight)
{
    if (stripHeight <= 0) return stripTop;
    const int middle = stripTop + stripHeight / 2;
    const int row = middle - int(int64_t(sample) * (stripHeight / 2) / 32768);
    return std::clamp(row, stripTop, stripTop + stripHeight - 1);
}

int CartIndex(int firstDigit, int secondDigit)
{
    if (firstDigit < 1 || firstDigit > 9 || secondDigit < 1 || secondDigit > 9) return -1;
    const int index = (firstDigit - 1) * 7 + (secondDigit - 1);
    // The second digit names a row of 7: 8 and 9 run into the next column, and only the
    // first 21 exist.
    return index <= 20 ? index : -1;
}

uint32_t ArrowScrubKey(bool leftHeld, bool rightHeld, bool shift, bool control)
{
    using Key = ScrubKeyTracker::Key;
    if (rightHeld) return shift ? Key::kNormalForward : control ? Key::kSlowForward : Key::kFastForward;
    if (leftHeld) return shift ? Key::kNormalBack : control ? Key::kSlowBack : Key::kFastBack;
    return 0;
}

} // namespace tandrel::waveform
