// The waveform area drawn from real Edits through the main stream's render window: what each
// column shows, that a scroll draws only the uncovered columns and still gives the picture a
// full redraw gives, the selection and Master colours, zoomed drawing, the recording view and
// the status texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>
#include <QWheelEvent>
#include <QtTest/QTest>

#include "app/waveform/waveform_view.h"
#include "audio/audio_devices.h"
#include "engine/transport.h"
#include "editing/selection.h"
#include "settings/user.h"
#include "waveform_test_support.h"

namespace tandrel::test {
namespace {

using namespace waveform;
using namespace waveform::colours;

constexpr Format kStereo{2, 8000, 16}; // 320 bytes, 80 frames a column
constexpr Format kMono{1, 8000, 16};   // 160 bytes a column
constexpr int kWidth = 800;
constexpr int kHeight = 200; // stereo strips of 99 rows at 0 and 101

class WaveformViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.SetStream(fixture.stream.get());
        view.resize(kWidth, kHeight + WaveformView::kStatusHeight);
        fixture.shell.view = &view;
    }

    // Moves the cue to absolute column `column` (10 ms columns) and brings the image up to date.
    void CueTo(int64_t column, Format format = kStereo)
    {
        ASSERT_EQ(fixture.View().SetCursor(uint64_t(column) * format.BytesPerSecond() / 100, false), 0);
        view.UpdateImage();
    }

    // The picture a freshly made view draws in one go for the same state.
    QImage FullPicture()
    {
        WaveformView fresh;
        fresh.SetStream(view.Stream());
        fresh.hooks = view.hooks;
        fresh.resize(view.size());
        if (view.ReversedDisplay() != fresh.ReversedDisplay()) ADD_FAILURE() << "direction differs";
        fresh.UpdateImage();
        return fresh.Image().copy();
    }

    // Wave pixels in area column x, per strip (stereo layout).
    int LeftRows(int x, QRgb colour = kWave) { return CountInColumn(view.Image(), x, 0, 99, colour); }
    int RightRows(int x, QRgb colour = kWave) { return CountInColumn(view.Image(), x, 101, 99, colour); }

    StreamFixture fixture;
    WaveformView view;
};

TEST_F(WaveformViewTest, EachColumnShowsItsPeakRisingFromTheStripBottom)
{
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000)); // 60 s
    CueTo(500);                                   // 5 s in: every column shows audio
    EXPECT_EQ(view.Stats().dirtyColumns, kWidth);
    EXPECT_EQ(view.Stats().audioColumns, kWidth);
    for (int x = 0; x < kWidth; ++x) {
        const int64_t column = 500 + x - CueColumn(kWidth);
        SCOPED_TRACE(x);
        ASSERT_EQ(LeftRows(x), PeakRows(TonePeak(column, 0), 99));
        ASSERT_EQ(RightRows(x), PeakRows(TonePeak(column, 1), 99));
        // The line stands on the strip's bottom row.
        ASSERT_EQ(view.Image().pixel(x, 98), kWave);
        ASSERT_EQ(CountInColumn(view.Image(), x, 99, 2, kDivider), 2);
    }
}

TEST_F(WaveformViewTest, TheStartOfTheEditLiesAtTheCueAndFullScaleFillsTheStrip)
{
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000));
    CueTo(0);
    const int cue = CueColumn(kWidth);
    EXPECT_EQ(LeftRows(cue), 99) << "the first sample is -32768";
    for (int x = 0; x < cue; ++x)
        ASSERT_EQ(CountInColumn(view.Image(), x, 0, kHeight, kEditBackground), kHeight - 2) << x;
    EXPECT_EQ(view.Stats().audioColumns, kWidth - cue);

    // Mirrored: the Edit runs to the left of the cue, the right half is empty.
    UserFlags flags = ReadUserFlags();
    flags.Set(UserFlags::kPlayForward, false);
    ASSERT_TRUE(WriteUserFlags(flags));
    view.ReloadDirection();
    view.RequestRefresh();
    view.UpdateImage();
    EXPECT_EQ(LeftRows(cue), 99);
    EXPECT_EQ(LeftRows(cue - 1), PeakRows(TonePeak(1, 0), 99));
    for (int x = cue + 1; x < kWidth; ++x)
        ASSERT_EQ(CountInColumn(view.Image(), x, 0, kHeight, kEditBackground), kHeight - 2) << x;
}

TEST_F(WaveformViewTest, AScrollDrawsOnlyTheUncoveredColumnsAndMatchesAFullRedraw)
{
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000));
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "forward");
        UserFlags flags = ReadUserFlags();
        flags.Set(UserFlags::kPlayForward, !reversed);
        ASSERT_TRUE(WriteUserFlags(flags));
        view.ReloadDirection();
        view.RequestRefresh();
        CueTo(1000);
        ASSERT_EQ(view.Stats().dirtyColumns, kWidth);
        // Steady playback moves a column or two a paint; a jump back, a jump near the start.
        struct Step { int64_t column; int dirty; };
        const Step steps[] = {{1001, 1}, {1003, 2}, {1010, 7}, {1003, 7}, {1790, 787},
                              {2600, kWidth}, {300, kWidth}, {310, 10}, {10, 300}};
        for (const Step& step : steps) {
            SCOPED_TRACE(step.column);
            const int updates = view.Stats().imageUpdates;
            CueTo(step.column);
            EXPECT_EQ(view.Stats().imageUpdates, updates + 1);
            EXPECT_EQ(view.Stats().dirtyColumns, step.dirty);
            ASSERT_TRUE(view.Image() == FullPicture()) << "the scrolled picture differs";
        }
    }
}

TEST_F(WaveformViewTest, PaintsDuringPlaybackDrawOnlyTheNewColumns)
{
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000));
    view.show();
    QApplication::processEvents();
    ASSERT_TRUE(fixture.View().SetCursor(100 * 320, false) == 0);
    view.RequestRefresh();
    QApplication::processEvents();
    ASSERT_EQ(view.Stats().dirtyColumns, kWidth);
    const int totalBefore = view.Stats().totalDirty;

    // The cue moves as the service loop moves it: a frame at a time, one redraw request each.
    // Requests closer than the paint spacing are gathered into a later paint.
    const uint64_t start = fixture.View().cursor;
    for (uint64_t bytes = 4; bytes <= 10 * 320; bytes += 4) {
        fixture.View().SetCursor(start + bytes, false);
        view.RedrawCue();
        QApplication::processEvents();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.Stats().totalDirty - totalBefore >= 10; }, 10000));
    QApplication::processEvents();
    EXPECT_EQ(view.Stats().totalDirty - totalBefore, 10) << "ten columns, each drawn once";
    EXPECT_TRUE(view.Image() == FullPicture());
}

TEST_F(WaveformViewTest, SelectionAndMasterColours)
{
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000));
    EditView& edit = fixture.View();
    SetMarks(edit, 510 * 320, 520 * 320 + 100); // columns 510 to 520
    CueTo(500);
    const int cue = CueColumn(kWidth);
    for (int64_t column = 505; column <= 525; ++column) {
        const int x = int(cue + column - 500);
        const bool selected = column >= 510 && column <= 520;
        SCOPED_TRACE(column);
        EXPECT_EQ(LeftRows(x, selected ? kSelectedWave : kWave), PeakRows(TonePeak(column, 0), 99));
        EXPECT_EQ(LeftRows(x, kSelectionBackground),
                  selected ? 99 - PeakRows(TonePeak(column, 0), 99) : 0);
    }

    // Master view: its own pair of colours.
    edit.SetMasterView(true, false);
    SetMarks(edit, 510 * 320, 512 * 320);
    view.RequestRefresh();
    CueTo(500);
    EXPECT_EQ(LeftRows(cue + 11, kMasterSelectedWave), PeakRows(TonePeak(511, 0), 99));
    EXPECT_EQ(LeftRows(cue + 20, kMasterWave), PeakRows(TonePeak(520, 0), 99));
    EXPECT_EQ(LeftRows(cue + 20, kWave), 0);

    // Both marks in one column: a one-pixel line of the selection colour.
    edit.SetMasterView(false, false);
    SetMarks(edit, 530 * 320 + 8, 530 * 320 + 40);
    view.RequestRefresh();
    CueTo(500);
    EXPECT_EQ(CountInColumn(view.Image(), cue + 30, 0, kHeight, kSelectedWave), kHeight);
    EXPECT_EQ(CountInColumn(view.Image(), cue + 31, 0, kHeight, kSelectedWave), 0);
}

TEST_F(WaveformViewTest, TheCueLineIsTwoPixelsAtTheCueColumnInItsColours)
{
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000));
    CueTo(500);
    const int cue = CueColumn(kWidth);
    QImage shown = view.grab().toImage();
    EXPECT_EQ(shown.pixel(cue, 10) & 0xFFFFFF, kCue & 0xFFFFFF);
    EXPECT_EQ(shown.pixel(cue + 1, 10) & 0xFFFFFF, kCue & 0xFFFFFF);
    EXPECT_NE(shown.pixel(cue - 1, 10) & 0xFFFFFF, kCue & 0xFFFFFF);
    EXPECT_TRUE(view.Image().pixel(cue, 10) != kCue) << "the line is not part of the picture";

    SetMarks(fixture.View(), 400 * 320, 600 * 320);
    view.RequestRefresh();
    shown = view.grab().toImage();
    EXPECT_EQ(shown.pixel(cue, 10) & 0xFFFFFF, kCueInSelection & 0xFFFFFF);
}

TEST_F(WaveformViewTest, AnAreaWithoutAnEditSaysHowToBegin)
{
    auto textPixels = [this] {
        const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        int count = 0;
        for (int x = 0; x < kWidth; ++x) count += CountInColumn(shown, x, 0, kHeight, kStatusText);
        return count;
    };
    EXPECT_GT(textPixels(), 0) << "no Edit: the hint is drawn";
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000));
    CueTo(500);
    EXPECT_EQ(textPixels(), 0) << "the hint gives way to the Edit";
}

TEST_F(WaveformViewTest, ZoomedColumnsAreFourFramesJoinedIntoALine)
{
    ASSERT_TRUE(fixture.OpenTone(kMono, 3000));
    CueTo(1000, kMono);
    ToggleZoom(*fixture.stream);
    ASSERT_TRUE(fixture.View().fineStep);
    view.RequestRefresh();
    view.UpdateImage();
    EXPECT_EQ(view.Stats().dirtyColumns, kWidth);
    const uint64_t cursorFrame = fixture.View().cursor / 2;
    const int cue = CueColumn(kWidth);
    int previous = -1;
    for (int x = 0; x < kWidth; ++x) {
        const int64_t frame = int64_t(cursorFrame) / 4 * 4 + int64_t(x - cue) * 4;
        const int row = ZoomRow(ToneSample(kMono, frame, 0), 0, kHeight);
        SCOPED_TRACE(x);
        ASSERT_EQ(view.Image().pixel(x, row), kWave);
        // Joined: the column covers every row between its point and the previous one.
        const int from = previous < 0 ? row : previous;
        ASSERT_EQ(CountInColumn(view.Image(), x, 0, kHeight, kWave), std::abs(row - from) + 1);
        previous = row;
    }
    // A move of one frame redraws everything in zoomed view.
    fixture.View().SetCursor(fixture.View().cursor + 2, false);
    view.UpdateImage();
    EXPECT_EQ(view.Stats().dirtyColumns, kWidth);

    ToggleZoom(*fixture.stream);
    view.UpdateImage();
    EXPECT_EQ(LeftRows(cue), 0) << "mono: one strip over the whole height";
    EXPECT_EQ(CountInColumn(view.Image(), cue, 0, kHeight, kWave),
              PeakRows(TonePeak(int64_t(fixture.View().cursor / 160), 0), kHeight));
}

TEST_F(WaveformViewTest, EightBitAudioShowsOnlyTheBackground)
{
    const std::string path = fixture.dir.File("eight.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 8000 * 10, 8000 * 10));
    ASSERT_EQ(ManagerSetEdit(*fixture.stream, path), 0);
    SetMarks(fixture.View(), 8000, 16000);
    CueTo(100, kMono8);
    EXPECT_EQ(view.Stats().audioColumns, 0);
    const int cue = CueColumn(kWidth);
    EXPECT_EQ(CountInColumn(view.Image(), cue - 50, 0, kHeight, kEditBackground), kHeight);
    EXPECT_EQ(CountInColumn(view.Image(), cue + 50, 0, kHeight, kSelectionBackground), kHeight);
}

TEST_F(WaveformViewTest, ColumnsBeyondTheRenderWindowStayBlank)
{
    StreamFixture small(2); // a 2-second window cannot cover 8 seconds of columns
    ASSERT_TRUE(small.OpenTone(kStereo, 6000));
    view.SetStream(small.stream.get());
    ASSERT_EQ(small.View().SetCursor(3000 * 320, false), 0);
    view.UpdateImage();
    EXPECT_EQ(view.Stats().audioColumns, 200) << "one second each side of the cue";
    EXPECT_EQ(CountInColumn(view.Image(), 10, 0, kHeight, kWave), 0);
    view.SetStream(fixture.stream.get());
}

// The recorder appends to the recent-audio ring as it records.
void Record(AudioStream& stream, const Bytes& audio, uint64_t count)
{
    stream.AppendRecentAudio(audio.data() + stream.recentAudioWritten, uint32_t(count));
}

TEST_F(WaveformViewTest, RecordingScrollsInTheNewestColumnsAtTheEdge)
{
    AudioStream& stream = *fixture.stream;
    ASSERT_TRUE(stream.AllocateRecentAudio(kStereo.BytesPerSecond())); // 8 s: 800 columns
    const Bytes audio = ToneAudio(kStereo, 3000);
    const uint64_t& written = stream.recentAudioWritten;
    stream.recording = true;

    view.UpdateImage();
    EXPECT_EQ(view.Stats().audioColumns, 0) << "nothing recorded yet";
    Record(stream, audio, 50 * 320 + 100); // 50 columns and a part
    view.UpdateImage();
    EXPECT_EQ(view.Stats().audioColumns, 50);
    EXPECT_EQ(RightRows(kWidth - 1), PeakRows(TonePeak(49, 1), 99)) << "the newest column";
    EXPECT_EQ(LeftRows(kWidth - 50), 99) << "the first column, with its -32768";
    EXPECT_EQ(CountInColumn(view.Image(), kWidth - 51, 0, 99, kEditBackground), 99);

    const int updates = view.Stats().imageUpdates;
    Record(stream, audio, 100); // the part column is still not complete
    view.UpdateImage();
    EXPECT_EQ(view.Stats().imageUpdates, updates) << "no new column: the paint is skipped";

    // Long enough for the ring to wrap several times; each paint draws what is new.
    for (int step = 0; step < 30; ++step) {
        const int64_t columnsBefore = int64_t(written / 320);
        Record(stream, audio, 3 * 320 + step * 1200);
        const int64_t before = view.Stats().totalDirty;
        view.UpdateImage();
        const int64_t columns = int64_t(written / 320);
        EXPECT_EQ(view.Stats().totalDirty - before, columns - columnsBefore);
        ASSERT_EQ(RightRows(kWidth - 1), PeakRows(TonePeak(columns - 1, 1), 99)) << step;
    }
    EXPECT_GT(written, stream.recentAudioRing.size() * 2);
    // The ring holds a width of columns: the oldest, partly overwritten by the part column
    // being recorded, is left to the picture drawn before.
    const QRect older(1, 0, kWidth - 1, kHeight);
    ASSERT_TRUE(view.Image().copy(older) == FullPicture().copy(older)) << "the scrolled recording differs";

    // The next recording starts in a fresh ring: nothing of the last one stays on screen.
    stream.recording = false;
    stream.FreeRecentAudio();
    ASSERT_TRUE(stream.AllocateRecentAudio(kStereo.BytesPerSecond()));
    stream.recording = true;
    Record(stream, audio, 200 * 320);
    view.UpdateImage();
    EXPECT_EQ(view.Stats().dirtyColumns, kWidth);
    EXPECT_TRUE(view.Image() == FullPicture());
    EXPECT_EQ(CountInColumn(view.Image(), kWidth - 201, 0, kHeight, kEditBackground), kHeight - 2);
    stream.recording = false;
}

TEST_F(WaveformViewTest, TheEditIsRedrawnWholeWhenARecordingStartsAndEnds)
{
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000));
    AudioStream& stream = *fixture.stream;
    CueTo(500);
    ASSERT_TRUE(stream.AllocateRecentAudio(kStereo.BytesPerSecond()));
    const Bytes audio = ToneAudio(kStereo, 600);
    stream.AppendRecentAudio(audio.data(), 500 * 320 + 3 * 320); // same column count as the cue
    stream.recording = true;
    view.UpdateImage();
    EXPECT_EQ(view.Stats().dirtyColumns, kWidth);
    EXPECT_TRUE(view.Image() == FullPicture());
    stream.recording = false;
    CueTo(503);
    EXPECT_EQ(view.Stats().dirtyColumns, kWidth);
    EXPECT_TRUE(view.Image() == FullPicture());
}

TEST(StatusTextsTest, LengthSelectionModeAndSpace)
{
    StreamFixture fixture;
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6525)); // 65.25 s
    EditView& view = fixture.View();
    StatusTexts texts = MakeStatusTexts(&view, false, 0, 32000, 3 * 1048576 / 2, "10:00:00");
    EXPECT_EQ(texts.length, "Length 0:01:05.25");
    EXPECT_EQ(texts.selection, "");
    EXPECT_EQ(texts.mode, "Normal View");
    EXPECT_EQ(texts.space, "1.5 MB free");
    EXPECT_EQ(texts.clock, "10:00:00");

    SetMarks(view, 32000, 32000 * 3 + 320);
    view.SetFineStep(true);
    view.master = true;
    texts = MakeStatusTexts(&view, false, 0, 32000, -1, "");
    EXPECT_EQ(texts.selection, "Selection 0:00:02.01");
    EXPECT_EQ(texts.mode, "Master View / Zoom");
    EXPECT_EQ(texts.space, "----");

    texts = MakeStatusTexts(&view, true, 32000 * 75, 32000, 0, "");
    EXPECT_EQ(texts.length, "Recorded 0:01:15.00");
    EXPECT_EQ(MakeStatusTexts(nullptr, false, 0, 32000, 0, "").length, "");
}

TEST_F(WaveformViewTest, AClickMovesTheCueAndShiftClickSelectsFromIt)
{
    ASSERT_TRUE(fixture.OpenTone(kStereo, 1000));
    CueTo(100);
    const uint64_t column = kStereo.BytesPerSecond() / 100;
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(kWidth / 2 + 50, 20));
    EXPECT_EQ(fixture.View().cursor, 150 * column);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::ShiftModifier, QPoint(kWidth / 2 - 30, 20));
    EXPECT_EQ(fixture.View().leftMark, 120 * column);
    EXPECT_EQ(fixture.View().rightMark, 150 * column);
    EXPECT_EQ(fixture.View().cursor, 150 * column) << "a Shift click leaves the cue where it is";
    // The status band is not the waveform: a click there does nothing.
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(kWidth / 2 + 80, kHeight + 5));
    EXPECT_EQ(fixture.View().cursor, 150 * column);

    // A notch of the wheel towards the person is ten cue steps on; away, ten back.
    for (const auto& [delta, expected] : {std::pair{-120, 160}, std::pair{240, 140}}) {
        QWheelEvent wheel(QPointF(10, 10), view.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &wheel);
        EXPECT_EQ(fixture.View().cursor, uint64_t(expected) * column) << delta;
    }
}

} // namespace
} // namespace tandrel::test
