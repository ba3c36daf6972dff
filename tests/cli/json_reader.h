#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tandrel::cli::testing {

/** A parsed JSON value, as strict as the grammar: the tests use it both to read the tool's
    output and to prove that the output is valid JSON. Numbers keep their text so that
    64-bit integers compare exactly. */
struct JsonValue
{
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text; // a number's digits or a string's decoded UTF-8
    std::vector<JsonValue> elements;
    std::vector<std::pair<std::string, JsonValue>> members;

    bool IsNull() const { return kind == Kind::Null; }
    /** The member `name`; a null value when there is none. */
    const JsonValue& operator[](std::string_view name) const;
    const JsonValue& operator[](size_t index) const;
    size_t Size() const { return kind == Kind::Array ? elements.size() : members.size(); }
    bool Has(std::string_view name) const;
    /** The number as a u64; nullopt when it is not a whole number in range. */
    std::optional<uint64_t> U64() const;
};

/** Parses exactly one value filling the whole text (white space around it allowed);
    nullopt with `error` set when the text is not valid JSON, including raw control
    characters or invalid UTF-8 inside strings, and duplicate keys. */
std::optional<JsonValue> ParseJson(std::string_view text, std::string* error = nullptr);

} // namespace tandrel::cli::testing
