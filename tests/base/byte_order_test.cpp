#include "base/byte_order.h"

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

// The three widths share one test: little-endian bytes at any offset (fields in a file are
// not aligned), the value read back, and nothing written around the field.
template <typename T>
void Put(uint8_t* p, T v)
{
    if constexpr (sizeof(T) == 2) PutU16(p, v);
    else if constexpr (sizeof(T) == 4) PutU32(p, v);
    else PutU64(p, v);
}
template <typename T>
T Get(const uint8_t* p)
{
    if constexpr (sizeof(T) == 2) return GetU16(p);
    else if constexpr (sizeof(T) == 4) return GetU32(p);
    else return GetU64(p);
}

template <typename T>
class ByteOrder : public ::testing::Test
{
};
using Widths = ::testing::Types<uint16_t, uint32_t, uint64_t>;
TYPED_TEST_SUITE(ByteOrder, Widths);

TYPED_TEST(ByteOrder, LittleEndianAtEveryOffset)
{
    constexpr size_t kSize = sizeof(TypeParam);
    // 0x...44332211 truncated to the width: byte i must hold 0x11 * (i + 1). The others have
    // high bits set, where a sign extension or a lost carry between halves would show.
    const TypeParam kPattern = TypeParam(0x8877665544332211ull);
    const TypeParam values[] = {kPattern, TypeParam(0), TypeParam(~TypeParam(0)),
                                TypeParam(TypeParam(1) << (8 * kSize - 1)),
                                TypeParam(0x01FF80F07F3C02C3ull)};
    for (const TypeParam value : values) {
        for (size_t offset = 1; offset <= kSize; ++offset) {
            uint8_t buffer[24];
            std::memset(buffer, 0xA5, sizeof buffer);
            Put<TypeParam>(buffer + offset, value);
            if (value == kPattern) {
                for (size_t i = 0; i < kSize; ++i)
                    EXPECT_EQ(buffer[offset + i], 0x11 * (i + 1)) << "byte " << i;
            }
            EXPECT_EQ(Get<TypeParam>(buffer + offset), value) << std::hex << uint64_t(value);
            EXPECT_EQ(buffer[offset + kSize], 0xA5) << "wrote past the field";
            EXPECT_EQ(buffer[offset - 1], 0xA5) << "wrote before the field";
        }
    }
}

TEST(ChunkId, ComparesExactlyFourBytes)
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
