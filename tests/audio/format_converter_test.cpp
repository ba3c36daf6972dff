// Exact results of the converter at equal rates (width and channel steps), its buffer
// limits, and its lifecycle.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "audio/format_converter.h"
#include "base/result_codes.h"

namespace tandrel {
namespace {

struct Shape { uint32_t rate, bits, channels; };

void SetFormats(FormatConverter& converter, Shape from, Shape to)
{
    MakeFormat(converter.source, from.rate, from.bits, from.channels);
    MakeFormat(converter.destination, to.rate, to.bits, to.channels);
}

std::vector<uint8_t> Le16(std::initializer_list<int> samples)
{
    std::vector<uint8_t> out;
    for (int s : samples) {
        out.push_back(uint8_t(s & 0xFF));
        out.push_back(uint8_t((s >> 8) & 0xFF));
    }
    return out;
}

// Converts `input` as one final block and returns what came out ({} on failure).
std::vector<uint8_t> ConvertOnce(Shape from, Shape to, const std::vector<uint8_t>& input,
                                 uint32_t inputBytes)
{
    FormatConverter converter;
    SetFormats(converter, from, to);
    EXPECT_EQ(InitFormatConverter(uint32_t(input.size()) + 8, converter, false), kResultOk);
    std::memcpy(converter.InputBuffer(), input.data(), input.size());
    uint32_t produced = 0;
    EXPECT_EQ(ConvertBlock(converter, inputBytes, produced, true), kResultOk);
    return {converter.OutputBuffer(), converter.OutputBuffer() + produced};
}

TEST(FormatConverterInit, RefusesUnsupportedFormatsBeforeAllocating)
{
    const Shape good = {44100, 16, 2};
    struct Case { Shape from, to; };
    const Case kCases[] = {
        {{44100, 16, 3}, good}, {good, {44100, 16, 3}},
        {{44100, 16, 0}, good}, {{44100, 24, 2}, good},
        {good, {48000, 24, 2}}, {{44100, 32, 1}, good},
        {{44100, 0, 1}, good},  {{0, 16, 2}, good},
        {good, {0, 16, 2}},     {{1000, 16, 1}, {300000, 16, 1}}, // beyond the resampler's 256:1
    };
    for (const Case& c : kCases) {
        FormatConverter converter;
        SetFormats(converter, c.from, c.to);
        EXPECT_EQ(InitFormatConverter(8192, converter, false), kResultCannotConvert)
            << c.from.rate << "/" << c.from.bits << "/" << c.from.channels << " -> " << c.to.rate
            << "/" << c.to.bits << "/" << c.to.channels;
        EXPECT_EQ(converter.InputCapacity(), 0u);
        EXPECT_EQ(converter.OutputCapacity(), 0u);
        EXPECT_FALSE(converter.Resampling());
        uint32_t produced = 1;
        EXPECT_EQ(ConvertBlock(converter, 0, produced, true), kResultGeneralFailure);
        EXPECT_EQ(produced, 0u);
        EXPECT_EQ(ReleaseFormatConverter(converter), kResultOk);
        EXPECT_EQ(ReleaseFormatConverter(converter), kResultOk) << "a second release is safe";
    }
}

TEST(FormatConverter, MapsWidthAndChannelsByTheFixedRule)
{
    struct Case { const char* name; Shape from, to; std::vector<uint8_t> in, out; };
    const Case kCases[] = {
        {"8 to 16", {8000, 8, 1}, {8000, 16, 1}, {0, 1, 127, 128, 129, 255},
         Le16({-32768, -32512, -256, 0, 256, 32512})},
        {"16 to 8 keeps the high byte", {8000, 16, 1}, {8000, 8, 1},
         Le16({-32768, -32512, -256, -1, 0, 255, 256, 32767}), {0, 1, 127, 127, 128, 128, 129, 255}},
        {"8 to 16 stereo", {8000, 8, 2}, {8000, 16, 2}, {0, 255, 128, 64}, Le16({-32768, 32512, 0, -16384})},
        // Channels: a mix-down sums without halving, a mix-up duplicates.
        {"16-bit sums saturate", {44100, 16, 2}, {44100, 16, 1},
         Le16({20000, 20000, -20000, -20000, 100, -300, 32767, 1, -32768, 32767}),
         Le16({32767, -32768, -200, 32767, -1})},
        {"8-bit sums clamp", {22050, 8, 2}, {22050, 8, 1}, {200, 200, 10, 10, 128, 128, 100, 150, 255, 0},
         {255, 0, 128, 122, 127}},
        {"16-bit mono to stereo", {44100, 16, 1}, {44100, 16, 2}, Le16({1, -2, 32767, -32768}),
         Le16({1, 1, -2, -2, 32767, 32767, -32768, -32768})},
        {"8-bit mono to stereo", {8000, 8, 1}, {8000, 8, 2}, {0, 77, 255}, {0, 0, 77, 77, 255, 255}},
        // Width first, then channels: 1000 and -1000 become 131 and 124, summed to 127.
        // Summing first would give 128.
        {"16-bit stereo to 8-bit mono", {44100, 16, 2}, {44100, 8, 1}, Le16({1000, -1000, 20000, 20000}),
         {127, 255}},
        {"8-bit mono to 16-bit stereo", {8000, 8, 1}, {8000, 16, 2}, {0, 255}, Le16({-32768, -32768, 32512, 32512})},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(ConvertOnce(c.from, c.to, c.in, uint32_t(c.in.size())), c.out) << c.name;
}

TEST(FormatConverterBlocks, IgnoresATrailingPartialFrame)
{
    struct Case { const char* name; Shape from, to; std::vector<uint8_t> in; uint32_t inputBytes; std::vector<uint8_t> out; };
    const Case kCases[] = {
        {"odd byte of 16-bit mono", {8000, 16, 1}, {8000, 8, 1}, Le16({256, 512, 768}), 5, {129, 130}},
        {"half frame of 16-bit stereo", {8000, 16, 2}, {8000, 16, 1}, Le16({1, 2, 3, 4}), 7, Le16({3})},
        {"half frame of 8-bit stereo", {8000, 8, 2}, {8000, 8, 2}, {1, 2, 3, 4}, 3, {1, 2}},
        {"less than a frame", {8000, 16, 2}, {8000, 16, 1}, Le16({1, 2}), 3, {}},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(ConvertOnce(c.from, c.to, c.in, c.inputBytes), c.out) << c.name;
}

TEST(FormatConverterBlocks, RefusesMoreThanTheInitialisedBlock)
{
    const Shape kTargets[] = {{44100, 8, 1}, {48000, 16, 2}, {22050, 16, 1}};
    for (const Shape& to : kTargets) {
        FormatConverter converter;
        SetFormats(converter, {44100, 16, 2}, to);
        ASSERT_EQ(InitFormatConverter(1000, converter, false), kResultOk);
        EXPECT_GE(converter.InputCapacity(), 1000u);
        std::memset(converter.InputBuffer(), 0x11, converter.InputCapacity());
        uint32_t produced = 1;
        EXPECT_EQ(ConvertBlock(converter, 1004, produced, false), kResultGeneralFailure) << to.rate;
        EXPECT_EQ(produced, 0u);
        EXPECT_EQ(ConvertBlock(converter, uint32_t(converter.InputCapacity()), produced, false),
                  kResultGeneralFailure);
        EXPECT_EQ(ConvertBlock(converter, 1000, produced, true), kResultOk) << to.rate;
        EXPECT_GT(produced, 0u);
    }
}

TEST(FormatConverterBlocks, RefusesABlockSmallerThanOneFrame)
{
    FormatConverter converter;
    SetFormats(converter, {44100, 16, 2}, {48000, 16, 2});
    EXPECT_EQ(InitFormatConverter(3, converter, false), kResultGeneralFailure);
    EXPECT_EQ(converter.OutputCapacity(), 0u);
    EXPECT_EQ(InitFormatConverter(4, converter, false), kResultOk);
}

TEST(FormatConverterLifecycle, ReleaseIsSafeInEveryState)
{
    FormatConverter never;
    EXPECT_EQ(ReleaseFormatConverter(never), kResultOk);

    FormatConverter used;
    SetFormats(used, {44100, 16, 2}, {48000, 16, 1});
    ASSERT_EQ(InitFormatConverter(8192, used, true), kResultOk);
    EXPECT_TRUE(used.Resampling()); // no ACM here: the resampler does the rate change
    EXPECT_EQ(ReleaseFormatConverter(used), kResultOk);
    EXPECT_EQ(ReleaseFormatConverter(used), kResultOk);
    EXPECT_FALSE(used.Resampling());
    EXPECT_EQ(used.OutputCapacity(), 0u);
    uint32_t produced = 0;
    EXPECT_EQ(ConvertBlock(used, 4, produced, false), kResultGeneralFailure);
    // The formats survive a release, so the same record can be set up again.
    EXPECT_EQ(InitFormatConverter(4096, used, false), kResultOk);
    EXPECT_EQ(used.BlockBytes(), 4096u);
}

TEST(FormatConverterLifecycle, FailsCleanlyWhenTheResamplerCannotBeMade)
{
    const int saved = gResamplerType;
    gResamplerType = 99;
    FormatConverter converter;
    SetFormats(converter, {44100, 16, 2}, {48000, 16, 2});
    EXPECT_EQ(InitFormatConverter(8192, converter, false), kResultGeneralFailure);
    EXPECT_FALSE(converter.Resampling());
    EXPECT_EQ(converter.InputCapacity(), 0u);
    EXPECT_EQ(ReleaseFormatConverter(converter), kResultOk);
    // Equal rates need no resampler, whatever its type.
    SetFormats(converter, {44100, 16, 2}, {44100, 8, 2});
    EXPECT_EQ(InitFormatConverter(8192, converter, false), kResultOk);
    gResamplerType = saved;
}

TEST(FormatConverterLifecycle, FormatsChangedAfterInitDoNotResizeTheBlock)
{
    FormatConverter converter;
    SetFormats(converter, {8000, 8, 1}, {8000, 8, 1});
    ASSERT_EQ(InitFormatConverter(100, converter, false), kResultOk);
    const size_t capacity = converter.OutputCapacity();
    // A caller that edits the record afterwards must not make the converter write 4x.
    MakeFormat(converter.destination, 8000, 16, 2);
    std::memset(converter.InputBuffer(), 200, 100);
    uint32_t produced = 0;
    ASSERT_EQ(ConvertBlock(converter, 100, produced, true), kResultOk);
    EXPECT_LE(produced, capacity);
    EXPECT_EQ(produced, 100u);
}

} // namespace
} // namespace tandrel
