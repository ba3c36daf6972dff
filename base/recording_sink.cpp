#include "base/recording_sink.h"

#include "base/terminal_sink.h"

namespace tandrel {

MessageAnswer RecordingSink::ShowMessage(const std::string& title, const std::string& text,
                                         MessageButtons buttons)
{
    std::lock_guard guard(lock_);
    messages_.push_back({title, text, buttons, {}});
    if (answers_.empty()) return CautiousAnswer(buttons);
    MessageAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

std::optional<std::string> RecordingSink::PromptText(const std::string& title,
                                                     const std::string& label,
                                                     const std::string& initial)
{
    std::lock_guard guard(lock_);
    messages_.push_back({title, label, MessageButtons::OkCancel, initial});
    if (texts_.empty()) return std::nullopt;
    std::optional<std::string> text = texts_.front();
    texts_.pop_front();
    return text;
}

void RecordingSink::ScriptAnswer(MessageAnswer answer)
{
    std::lock_guard guard(lock_);
    answers_.push_back(answer);
}

void RecordingSink::ScriptText(std::optional<std::string> text)
{
    std::lock_guard guard(lock_);
    texts_.push_back(std::move(text));
}

std::vector<RecordingSink::Message> RecordingSink::Messages() const
{
    std::lock_guard guard(lock_);
    return messages_;
}

std::vector<std::string> RecordingSink::Texts() const
{
    std::lock_guard guard(lock_);
    std::vector<std::string> texts;
    for (const Message& m : messages_) texts.push_back(m.text);
    return texts;
}

void RecordingSink::Clear()
{
    std::lock_guard guard(lock_);
    messages_.clear();
}

} // namespace tandrel
