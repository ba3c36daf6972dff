// Adding, updating, removing and enumerating entries, and the guard that keeps an enumeration
// from seeing the table change under it.
#include <gtest/gtest.h>

#include "library/edit_map.h"
#include "library_test_support.h"

namespace tandrel::test {
namespace {

EditInfo WithLength(uint32_t length)
{
    EditInfo info;
    info.length0 = length;
    info.sampleRate = 8000;
    return info;
}

class EditMapEntries : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        map = GetEditMap(library.Location(), "Default", kProgressSilent);
        ASSERT_NE(map, nullptr);
        for (uint32_t i = 0; i < 3; ++i)
            ASSERT_TRUE(MapAdd(map, WithLength(i), "Edit " + std::to_string(i)));
    }
    void TearDown() override
    {
        if (map) ReleaseEditMap(map);
    }

    uint32_t LengthOf(const std::string& title)
    {
        EditInfo info;
        return MapLookup(map, title, info) ? info.length0 : 9999;
    }

    ScratchLibrary library;
    EditMap* map = nullptr;
};

TEST_F(EditMapEntries, AddUpdateRemoveKeepTheirPromises)
{
    EXPECT_TRUE(MapAdd(map, WithLength(50), "Edit 1")) << "present: still succeeds";
    EXPECT_EQ(LengthOf("Edit 1"), 1u) << "... and keeps the stored facts";
    EXPECT_TRUE(MapUpdate(map, WithLength(60), "Edit 1"));
    EXPECT_EQ(LengthOf("Edit 1"), 60u);
    EXPECT_FALSE(MapUpdate(map, WithLength(70), "Absent"));
    EXPECT_EQ(LengthOf("Absent"), 9999u) << "a failed update adds nothing";
    EXPECT_TRUE(MapRemove(map, "Edit 0"));
    EXPECT_FALSE(MapRemove(map, "Edit 0"));
    EXPECT_EQ(LengthOf("Edit 0"), 9999u);
    EXPECT_EQ(Enumerate(map).size(), 2u);
}

TEST_F(EditMapEntries, TitlesUpToTheLengthFieldsLimit)
{
    const std::string longest(65535, 'L');
    EXPECT_FALSE(MapAdd(map, WithLength(1), longest + "L")) << "65536 bytes do not fit a u16";
    ASSERT_TRUE(MapAdd(map, WithLength(2), longest));
    ASSERT_TRUE(ReleaseEditMap(map));
    map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(LengthOf(longest), 2u);
    EXPECT_EQ(map->entries.Size(), 4u);
}

TEST_F(EditMapEntries, ChangesAreRefusedWhileAnEnumerationRuns)
{
    EditInfo info;
    std::string title;
    ASSERT_TRUE(MapFirst(map, info, title));
    EXPECT_TRUE(map->enumerating);
    EXPECT_FALSE(MapAdd(map, WithLength(5), "New"));
    EXPECT_FALSE(MapUpdate(map, WithLength(5), "Edit 1"));
    EXPECT_FALSE(MapRemove(map, "Edit 2"));
    EXPECT_EQ(LengthOf("Edit 1"), 1u) << "lookups still work";
    size_t seen = 1;
    while (MapNext(map, info, title))
        ++seen;
    EXPECT_EQ(seen, 3u) << "every entry once, none added";
    EXPECT_FALSE(map->enumerating);
    EXPECT_FALSE(MapNext(map, info, title)) << "ended";
    EXPECT_TRUE(MapAdd(map, WithLength(5), "New"));

    // Ended early on purpose.
    ASSERT_TRUE(MapFirst(map, info, title));
    MapEndEnumeration(map);
    EXPECT_FALSE(MapNext(map, info, title));
    EXPECT_TRUE(MapRemove(map, "New"));
}

} // namespace
} // namespace tandrel::test
