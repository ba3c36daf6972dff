#pragma once
#include "base/progress.h"

namespace tandrel {

/** Progress on stderr for the command-line tool: the caption and a percentage, redrawn in
    place on a terminal and written once per ten percent otherwise. Never cancels (Ctrl+C
    ends the program). */
class TerminalProgressViews : public ProgressViewFactory
{
public:
    std::unique_ptr<ProgressView> MakeProgressView(ProgressKind kind) override;
};

} // namespace tandrel
