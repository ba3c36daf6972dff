// ConvertBlock runs once per block inside the audio service, so it must not allocate: every
// buffer is sized at initialisation. Counted through the global operator new of this binary,
// which the platform tests' allocation counter replaces.
#include <gtest/gtest.h>

#include "audio/format_converter.h"
#include "base/result_codes.h"

namespace tandrel::test {
long AllocationCount(); // tests/platform/allocation_counter.cpp
}

namespace tandrel {
namespace {

TEST(ConvertBlock, AllocatesNothing)
{
    struct Case { uint32_t fromRate, fromBits, fromChannels, toRate, toBits, toChannels; };
    const Case kCases[] = {
        {44100, 16, 2, 48000, 16, 2}, {48000, 16, 2, 22050, 8, 1}, {8000, 8, 1, 44100, 16, 2},
        {44100, 16, 2, 44100, 8, 1},  {22050, 8, 1, 22050, 16, 2},
    };
    for (const Case& c : kCases) {
        FormatConverter converter;
        MakeFormat(converter.source, c.fromRate, c.fromBits, c.fromChannels);
        MakeFormat(converter.destination, c.toRate, c.toBits, c.toChannels);
        ASSERT_EQ(InitFormatConverter(4096, converter, false), kResultOk);
        for (size_t i = 0; i < 4096; ++i)
            converter.InputBuffer()[i] = uint8_t(i * 37);

        const long before = test::AllocationCount();
        uint32_t produced = 0;
        bool ok = true;
        for (int block = 0; block < 20; ++block)
            ok = ok && ConvertBlock(converter, 4096 - 4 * block, produced, block == 19) == 0;
        const long after = test::AllocationCount();
        EXPECT_TRUE(ok);
        EXPECT_EQ(after - before, 0) << c.fromRate << " -> " << c.toRate;
    }
}

} // namespace
} // namespace tandrel
