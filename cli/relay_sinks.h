#pragma once
#include <atomic>
#include <cstddef>

#include "base/interaction.h"

namespace tandrel::cli {

/** Passes every message on to the sink it replaced and counts them, so that a command can
    tell whether the library already explained a failure. Installed for its lifetime. */
class CountingSink : public InteractionSink
{
public:
    CountingSink() : next_(InstallInteractionSink(this)) {}
    ~CountingSink() override { InstallInteractionSink(next_); }
    CountingSink(const CountingSink&) = delete;
    CountingSink& operator=(const CountingSink&) = delete;

    MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                              MessageButtons buttons) override
    {
        ++count_;
        return next_->ShowMessage(title, text, buttons);
    }
    std::optional<std::string> PromptText(const std::string& title, const std::string& label,
                                          const std::string& initial) override
    {
        return next_->PromptText(title, label, initial);
    }
    size_t Count() const { return count_; }

private:
    InteractionSink* next_;
    std::atomic<size_t> count_{0};
};

} // namespace tandrel::cli
