#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/program_requests.h"

class QApplication;

namespace tandrel {
class RecorderShell;
}

namespace tandrel::app {

class AudioService;
class InstanceGuard;
class KeyboardHook;
class MainWindow;
class QtInteractionSink;
class QtProgressViews;
class Studio;

/** The whole program below its event loop: start-up in its fixed order and shutdown in
    reverse. The program's main() runs one and the event loop between; the tests run one
    the same way and drive its window. */
class Program
{
public:
    struct Options
    {
        /** Install the Qt message, prompt and progress views (tests may keep their own). */
        bool qtSinks = true;
        /** Steady-clock milliseconds when the process started, for the start-up report. */
        long long startedMs = -1;
        /** Where the optional libraries are looked for; empty: KD_Xtras beside the program. */
        std::string xtrasFolder;
    };
    explicit Program(Options options);
    Program() : Program(Options{}) {}
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    enum class Started { Running, OtherCopyActivated };
    /** Everything up to the shown window and the running audio service; the first pass
        (preferences, the last open Edit, recovery) is queued for the event loop. */
    Started Start();
    /** Runs the first pass now if the event loop has not. */
    void FirstPass();
    /** The orderly shutdown; safe twice. */
    void Shutdown();

    Studio& GetStudio() { return *studio_; }
    MainWindow& Window() { return *window_; }
    AudioService& Service() { return *service_; }
    /** The transcription keyboard hook (loaded or not). */
    KeyboardHook& Hook() { return *hook_; }
    /** Import requests from other programs, oldest first, kept until importing can take them. */
    const std::vector<ImportRequest>& PendingImports() const { return pendingImports_; }

private:
    Options options_;
    std::unique_ptr<InstanceGuard> guard_;
    std::unique_ptr<QtInteractionSink> sink_;
    std::unique_ptr<QtProgressViews> progress_;
    std::unique_ptr<Studio> studio_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<RecorderShell> recorderShell_;
    std::unique_ptr<AudioService> service_;
    std::unique_ptr<KeyboardHook> hook_;
    std::vector<ImportRequest> pendingImports_;
    bool firstPassDone_ = false;
    bool running_ = false;
};

/** Brings the program up, runs the event loop and shuts down. Returns the exit code: 0
    when another copy was activated instead.

    With TANDREL_EXIT_WHEN_SHOWN set in the environment the program prints the
    milliseconds from `startedMs` (steady clock) to its shown window after the first pass,
    and leaves: the start-up benchmark runs it so. */
int RunTandrel(QApplication& application, long long startedMs = -1);

/** Milliseconds of the steady clock, as main() records its start. */
long long SteadyNowMs();

} // namespace tandrel::app
