#pragma once
#include "base/interaction.h"
#include "base/terminal_sink.h"

namespace tandrel {

/** Answers every box the cautious way and prints nothing: a fuzzer reports thousands of
    damaged files a second, and their messages would drown its own output. */
class SilentSink : public InteractionSink
{
  public:
    MessageAnswer ShowMessage(const std::string&, const std::string&,
                              MessageButtons buttons) override
    {
        return CautiousAnswer(buttons);
    }
    std::optional<std::string> PromptText(const std::string&, const std::string&,
                                          const std::string&) override
    {
        return std::nullopt;
    }
};

} // namespace tandrel
