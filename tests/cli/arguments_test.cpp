#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace tandrel::cli {
namespace {

TEST(ParseUnsigned, AcceptsOnlyPlainDecimalsInRange)
{
    struct Case
    {
        const char* text;
        uint64_t min, max;
        std::optional<uint64_t> expected;
    };
    const Case cases[] = {
        {"44100", 1, 384000, 44100},
        {"1", 1, 384000, 1},
        {"384000", 1, 384000, 384000},
        {"0384000", 1, 384000, 384000},
        {"0", 1, 384000, std::nullopt},
        {"384001", 1, 384000, std::nullopt},
        {"", 1, 384000, std::nullopt},
        {"abc", 1, 384000, std::nullopt},
        {"44100x", 1, 384000, std::nullopt},
        {"44.1", 1, 384000, std::nullopt},
        {" 44100", 1, 384000, std::nullopt},
        {"44100 ", 1, 384000, std::nullopt},
        {"+44100", 1, 384000, std::nullopt},
        {"-1", 0, UINT64_MAX, std::nullopt},
        {"0x10", 0, UINT64_MAX, std::nullopt},
        {"18446744073709551615", 0, UINT64_MAX, UINT64_MAX},
        {"18446744073709551616", 0, UINT64_MAX, std::nullopt}, // overflows
        {"4294967297", 1, 384000, std::nullopt},              // would wrap to 1 in 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseUnsigned(c.text, c.min, c.max), c.expected);
    }
}

TEST(ParseArguments, SplitsWordsAndRejectsWhatItDoesNotKnow)
{
    struct Case
    {
        std::vector<std::string> words;
        std::vector<std::string> positional;
        std::map<std::string, std::string> values;
        std::set<std::string> switches;
        bool ok;
    };
    const Case cases[] = {
        {{"a.kdw", "--rate", "8000"}, {"a.kdw"}, {{"--rate", "8000"}}, {}, true},
        {{"--rate=8000", "a.kdw"}, {"a.kdw"}, {{"--rate", "8000"}}, {}, true},
        {{"--rate", "-5", "a.kdw"}, {"a.kdw"}, {{"--rate", "-5"}}, {}, true},
        {{"--rate="}, {}, {{"--rate", ""}}, {}, true},
        {{"a.kdw", "--master"}, {"a.kdw"}, {}, {"--master"}, true},
        {{"--", "--master"}, {"--master"}, {}, {}, true},
        {{"-"}, {"-"}, {}, {}, true},
        {{"a", "b"}, {"a", "b"}, {}, {}, true},
        {{"--rate"}, {}, {}, {}, false},
        {{"--rate", "1", "--rate", "2"}, {}, {}, {}, false},
        {{"--master", "--master"}, {}, {}, {}, false},
        {{"--master=1"}, {}, {}, {}, false},
        {{"--speed", "2"}, {}, {}, {}, false},
        {{"-r", "2"}, {}, {}, {}, false},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& w : c.words) joined += w + " ";
        SCOPED_TRACE(joined);
        const ParsedArguments parsed = ParseArguments(c.words, {"--rate"}, {"--master"});
        EXPECT_EQ(parsed.error.empty(), c.ok) << parsed.error;
        if (!c.ok) continue;
        EXPECT_EQ(parsed.positional, c.positional);
        EXPECT_EQ(parsed.values, c.values);
        EXPECT_EQ(parsed.switches, c.switches);
    }
}

} // namespace
} // namespace tandrel::cli
