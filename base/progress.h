#pragma once
#include <memory>
#include <string>

namespace tandrel {

// The shared progress window of long operations. The model below decides sharing, the
// percentage shown and cancelling; what a person sees is a ProgressView that the Qt program,
// the command-line tool or a test installs.

enum ProgressKind : int {
    kProgressSilent = 0,     // no window; every call succeeds
    kProgressForeground = 1, // the operation's own window, with Cancel
    kProgressBackground = 2, // work the person does not wait for, at the screen's corner
};

/** What shows progress. Called on the UI thread only. */
class ProgressView
{
public:
    virtual ~ProgressView() = default;
    /** Shows the window; `cancellable` when its Cancel button stops the operation. */
    virtual void Show(bool cancellable) = 0;
    virtual void SetText(const std::string& text) = 0;
    /** Fills the bar to `percent` (0 to 100) of its width. */
    virtual void SetPercent(int percent) = 0;
    virtual void ToFront() = 0;
    virtual void Close() = 0;
    /** True once the person has pressed Cancel. The view keeps the program's event loop
        (and so audio) running while it is asked. */
    virtual bool CancelPressed() = 0;
};

/** Makes the views; the installed factory lives as long as the program uses progress. */
class ProgressViewFactory
{
public:
    virtual ~ProgressViewFactory() = default;
    virtual std::unique_ptr<ProgressView> MakeProgressView(ProgressKind kind) = 0;
};

/** Installs `factory` and returns the previous one (null: views that show nothing). */
ProgressViewFactory* InstallProgressViews(ProgressViewFactory* factory);

/** One progress window, shared by every operation that acquires its kind. */
struct ProgressWindow
{
    ProgressKind kind = kProgressSilent;
    std::unique_ptr<ProgressView> window;
    bool threaded = false;
    int stepCount = 1;
    int currentStep = 0;
    int lastShown = 0;
    int references = 0;
};

/** The shared record of `kind` (3 counts as 1), made on first use; adds a reference. Kind 0
    gives a silent record. Null for an unknown kind. UI thread. */
ProgressWindow* AcquireProgress(int kind);
/** Drops a reference; the last one closes the window and frees the record. */
void ReleaseProgress(int kind);
/** Shows the window if it is not shown yet. `threaded` makes a foreground window
    cancellable. False when `stepCount` is below 1 or the person has cancelled. */
bool OpenProgress(ProgressWindow* progress, int stepCount, bool threaded);
/** Sets the caption. False once cancelled or when no window exists; a silent record: true. */
bool ProgressText(ProgressWindow* progress, const std::string& text);
/** Moves to the next step (at most the step count). False as ProgressText. */
bool ProgressNextStep(ProgressWindow* progress);
/** Shows `percent` of the current step. False as ProgressText. */
bool ProgressPercent(ProgressWindow* progress, int percent);
/** Brings the foreground window to the front. */
void ProgressToFront();

/** The overall percentage of `percent` into step `currentStep` of `stepCount`. */
int OverallPercent(int currentStep, int stepCount, int percent);

} // namespace tandrel
