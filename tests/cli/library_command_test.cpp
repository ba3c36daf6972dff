// `tandrel-cli library` on a real storage folder: the same Library code the program uses.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli_runner.h"

namespace tandrel::cli {
namespace {

class LibraryCommandTest : public CliTest
{
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        storage = PathOf("store");
        // The settings of the child go to this test's folder too.
        setenv("XDG_CONFIG_HOME", PathOf("config").c_str(), 1);
    }

    RunResult Library(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"library", "--storage", storage});
        return Run(args);
    }

    // Titles and lengths from `library list --json`.
    std::vector<std::pair<std::string, uint64_t>> Listed()
    {
        RunResult run = Library({"list", "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        std::optional<JsonValue> json = ParseJson(run.out);
        std::vector<std::pair<std::string, uint64_t>> titles;
        if (!json) {
            ADD_FAILURE() << "not JSON: " << run.out;
            return titles;
        }
        for (const JsonValue& edit : json->elements) {
            EXPECT_TRUE(edit.Has("fileSize") && edit.Has("sampleRate") && edit.Has("created"));
            titles.push_back({edit["title"].text, edit["length0"].U64().value_or(~0ull)});
        }
        return titles;
    }

    std::string Account() const { return storage + "/Tandrel Library/KDUser/Default"; }
    std::string storage;
};

// Not the Library, but the same settings folder: the gain control switch is kept there.
TEST_F(LibraryCommandTest, GainControlIsTurnedOnAndOffInTheSettings)
{
    struct Step
    {
        std::vector<std::string> args;
        int status;
        const char* out;
    };
    const Step kSteps[] = {{{"gain-control"}, 0, "gain control: off\n"},
                           {{"gain-control", "on"}, 0, "gain control: on\n"},
                           {{"gain-control"}, 0, "gain control: on\n"},
                           {{"gain-control", "loud"}, 2, ""},
                           {{"gain-control", "off"}, 0, "gain control: off\n"}};
    for (const Step& step : kSteps) {
        const RunResult run = Run(step.args);
        EXPECT_EQ(run.status, step.status) << step.args.back() << run.err;
        EXPECT_EQ(run.out, step.out) << step.args.back();
    }
}

TEST_F(LibraryCommandTest, NewCopyRenameDeleteRestore)
{
    ASSERT_EQ(Library({"new", "Interview"}).status, 0);
    ASSERT_EQ(Library({"copy", "Interview"}).status, 0);
    ASSERT_EQ(Library({"copy", "Interview"}).status, 0);
    using Titles = std::vector<std::pair<std::string, uint64_t>>;
    EXPECT_EQ(Listed(), (Titles{{"Copy (2) of Interview", 0}, {"Copy of Interview", 0}, {"Interview", 0}}));

    ASSERT_EQ(Library({"rename", "Copy of Interview", "Outtakes"}).status, 0);
    RunResult taken = Library({"rename", "Outtakes", "Interview"});
    EXPECT_EQ(taken.status, 1);
    EXPECT_NE(taken.err.find("Sorry: A file with that name already exists.  Please choose another."),
              std::string::npos) << taken.err;

    ASSERT_EQ(Library({"delete", "Outtakes"}).status, 0);
    EXPECT_EQ(Listed(), (Titles{{"Copy (2) of Interview", 0}, {"Interview", 0}}));
    EXPECT_TRUE(fs::exists(storage + "/Tandrel Library/KDUser/Deleted Files/Outtakes.kdw"));
    ASSERT_EQ(Library({"restore"}).status, 0);
    EXPECT_EQ(Listed(), (Titles{{"Copy (2) of Interview", 0}, {"Interview", 0}, {"Outtakes", 0}}));
    RunResult nothing = Library({"restore"});
    EXPECT_EQ(nothing.status, 1);
}

TEST_F(LibraryCommandTest, ExtractMakesANewEditFromARange)
{
    ASSERT_EQ(Library({"list"}).status, 0); // makes the account and its database
    EditFile edit;
    ASSERT_TRUE(CreateWithAudio(edit, Account() + "/Talk.kdw", 441000)); // 2.5 s of CD audio
    edit.EditClose();
    ASSERT_EQ(Library({"rebuild"}).status, 0);
    RunResult run = Library({"extract", "Talk", "Clip", "--from", "0", "--to", "176400"});
    ASSERT_EQ(run.status, 0) << run.err;
    using Titles = std::vector<std::pair<std::string, uint64_t>>;
    EXPECT_EQ(Listed(), (Titles{{"Clip", 100}, {"Talk", 0}}));
}

TEST_F(LibraryCommandTest, BadTitlesAndArgumentsAreRefused)
{
    RunResult bad = Library({"new", "a:b"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Oops!: Filenames may not contain any of these characters:"), std::string::npos);
    EXPECT_EQ(Library({"new"}).status, 2);
    EXPECT_EQ(Library({"frobnicate"}).status, 2);
    EXPECT_EQ(Library({"copy", "Missing"}).status, 1);
    RunResult relative = Run({"library", "--storage", "relative/folder", "list"});
    EXPECT_EQ(relative.status, 1);
    EXPECT_TRUE(Listed().empty());
    EXPECT_FALSE(fs::exists(storage + "/Tandrel Library/KD4TempEdit.kdw"));
}

} // namespace
} // namespace tandrel::cli
