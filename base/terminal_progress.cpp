#include "base/terminal_progress.h"

#include <cstdio>
#include <unistd.h>

namespace tandrel {

namespace {

class TerminalView : public ProgressView
{
public:
    void Show(bool) override {}
    void SetText(const std::string& text) override
    {
        text_ = text;
        Draw(shown_);
    }
    void SetPercent(int percent) override
    {
        if (!tty_ && percent / 10 == shown_ / 10 && shown_ >= 0) return;
        Draw(percent);
    }
    void ToFront() override {}
    void Close() override
    {
        if (tty_ && shown_ >= 0) std::fputc('\n', stderr);
    }
    bool CancelPressed() override { return false; }

private:
    void Draw(int percent)
    {
        shown_ = percent;
        if (percent < 0) return;
        std::fprintf(stderr, tty_ ? "\r%s %3d%%" : "%s %d%%\n", text_.c_str(), percent);
        std::fflush(stderr);
    }

    bool tty_ = isatty(STDERR_FILENO);
    std::string text_;
    int shown_ = -1;
};

} // namespace

std::unique_ptr<ProgressView> TerminalProgressViews::MakeProgressView(ProgressKind)
{
    return std::make_unique<TerminalView>();
}

} // namespace tandrel
