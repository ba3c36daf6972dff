#pragma once
#include <string>
#include <vector>

#include "base/progress.h"

namespace tandrel {

/** Progress views for tests: every view made logs what it was told into the factory, and
    Cancel is "pressed" once the bar has reached `cancelAtPercent` (never when negative).
    Installed for the lifetime of the object. */
class ScriptedProgressViews : public ProgressViewFactory
{
public:
    ScriptedProgressViews() : previous_(InstallProgressViews(this)) {}
    ~ScriptedProgressViews() override { InstallProgressViews(previous_); }
    ScriptedProgressViews(const ScriptedProgressViews&) = delete;
    ScriptedProgressViews& operator=(const ScriptedProgressViews&) = delete;

    std::unique_ptr<ProgressView> MakeProgressView(ProgressKind kind) override;

    int cancelAtPercent = -1;
    int viewsMade = 0;
    int viewsClosed = 0;
    bool cancellable = false;
    std::vector<std::string> texts;
    std::vector<int> percents;

private:
    ProgressViewFactory* previous_;
};

} // namespace tandrel
