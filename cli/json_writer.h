#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tandrel::cli {

/** A small streaming JSON writer: values, keys and containers are written in order and the
    commas fall where they belong. Integers are written from their binary value, never through
    a double, so every u64 survives exactly. Text is taken as UTF-8; bytes that are not valid
    UTF-8 become U+FFFD, so the output is valid JSON whatever the input holds. */
class JsonWriter
{
public:
    /** With `indent` > 0 every member and element goes on its own line. */
    explicit JsonWriter(int indent = 0) : indent_(indent) {}

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    /** The name of the next member; only inside an object, before its value. */
    JsonWriter& Key(std::string_view name);

    JsonWriter& String(std::string_view text);
    JsonWriter& Uint(uint64_t value);
    JsonWriter& Int(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    /** The text written so far. */
    const std::string& Text() const { return out_; }
    /** True once one top-level value has been written completely. */
    bool Complete() const { return stack_.empty() && wroteTopLevel_; }

private:
    enum class Frame : uint8_t { Object, Array };
    void BeforeValue();
    void Close(Frame frame, char bracket);
    void NewLine();

    std::string out_;
    std::vector<Frame> stack_;
    std::vector<bool> hasMembers_;
    bool afterKey_ = false;
    bool wroteTopLevel_ = false;
    int indent_;
};

/** Appends `text` as a quoted JSON string: quote, backslash and every control character
    escaped (control characters as \u00XX), invalid UTF-8 replaced by \ufffd. */
void AppendJsonString(std::string& out, std::string_view text);

} // namespace tandrel::cli
