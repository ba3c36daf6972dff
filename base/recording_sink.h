#pragma once
#include <deque>
#include <mutex>
#include <vector>

#include "base/interaction.h"

namespace tandrel {

/** A sink for tests: keeps every message shown and answers from a script. When the script
    runs out it gives the cautious answer (see TerminalSink) and cancels prompts. While
    installed through `ScopedRecordingSink` every message of the code under test lands here. */
class RecordingSink : public InteractionSink
{
public:
    struct Message
    {
        std::string title;
        std::string text;
        MessageButtons buttons;
        std::string initial; // a prompt's offered text
    };

    MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                              MessageButtons buttons) override;
    std::optional<std::string> PromptText(const std::string& title, const std::string& label,
                                          const std::string& initial) override;

    void ScriptAnswer(MessageAnswer answer);
    void ScriptText(std::optional<std::string> text);

    std::vector<Message> Messages() const;
    /** The texts of the messages shown, in order. */
    std::vector<std::string> Texts() const;
    void Clear();

private:
    mutable std::mutex lock_;
    std::vector<Message> messages_;
    std::deque<MessageAnswer> answers_;
    std::deque<std::optional<std::string>> texts_;
};

/** Installs a RecordingSink for the lifetime of the object and restores the previous sink. */
class ScopedRecordingSink : public RecordingSink
{
public:
    ScopedRecordingSink() : previous_(InstallInteractionSink(this)) {}
    ~ScopedRecordingSink() override { InstallInteractionSink(previous_); }
    ScopedRecordingSink(const ScopedRecordingSink&) = delete;
    ScopedRecordingSink& operator=(const ScopedRecordingSink&) = delete;

private:
    InteractionSink* previous_;
};

} // namespace tandrel
