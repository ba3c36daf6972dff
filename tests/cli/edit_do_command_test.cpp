// `edit do` drives the editor from the command line, one clipboard across Edits.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "edit/edit_view.h"

namespace tandrel::cli {
namespace {

class EditDoTest : public CliTest
{
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        a = PathOf("a.kdw");
        b = PathOf("b.kdw");
        EditFile one, two;
        ASSERT_TRUE(CreateWithAudio(one, a, 176400));
        ASSERT_TRUE(CreateWithAudio(two, b, 88200));
    }

    std::string Rendered(const std::string& path)
    {
        const std::string wav = PathOf("out.wav");
        RunResult run = Run({"edit", "render", path, wav});
        EXPECT_EQ(run.status, 0) << run.err;
        return ReadWhole(wav).substr(44);
    }

    std::string a, b;
};

TEST_F(EditDoTest, CutInOneEditPastesIntoAnother)
{
    RunResult run = Run({"edit", "do", a, "select", "4000", "20000", "cut", "open", b,
                         "cursor", "400", "paste"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::string expectedA = Audio(0, 4000) + Audio(20000, 176400);
    std::string expectedB = Audio(0, 400) + Audio(4000, 20000) + Audio(400, 88200);
    EXPECT_EQ(Rendered(a), expectedA);
    EXPECT_EQ(Rendered(b), expectedB);

    run = Run({"edit", "do", b, "undo"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Rendered(b), Audio(0, 88200));
}

TEST_F(EditDoTest, MarkersAreListedRenamedAndDeleted)
{
    RunResult run = Run({"edit", "do", a, "cursor", "44100", "marker", "Intro", "cursor", "88200",
                         "marker", "Talk", "rename-marker", "0", "Opening", "markers",
                         "delete-marker", "1", "markers"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0:00:00.25\t\tOpening\r\n0:00:00.50\t\tTalk\r\n"
                       "0:00:00.25\t\tOpening\r\n");
}

TEST_F(EditDoTest, MistakesAreReported)
{
    struct Case
    {
        std::vector<std::string> commands;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"frobnicate"}, 2, "unknown editor command"},
        {{"select", "10"}, 2, "select needs 2 values"},
        {{"cursor", "ten"}, 1, "cursor takes a number"},
        {{"delete-marker", "0"}, 1, "delete-marker did not run"},
        {{"open", "/nonexistent/x.kdw"}, 1, "cannot open"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"edit", "do", a};
        args.insert(args.end(), c.commands.begin(), c.commands.end());
        RunResult run = Run(args);
        EXPECT_EQ(run.status, c.status) << c.commands[0];
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // Nothing above changed the Edit.
    EXPECT_EQ(Rendered(a), Audio(0, 176400));
}

TEST_F(EditDoTest, AnEditAlwaysOpensInNormalView)
{
    EditView view;
    ASSERT_TRUE(view.OpenView(a, false));
    view.SetMasterView(true, true);
    view.CloseView();
    // The Master flag is not kept in the file: an Edit always opens in normal view.
    RunResult run = Run({"edit", "do", a, "select", "0", "400", "delete"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Rendered(a), Audio(400, 176400));
}

} // namespace
} // namespace tandrel::cli
