#pragma once
#include <functional>
#include <memory>
#include <string>

#include "edit_test_support.h"

namespace tandrel::app {
class Program;
}

namespace tandrel::test {

/** A home of its own: HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR (mode 0700) in a new
    temporary folder, so the settings, the storage folder and the program's socket are the
    test's alone. Removed afterwards. */
class TempHome
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    const std::string& Path() const { return path_; }
    /** The storage folder the program makes by default. */
    std::string Storage() const { return path_ + "/Documents/Tandrel"; }
    /** The active account's folder there. */
    std::string AccountFolder() const { return Storage() + "/Tandrel Library/KDUser/Default"; }

private:
    std::string path_;
};

/** An Edit `title` of `seconds` of pattern audio in the active account, entered in its
    database. The storage folder must be set up. Returns its path. */
std::string MakeLibraryEdit(const std::string& title, double seconds, Format format);

/** Makes and starts the program (with the Qt message, prompt and progress views when
    `qtSinks`, its optional libraries looked for in `xtrasFolder` when given) and runs its
    first pass; a fatal test failure when it does not start. */
void StartProgram(std::unique_ptr<app::Program>& program, bool qtSinks = false,
                  const std::string& xtrasFolder = {});

/** Lets the event loop turn until `done` or `timeoutMs` passed; returns `done()`. */
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

} // namespace tandrel::test
