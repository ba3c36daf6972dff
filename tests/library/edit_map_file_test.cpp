// KD_EMap.kdd byte by byte: the bucket of a title, the file a map writes, and reading files
// made here by hand.
#include <gtest/gtest.h>

#include "base/recording_sink.h"
#include "library/edit_map.h"
#include "library_test_support.h"

namespace tandrel::test {
namespace {

TEST(EditMapBucket, SumsSignedCharactersShiftedByTheirIndex)
{
    struct Case
    {
        std::string title;
        uint32_t bucket;
        const char* why;
    };
    const Case cases[] = {
        {"", 0, "no characters"},
        {"A", 65, "65"},
        {"AB", 97, "65 + 66*2 = 197"},
        {"BA", 96, "66 + 65*2 = 196: order matters"},
        {"a", 97, "97, the bucket of AB too"},
        {"Take 1", 94, "84 + 97*2 + 107*4 + 101*8 + 32*16 + 49*32 = 3594"},
        {"\xC3\xA9", 61, "-61 + -87*2 = -235, wraps to 4294967061"},
        {std::string(32, 'a'), 99, "97 * (2^32 - 1) wraps to 2^32 - 97"},
        {std::string(33, 'a'), 0, "the 33rd is shifted by 0 again: 2^32 wraps to 0"},
        {std::string(31, '\x01') + "a", 95, "2^31 - 1 + (97 << 31 wraps to 2^31) = 2^32 - 1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EditMapBucket(c.title), c.bucket) << c.why;
}

EditInfo Facts(uint32_t seed)
{
    EditInfo info;
    info.created = 0x11223344 + seed;
    info.modified = 0x55667788 + seed;
    info.length0 = 1000 + seed;
    info.length1 = 2000 + seed;
    info.length2 = 3000 + seed;
    info.fileSize = 524342 + seed;
    info.sampleRate = 44100;
    info.bitsPerSample = 16;
    info.channels = 2;
    return info;
}

TEST(EditMapFile, WrittenFieldByFieldInBucketOrder)
{
    ScopedRecordingSink sink;
    ScratchLibrary library;
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    // Added out of bucket order; "AB" and "a" share bucket 97 and keep the order they came in.
    const std::pair<std::string, uint32_t> added[] = {
        {"AB", 1}, {"B", 2}, {"", 3}, {"a", 4}, {"A", 5}};
    for (const auto& [title, seed] : added)
        ASSERT_TRUE(MapAdd(map, Facts(seed), title));
    ASSERT_TRUE(ReleaseEditMap(map));

    const Bytes file = ReadBytes(library.Database());
    const std::pair<std::string, uint32_t> expected[] = {
        {"", 3}, {"A", 5}, {"B", 2}, {"AB", 1}, {"a", 4}};
    size_t expectedSize = 16;
    for (const auto& e : expected)
        expectedSize += 36 + e.first.size();
    ASSERT_EQ(file.size(), expectedSize);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 9), "version4 ");
    for (size_t i = 9; i < 16; ++i)
        EXPECT_EQ(file[i], 0) << "header byte " << i;

    size_t at = 16;
    for (const auto& [title, seed] : expected) {
        SCOPED_TRACE("record of \"" + title + "\" at " + std::to_string(at));
        EXPECT_EQ(Le32(file, at + 0), 0x11223344 + seed);
        EXPECT_EQ(Le32(file, at + 4), 0x55667788 + seed);
        EXPECT_EQ(Le32(file, at + 8), 1000 + seed);
        EXPECT_EQ(Le32(file, at + 12), 2000 + seed);
        EXPECT_EQ(Le32(file, at + 16), 3000 + seed);
        EXPECT_EQ(Le32(file, at + 20), 524342 + seed);
        EXPECT_EQ(Le32(file, at + 24), 44100u);
        EXPECT_EQ(Le16(file, at + 28), 16);
        EXPECT_EQ(Le16(file, at + 30), 2);
        EXPECT_EQ(Le16(file, at + 32), title.size());
        EXPECT_EQ(Le16(file, at + 34), 0);
        EXPECT_EQ(
            std::string(file.begin() + long(at + 36), file.begin() + long(at + 36 + title.size())),
            title);
        at += 36 + title.size();
    }
    EXPECT_TRUE(sink.Texts().empty());
}

TEST(EditMapFile, ReadsEveryFieldOfAHandMadeFile)
{
    ScopedRecordingSink sink;
    ScratchLibrary library;
    const std::vector<RawRecord> records = {
        {1, 2, 3, 4, 5, 6, 7, 8, 9, "Interview"},
        {0xFFFFFFFF, 0x80000000, 0xFFFFFFFE, 0, 1, 0xFFFFFFFF, 768000, 0xFFFF, 0x8001, "Edge"},
        {10, 20, 30, 40, 50, 60, 22050, 8, 1, ""}, // a title 0 bytes long is a title too
        {11, 21, 31, 41, 51, 61, 11025, 16, 2, "Caf\xC3\xA9 & \"quotes\""},
    };
    // Reserved fields are not looked at; a file rewritten by us would have them zero.
    const Bytes image = DatabaseImage(records, "version4 ", 0xA5);
    WriteBytes(library.Database(), image);

    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->entries.Size(), records.size());
    for (const RawRecord& r : records) {
        EditInfo info;
        ASSERT_TRUE(MapLookup(map, r.title, info)) << r.title;
        EXPECT_EQ(info, InfoOf(r)) << r.title;
    }
    EditInfo unused;
    EXPECT_FALSE(MapLookup(map, "interview", unused)) << "titles are compared exactly";
    ASSERT_TRUE(ReleaseEditMap(map));
    EXPECT_EQ(ReadBytes(library.Database()), image) << "nothing changed, so nothing was written";
    EXPECT_TRUE(sink.Texts().empty());
}

TEST(EditMapFile, RoundTripKeepsEveryEntryAndTitle)
{
    ScratchLibrary library;
    std::vector<std::pair<std::string, EditInfo>> written;
    for (uint32_t i = 0; i < 300; ++i) {
        std::string title = "Take " + std::to_string(i);
        if (i % 7 == 0) title += " \xE2\x80\x94 \xC3\xBC"; // non-ASCII bytes: negative chars
        if (i % 50 == 0) title = std::string(255, char('A' + i / 50));
        written.emplace_back(title, Facts(i));
    }
    written.emplace_back("", Facts(9999));

    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    for (const auto& [title, info] : written)
        ASSERT_TRUE(MapAdd(map, info, title));
    ASSERT_TRUE(ReleaseEditMap(map));

    map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    const auto read = Enumerate(map);
    EXPECT_EQ(read.size(), written.size());
    for (const auto& [title, info] : written) {
        EditInfo back;
        ASSERT_TRUE(MapLookup(map, title, back)) << title;
        EXPECT_EQ(back, info) << title;
    }
    // Enumeration runs bucket by bucket.
    for (size_t i = 1; i < read.size(); ++i)
        EXPECT_LE(EditMapBucket(read[i - 1].first), EditMapBucket(read[i].first)) << read[i].first;
    ReleaseEditMap(map);
}

} // namespace
} // namespace tandrel::test
