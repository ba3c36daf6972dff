#include "cli/json_writer.h"

#include <cassert>
#include <charconv>

namespace tandrel::cli {

namespace {

/** Length of the valid UTF-8 sequence starting at `i`, or 0 if the bytes there are not one
    (overlong forms, surrogates, code points past U+10FFFF and cut sequences all count as
    invalid). */
size_t ValidSequenceLength(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;  // overlong
        if (lead == 0xED) high = 0x9F; // UTF-16 surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;  // overlong
        if (lead == 0xF4) high = 0x8F; // past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            ++i;
        } else if (c < 0x80) {
            out += char(c);
            ++i;
        } else if (size_t n = ValidSequenceLength(text, i); n != 0) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    out += '"';
}

void JsonWriter::NewLine()
{
    if (indent_ <= 0) return;
    out_ += '\n';
    out_.append(stack_.size() * size_t(indent_), ' ');
}

void JsonWriter::BeforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    // A value inside an object must follow its key.
    assert(stack_.empty() || stack_.back() == Frame::Array);
    if (stack_.empty()) {
        assert(!wroteTopLevel_);
        wroteTopLevel_ = true;
        return;
    }
    if (hasMembers_.back()) out_ += ',';
    hasMembers_.back() = true;
    NewLine();
}

JsonWriter& JsonWriter::Key(std::string_view name)
{
    assert(!stack_.empty() && stack_.back() == Frame::Object && !afterKey_);
    if (hasMembers_.back()) out_ += ',';
    hasMembers_.back() = true;
    NewLine();
    AppendJsonString(out_, name);
    out_ += indent_ > 0 ? ": " : ":";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::BeginObject()
{
    BeforeValue();
    out_ += '{';
    stack_.push_back(Frame::Object);
    hasMembers_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::BeginArray()
{
    BeforeValue();
    out_ += '[';
    stack_.push_back(Frame::Array);
    hasMembers_.push_back(false);
    return *this;
}

void JsonWriter::Close(Frame frame, char bracket)
{
    assert(!stack_.empty() && stack_.back() == frame && !afterKey_);
    (void)frame;
    const bool hadMembers = hasMembers_.back();
    stack_.pop_back();
    hasMembers_.pop_back();
    if (hadMembers) NewLine();
    out_ += bracket;
}

JsonWriter& JsonWriter::EndObject()
{
    Close(Frame::Object, '}');
    return *this;
}

JsonWriter& JsonWriter::EndArray()
{
    Close(Frame::Array, ']');
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text)
{
    BeforeValue();
    AppendJsonString(out_, text);
    return *this;
}

JsonWriter& JsonWriter::Uint(uint64_t value)
{
    BeforeValue();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, result.ptr);
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t value)
{
    BeforeValue();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, result.ptr);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value)
{
    BeforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null()
{
    BeforeValue();
    out_ += "null";
    return *this;
}

} // namespace tandrel::cli
