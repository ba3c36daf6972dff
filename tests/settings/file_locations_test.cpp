#include "settings/file_locations.h"

#include <filesystem>
#include <string>
#include <vector>

#include "base/recording_sink.h"
#include "settings/settings_store.h"
#include "settings/storage.h"
#include "settings_test_support.h"

namespace tandrel {
namespace {

class FileLocationsTest : public SettingsTest
{
  protected:
    std::string FilesLocation(bool& present)
    {
        std::string value;
        present = ReadSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", value, 4096);
        return value;
    }
    void SetFilesLocation(const std::string& folder)
    {
        ASSERT_TRUE(
            WriteSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", folder.c_str()));
    }
    // Makes `folder` unusable as storage: a file where one of its subfolders belongs.
    void Block(const std::string& folder)
    {
        std::filesystem::create_directories(folder);
        WriteFile(folder + "/Profiles", "in the way");
    }
    std::string DeniedMessage(const std::string& folder)
    {
        return "Read/Write permission is denied in folder: " + folder +
               ".  Please specify a location where Tandrel may store the files that you create.";
    }
};

TEST_F(FileLocationsTest, OkMovesTheStorageToAUsableFolder)
{
    ASSERT_TRUE(SetUpFileStorage());
    ScopedRecordingSink sink;
    FileLocationsDialog dialog;
    EXPECT_EQ(dialog.Open(), Home() + "/Documents/Tandrel");
    const std::string moved = Home() + "/Shows";
    EXPECT_TRUE(dialog.Ok(moved + "/"));
    EXPECT_TRUE(sink.Messages().empty());
    bool present = false;
    EXPECT_EQ(FilesLocation(present), moved); // stored without the trailing slash
    EXPECT_EQ(StorageFolder(), moved);
    EXPECT_TRUE(IsFolder(moved + "/Configurations"));
}

TEST_F(FileLocationsTest, OkRefusesAnAlmostEmptyPathAndKeepsTheDialogOpen)
{
    SetFilesLocation(Home() + "/Old");
    ScopedRecordingSink sink;
    FileLocationsDialog dialog;
    dialog.Open();
    for (const char* field : {"", "/"}) {
        sink.Clear();
        EXPECT_FALSE(dialog.Ok(field)) << field;
        ASSERT_EQ(sink.Messages().size(), 1u);
        EXPECT_EQ(sink.Messages()[0].title, "Oops!");
        EXPECT_EQ(sink.Messages()[0].text,
                  "Please enter a valid path for the location of your Tandrel files.");
    }
    bool present = false;
    EXPECT_EQ(FilesLocation(present), Home() + "/Old");
}

TEST_F(FileLocationsTest, OkThatCannotSetUpPutsTheOldLocationBack)
{
    struct Case
    {
        bool hadLocation;
        std::string typed;
    };
    const Case cases[] = {
        {true, "Shows"},
        {false, "Shows"},
        {true, "/tmp/bad?name"},
        {false, "/tmp/" + std::string(300, 'x')}, // too long to read back: not the default
        {false, ""},                              // blocked folder, filled in below
    };
    for (Case c : cases) {
        const std::string old = Home() + "/Old";
        if (c.hadLocation)
            SetFilesLocation(old);
        else
            DeleteSettingValue(kSettingTwoAttempts, kProductKey, "FilesLocation");
        if (c.typed.empty()) {
            c.typed = Home() + "/Blocked";
            Block(c.typed);
        }
        ASSERT_TRUE(SetUpFileStorage());
        const std::string before = StorageFolder();

        ScopedRecordingSink sink;
        FileLocationsDialog dialog;
        dialog.Open();
        EXPECT_FALSE(dialog.Ok(c.typed)) << c.typed;
        ASSERT_EQ(sink.Messages().size(), 1u) << c.typed;
        EXPECT_EQ(sink.Messages()[0].title, "Error Setting File Location");
        EXPECT_EQ(sink.Messages()[0].text, "Unable to create subfolders in " + c.typed + ".");
        bool present = false;
        const std::string stored = FilesLocation(present);
        EXPECT_EQ(present, c.hadLocation) << c.typed;
        if (c.hadLocation) {
            EXPECT_EQ(stored, old);
        }
        EXPECT_EQ(StorageFolder(), before) << c.typed;
    }
}

TEST_F(FileLocationsTest, CancelClosesOnlyWhenTheOldFolderIsUsable)
{
    const std::string old = Home() + "/Old";
    SetFilesLocation(old);
    ASSERT_TRUE(SetUpFileStorage());
    {
        ScopedRecordingSink sink;
        FileLocationsDialog dialog;
        dialog.Open();
        EXPECT_TRUE(dialog.Cancel());
        EXPECT_TRUE(sink.Messages().empty());
    }

    // The old folder became unusable while the dialog was open.
    ScopedRecordingSink sink;
    FileLocationsDialog dialog;
    dialog.Open();
    std::filesystem::remove_all(old + "/Profiles");
    WriteFile(old + "/Profiles", "in the way");
    EXPECT_FALSE(dialog.Cancel());
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, "Access Error");
    EXPECT_EQ(sink.Messages()[0].text, DeniedMessage(old));
}

TEST_F(FileLocationsTest, ThePromptDrivenDialogLoopsUntilAFolderIsUsable)
{
    ScopedRecordingSink sink;
    const std::string moved = Home() + "/Shows";
    sink.ScriptText("x");
    sink.ScriptText(moved);
    EXPECT_TRUE(ShowFileLocationsDialog());
    const std::vector<RecordingSink::Message> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].title, "File Locations");
    EXPECT_EQ(messages[1].text,
              "Please enter a valid path for the location of your Tandrel files.");
    EXPECT_EQ(messages[2].title, "File Locations");
    EXPECT_EQ(StorageFolder(), moved);
}

TEST_F(FileLocationsTest, StartUpWithUnusableStorageAsksAndGivesUpWhenNobodyAnswers)
{
    const std::string old = Home() + "/Old";
    SetFilesLocation(old);
    Block(old);
    ScopedRecordingSink sink;
    EXPECT_FALSE(SetUpFileStorageAtStartup());
    std::vector<std::string> texts;
    for (const RecordingSink::Message& message : sink.Messages())
        texts.push_back(message.title + ": " + message.text);
    const std::vector<std::string> expected = {
        "Access Error: Unable to create file storage. Read/Write permission is denied in folder: " +
            old,
        "File Locations: Location of your Tandrel files:",
        "Access Error: " + DeniedMessage(old),
        "File Locations: Location of your Tandrel files:",
        "Access Error: " + DeniedMessage(old),
    };
    EXPECT_EQ(texts, expected);

    // With somebody choosing a usable folder, start-up goes on there.
    sink.Clear();
    sink.ScriptText(std::nullopt);
    sink.ScriptText(Home() + "/New");
    EXPECT_TRUE(SetUpFileStorageAtStartup());
    EXPECT_EQ(StorageFolder(), Home() + "/New");
}

} // namespace
} // namespace tandrel
