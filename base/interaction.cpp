#include "base/interaction.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "base/terminal_sink.h"

namespace tandrel {

namespace {

InteractionSink& DefaultSink()
{
    static TerminalSink sink;
    return sink;
}

std::atomic<InteractionSink*> installedSink{nullptr};

InteractionSink& CurrentSink()
{
    InteractionSink* sink = installedSink.load(std::memory_order_acquire);
    return sink ? *sink : DefaultSink();
}

} // namespace

InteractionSink* InstallInteractionSink(InteractionSink* sink)
{
    InteractionSink* previous = installedSink.exchange(sink, std::memory_order_acq_rel);
    return previous ? previous : &DefaultSink();
}

void ReportError(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    CurrentSink().ShowMessage(kErrorTitle, text, MessageButtons::Ok);
}

MessageAnswer MessageDialog(const std::string& title, const std::string& text,
                            MessageButtons buttons)
{
    return CurrentSink().ShowMessage(title, text, buttons);
}

std::optional<std::string> PromptText(const std::string& title, const std::string& label,
                                      const std::string& initial)
{
    return CurrentSink().PromptText(title, label, initial);
}

} // namespace tandrel
