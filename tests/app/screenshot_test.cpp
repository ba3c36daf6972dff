// The real window on an X server (scripts/test runs this under Xvfb): an Edit opened and
// playing, the window grabbed from the server and kept as a test artefact.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <filesystem>

#include "app/main_window.h"
#include "app/startup.h"
#include "app/studio.h"
#include "app/waveform/waveform_view.h"
#include "app_test_support.h"
#include "engine/transport.h"
#include "base/recording_sink.h"
#include "edit/edit_file.h"
#include "library/library_moves.h"

namespace tandrel::app {
namespace {

// Pattern audio (near full scale in every 10 ms column) with a second of silence inserted
// after each of its first ten seconds: loud seconds 0, 2, 4 ... 18, and from 20 on.
bool Loud(int64_t column) { return column >= 0 && (column >= 2000 || column / 100 % 2 == 0); }

TEST(WindowUnderX, AnEditPlayingIsShownAndKeptAsAScreenshot)
{
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X server (QT_QPA_PLATFORM=xcb), as scripts/test gives it";
    const char* artifacts = std::getenv("TANDREL_ARTIFACTS");
    test::TempHome home;
    const std::string folder = artifacts && *artifacts ? artifacts : home.Path();
    std::filesystem::create_directories(folder);
    const std::string shot = folder + "/tandrel-window.png";
    setenv("TANDREL_AUDIO", ("file:out=" + home.Path() + "/out.wav").c_str(), 1);

    ScopedRecordingSink sink;
    Program::Options options;
    options.qtSinks = false;
    Program program(options);
    ASSERT_EQ(program.Start(), Program::Started::Running);
    program.FirstPass();
    constexpr uint64_t kSecond = 176400;
    const std::string path = test::MakeLibraryEdit("Episode 12", 20, test::Format{2, 44100, 16});
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        for (uint64_t second = 1; second < 20; second += 2) {
            EditSegment silence = EditSegment::Audio(0, kSecond);
            silence.channel[0].source = silence.channel[1].source = kSourceSilence;
            ASSERT_TRUE(edit.EditPushStep(kStepSilence, second * kSecond, silence));
        }
        edit.EditClose();
    }
    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    ASSERT_TRUE(LoadEdit(program.GetStudio(), account, "Episode 12", true));
    EditView& view = *program.GetStudio().View();
    view.leftMark = 3 * kSecond;
    view.rightMark = 6 * kSecond;
    AudioStream& stream = *program.GetStudio().Stream();
    TransportCommand(stream, kTransportPlay, false);
    ASSERT_EQ(stream.State(), kStatePlaying);
    MainWindow& window = program.Window();
    ASSERT_TRUE(test::WaitUntil([&] { return window.isVisible() && stream.HeardPosition() > kSecond; }, 10000));

    // Paint the area now and grab it at once, knowing the cue it was painted at to within
    // the columns played meanwhile; a busy machine may take a few tries to get that close.
    QWidget* area = window.WaveformArea();
    int64_t before = 0, after = 0;
    QImage image;
    ASSERT_TRUE(test::WaitUntil([&] {
        before = int64_t(stream.HeardPosition() / 1764);
        area->repaint();
        after = int64_t(stream.HeardPosition() / 1764);
        image = window.screen()->grabWindow(window.winId()).toImage();
        return after - before <= 5;
    }, 10000));
    EXPECT_EQ(stream.State(), kStatePlaying);
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 838);
    EXPECT_GE(image.height(), 610);
    ASSERT_TRUE(image.save(QString::fromStdString(shot)));
    std::cout << "screenshot: " << shot << "\n";
    TransportCommand(stream, kTransportStop, false);

    using namespace waveform::colours;
    const QPoint origin = area->mapTo(&window, QPoint(0, 0));
    const int width = area->width(), height = area->height() - waveform::WaveformView::kStatusHeight;
    const int cue = width / 2; // the cue line stands in the middle
    auto waveRows = [&](int x) {
        int rows = 0;
        for (int y = 0; y < height; ++y) {
            const QRgb rgb = image.pixel(origin.x() + x, origin.y() + y) | 0xFF000000;
            rows += rgb == kWave || rgb == kSelectedWave;
        }
        return rows;
    };
    // The cue line: two pixels wide at the middle column, drawn over the waveform.
    const QRgb cueColour = uint64_t(before) * 1764 >= 3 * kSecond && uint64_t(after) * 1764 < 6 * kSecond ? kCueInSelection : kCue;
    for (int x : {cue, cue + 1})
        EXPECT_EQ(image.pixel(origin.x() + x, origin.y() + 10) | 0xFF000000, cueColour) << x;
    EXPECT_NE(image.pixel(origin.x() + cue - 1, origin.y() + 10) | 0xFF000000, cueColour);
    // Loud seconds fill most of the strips, silent ones leave them empty. Columns that could
    // stand either side of a loud edge, given the cue's spread, are left out.
    int loud = 0, silent = 0;
    for (int x = 0; x < width; ++x) {
        if (x == cue || x == cue + 1) continue;
        const int64_t first = before + x - cue, last = after + x - cue;
        if (first < 0 || Loud(first) != Loud(last)) continue;
        SCOPED_TRACE(testing::Message() << "column " << x << ", Edit column " << first);
        if (Loud(first)) {
            EXPECT_GT(waveRows(x), height * 3 / 4);
            ++loud;
        } else {
            EXPECT_EQ(waveRows(x), 0);
            ++silent;
        }
    }
    EXPECT_GT(loud, width / 4);
    EXPECT_GT(silent, width / 4);
}

} // namespace
} // namespace tandrel::app
