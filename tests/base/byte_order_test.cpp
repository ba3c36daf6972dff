#include "base/byte_order.h"

#include <array>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "base/four_cc.h"
#include "base/result_codes.h"

namespace tandrel {
namespace {

TEST(FourCC, MostSignificantByteIsTheFirstLetter)
{
    struct Case
    {
        uint32_t code; // FourCC of `text`, computed here because it needs a literal
        std::string text;
        uint32_t expected;
    };
    const Case cases[] = {
        {FourCC("Mod1"), "Mod1", 0x4D6F6431},
        {FourCC("Sil1"), "Sil1", 0x53696C31},
        {FourCC("Gain"), "Gain", 0x4761696E},
        {FourCC("Norm"), "Norm", 0x4E6F726D},
        {FourCC("    "), "    ", 0x20202020},
        // Bytes above 0x7F must not sign-extend into the higher letters.
        {FourCC("\xFF\x80\x7F\x01"), "\xFF\x80\x7F\x01", 0xFF807F01},
        {FourCC("a\xFF\xFF\xFF"), "a\xFF\xFF\xFF", 0x61FFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.code, c.expected) << c.text;
        EXPECT_EQ(FourCCText(c.code), c.text) << std::hex << c.code;
    }
    // Usable where a constant is needed: the source codes of segments are constants.
    static_assert(FourCC("Mod1") == 0x4D6F6431);
}

TEST(ByteOrder, U16LittleEndianRoundTrip)
{
    struct Case
    {
        uint16_t value;
        std::array<uint8_t, 2> bytes;
    };
    const Case cases[] = {
        {0x0000, {0x00, 0x00}}, {0x0001, {0x01, 0x00}}, {0x0100, {0x00, 0x01}},
        {0x1234, {0x34, 0x12}}, {0x8000, {0x00, 0x80}}, {0xFFFF, {0xFF, 0xFF}},
        {0x80FF, {0xFF, 0x80}},
    };
    for (const Case& c : cases) {
        // Fields in a file are not aligned: every offset must work, and only the field change.
        for (size_t offset : {1u, 2u}) {
            uint8_t buffer[16];
            std::memset(buffer, 0xA5, sizeof buffer);
            PutU16(buffer + offset, c.value);
            EXPECT_EQ(0, std::memcmp(buffer + offset, c.bytes.data(), 2)) << std::hex << c.value;
            EXPECT_EQ(GetU16(buffer + offset), c.value) << std::hex << c.value;
            EXPECT_EQ(buffer[offset + 2], 0xA5) << "wrote past the field";
            EXPECT_EQ(buffer[offset - 1], 0xA5) << "wrote before the field";
        }
    }
}

TEST(ByteOrder, U32LittleEndianRoundTrip)
{
    struct Case
    {
        uint32_t value;
        std::array<uint8_t, 4> bytes;
    };
    const Case cases[] = {
        {0x00000000, {0x00, 0x00, 0x00, 0x00}}, {0x00000001, {0x01, 0x00, 0x00, 0x00}},
        {0x12345678, {0x78, 0x56, 0x34, 0x12}}, {0x80000000, {0x00, 0x00, 0x00, 0x80}},
        {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF}}, {0x0008002E, {0x2E, 0x00, 0x08, 0x00}},
        {0x00FF8001, {0x01, 0x80, 0xFF, 0x00}},
    };
    for (const Case& c : cases) {
        for (size_t offset : {1u, 2u, 3u, 4u}) {
            uint8_t buffer[16];
            std::memset(buffer, 0xA5, sizeof buffer);
            PutU32(buffer + offset, c.value);
            EXPECT_EQ(0, std::memcmp(buffer + offset, c.bytes.data(), 4)) << std::hex << c.value;
            EXPECT_EQ(GetU32(buffer + offset), c.value) << std::hex << c.value;
            EXPECT_EQ(buffer[offset + 4], 0xA5) << "wrote past the field";
            EXPECT_EQ(buffer[offset - 1], 0xA5) << "wrote before the field";
        }
    }
}

TEST(ByteOrder, U64LittleEndianRoundTrip)
{
    struct Case
    {
        uint64_t value;
        std::array<uint8_t, 8> bytes;
    };
    const Case cases[] = {
        {0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {0x0102030405060708ull, {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}},
        {0xFFFFFFFFFFFFFFFFull, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0x00000000FFFFFFFFull, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
        {0xFFFFFFFF00000000ull, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0x8000000000000001ull, {0x01, 0, 0, 0, 0, 0, 0, 0x80}},
        {0x0000000100000000ull, {0, 0, 0, 0, 0x01, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        for (size_t offset : {1u, 4u, 5u}) {
            uint8_t buffer[16];
            std::memset(buffer, 0xA5, sizeof buffer);
            PutU64(buffer + offset, c.value);
            EXPECT_EQ(0, std::memcmp(buffer + offset, c.bytes.data(), 8)) << std::hex << c.value;
            EXPECT_EQ(GetU64(buffer + offset), c.value) << std::hex << c.value;
            EXPECT_EQ(buffer[offset + 8], 0xA5) << "wrote past the field";
            EXPECT_EQ(buffer[offset - 1], 0xA5) << "wrote before the field";
        }
    }
}

TEST(ByteOrder, IsChunkIdComparesExactlyFourBytes)
{
    const uint8_t riff[] = {'R', 'I', 'F', 'F', 'x'};
    const uint8_t data[] = {'d', 'a', 't', 'a', 0};
    EXPECT_TRUE(IsChunkId(riff, "RIFF"));
    EXPECT_FALSE(IsChunkId(riff, "RIFX"));
    EXPECT_FALSE(IsChunkId(riff, "riff"));
    EXPECT_TRUE(IsChunkId(data, "data"));
    EXPECT_FALSE(IsChunkId(data, "dat "));
}

TEST(ResultText, EveryCodeHasItsOwnTextAndOthersAreUnknown)
{
    const uint32_t known[] = {kResultOk,
                              kResultNativeEdit,
                              kResultWavNotPcm,
                              kResultCancelled,
                              kResultGeneralFailure,
                              kResultSourceOpen,
                              kResultTargetOpen,
                              kResultUnknownFormat,
                              kResultConverterMissing,
                              kResultCannotConvert,
                              kResultReadError,
                              kResultWriteError,
                              kResultOutOfMemory,
                              kResultCopyFailed,
                              kResultConversionEngine};
    std::set<std::string> texts;
    for (uint32_t code : known) {
        const std::string text = ResultText(code);
        EXPECT_NE(text, "unknown result") << code;
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_TRUE(texts.insert(text).second) << "two codes share the text: " << text;
    }
    for (uint32_t code : {4u, 998u, 1010u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        EXPECT_STREQ(ResultText(code), "unknown result") << code;
}

} // namespace
} // namespace tandrel
