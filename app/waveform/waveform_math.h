#pragma once
// The arithmetic of the waveform area, apart from any window: which audio a pixel column
// shows, how far the picture scrolls between paints, which columns a scroll uncovers, and
// what is drawn in one column. Columns count from the left edge of the area; the cue line
// stands at the middle column.
#include <cstdint>

namespace tandrel::waveform {

/** The column of the cue line in an area `width` columns wide. */
constexpr int CueColumn(int width) { return width / 2; }

/** How a column is measured: normal columns are 10 ms each, zoomed columns four frames. */
struct ColumnGrid
{
    uint32_t bytesPerSecond = 0;
    uint32_t blockAlign = 1;
    bool zoomed = false;
};

/** The first byte of absolute column `column` (column 0 starts at the Edit's start), rounded
    down to whole frames. Normal columns are laid out from the byte rate itself, so that a
    rate whose 10 ms are not whole frames does not drift. Negative columns give negative
    offsets. */
int64_t ColumnStart(const ColumnGrid& grid, int64_t column);
/** The absolute column that holds byte `position`. */
int64_t ColumnOf(const ColumnGrid& grid, int64_t position);

/** A run of columns [first, first + count). */
struct ColumnBand
{
    int first = 0;
    int count = 0;
    int End() const { return first + count; }
    bool operator==(const ColumnBand&) const = default;
};

/** How far the picture moves since the last paint. `Full` means everything is redrawn. */
struct ScrollShift
{
    bool full = true;
    int columns = 0; // > 0: the content moves left by that much; < 0: right
    bool operator==(const ScrollShift&) const = default;
};

/** The shift of a playing or stopped Edit: the difference of the cue's absolute column from
    the one remembered (positive when the cue moved on; negated for a reversed display). A
    refresh request, zoomed columns, no movement, or a move of a whole width or more redraw
    everything. */
ScrollShift CueShift(int64_t cueColumn, int64_t lastCueColumn, bool reversed, bool refresh,
                     bool zoomed, int width);

/** The shift while recording: the recorded audio grew from `lastColumns` to `columns`
    complete columns. No growth gives a zero shift (nothing to draw) unless nothing has been
    recorded yet or a refresh was asked for. */
ScrollShift RecordingShift(int64_t columns, int64_t lastColumns, bool reversed, bool refresh,
                           int width);

/** The columns a shift leaves to be drawn: the band it uncovers (at the right edge for a
    positive shift, at the left for a negative one), or the whole width. */
ColumnBand DirtyBand(const ScrollShift& shift, int width);

/** The absolute column shown in area column `column` when the cue's absolute column is
    `cueColumn` (mirrored when reversed). */
int64_t AbsoluteColumn(int column, int64_t cueColumn, int width, bool reversed);
/** The area column showing absolute column `absolute` (may lie outside the area). */
int64_t AreaColumn(int64_t absolute, int64_t cueColumn, int width, bool reversed);

/** The byte an area column points at, for a click: the first frame of the absolute column
    shown there with the cue at byte `cue`, held to [0, length]. */
uint64_t PositionAtColumn(const ColumnGrid& grid, int column, uint64_t cue, uint64_t length,
                          int width, bool reversed);

/** The area columns that show some of an Edit of `length` bytes with the cue in absolute
    column `cueColumn`, clipped to the area. Empty for an empty Edit. */
ColumnBand EditColumns(const ColumnGrid& grid, int64_t cueColumn, uint64_t length, int width,
                       bool reversed);

/** The two strips of the area: one for mono; left on top and right below, with a two-pixel
    divider band from row height / 2 - 1, for stereo. */
struct StripLayout
{
    int count = 1;
    int top[2] = {0, 0};
    int height[2] = {0, 0};
    int dividerTop = -1; // -1: no divider
    static constexpr int kDividerRows = 2;
};
StripLayout LayoutStrips(int height, uint32_t channels);

/** Peaks (largest absolute sample) of interleaved 16-bit little-endian audio, per channel;
    -32768 counts as 32768. A trailing part frame is ignored. */
struct ColumnPeak
{
    int32_t peak[2] = {0, 0};
};
ColumnPeak PeakOf(const uint8_t* bytes, uint32_t count, uint32_t channels);

/** Rows a peak line rises from the strip's bottom: peak × height ÷ 32768, at most height. */
int PeakRows(int32_t peak, int stripHeight);

/** The row of a zoomed sample inside a strip: middle − sample × (height ÷ 2) ÷ 32768,
    held to the strip's rows. */
int ZoomRow(int32_t sample, int stripTop, int stripHeight);

/** The cart a two-digit key sequence addresses: (first − 1) × 7 + (second − 1) for carts
    laid out in 3 columns of 7; -1 when that is not one of the 21 carts. */
int CartIndex(int firstDigit, int secondDigit);

/** The scrub key the arrows ask for: with the right arrow held, Forward with Shift, Slow
    Forward with Ctrl, else Fast Forward; with only the left arrow, the same backward; 0 when
    neither is held. The values are the scrub key codes of audio/scrub.h. */
uint32_t ArrowScrubKey(bool leftHeld, bool rightHeld, bool shift, bool control);

} // namespace tandrel::waveform
