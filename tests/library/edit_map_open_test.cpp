// Opening a database: missing, empty, older or damaged files are rebuilt silently from the
// Edits; a sound file is taken as it stands; maps are shared by reference count; failures say
// which account.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

#include "base/recording_sink.h"
#include "library/edit_map.h"
#include "library_test_support.h"

namespace tandrel::test {
namespace {

namespace fs = std::filesystem;

const EditSpec kAlpha{1, 8000, 8, {150, 200, 200}, 1200};
const EditSpec kBeta{2, 44100, 16, {1234, 1000, 999}, 17640};

class DamagedDatabase : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeEdit(library.Edit("Alpha"), kAlpha));
        ASSERT_TRUE(MakeEdit(library.Edit("Beta"), kBeta));
        alphaBytes = ReadBytes(library.Edit("Alpha"));
        betaBytes = ReadBytes(library.Edit("Beta"));
    }

    ScratchLibrary library;
    Bytes alphaBytes, betaBytes;
};

TEST_F(DamagedDatabase, IsRebuiltFromTheEditsWithoutAWord)
{
    const Bytes ghost = DatabaseImage({{1, 2, 3, 4, 5, 6, 8000, 8, 1, "Ghost"}});
    Bytes cutInRecord = ghost;
    cutInRecord.resize(16 + 20);
    Bytes cutInTitle = ghost;
    cutInTitle.resize(ghost.size() - 2);
    struct Case
    {
        const char* name;
        bool present;
        Bytes bytes;
        uint64_t growTo; // made larger, sparse, after writing
    };
    const Case cases[] = {
        {"missing", false, {}, 0},
        {"empty", true, {}, 0},
        {"older version", true,
         DatabaseImage({{1, 2, 3, 4, 5, 6, 8000, 8, 1, "Ghost"}}, "version3 "), 0},
        {"shorter than its header", true, Bytes{'v', 'e', 'r', 's', 'i', 'o', 'n', '4', ' ', 0}, 0},
        {"cut inside a record", true, cutInRecord, 0},
        {"cut inside a title", true, cutInTitle, 0},
        {"implausibly large", true, ghost, 17u << 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedRecordingSink sink;
        std::error_code ignored;
        fs::remove(library.Database(), ignored);
        if (c.present) WriteBytes(library.Database(), c.bytes);
        if (c.growTo) fs::resize_file(library.Database(), c.growTo);

        EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
        ASSERT_NE(map, nullptr);
        const auto entries = Enumerate(map);
        ASSERT_EQ(entries.size(), 2u);
        EditInfo info;
        ASSERT_TRUE(MapLookup(map, "Alpha", info));
        EXPECT_EQ(info, ExpectedInfo(library.Edit("Alpha"), kAlpha));
        ASSERT_TRUE(MapLookup(map, "Beta", info));
        EXPECT_EQ(info, ExpectedInfo(library.Edit("Beta"), kBeta));
        EXPECT_FALSE(MapLookup(map, "Ghost", info));
        ASSERT_TRUE(ReleaseEditMap(map));

        // The file on disk was replaced by the rebuilt one, and the Edits were only read.
        const Bytes file = ReadBytes(library.Database());
        ASSERT_EQ(file.size(), 16u + (36 + 5) + (36 + 4));
        EXPECT_EQ(std::string(file.begin(), file.begin() + 9), "version4 ");
        EXPECT_EQ(ReadBytes(library.Edit("Alpha")), alphaBytes);
        EXPECT_EQ(ReadBytes(library.Edit("Beta")), betaBytes);
        EXPECT_TRUE(sink.Texts().empty());
    }
}

TEST_F(DamagedDatabase, ASoundFileIsTakenAsItStandsEvenWhenStale)
{
    // A header with no records lists nothing, and one naming a vanished Edit keeps naming it:
    // the database is trusted until it is rebuilt.
    for (const Bytes& image :
         {DatabaseImage({}), DatabaseImage({{1, 2, 3, 4, 5, 6, 8000, 8, 1, "Ghost"}})}) {
        WriteBytes(library.Database(), image);
        EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
        ASSERT_NE(map, nullptr);
        EditInfo info;
        EXPECT_FALSE(MapLookup(map, "Alpha", info));
        EXPECT_EQ(MapLookup(map, "Ghost", info), image.size() > 16);
        ReleaseEditMap(map);
        EXPECT_EQ(ReadBytes(library.Database()), image);
    }
}

TEST_F(DamagedDatabase, RebuildDropsVanishedEditsAndListsNewOnes)
{
    WriteBytes(library.Database(), DatabaseImage({{1, 2, 3, 4, 5, 6, 8000, 8, 1, "Ghost"},
                                                  {1, 2, 3, 4, 5, 6, 8000, 8, 1, "Alpha"}}));
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    ASSERT_TRUE(RebuildMapFile(map, kProgressSilent));
    EditInfo info;
    EXPECT_FALSE(MapLookup(map, "Ghost", info));
    ASSERT_TRUE(MapLookup(map, "Alpha", info));
    EXPECT_EQ(info, ExpectedInfo(library.Edit("Alpha"), kAlpha));
    EXPECT_TRUE(MapLookup(map, "Beta", info));
    ASSERT_TRUE(ReleaseEditMap(map));
    EXPECT_EQ(ReadBytes(library.Database()).size(), 16u + (36 + 5) + (36 + 4));
}

TEST(EditMapOpen, FailuresNameTheAccount)
{
    ScratchLibrary library;
    const LibraryLocation good = library.Location();
    const LibraryLocation noRoot{(library.Root() / "gone").string(), "KDUser"};
    struct Case
    {
        const char* name;
        LibraryLocation location;
        std::string account;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"no account", good, "", {"GetEditMap: Unable to open file database for account ."}},
        {"no location",
         {"", "KDUser"},
         "Default",
         {"GetEditMap: Unable to open file database for account Default."}},
        {"no such account folder",
         good,
         "Nope",
         {"RebuildMapFile: GetEditFldrPath fails.",
          "GetEditMap: Unable to open file database for account Nope."}},
        {"no Library",
         noRoot,
         "Default",
         {"GetEditMap: Unable to open file database for account Default."}},
    };
    for (const Case& c : cases) {
        ScopedRecordingSink sink;
        EXPECT_EQ(GetEditMap(c.location, c.account, kProgressSilent), nullptr) << c.name;
        EXPECT_EQ(sink.Texts(), c.messages) << c.name;
        for (const auto& m : sink.Messages())
            EXPECT_EQ(m.title, "Tandrel Error");
    }
    EXPECT_FALSE(Exists(library.Root() / "KDUser" / "Nope")) << "a failed open makes no folder";
}

TEST(EditMapOpen, SameFolderSharesOneMapAndWritesOnceAtTheLastRelease)
{
    ScratchLibrary library;
    library.Account("Transfer");
    EditMap* first = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(first, nullptr);
    EditMap* second =
        GetEditMap({library.Root().string() + "/", "KDUser"}, "Default", kProgressSilent);
    EXPECT_EQ(second, first) << "a trailing slash names the same Library";
    EXPECT_EQ(first->refCount, 2u);
    EditMap* other = GetEditMap(library.Location(), "Transfer", kProgressSilent);
    EXPECT_NE(other, first);
    ASSERT_TRUE(ReleaseEditMap(other));

    const Bytes before = ReadBytes(library.Database());
    EditInfo info;
    info.length0 = 77;
    ASSERT_TRUE(MapAdd(first, info, "Added"));
    EXPECT_TRUE(first->dirty);
    ASSERT_TRUE(ReleaseEditMap(second));
    EXPECT_EQ(first->refCount, 1u);
    EXPECT_EQ(ReadBytes(library.Database()), before) << "still held: nothing written yet";
    EXPECT_FALSE(DeleteEditMapFile(library.Location(), "Default")) << "in use";

    ASSERT_TRUE(ReleaseEditMap(first));
    EXPECT_EQ(ReadBytes(library.Database()).size(), before.size() + 36 + 5);
    EXPECT_FALSE(ReleaseEditMap(first)) << "a map already gone is refused";

    EditMap* again = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->refCount, 1u);
    ASSERT_TRUE(MapLookup(again, "Added", info));
    EXPECT_EQ(info.length0, 77u);
    ReleaseEditMap(again);
}

TEST(EditMapOpen, DeletingTheFile)
{
    ScratchLibrary library;
    EXPECT_TRUE(DeleteEditMapFile(library.Location(), "Default")) << "none there: nothing to do";
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    EXPECT_FALSE(DeleteEditMapFile(library.Location(), "Default"));
    EXPECT_TRUE(Exists(library.Database()));
    ReleaseEditMap(map);
    EXPECT_TRUE(DeleteEditMapFile(library.Location(), "Default"));
    EXPECT_FALSE(Exists(library.Database()));

    // Another program holding the file keeps it.
    map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ReleaseEditMap(map);
    int fd = open(library.Database().c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(DeleteEditMapFile(library.Location(), "Default"));
    EXPECT_TRUE(Exists(library.Database()));
    close(fd);
}

TEST(EditMapOpen, AFailedWriteBackKeepsThePreviousDatabaseWhole)
{
    ScratchLibrary library;
    ASSERT_TRUE(MakeEdit(library.Edit("Alpha"), kAlpha));
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    const Bytes before = ReadBytes(library.Database());
    ASSERT_TRUE(MapAdd(map, EditInfo{}, "Never written"));
    // The folder moves away under the open map: no temporary file can be made beside the
    // database any more.
    const fs::path moved = library.Root() / "moved";
    fs::rename(library.Account(), moved);
    EXPECT_FALSE(MapWrite(map));
    EXPECT_FALSE(ReleaseEditMap(map));
    EXPECT_EQ(ReadBytes((moved / "KD_EMap.kdd").string()), before);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(moved))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha.kdw", "KD_EMap.kdd"}));
}

TEST(EditMapOpen, WritesLeaveNoTemporaryFilesBehind)
{
    ScratchLibrary library;
    ASSERT_TRUE(MakeEdit(library.Edit("Alpha"), kAlpha));
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(MapAdd(map, EditInfo{}, "Extra " + std::to_string(i)));
        ASSERT_TRUE(MapWrite(map));
    }
    ASSERT_TRUE(RebuildMapFile(map, kProgressSilent));
    ASSERT_TRUE(MapAdd(map, EditInfo{}, "Last"));
    ASSERT_TRUE(ReleaseEditMap(map));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(library.Account()))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha.kdw", "KD_EMap.kdd"}));
}

} // namespace
} // namespace tandrel::test
