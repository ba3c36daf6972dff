// The real window on an X server (scripts/test runs this under Xvfb): an Edit opened and
// playing, the window grabbed from the server and kept as a test artefact.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <filesystem>
#include <set>

#include "app/main_window.h"
#include "app/startup.h"
#include "app/studio.h"
#include "app_test_support.h"
#include "audio/transport.h"
#include "base/recording_sink.h"
#include "library/library_moves.h"

namespace tandrel::app {
namespace {

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
    test::MakeLibraryEdit("Episode 12", 20, test::Format{2, 44100, 16});
    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    ASSERT_TRUE(LoadEdit(program.GetStudio(), account, "Episode 12", true));
    EditView& view = *program.GetStudio().View();
    view.leftMark = 3 * 176400;
    view.rightMark = 6 * 176400;
    AudioStream& stream = *program.GetStudio().Stream();
    TransportCommand(stream, kTransportPlay, false);
    ASSERT_EQ(stream.State(), kStatePlaying);
    MainWindow& window = program.Window();
    ASSERT_TRUE(test::WaitUntil([&] { return window.isVisible() && stream.HeardPosition() > 88200; }, 5000));
    test::WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(stream.State(), kStatePlaying);

    const QPixmap pixmap = window.screen()->grabWindow(window.winId());
    ASSERT_FALSE(pixmap.isNull());
    const QImage image = pixmap.toImage();
    EXPECT_GE(image.width(), 838);
    EXPECT_GE(image.height(), 610);
    // A drawn window, not a blank rectangle.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 8u);
    ASSERT_TRUE(image.save(QString::fromStdString(shot)));
    std::cout << "screenshot: " << shot << "\n";
    TransportCommand(stream, kTransportStop, false);
}

} // namespace
} // namespace tandrel::app
