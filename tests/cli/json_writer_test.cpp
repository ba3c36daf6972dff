#include "cli/json_writer.h"

#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "json_reader.h"

namespace tandrel::cli {
namespace {

using testing::JsonValue;
using testing::ParseJson;

std::string Quoted(std::string_view text)
{
    std::string out;
    AppendJsonString(out, text);
    return out;
}

TEST(JsonString, EscapesAndReplacesByteForByte)
{
    using namespace std::string_literals;
    struct Case
    {
        const char* what;
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"empty", "", R"("")"},
        {"plain ASCII", "Intro 1", R"("Intro 1")"},
        {"quote and backslash", R"(say "hi" \ bye)", R"("say \"hi\" \\ bye")"},
        {"slash stays", "a/b", R"("a/b")"},
        {"newline, tab, return", "a\nb\tc\r", R"("a\u000ab\u0009c\u000d")"},
        {"NUL inside", "a\0b"s, R"("a\u0000b")"},
        {"unit separator and DEL", "\x1f\x7f", R"("\u001f\u007f")"},
        {"two-byte UTF-8 kept", "caf\xc3\xa9", "\"caf\xc3\xa9\""},
        {"three-byte UTF-8 kept", "\xe2\x82\xac", "\"\xe2\x82\xac\""},
        {"four-byte UTF-8 kept", "\xf0\x9f\x8e\x99", "\"\xf0\x9f\x8e\x99\""},
        {"highest code point kept", "\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\""},
        {"lone continuation byte", "a\x80z", R"("a\ufffdz")"},
        {"byte FF", "\xff", R"("\ufffd")"},
        {"Latin-1 text", "caf\xe9!", R"("caf\ufffd!")"},
        {"overlong slash", "\xc0\xaf", R"("\ufffd\ufffd")"},
        {"overlong three-byte", "\xe0\x80\xaf", R"("\ufffd\ufffd\ufffd")"},
        {"UTF-16 surrogate", "\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},
        {"past U+10FFFF", "\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
        {"sequence cut by the end", "ok\xe2\x82", R"("ok\ufffd\ufffd")"},
        {"sequence cut by ASCII", "\xe2\x82z", R"("\ufffd\ufffdz")"},
        {"lead byte F8", "\xf8\x88\x80\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd\ufffd")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string quoted = Quoted(c.input);
        EXPECT_EQ(quoted, c.expected);
        std::string error;
        EXPECT_TRUE(ParseJson(quoted, &error).has_value()) << error;
    }
}

// Whatever bytes a name holds, the output is one valid JSON string, and text that was
// valid UTF-8 (control characters, quotes and backslashes too) comes back unchanged.
TEST(JsonString, RandomBytesAlwaysGiveValidJson)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 24, '\0');
        for (char& b : bytes) b = char(random() % 256);
        const std::string quoted = Quoted(bytes);
        std::string error;
        const auto parsed = ParseJson(quoted, &error);
        ASSERT_TRUE(parsed.has_value()) << error << " for " << quoted;
        ASSERT_EQ(parsed->kind, JsonValue::Kind::String);
        if (parsed->text.find("\xef\xbf\xbd") == std::string::npos) {
            EXPECT_EQ(parsed->text, bytes);
        }
    }
}

TEST(JsonWriter, PlacesCommasInNestedContainers)
{
    struct Case
    {
        const char* what;
        void (*write)(JsonWriter&);
        const char* expected;
    };
    const Case cases[] = {
        {"empty object", [](JsonWriter& j) { j.BeginObject().EndObject(); }, "{}"},
        {"empty array", [](JsonWriter& j) { j.BeginArray().EndArray(); }, "[]"},
        {"scalar at top", [](JsonWriter& j) { j.Uint(7); }, "7"},
        {"array of scalars",
         [](JsonWriter& j) { j.BeginArray().Uint(1).Int(-2).Bool(true).Bool(false).Null().String("x").EndArray(); },
         R"([1,-2,true,false,null,"x"])"},
        {"object members",
         [](JsonWriter& j) { j.BeginObject().Key("a").Uint(1).Key("b").Null().Key("c").String("").EndObject(); },
         R"({"a":1,"b":null,"c":""})"},
        {"nested empties",
         [](JsonWriter& j) {
             j.BeginArray().BeginObject().EndObject().BeginArray().EndArray().BeginObject().EndObject().EndArray();
         },
         "[{},[],{}]"},
        {"deep nesting",
         [](JsonWriter& j) {
             j.BeginObject().Key("a").BeginArray().BeginObject().Key("b").BeginArray().Uint(1).Uint(2)
                 .EndArray().Key("c").BeginObject().EndObject().EndObject().Uint(3).EndArray()
                 .Key("d").Bool(true).EndObject();
         },
         R"({"a":[{"b":[1,2],"c":{}},3],"d":true})"},
        {"escaped key", [](JsonWriter& j) { j.BeginObject().Key("k\"\n").Uint(0).EndObject(); },
         R"({"k\"\u000a":0})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JsonWriter compact;
        c.write(compact);
        EXPECT_EQ(compact.Text(), c.expected);
        EXPECT_TRUE(compact.Complete());

        // Indenting changes only white space: both parse to the same structure.
        JsonWriter indented(2);
        c.write(indented);
        std::string error;
        const auto fromIndented = ParseJson(indented.Text(), &error);
        ASSERT_TRUE(fromIndented.has_value()) << error << "\n" << indented.Text();
        std::string stripped;
        bool inString = false;
        for (size_t i = 0; i < indented.Text().size(); ++i) {
            const char ch = indented.Text()[i];
            if (inString && ch == '\\') {
                stripped += ch;
                stripped += indented.Text()[++i];
                continue;
            }
            if (ch == '"') inString = !inString;
            if (!inString && (ch == ' ' || ch == '\n')) continue;
            stripped += ch;
        }
        EXPECT_EQ(stripped, c.expected);
    }
}

TEST(JsonWriter, IntegersAreExactAtTheirLimits)
{
    struct Case
    {
        uint64_t value;
        const char* text;
    };
    const Case unsignedCases[] = {
        {0, "0"},
        {std::numeric_limits<uint64_t>::max(), "18446744073709551615"},
        {(uint64_t{1} << 53) + 1, "9007199254740993"}, // not representable as a double
    };
    for (const Case& c : unsignedCases) {
        JsonWriter json;
        json.Uint(c.value);
        EXPECT_EQ(json.Text(), c.text);
        const auto parsed = ParseJson(json.Text());
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->U64(), c.value);
    }
    JsonWriter json;
    json.BeginArray().Int(std::numeric_limits<int64_t>::min()).Int(std::numeric_limits<int64_t>::max()).Int(-1).EndArray();
    EXPECT_EQ(json.Text(), "[-9223372036854775808,9223372036854775807,-1]");
}

TEST(JsonWriter, CompleteOnlyAfterTheTopLevelValueCloses)
{
    JsonWriter json;
    EXPECT_FALSE(json.Complete());
    json.BeginObject().Key("a");
    EXPECT_FALSE(json.Complete());
    json.BeginArray().Uint(1);
    EXPECT_FALSE(json.Complete());
    json.EndArray().EndObject();
    EXPECT_TRUE(json.Complete());
}

} // namespace
} // namespace tandrel::cli
