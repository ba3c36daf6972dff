// Rebuilding from the Edit files: which files count, the facts read from each (or from the
// editor's open Edit), the progress shown, and the rebuild of a whole Library.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/recording_sink.h"
#include "base/scripted_progress.h"
#include "edit/edit_file.h"
#include "library/edit_map.h"
#include "library_test_support.h"

namespace tandrel::test {
namespace {

namespace fs = std::filesystem;

struct NamedEdit
{
    std::string title;
    EditSpec recipe;
};

const NamedEdit kEdits[] = {
    {"Mono 8", {1, 8000, 8, {100, 100, 100}, 800}},
    {"Mono 16", {1, 22050, 16, {250, 300, 300}, 4410}},
    {"Stereo 8", {2, 11025, 8, {0, 0, 0}, 0}},
    {"Stereo 16", {2, 44100, 16, {4000, 3000, 2000}, 17640}},
    {"", {1, 48000, 16, {1, 2, 3}, 96}}, // the file ".kdw"
};

TEST(RebuildMapFile, ListsEveryEditFileWithItsHeaderFacts)
{
    ScratchLibrary library;
    for (const NamedEdit& e : kEdits)
        ASSERT_TRUE(MakeEdit(library.Edit(e.title), e.recipe));
    // An Edit still in the older 56-byte header layout: its lengths sit where they always did.
    const EditSpec old{1, 16000, 16, {70, 80, 90}, 320};
    ASSERT_TRUE(MakeEdit(library.Edit("Older"), old));
    Bytes older = ReadBytes(library.Edit("Older"));
    older[46] = 4;
    WriteBytes(library.Edit("Older"), older);
    // What does not count: other extensions (case matters), folders, pipes, damaged files.
    ASSERT_TRUE(MakeEdit(library.Account() + "/Shouting.KDW", kEdits[0].recipe));
    WriteBytes(library.Account() + "/notes.txt", Bytes(10, 'x'));
    fs::create_directory(library.Account() + "/Folder.kdw");
    ASSERT_EQ(mkfifo((library.Account() + "/Pipe.kdw").c_str(), 0600), 0);
    WriteBytes(library.Account() + "/Damaged.kdw", Bytes(600000, 0));

    ScopedRecordingSink sink;
    ScriptedProgressViews views;
    EditMap* map = GetEditMap(library.Location(), "Default");
    ASSERT_NE(map, nullptr);

    std::vector<std::pair<std::string, EditInfo>> expected;
    for (const NamedEdit& e : kEdits)
        expected.emplace_back(e.title, ExpectedInfo(library.Edit(e.title), e.recipe));
    expected.emplace_back("Older", ExpectedInfo(library.Edit("Older"), old));
    EXPECT_EQ(map->entries.Size(), expected.size());
    for (const auto& [title, info] : expected) {
        EditInfo found;
        ASSERT_TRUE(MapLookup(map, title, found)) << "\"" << title << "\"";
        EXPECT_EQ(found, info) << "\"" << title << "\"";
    }
    ReleaseEditMap(map);

    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>{"EditOpen (5): Error parsing header in file Damaged.kdw."});
    EXPECT_EQ(views.viewsMade, 1);
    EXPECT_EQ(views.viewsClosed, 1);
    EXPECT_EQ(views.texts, std::vector<std::string>{"Rebuilding file database for KDUser/Default"});
    ASSERT_FALSE(views.percents.empty());
    EXPECT_EQ(views.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(views.percents.begin(), views.percents.end()));
}

TEST(RebuildMapFile, ShowsNoProgressWithoutEditsOrForAWorker)
{
    ScratchLibrary library;
    {
        ScriptedProgressViews views;
        EditMap* map = GetEditMap(library.Location(), "Default");
        ASSERT_NE(map, nullptr);
        ReleaseEditMap(map);
        EXPECT_EQ(views.viewsMade, 0) << "an empty folder";
    }
    ASSERT_TRUE(MakeEdit(library.Edit("One"), kEdits[0].recipe));
    ASSERT_TRUE(DeleteEditMapFile(library.Location(), "Default"));
    {
        ScriptedProgressViews views;
        EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(map->entries.Size(), 1u);
        ReleaseEditMap(map);
        EXPECT_EQ(views.viewsMade, 0) << "silent";
    }
}

TEST(RebuildMapFile, RefusedWhileEnumeratingAndForAMissingFolder)
{
    ScratchLibrary library;
    ASSERT_TRUE(MakeEdit(library.Edit("One"), kEdits[0].recipe));
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    EditInfo info;
    std::string title;
    ASSERT_TRUE(MapFirst(map, info, title));
    EXPECT_FALSE(RebuildMapFile(map, kProgressSilent));
    MapEndEnumeration(map);

    ScopedRecordingSink sink;
    fs::rename(library.Account(), library.Root() / "elsewhere");
    EXPECT_FALSE(RebuildMapFile(map, kProgressSilent));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"RebuildMapFile: GetEditFldrPath fails."});
    EXPECT_TRUE(MapLookup(map, "One", info)) << "a failed rebuild keeps the entries";
    ReleaseEditMap(map);
}

/** Stands in for the editor: one Edit open, with facts that differ from its file. */
class FakeEditor : public OpenEditFacts
{
  public:
    FakeEditor() : previous_(InstallOpenEditFacts(this)) {}
    ~FakeEditor() override { InstallOpenEditFacts(previous_); }
    bool OpenEdit(std::string& path, EditInfo& facts) override
    {
        if (!edit.IsOpen()) return false;
        path = edit.path;
        FillFromEditFile(edit, facts);
        return true;
    }
    EditFile edit;

  private:
    OpenEditFacts* previous_;
};

TEST(GetEditInfo, TakesTheOpenEditsFactsFromTheEditor)
{
    ScratchLibrary library;
    const EditSpec recipe{2, 44100, 16, {500, 500, 500}, 4000};
    ASSERT_TRUE(MakeEdit(library.Edit("take"), recipe));
    ASSERT_TRUE(MakeEdit(library.Edit("Take"), recipe));
    FakeEditor editor;
    ASSERT_TRUE(editor.edit.EditOpen(library.Edit("take"), false, false));
    editor.edit.EditSetLength(321, 0); // replayed, not saved yet

    EditInfo expectedOpen = ExpectedInfo(library.Edit("take"), recipe);
    expectedOpen.length0 = 321;
    const EditInfo expectedOther = ExpectedInfo(library.Edit("Take"), recipe);
    struct Case
    {
        std::string path;
        const EditInfo* expected;
    };
    const Case cases[] = {
        {library.Edit("take"), &expectedOpen},
        {library.Account() + "//take.kdw", &expectedOpen}, // another spelling, same file
        {library.Account() + "/./take.kdw", &expectedOpen},
        {library.Edit("Take"), &expectedOther}, // case matters: another Edit
    };
    for (const Case& c : cases) {
        EditInfo info;
        ASSERT_TRUE(GetEditInfo(c.path, info)) << c.path;
        EXPECT_EQ(info, *c.expected) << c.path;
    }
    editor.edit.EditClose();
}

TEST(GetEditInfo, ReadsAnEditAnotherOpenerHolds)
{
    ScratchLibrary library;
    const EditSpec recipe{1, 8000, 8, {42, 43, 44}, 10};
    ASSERT_TRUE(MakeEdit(library.Edit("In a cart"), recipe));
    EditFile cart; // a Cart or Deck holds it open, locked; the editor does not
    ASSERT_TRUE(cart.EditOpen(library.Edit("In a cart"), false, true));
    EditInfo info;
    ASSERT_TRUE(GetEditInfo(library.Edit("In a cart"), info));
    EXPECT_EQ(info, ExpectedInfo(library.Edit("In a cart"), recipe));
    cart.EditClose();
}

TEST(GetEditInfo, FailsQuietlyOnWhatIsNoFile)
{
    ScratchLibrary library;
    ASSERT_EQ(mkfifo((library.Account() + "/Pipe.kdw").c_str(), 0600), 0);
    fs::create_directory(library.Account() + "/Folder.kdw");
    ScopedRecordingSink sink;
    for (const std::string& path :
         {library.Account() + "/Pipe.kdw", library.Account() + "/Folder.kdw",
          library.Account() + "/Missing.kdw", std::string()}) {
        EditInfo info;
        info.length0 = 5;
        EXPECT_FALSE(GetEditInfo(path, info)) << path;
        EXPECT_EQ(info.length0, 5u) << "left alone on failure";
    }
    EXPECT_TRUE(sink.Texts().empty());
}

TEST(GetEditInfo, ReportsAFileThatIsNoEdit)
{
    ScratchLibrary library;
    ASSERT_TRUE(MakeEdit(library.Edit("Good"), kEdits[0].recipe));
    const Bytes good = ReadBytes(library.Edit("Good"));
    struct Case
    {
        const char* name;
        size_t at;
        uint8_t value;
        size_t cut;
    };
    const Case cases[] = {
        {"fmt size 16", 16, 16, 0},     {"3 channels", 22, 3, 0},        {"version 6", 46, 6, 0},
        {"no data id", 524334, 'D', 0}, {"cut in the header", 0, 0, 60},
    };
    for (const Case& c : cases) {
        Bytes bad = good;
        if (c.cut)
            bad.resize(c.cut);
        else
            bad[c.at] = c.value;
        const std::string path = library.Edit(std::string("Bad ") + c.name);
        WriteBytes(path, bad);
        ScopedRecordingSink sink;
        EditInfo info;
        EXPECT_FALSE(GetEditInfo(path, info)) << c.name;
        EXPECT_EQ(sink.Texts(),
                  std::vector<std::string>{"EditOpen (5): Error parsing header in file Bad " +
                                           std::string(c.name) + ".kdw."});
    }
}

TEST(RebuildDatabaseFiles, RebuildsEveryAccountAndStopsAtOneInUse)
{
    ScratchLibrary library;
    ASSERT_TRUE(MakeEdit(library.Edit("A", "Default"), kEdits[0].recipe));
    ASSERT_TRUE(MakeEdit(library.Edit("B", "Default"), kEdits[1].recipe));
    ASSERT_TRUE(MakeEdit(library.Edit("C", "Transfer"), kEdits[3].recipe));
    library.Account("Empty");
    WriteBytes(library.Database("Default"), DatabaseImage({{1, 1, 1, 1, 1, 1, 1, 8, 1, "Ghost"}}));
    WriteBytes(library.Database("Empty"), DatabaseImage({}, "version2 "));
    WriteBytes(library.Account("Default") + "/../stray file", Bytes(3, 'x')); // not a folder

    ScopedRecordingSink sink;
    ASSERT_TRUE(RebuildDatabaseFiles(library.Location(), kProgressSilent));
    EXPECT_TRUE(sink.Texts().empty());
    const std::pair<const char*, std::vector<std::string>> expected[] = {
        {"Default", {"A", "B"}}, {"Empty", {}}, {"Transfer", {"C"}}};
    for (const auto& [account, titles] : expected) {
        EditMap* map = GetEditMap(library.Location(), account, kProgressSilent);
        ASSERT_NE(map, nullptr);
        std::vector<std::string> listed;
        for (const auto& entry : Enumerate(map))
            listed.push_back(entry.first);
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, titles) << account;
        ReleaseEditMap(map);
    }

    // Transfer held by this process: Default (before it) is rebuilt, Transfer stops the run.
    WriteBytes(library.Database("Default"), DatabaseImage({{1, 1, 1, 1, 1, 1, 1, 8, 1, "Ghost"}}));
    EditMap* held = GetEditMap(library.Location(), "Transfer", kProgressSilent);
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(RebuildDatabaseFiles(library.Location(), kProgressSilent));
    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>{
                  "RebuildDatabaseFiles: Unable to access edit database for folder Transfer."});
    ReleaseEditMap(held);
    EXPECT_EQ(ReadBytes(library.Database("Default")).size(), 16u + 2 * (36 + 1));

    // Held by another program: the same.
    sink.Clear();
    int fd = open(library.Database("Empty").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(RebuildDatabaseFiles(library.Location(), kProgressSilent));
    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>{
                  "RebuildDatabaseFiles: Unable to access edit database for folder Empty."});
    close(fd);

    EXPECT_FALSE(
        RebuildDatabaseFiles({(library.Root() / "nowhere").string(), "KDUser"}, kProgressSilent));
}

} // namespace
} // namespace tandrel::test
