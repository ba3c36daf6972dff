#include "json_reader.h"

#include <charconv>

namespace tandrel::cli::testing {

namespace {

const JsonValue kNullValue;

class Reader
{
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> Document()
    {
        JsonValue value;
        SkipSpace();
        if (!Value(value, 0)) return std::nullopt;
        SkipSpace();
        if (pos_ != text_.size()) return Fail("text after the value");
        return value;
    }
    std::string error;

private:
    std::nullopt_t Fail(const std::string& what)
    {
        if (error.empty()) error = what + " at offset " + std::to_string(pos_);
        return std::nullopt;
    }
    bool Failed(const std::string& what)
    {
        Fail(what);
        return false;
    }
    void SkipSpace()
    {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' ||
                text_[pos_] == '\r'))
            ++pos_;
    }
    bool Literal(std::string_view word)
    {
        if (text_.substr(pos_, word.size()) != word) return Failed("bad literal");
        pos_ += word.size();
        return true;
    }

    bool Value(JsonValue& value, int depth)
    {
        if (depth > 200) return Failed("nesting too deep");
        if (pos_ >= text_.size()) return Failed("missing value");
        const char c = text_[pos_];
        if (c == '{') return Object(value, depth);
        if (c == '[') return Array(value, depth);
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return String(value.text);
        }
        if (c == 't' || c == 'f') {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            value.kind = JsonValue::Kind::Null;
            return Literal("null");
        }
        return Number(value);
    }

    bool Number(JsonValue& value)
    {
        const size_t start = pos_;
        auto digits = [&] {
            const size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
            return pos_ - from;
        };
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        const size_t intStart = pos_;
        const size_t intDigits = digits();
        if (intDigits == 0) return Failed("bad number");
        if (intDigits > 1 && text_[intStart] == '0') return Failed("leading zero");
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (digits() == 0) return Failed("bad fraction");
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (digits() == 0) return Failed("bad exponent");
        }
        value.kind = JsonValue::Kind::Number;
        value.text = std::string(text_.substr(start, pos_ - start));
        return true;
    }

    static void AppendUtf8(std::string& out, uint32_t code)
    {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    bool Hex4(uint32_t& code)
    {
        if (pos_ + 4 > text_.size()) return Failed("short \\u escape");
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            code <<= 4;
            if (h >= '0' && h <= '9') code |= uint32_t(h - '0');
            else if (h >= 'a' && h <= 'f') code |= uint32_t(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') code |= uint32_t(h - 'A' + 10);
            else return Failed("bad hex digit");
        }
        return true;
    }

    // Raw bytes inside a string must be valid UTF-8; checked by decoding each sequence.
    bool RawUtf8(std::string& out)
    {
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(text_[k]); };
        const unsigned char lead = byte(pos_);
        size_t length = 0;
        uint32_t code = 0, minimum = 0;
        if (lead >= 0xC0 && lead <= 0xDF) length = 2, code = lead & 0x1F, minimum = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F, minimum = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF7) length = 4, code = lead & 0x07, minimum = 0x10000;
        else return Failed("invalid UTF-8 lead byte");
        if (pos_ + length > text_.size()) return Failed("cut UTF-8 sequence");
        for (size_t k = 1; k < length; ++k) {
            if ((byte(pos_ + k) & 0xC0) != 0x80) return Failed("bad UTF-8 continuation");
            code = (code << 6) | (byte(pos_ + k) & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return Failed("invalid UTF-8 code point");
        out.append(text_.substr(pos_, length));
        pos_ += length;
        return true;
    }

    bool String(std::string& out)
    {
        ++pos_; // opening quote
        for (;;) {
            if (pos_ >= text_.size()) return Failed("unterminated string");
            const unsigned char c = static_cast<unsigned char>(text_[pos_]);
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (c < 0x20) return Failed("raw control character in string");
            if (c >= 0x80) {
                if (!RawUtf8(out)) return false;
                continue;
            }
            if (c != '\\') {
                out += char(c);
                ++pos_;
                continue;
            }
            if (++pos_ >= text_.size()) return Failed("cut escape");
            const char e = text_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t code;
                if (!Hex4(code)) return false;
                if (code >= 0xDC00 && code <= 0xDFFF) return Failed("lone low surrogate");
                if (code >= 0xD800 && code <= 0xDBFF) {
                    uint32_t low;
                    if (text_.substr(pos_, 2) != "\\u") return Failed("lone high surrogate");
                    pos_ += 2;
                    if (!Hex4(low)) return false;
                    if (low < 0xDC00 || low > 0xDFFF) return Failed("bad low surrogate");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(out, code);
                break;
            }
            default: return Failed("unknown escape");
            }
        }
    }

    bool Array(JsonValue& value, int depth)
    {
        value.kind = JsonValue::Kind::Array;
        ++pos_;
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            SkipSpace();
            JsonValue element;
            if (!Value(element, depth + 1)) return false;
            value.elements.push_back(std::move(element));
            SkipSpace();
            if (pos_ >= text_.size()) return Failed("unterminated array");
            if (text_[pos_] == ']') {
                ++pos_;
                return true;
            }
            if (text_[pos_++] != ',') return Failed("expected , or ]");
        }
    }

    bool Object(JsonValue& value, int depth)
    {
        value.kind = JsonValue::Kind::Object;
        ++pos_;
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '"') return Failed("expected a key");
            std::string key;
            if (!String(key)) return false;
            if (value.Has(key)) return Failed("duplicate key " + key);
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_++] != ':') return Failed("expected :");
            SkipSpace();
            JsonValue member;
            if (!Value(member, depth + 1)) return false;
            value.members.emplace_back(std::move(key), std::move(member));
            SkipSpace();
            if (pos_ >= text_.size()) return Failed("unterminated object");
            if (text_[pos_] == '}') {
                ++pos_;
                return true;
            }
            if (text_[pos_++] != ',') return Failed("expected , or }");
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
};

} // namespace

const JsonValue& JsonValue::operator[](std::string_view name) const
{
    for (const auto& [key, value] : members)
        if (key == name) return value;
    return kNullValue;
}

const JsonValue& JsonValue::operator[](size_t index) const
{
    return index < elements.size() ? elements[index] : kNullValue;
}

bool JsonValue::Has(std::string_view name) const
{
    for (const auto& member : members)
        if (member.first == name) return true;
    return false;
}

std::optional<uint64_t> JsonValue::U64() const
{
    if (kind != Kind::Number) return std::nullopt;
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

std::optional<JsonValue> ParseJson(std::string_view text, std::string* error)
{
    Reader reader(text);
    std::optional<JsonValue> value = reader.Document();
    if (!value && error) *error = reader.error;
    return value;
}

} // namespace tandrel::cli::testing
