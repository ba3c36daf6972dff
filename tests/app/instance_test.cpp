// One running copy per user: a second start activates the first and leaves; other programs'
// requests arrive over the same socket.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QWidget>

#include <filesystem>
#include <thread>

#include "app/instance_guard.h"
#include "app/startup.h"
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

TEST(InstanceGuard, OtherProgramsRequestsAreAnsweredAndImportsKeptInOrder)
{
    TempHome home;
    setenv("TANDREL_AUDIO", "null", 1);
    std::unique_ptr<Program> program;
    test::StartProgram(program);

    const ImportRequest first{"/srv/in.wav", "KDUser", "Default"};
    const ImportRequest second{"/srv/two.mp3", "KDUser", "Default"};
    std::vector<char> answers;
    std::atomic<bool> finished{false};
    std::thread sender([&] {
        // Each send waits for the running copy's answer.
        answers.push_back(InstanceGuard::SendRequest(kRequestImport, EncodeImportRequest(first)));
        answers.push_back(InstanceGuard::SendRequest(kRequestSam, {1, 2, 3}));
        answers.push_back(InstanceGuard::SendRequest(kRequestImport, std::vector<uint8_t>(2000, 7)));
        answers.push_back(InstanceGuard::SendRequest(kRequestImport, EncodeImportRequest(second)));
        answers.push_back(InstanceGuard::ActivateRunningCopy() ? kAnswerTaken : 0);
        finished = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return finished.load(); }, 20000));
    sender.join();
    EXPECT_EQ(answers, (std::vector<char>{kAnswerQueued, kAnswerRefused, kAnswerRefused,
                                          kAnswerQueued, kAnswerTaken}));
    ASSERT_EQ(program->PendingImports().size(), 2u);
    EXPECT_EQ(program->PendingImports()[0].sourcePath, "/srv/in.wav");
    EXPECT_EQ(program->PendingImports()[1].sourcePath, "/srv/two.mp3");
    program->Shutdown();
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
