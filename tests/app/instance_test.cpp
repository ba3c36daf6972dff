// One running copy per user: a second start activates the first and leaves; other programs'
// requests arrive over the same socket.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QWidget>

#include <filesystem>
#include <thread>

#include "app/instance_guard.h"
#include "app_test_support.h"

namespace tandrel::app {
namespace {

using test::TempHome;
using test::WaitUntil;

TEST(InstanceGuard, ASecondCopyExitsWithZeroAndRaisesTheFirst)
{
    TempHome home;
    QWidget window;
    window.resize(400, 300);
    window.showMinimized();
    InstanceGuard guard;
    ASSERT_TRUE(guard.Listen());
    int activations = 0;
    guard.activate = [&] {
        ++activations;
        RaiseProgramWindow(&window);
    };

    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(TANDREL_BINARY, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    ASSERT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(activations, 1);
    EXPECT_FALSE(window.isMinimized());
    // It left before touching anything: no storage folder, no settings.
    EXPECT_FALSE(std::filesystem::exists(home.Storage()));
    EXPECT_FALSE(std::filesystem::exists(home.Path() + "/config/Halvern"));
}

TEST(InstanceGuard, RequestsOfOtherProgramsArriveInOrder)
{
    TempHome home;
    InstanceGuard guard;
    ASSERT_TRUE(guard.Listen());
    std::vector<ProgramRequest> got;
    guard.request = [&](const ProgramRequest& request) { got.push_back(request); };
    int activations = 0;
    guard.activate = [&] { ++activations; };

    const ImportRequest import{"/srv/in.wav", "KDUser", "Default"};
    std::atomic<int> sent{0};
    std::thread sender([&] {
        // Each send waits until the running copy has taken the message.
        sent += InstanceGuard::SendRequest(kRequestImport, EncodeImportRequest(import));
        sent += InstanceGuard::SendRequest(kRequestSam, {1, 2, 3});
        sent += InstanceGuard::SendRequest(kRequestImport, std::vector<uint8_t>(2000, 7));
        sent += InstanceGuard::ActivateRunningCopy();
    });
    EXPECT_TRUE(WaitUntil([&] { return got.size() == 3 && activations == 1; }, 10000));
    sender.join();
    EXPECT_EQ(sent.load(), 4);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].type, kRequestImport);
    EXPECT_EQ(ParseImportRequest(got[0].data)->sourcePath, "/srv/in.wav");
    EXPECT_EQ(got[1].type, kRequestSam);
    EXPECT_EQ(got[1].data, (std::vector<uint8_t>{1, 2, 3}));
    // Too long for an import: it arrives, and the program leaves it alone.
    EXPECT_EQ(got[2].data.size(), 2000u);
    EXPECT_FALSE(DispatchProgramRequest(got[2], [](const ImportRequest&) {}, nullptr));
}

TEST(InstanceGuard, ASocketLeftByACrashedCopyIsTakenOver)
{
    TempHome home;
    {
        QFile stale(InstanceGuard::SocketPath());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(InstanceGuard::ActivateRunningCopy());
    InstanceGuard guard;
    EXPECT_TRUE(guard.Listen());
    bool activated = false;
    guard.activate = [&] { activated = true; };
    std::thread other([] { InstanceGuard::ActivateRunningCopy(); });
    EXPECT_TRUE(WaitUntil([&] { return activated; }, 5000));
    other.join();
    // And a live copy is not taken over.
    InstanceGuard intruder;
    EXPECT_FALSE(intruder.Listen());
}

} // namespace
} // namespace tandrel::app
