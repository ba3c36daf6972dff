#include "base/scripted_progress.h"

namespace tandrel {

namespace {

class ScriptedView : public ProgressView
{
public:
    explicit ScriptedView(ScriptedProgressViews& log) : log_(log) {}
    void Show(bool cancellable) override { log_.cancellable = cancellable; }
    void SetText(const std::string& text) override { log_.texts.push_back(text); }
    void SetPercent(int percent) override { log_.percents.push_back(percent); }
    void ToFront() override {}
    void Close() override { ++log_.viewsClosed; }
    bool CancelPressed() override
    {
        return log_.cancelAtPercent >= 0 && !log_.percents.empty() &&
               log_.percents.back() >= log_.cancelAtPercent;
    }

private:
    ScriptedProgressViews& log_;
};

} // namespace

std::unique_ptr<ProgressView> ScriptedProgressViews::MakeProgressView(ProgressKind)
{
    ++viewsMade;
    return std::make_unique<ScriptedView>(*this);
}

} // namespace tandrel
