#include "base/progress.h"

#include <algorithm>

namespace tandrel {

namespace {

class InvisibleView : public ProgressView
{
public:
    void Show(bool) override {}
    void SetText(const std::string&) override {}
    void SetPercent(int) override {}
    void ToFront() override {}
    void Close() override {}
    bool CancelPressed() override { return false; }
};

ProgressViewFactory* installedFactory = nullptr;
std::unique_ptr<ProgressWindow> shared[3]; // by kind; [0] unused
ProgressWindow silentRecord;
bool foregroundCancelled = false;

bool Cancelled(ProgressWindow* progress)
{
    if (progress->kind != kProgressForeground) return false; // only the foreground cancels
    if (!foregroundCancelled && progress->threaded && progress->window &&
        progress->window->CancelPressed())
        foregroundCancelled = true;
    return foregroundCancelled;
}

// Common gate of the calls that report: true when the call may go on.
bool Usable(ProgressWindow* progress)
{
    if (!progress) return false;
    if (progress->kind == kProgressSilent) return true;
    return progress->window && !Cancelled(progress);
}

} // namespace

ProgressViewFactory* InstallProgressViews(ProgressViewFactory* factory)
{
    std::swap(installedFactory, factory);
    return factory;
}

int OverallPercent(int currentStep, int stepCount, int percent)
{
    percent = std::clamp(percent, 0, 100);
    stepCount = std::max(stepCount, 1);
    return currentStep * 100 / stepCount + percent / stepCount;
}

ProgressWindow* AcquireProgress(int kind)
{
    if (kind == 3) kind = kProgressForeground;
    if (kind == kProgressSilent) return &silentRecord;
    if (kind != kProgressForeground && kind != kProgressBackground) return nullptr;
    std::unique_ptr<ProgressWindow>& record = shared[kind];
    if (!record) {
        record = std::make_unique<ProgressWindow>();
        record->kind = ProgressKind(kind);
        foregroundCancelled = false;
    }
    ++record->references;
    return record.get();
}

void ReleaseProgress(int kind)
{
    if (kind == 3) kind = kProgressForeground;
    if (kind != kProgressForeground && kind != kProgressBackground) return;
    std::unique_ptr<ProgressWindow>& record = shared[kind];
    if (!record || --record->references > 0) return;
    if (record->window) record->window->Close();
    record.reset();
}

bool OpenProgress(ProgressWindow* progress, int stepCount, bool threaded)
{
    if (!progress || stepCount < 1) return false;
    progress->stepCount = stepCount;
    progress->currentStep = 0;
    progress->lastShown = 0;
    if (progress->kind == kProgressSilent) return true;
    if (!progress->window) {
        progress->threaded = threaded && progress->kind == kProgressForeground;
        progress->window = installedFactory ? installedFactory->MakeProgressView(progress->kind)
                                            : std::make_unique<InvisibleView>();
        progress->window->Show(progress->threaded);
    }
    return !Cancelled(progress);
}

bool ProgressText(ProgressWindow* progress, const std::string& text)
{
    if (!Usable(progress)) return false;
    if (progress->window) progress->window->SetText(text);
    return true;
}

bool ProgressNextStep(ProgressWindow* progress)
{
    if (!Usable(progress)) return false;
    progress->currentStep = std::min(progress->currentStep + 1, progress->stepCount);
    return true;
}

bool ProgressPercent(ProgressWindow* progress, int percent)
{
    if (!Usable(progress)) return false;
    if (progress->kind == kProgressSilent) return true;
    int overall = OverallPercent(progress->currentStep, progress->stepCount, percent);
    if (overall < progress->lastShown) return true;
    progress->lastShown = overall;
    progress->window->ToFront();
    progress->window->SetPercent(std::min(overall, 100));
    return !Cancelled(progress);
}

void ProgressToFront()
{
    if (shared[kProgressForeground] && shared[kProgressForeground]->window)
        shared[kProgressForeground]->window->ToFront();
}

} // namespace tandrel
