// How Edits come into being and move about in the Library, with the databases in step.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/recording_sink.h"
#include "base/scripted_progress.h"
#include "library/library_moves.h"
#include "library/library_names.h"
#include "library/new_edits.h"
#include "library/view_editor.h"
#include "library_test_support.h"
#include "settings/settings_store.h"
#include "settings/storage.h"

namespace tandrel::test {
namespace {

namespace fs = std::filesystem;

// An editor holding one view, and players that may hold files.
class TestEditor : public ViewEditor
{
public:
    std::string PlayerHolding(const std::string& path) const override
    {
        return path == heldPath ? holder : std::string();
    }
    std::string heldPath, holder;
};

// A storage folder and settings of its own, with the active account made.
class LibraryFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tandrel-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home = pattern;
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        KeepStorageFolder(home + "/store");
        fs::create_directories(home + "/store/Tandrel Library/KDUser/Default");
        ASSERT_TRUE(ActiveAccount(account));
    }
    void TearDown() override { fs::remove_all(home); }

    // An Edit of `seconds` at `rate` stereo 16-bit holding a ramp, with its base step.
    std::string MakeAudioEdit(const std::string& title, uint32_t rate, uint32_t seconds)
    {
        const std::string path = account.EditPath(title);
        EditFile edit;
        edit.channels = 2;
        edit.sampleRate = rate;
        edit.bitsPerSample = 16;
        EXPECT_TRUE(edit.EditOpen(path, true, false));
        std::vector<uint8_t> audio(size_t(rate) * 4 * seconds);
        for (size_t i = 0; i < audio.size(); ++i) audio[i] = uint8_t(i * 3);
        uint64_t done = 0, start = 0, end = 0;
        EXPECT_EQ(edit.EditBeginData(), 0);
        EXPECT_EQ(edit.EditWrite(audio.data(), audio.size(), done), 0);
        EXPECT_EQ(edit.EditEndData(start, end), 0);
        EditSegment all;
        all.dataEnd = end;
        EXPECT_TRUE(edit.EditPushStep(kStepInsert, 0, all, kRecordBaseStep));
        return path;
    }

    std::vector<std::string> Titles(const Account& which)
    {
        std::vector<std::string> titles;
        EditMap* map = GetEditMap(which.location, which.name);
        if (!map) return titles;
        for (auto& [title, info] : Enumerate(map)) titles.push_back(title);
        ReleaseEditMap(map);
        std::sort(titles.begin(), titles.end());
        return titles;
    }

    std::string home;
    Account account;
    ScopedRecordingSink sink;
};

TEST_F(LibraryFiles, NewFileFromSelectionIsInTheRecordingFormat)
{
    ASSERT_TRUE(WriteSettingNumber(0, kProductKey, "DefaultFormat", 10)); // 22050 Hz stereo
    const std::string source = MakeAudioEdit("Interview", 44100, 3);
    EditView view(1);
    ASSERT_TRUE(view.OpenView(source, false));
    view.leftMark = 176400;
    view.rightMark = 2 * 176400;
    view.SetCursor(4000, true);
    sink.ScriptText("Highlights");
    ASSERT_TRUE(NewEdit(view, account, true));
    EXPECT_EQ(view.leftMark, 176400u) << "the source keeps its marks";
    EXPECT_EQ(view.cursor, 4000u);

    EditView made(1);
    ASSERT_TRUE(made.OpenView(account.EditPath("Highlights"), true));
    EXPECT_EQ(made.sampleRate, 22050u);
    EXPECT_EQ(made.channels, 2u);
    EXPECT_NEAR(double(made.length), 88200.0, 400.0);
    EXPECT_EQ(made.edit.EditGetLength(1), made.edit.EditGetLength(2));
    EXPECT_NEAR(double(made.edit.EditGetLength(1)), 100.0, 1.0);
    EXPECT_EQ(Titles(account), (std::vector<std::string>{"Highlights", "Interview"}));
    EXPECT_FALSE(fs::exists(TempEditPath()));

    view.leftMark = view.rightMark = kNoPosition;
    EXPECT_FALSE(NewEdit(view, account, true)) << "no selection: nothing happens";
    EXPECT_TRUE(sink.Messages().size() == 1) << "only the title was asked for";
}

TEST_F(LibraryFiles, NewEditRefusesBadAndTakenTitlesAndLeavesNothingWhenCancelled)
{
    const std::string source = MakeAudioEdit("Show", 8000, 1);
    EditView view(1);
    ASSERT_TRUE(view.OpenView(source, false));
    view.leftMark = 0;
    view.rightMark = 16000;
    sink.ScriptText("a/b");
    sink.ScriptText("Show");
    sink.ScriptText(std::nullopt);
    EXPECT_FALSE(NewEdit(view, account, true));
    std::vector<std::string> texts = sink.Texts();
    ASSERT_EQ(texts.size(), 5u); // prompt, Oops, prompt, Sorry, prompt
    EXPECT_EQ(texts[1], "Filenames may not contain any of these characters:\r\n\r\n \\ / : * ? \" < > |");
    EXPECT_EQ(texts[3], "An Edit already exists with that name.  Please choose another.");
    EXPECT_FALSE(fs::exists(TempEditPath())) << "a cancelled new Edit leaves no temporary file";
    EXPECT_EQ(fs::directory_iterator(account.Folder()) != fs::directory_iterator(), true);
    EXPECT_FALSE(fs::exists(account.EditPath("a/b")));
}

TEST_F(LibraryFiles, TitleChecks)
{
    struct Case { std::string name; bool ok; const char* text; };
    const Case cases[] = {
        {"Episode 12", true, nullptr},
        {"", false, "Filenames may not be empty."},
        {std::string(252, 'x'), false, "Filenames may not be longer than 251 characters."},
        {std::string(251, 'x'), true, nullptr},
        {"what?", false, nullptr},
        {"a|b", false, nullptr},
    };
    for (const Case& c : cases) {
        sink.Clear();
        EXPECT_EQ(ValidateName(c.name, "Filenames"), c.ok) << c.name;
        EXPECT_EQ(sink.Messages().size(), c.ok ? 0u : 1u) << c.name;
        if (c.text) {
            EXPECT_EQ(sink.Texts().at(0), c.text);
        }
        if (!c.ok) {
            EXPECT_EQ(sink.Messages().at(0).title, "Oops!");
        }
    }
}

TEST_F(LibraryFiles, CopiesGetCopyOfNames)
{
    MakeAudioEdit("Interview", 8000, 1);
    ASSERT_TRUE(CopySelectedFiles(account, {"Interview"}));
    ASSERT_TRUE(CopySelectedFiles(account, {"Interview"}));
    EXPECT_EQ(Titles(account),
              (std::vector<std::string>{"Copy (2) of Interview", "Copy of Interview", "Interview"}));
    EXPECT_EQ(ReadBytes(account.EditPath("Copy of Interview")), ReadBytes(account.EditPath("Interview")));
    // A very long title is shortened so the name still fits the file system.
    const std::string longTitle(240, 'L');
    MakeAudioEdit(longTitle, 8000, 1);
    const std::string copy = MakeCopyName(account.Folder(), longTitle, ".kdw");
    EXPECT_LE(fs::path(copy).filename().string().size(), 255u);
    EXPECT_EQ(fs::path(copy).filename().string().rfind("Copy of LLL", 0), 0u);
}

TEST_F(LibraryFiles, RenameToATakenTitleKeepsTheOldNameAndFile)
{
    MakeAudioEdit("One", 8000, 1);
    MakeAudioEdit("Two", 8000, 1);
    TestEditor editor;
    ASSERT_TRUE(LoadEdit(editor, account, "One", false));
    EXPECT_EQ(RenameFile(editor, account, "Two"), RenameResult::Refused);
    EXPECT_EQ(sink.Messages().back().title, "Sorry");
    EXPECT_EQ(sink.Messages().back().text, "A file with that name already exists.  Please choose another.");
    EXPECT_EQ(editor.ActivePath(), account.EditPath("One"));
    EXPECT_TRUE(fs::exists(account.EditPath("One")));

    EXPECT_EQ(RenameFile(editor, account, "Three"), RenameResult::Renamed);
    EXPECT_EQ(editor.ActivePath(), account.EditPath("Three"));
    EXPECT_FALSE(fs::exists(account.EditPath("One")));
    std::vector<std::string> titles = Titles(account);
    EXPECT_EQ(std::count(titles.begin(), titles.end(), "Three"), 1);
    EXPECT_EQ(std::count(titles.begin(), titles.end(), "One"), 0);
}

TEST_F(LibraryFiles, LoadSaysWhoHoldsTheFile)
{
    MakeAudioEdit("Jingle", 8000, 1);
    TestEditor editor;
    EditFile cart; // the cart holds the file open, so nobody else can
    ASSERT_TRUE(cart.EditOpen(account.EditPath("Jingle"), false, true));
    editor.heldPath = account.EditPath("Jingle");
    editor.holder = "cart";
    EXPECT_FALSE(LoadEdit(editor, account, "Jingle", false));
    EXPECT_EQ(sink.Messages().back().title, "Unable to Load File");
    EXPECT_EQ(sink.Messages().back().text.rfind("This file is already loaded in a cart button.", 0), 0u);

    editor.holder.clear();
    EXPECT_FALSE(LoadEdit(editor, account, "Missing", false));
    EXPECT_EQ(sink.Messages().back().title, "File Error");
    EXPECT_EQ(sink.Messages().back().text, "LoadEdit: Error (2) loading file: Missing.");
}

TEST_F(LibraryFiles, DeleteRestoreAndEmptyKeepTheDatabasesInStep)
{
    MakeAudioEdit("Keep", 8000, 1);
    MakeAudioEdit("Gone", 8000, 1);
    const std::vector<uint8_t> original = ReadBytes(account.EditPath("Gone"));
    TestEditor editor;
    ASSERT_TRUE(LoadEdit(editor, account, "Gone", false));
    ASSERT_TRUE(DeleteActiveFile(editor, account));
    EXPECT_EQ(editor.ActivePath(), "");
    EXPECT_EQ(Titles(account), std::vector<std::string>{"Keep"});
    EXPECT_EQ(Titles(DeletedFilesOf(account)), std::vector<std::string>{"Gone"});

    ASSERT_TRUE(RestoreDeletedFile(editor, account));
    EXPECT_EQ(editor.ActivePath(), account.EditPath("Gone"));
    EXPECT_EQ(Titles(account), (std::vector<std::string>{"Gone", "Keep"}));
    EXPECT_TRUE(Titles(DeletedFilesOf(account)).empty());
    editor.CloseEditor();
    EXPECT_EQ(ReadBytes(account.EditPath("Gone")).size(), original.size());

    ASSERT_TRUE(LoadEdit(editor, account, "Keep", false));
    ASSERT_TRUE(DeleteActiveFile(editor, account));
    sink.ScriptAnswer(MessageAnswer::No);
    EXPECT_FALSE(EmptyDeletedFilesFolder(account));
    EXPECT_TRUE(fs::exists(DeletedFilesOf(account).EditPath("Keep")));
    sink.ScriptAnswer(MessageAnswer::Yes);
    EXPECT_TRUE(EmptyDeletedFilesFolder(account));
    EXPECT_FALSE(fs::exists(DeletedFilesOf(account).EditPath("Keep")));
    EXPECT_FALSE(RestoreDeletedFile(editor, account));
}

TEST_F(LibraryFiles, DeletingChosenEditsLetsGoOfTheActiveOneAndKeepsOneAPlayerHolds)
{
    MakeAudioEdit("Active", 8000, 1);
    MakeAudioEdit("Idle", 8000, 1);
    MakeAudioEdit("Held", 8000, 1);
    MakeAudioEdit("Stays", 8000, 1);
    TestEditor editor;
    ASSERT_TRUE(LoadEdit(editor, account, "Active", false));
    editor.heldPath = account.EditPath("Held");
    editor.holder = "cart";
    EXPECT_FALSE(DeletedFileAvailable(account));

    EXPECT_FALSE(DeleteLibraryEdits(editor, account, {"Idle", "Active", "Held"}));
    EXPECT_EQ(editor.ActivePath(), "");
    EXPECT_EQ(Titles(account), (std::vector<std::string>{"Held", "Stays"}));
    EXPECT_EQ(Titles(DeletedFilesOf(account)), (std::vector<std::string>{"Active", "Idle"}));
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, "Sorry");
    // The one moved last comes back first.
    EXPECT_TRUE(DeletedFileAvailable(account));
    ASSERT_TRUE(RestoreDeletedFile(editor, account));
    EXPECT_EQ(editor.ActivePath(), account.EditPath("Active"));
}

TEST_F(LibraryFiles, SavingAcrossFileSystemsCopiesAndACancelKeepsTheTemporaryEdit)
{
    if (!fs::exists("/dev/shm")) GTEST_SKIP() << "no second file system";
    const std::string temp = "/dev/shm/tandrel-temp-" + std::to_string(getpid()) + ".kdw";
    {
        EditFile edit;
        edit.channels = 1;
        edit.sampleRate = 8000;
        edit.bitsPerSample = 8;
        ASSERT_TRUE(edit.EditOpen(temp, true, false));
        ASSERT_TRUE(edit.EditTruncateData(8 << 20)); // large enough for several progress steps
    }
    {
        ScriptedProgressViews progress;
        progress.cancelAtPercent = 20;
        EXPECT_FALSE(SaveNewEdit(temp, account, "Moved"));
        EXPECT_TRUE(sink.Messages().empty()) << "a cancelled copy is not reported";
        EXPECT_TRUE(fs::exists(temp));
        EXPECT_FALSE(fs::exists(account.EditPath("Moved")));
        ASSERT_FALSE(progress.texts.empty());
        EXPECT_EQ(progress.texts[0], "Copying Moved...");
    }
    ASSERT_TRUE(SaveNewEdit(temp, account, "Moved"));
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(fs::exists(account.EditPath("Moved")));
}

TEST_F(LibraryFiles, NewEmptyEditIsLoadedAndListed)
{
    ASSERT_TRUE(WriteSettingNumber(0, kProductKey, "DefaultFormat", 1)); // 8 kHz mono
    ASSERT_TRUE(WriteSettingText(0, kProductKey, "DefaultFileName", "Show"));
    TestEditor editor;
    sink.ScriptText("Blank");
    ASSERT_TRUE(NewEmptyEdit(editor, account));
    ASSERT_FALSE(sink.Messages().empty());
    EXPECT_EQ(sink.Messages().back().initial, "Show") << "the name offered is the user's default";
    EXPECT_EQ(editor.ActivePath(), account.EditPath("Blank"));
    EXPECT_EQ(editor.view.sampleRate, 8000u);
    EXPECT_EQ(editor.view.channels, 1u);
    EXPECT_EQ(Titles(account), std::vector<std::string>{"Blank"});
}

// Emptying and restoring from Deleted Files and rebuilding a database all take the Edits of a
// folder from this one listing: regular files (through links) ending in ".kdw", in name order.
TEST(ListFolder, EditFilesAreRegularFilesEndingInTheEditExtension)
{
    ScratchLibrary library;
    const fs::path folder = library.Account();
    for (const char* name : {"b.kdw", ".kdw", "a.kdw", "notes.txt", "a.kdwx"})
        WriteBytes((folder / name).string(), Bytes{1});
    fs::create_directory(folder / "folder.kdw");
    fs::create_symlink(folder / "b.kdw", folder / "link.kdw");
    fs::create_symlink(folder / "missing", folder / "dangling.kdw");

    struct Case
    {
        FolderEntry kind;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {FolderEntry::EditFile, {".kdw", "a.kdw", "b.kdw", "link.kdw"}},
        {FolderEntry::Folder, {"folder.kdw"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names{"left over"};
        ASSERT_TRUE(ListFolder(folder.string(), c.kind, names));
        EXPECT_EQ(names, c.names);
    }
    std::vector<std::string> names;
    EXPECT_FALSE(ListFolder((folder / "nowhere").string(), FolderEntry::EditFile, names));
}

} // namespace
} // namespace tandrel::test
