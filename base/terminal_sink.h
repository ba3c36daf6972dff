#pragma once
#include <cstdio>

#include "base/interaction.h"

namespace tandrel {

/** Writes every message as "TITLE: TEXT" to stderr. When `interactive` is set and stdin
    is a terminal it asks for answers there; otherwise it answers the cautious button
    (Ok, Cancel, No) and cancels prompts, so batch work never waits for a person. */
class TerminalSink : public InteractionSink
{
public:
    explicit TerminalSink(bool interactive = false) : interactive_(interactive) {}
    MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                              MessageButtons buttons) override;
    std::optional<std::string> PromptText(const std::string& title, const std::string& label,
                                          const std::string& initial) override;

private:
    bool CanAsk() const;
    bool interactive_;
};

/** The answer a box gives when nobody can be asked: Ok, or Cancel, or No. */
MessageAnswer CautiousAnswer(MessageButtons buttons);

} // namespace tandrel
