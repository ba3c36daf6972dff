#include "base/terminal_sink.h"

#include <cctype>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace tandrel {

namespace {
std::mutex terminalLock; // messages from worker threads must not interleave
}

MessageAnswer CautiousAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::OkCancel: return MessageAnswer::Cancel;
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::YesNoCancel: return MessageAnswer::Cancel;
    }
    return MessageAnswer::Cancel;
}

bool TerminalSink::CanAsk() const { return interactive_ && isatty(STDIN_FILENO); }

MessageAnswer TerminalSink::ShowMessage(const std::string& title, const std::string& text,
                                        MessageButtons buttons)
{
    std::lock_guard lock(terminalLock);
    std::cerr << title << ": " << text << std::endl;
    if (buttons == MessageButtons::Ok || !CanAsk()) return CautiousAnswer(buttons);
    const char* choices = buttons == MessageButtons::OkCancel ? "[o]k/[c]ancel"
                          : buttons == MessageButtons::YesNo  ? "[y]es/[n]o"
                                                              : "[y]es/[n]o/[c]ancel";
    for (;;) {
        std::cerr << choices << "? " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line)) return CautiousAnswer(buttons);
        char c = line.empty() ? '\0' : char(std::tolower(static_cast<unsigned char>(line[0])));
        if (buttons == MessageButtons::OkCancel && c == 'o') return MessageAnswer::Ok;
        if (buttons != MessageButtons::OkCancel && c == 'y') return MessageAnswer::Yes;
        if (buttons != MessageButtons::OkCancel && c == 'n') return MessageAnswer::No;
        if (buttons != MessageButtons::YesNo && c == 'c') return MessageAnswer::Cancel;
    }
}

std::optional<std::string> TerminalSink::PromptText(const std::string& title,
                                                    const std::string& label,
                                                    const std::string& initial)
{
    std::lock_guard lock(terminalLock);
    if (!CanAsk()) return std::nullopt;
    std::cerr << title << ": " << label << " [" << initial << "] " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    return line.empty() ? initial : line;
}

} // namespace tandrel
