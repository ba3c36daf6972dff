#include "settings/storage.h"

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/recording_sink.h"
#include "settings/file_dialog_places.h"
#include "settings/file_locations.h"
#include "settings/settings_store.h"
#include "settings/user.h"
#include "settings_test_support.h"

namespace tandrel {
namespace {

const char* const kSubfolders[] = {"Tandrel Library", "Exported Podcasts", "RSS Files", "Profiles",
                                   "Configurations"};

TEST_F(SettingsTest, StorageDefaultsToTheDocumentsFolderWithAllFiveSubfolders)
{
    const std::string expected = Home() + "/Documents/Tandrel";
    EXPECT_EQ(ResolveStorageFolder(), expected);
    std::string library;
    EXPECT_FALSE(GetLibraryFolder(library)); // not set up yet
    ASSERT_TRUE(SetUpFileStorage());
    EXPECT_EQ(StorageFolder(), expected);
    for (const char* name : kSubfolders)
        EXPECT_TRUE(IsFolder(expected + "/" + name)) << name;
    ASSERT_TRUE(GetLibraryFolder(library));
    EXPECT_EQ(library, expected + "/Tandrel Library");
    EXPECT_EQ(StoragePath(StorageSubfolder::Configurations), expected + "/Configurations");
    std::string user, home;
    ASSERT_TRUE(GetUserIdentity(user, home));
    EXPECT_EQ(user, "KDUser");
    EXPECT_EQ(home, expected);
}

TEST_F(SettingsTest, StorageFollowsFilesLocation)
{
    struct Case
    {
        std::string stored;
        std::string folder;
    };
    const Case cases[] = {
        {Home() + "/Shows", Home() + "/Shows"},
        {Home() + "/Shows/", Home() + "/Shows"},
        {"", Home() + "/Documents/Tandrel"}, // empty counts as missing
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(
            WriteSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", c.stored.c_str()));
        EXPECT_TRUE(SetUpFileStorage()) << c.stored;
        EXPECT_EQ(StorageFolder(), c.folder);
        EXPECT_TRUE(IsFolder(c.folder + "/Configurations")) << c.stored;
    }
}

TEST_F(SettingsTest, StorageStopsAtTheFirstFolderItCannotMake)
{
    const std::string folder = Home() + "/Shows";
    ASSERT_TRUE(
        WriteSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", folder.c_str()));
    std::filesystem::create_directories(folder);
    WriteFile(folder + "/RSS Files", "a file in the way");
    EXPECT_FALSE(SetUpFileStorage());
    EXPECT_EQ(StorageFolder(), folder); // resolved even though it failed
    EXPECT_TRUE(IsFolder(folder + "/Tandrel Library"));
    EXPECT_TRUE(IsFolder(folder + "/Exported Podcasts"));
    EXPECT_FALSE(Exists(folder + "/Profiles"));
    EXPECT_FALSE(Exists(folder + "/Configurations"));

    for (const char* bad : {"Shows", "/tmp/what?/Shows"}) {
        ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", bad));
        EXPECT_FALSE(SetUpFileStorage()) << bad;
    }
}

TEST_F(SettingsTest, StorageRefusesAFolderItCannotWriteTo)
{
    if (geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
    const std::string folder = Home() + "/Shows";
    ASSERT_TRUE(
        WriteSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", folder.c_str()));
    ASSERT_TRUE(SetUpFileStorage());
    std::filesystem::permissions(folder + "/Profiles", std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::owner_exec);
    EXPECT_FALSE(SetUpFileStorage());
    std::filesystem::permissions(folder + "/Profiles", std::filesystem::perms::owner_all);
}

TEST_F(SettingsTest, LastFoldersAreKeptApart)
{
    std::string folder = "unchanged";
    EXPECT_FALSE(ReadLastFolder(LastFolder::Import, folder));
    EXPECT_EQ(folder, "unchanged");
    ASSERT_TRUE(WriteLastFolder(LastFolder::Import, "/music/in"));
    ASSERT_TRUE(WriteLastFolder(LastFolder::Export, "/music/out"));
    EXPECT_TRUE(ReadLastFolder(LastFolder::Import, folder));
    EXPECT_EQ(folder, "/music/in");
    EXPECT_TRUE(ReadLastFolder(LastFolder::Export, folder));
    EXPECT_EQ(folder, "/music/out");
    std::string raw;
    EXPECT_TRUE(ReadSettingText(kSettingTwoAttempts, kProductKey, "LastImportFolder", raw, 260));
    EXPECT_EQ(raw, "/music/in");
    ASSERT_TRUE(WriteLastFolder(LastFolder::Export, "/" + std::string(259, 'x')));
    EXPECT_FALSE(ReadLastFolder(LastFolder::Export, folder)); // longer than the 260-byte buffer
}

TEST(ActiveLocation, SplitsAtTheLastSlash)
{
    EXPECT_EQ(GetActiveLocation(), "KDUser/Default");
    struct Case
    {
        const char* location;
        bool ok;
        const char* user;
        const char* folder;
    };
    const Case cases[] = {
        {"KDUser/Default", true, "KDUser", "Default"},
        {"a/b/Default", true, "a/b", "Default"},
        {"KDUser/", true, "KDUser", ""},
        {"NoSlash", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string user, folder;
        EXPECT_EQ(SplitActiveLocation(c.location, user, folder), c.ok) << c.location;
        EXPECT_EQ(user, c.user) << c.location;
        EXPECT_EQ(folder, c.folder) << c.location;
    }
}

TEST(UserFlags, BitsAndTheirTables)
{
    const UserFlags defaults;
    EXPECT_TRUE(defaults.PlayForward());
    EXPECT_FALSE(defaults.AutoImport());
    EXPECT_FALSE(defaults.MonoMixRecording());
    EXPECT_FALSE(defaults.InitialScrub());
    EXPECT_EQ(defaults.ScrubStepIndex(), 7);
    EXPECT_EQ(defaults.ScrubStep(), 16);
    EXPECT_EQ(defaults.InitialScrubTimeIndex(), 1);
    EXPECT_EQ(defaults.InitialScrubMilliseconds(), 1000);

    struct Case
    {
        int step, time;
        int stepIndex, timeIndex, stepValue, milliseconds;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 3, 500},
        {15, 15, 15, 15, 100, 8000},
        {20, -3, 15, 0, 100, 500},
        {9, 4, 9, 4, 25, 2500},
    };
    for (const Case& c : cases) {
        UserFlags flags{0xff000000 | UserFlags::kAutoImport | UserFlags::kScrubRadio};
        flags.SetScrubStepIndex(c.step);
        flags.SetInitialScrubTimeIndex(c.time);
        EXPECT_EQ(flags.ScrubStepIndex(), c.stepIndex) << c.step;
        EXPECT_EQ(flags.InitialScrubTimeIndex(), c.timeIndex) << c.time;
        EXPECT_EQ(flags.ScrubStep(), c.stepValue) << c.step;
        EXPECT_EQ(flags.InitialScrubMilliseconds(), c.milliseconds) << c.time;
        // The other bits are untouched.
        EXPECT_EQ(flags.bits & 0xff00ffff,
                  0xff000000 | UserFlags::kAutoImport | UserFlags::kScrubRadio);
    }
}

TEST_F(SettingsTest, ApplyingTheUserClearsTheOneTimeMarkerOnly)
{
    ActiveUser user = ApplyActiveUser();
    EXPECT_EQ(user.flags.bits, 0x170001u);
    EXPECT_EQ(user.userName, "KDUser");
    EXPECT_EQ(user.accountFolder, "Default");
    bool found = true;
    ReadSettingNumber(kSettingTwoAttempts, kProductKey, "UserFlags", &found);
    EXPECT_FALSE(found); // nothing to clear, nothing written

    const uint32_t stored = 0x20170049; // marker, mono mix, auto-import, play forward
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "UserFlags", stored));
    user = ApplyActiveUser();
    EXPECT_EQ(user.flags.bits, 0x00170049u);
    EXPECT_FALSE(user.monoMixRecording);
    EXPECT_TRUE(user.flags.AutoImport());
    EXPECT_EQ(ReadSettingNumber(kSettingTwoAttempts, kProductKey, "UserFlags", &found),
              0x00170049u);
}

TEST_F(SettingsTest, FileDialogPlacesPutTheLibraryFirst)
{
    std::filesystem::create_directories(Home() + "/Desktop");
    std::vector<std::string> places = FileDialogPlaces();
    ASSERT_FALSE(places.empty());
    EXPECT_EQ(places[0], Home() + "/Desktop"); // no Library before storage is set up

    ASSERT_TRUE(SetUpFileStorage());
    places = FileDialogPlaces();
    const std::vector<std::string> expected = {Home() + "/Documents/Tandrel/Tandrel Library",
                                               Home() + "/Desktop", Home() + "/Documents", Home(),
                                               "/"};
    EXPECT_EQ(places, expected);
}

// The File Locations dialog's model: the window closes only with a usable storage folder.
TEST_F(SettingsTest, FileLocationsOkMovesTheStorageOrPutsTheOldLocationBack)
{
    ASSERT_TRUE(SetUpFileStorage());
    ScopedRecordingSink sink;
    FileLocationsDialog dialog;
    EXPECT_EQ(dialog.Open(), Home() + "/Documents/Tandrel");
    for (const char* field : {"", "/"}) EXPECT_FALSE(dialog.Ok(field)) << field;
    ASSERT_EQ(sink.Texts(), std::vector<std::string>(2, "Please enter a valid path for the location of "
                                                        "your Tandrel files."));
    EXPECT_TRUE(dialog.Ok(Home() + "/Shows/"));
    EXPECT_EQ(sink.Texts().size(), 2u);
    std::string stored;
    ASSERT_TRUE(ReadSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", stored, 4096));
    EXPECT_EQ(stored, Home() + "/Shows"); // without the trailing slash
    EXPECT_EQ(StorageFolder(), Home() + "/Shows");
    EXPECT_TRUE(IsFolder(Home() + "/Shows/Configurations"));

    std::filesystem::create_directories(Home() + "/Blocked");
    WriteFile(Home() + "/Blocked/Profiles", "in the way");
    // Relative, bad characters, too long to read back (not the default), blocked; with and
    // without a stored location before.
    const std::string unusable[] = {"Shows", "/tmp/bad?name", "/tmp/" + std::string(300, 'x'),
                                    Home() + "/Blocked"};
    for (bool hadLocation : {true, false}) {
        for (const std::string& typed : unusable) {
            if (hadLocation)
                ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", "/old"));
            else
                DeleteSettingValue(kSettingTwoAttempts, kProductKey, "FilesLocation");
            SetUpFileStorage();
            const std::string before = StorageFolder();
            sink.Clear();
            FileLocationsDialog again;
            again.Open();
            EXPECT_FALSE(again.Ok(typed)) << typed;
            EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Unable to create subfolders in " + typed + "."});
            stored.clear();
            EXPECT_EQ(ReadSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", stored, 4096),
                      hadLocation) << typed;
            EXPECT_EQ(stored, hadLocation ? "/old" : "") << typed;
            EXPECT_EQ(StorageFolder(), before) << typed;
        }
    }
}

TEST_F(SettingsTest, FileLocationsCancelClosesOnlyWhenTheOldFolderIsUsable)
{
    const std::string old = Home() + "/Old";
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", old.c_str()));
    ASSERT_TRUE(SetUpFileStorage());
    ScopedRecordingSink sink;
    FileLocationsDialog dialog;
    dialog.Open();
    EXPECT_TRUE(dialog.Cancel());
    EXPECT_TRUE(sink.Texts().empty());

    dialog.Open();
    std::filesystem::remove_all(old + "/Profiles");
    WriteFile(old + "/Profiles", "in the way");
    EXPECT_FALSE(dialog.Cancel());
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, "Access Error");
    EXPECT_EQ(sink.Messages()[0].text,
              "Read/Write permission is denied in folder: " + old +
                  ".  Please specify a location where Tandrel may store the files that you create.");
}

} // namespace
} // namespace tandrel
