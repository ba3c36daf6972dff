#pragma once
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "base/interaction.h"

namespace tandrel::cli {

/** Passes every message on to the sink it replaced and counts them, so that a command can
    tell whether the library already explained a failure. A prompt is answered with the text
    queued by AnswerNextPrompt, when there is one. Installed for its lifetime. */
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
        if (!answer_) return next_->PromptText(title, label, initial);
        std::optional<std::string> answer = std::move(answer_);
        answer_.reset();
        return answer;
    }
    size_t Count() const { return count_; }
    void AnswerNextPrompt(std::string text) { answer_ = std::move(text); }

private:
    InteractionSink* next_;
    std::atomic<size_t> count_{0};
    std::optional<std::string> answer_; // commands run on one thread
};

} // namespace tandrel::cli
