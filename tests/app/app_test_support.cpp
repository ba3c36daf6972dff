#include "app_test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include "app/startup.h"
#include "library/library_account.h"
#include "library/new_edits.h"

namespace tandrel::test {

TempHome::TempHome()
{
    char pattern[] = "/tmp/tandrel-app-XXXXXX";
    if (!mkdtemp(pattern)) {
        ADD_FAILURE() << "no temporary folder";
        return;
    }
    path_ = pattern;
    std::filesystem::create_directories(path_ + "/config");
    std::filesystem::create_directories(path_ + "/run");
    ::chmod((path_ + "/run").c_str(), 0700);
    setenv("HOME", path_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (path_ + "/run").c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
}

TempHome::~TempHome()
{
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string MakeLibraryEdit(const std::string& title, double seconds, Format format)
{
    Account account;
    if (!ActiveAccount(account)) {
        ADD_FAILURE() << "no active account";
        return {};
    }
    std::filesystem::create_directories(account.Folder());
    const std::string path = account.EditPath(title);
    uint64_t bytes = uint64_t(seconds * format.BytesPerSecond());
    bytes -= bytes % format.BlockAlign();
    if (!MakeEdit(path, format, bytes, bytes)) return {};
    AddToDatabase(account, path, title);
    return path;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return done();
}

void StartProgram(std::unique_ptr<app::Program>& program, bool qtSinks, const std::string& xtrasFolder)
{
    app::Program::Options options;
    options.qtSinks = qtSinks;
    options.xtrasFolder = xtrasFolder;
    program = std::make_unique<app::Program>(options);
    ASSERT_EQ(program->Start(), app::Program::Started::Running);
    program->FirstPass();
}

} // namespace tandrel::test
