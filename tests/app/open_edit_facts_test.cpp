// The facts of the Edit in the editor as others see them: other threads read them while the
// editor changes, and the Library lists them as they are after every edit.
#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <thread>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/studio.h"
#include "app_test_support.h"
#include "base/recording_sink.h"
#include "editing/selection.h"
#include "library/library_moves.h"

namespace tandrel::app {
namespace {

using test::Format;
using test::MakeLibraryEdit;

constexpr Format kStereo16{2, 44100, 16};

class OpenEditFactsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TANDREL_AUDIO", "null", 1);
        ASSERT_NO_FATAL_FAILURE(test::StartProgram(program));
        ASSERT_TRUE(ActiveAccount(account));
    }
    void TearDown() override { program.reset(); }

    Studio& TheStudio() { return program->GetStudio(); }
    EditInfo Entry(const std::string& title)
    {
        EditInfo info;
        EditMap* map = GetEditMap(account.location, account.name, kProgressSilent);
        EXPECT_TRUE(map && MapLookup(map, title, info)) << title;
        if (map) ReleaseEditMap(map);
        return info;
    }

    test::TempHome home;
    ScopedRecordingSink sink;
    std::unique_ptr<Program> program;
    Account account;
};

// The picker shows the Library's entries: after each step that changes the Edit, its entry
// has the Edit's length and the file's modification time and size.
TEST_F(OpenEditFactsTest, TheLibraryEntryFollowsEachEdit)
{
    const std::string path = MakeLibraryEdit("Talk", 3, kStereo16);
    ASSERT_TRUE(LoadEdit(TheStudio(), account, "Talk", true));
    const uint64_t second = kStereo16.BytesPerSecond();
    struct Step
    {
        const char* name;
        int command;
        uint32_t length; // hundredths
    };
    const Step steps[] = {{"delete a second", kCmdDelete, 200}, {"undo", kCmdUndo, 300},
                          {"redo", kCmdRedo, 200}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        SetMarks(*TheStudio().View(), second, 2 * second);
        ASSERT_TRUE(program->Window().DoCommand(step.command));
        struct stat file;
        ASSERT_EQ(::stat(path.c_str(), &file), 0);
        const EditInfo entry = Entry("Talk");
        EXPECT_EQ(entry.length0, step.length);
        EXPECT_EQ(entry.fileSize, uint32_t(file.st_size));
        EXPECT_EQ(entry.modified, uint32_t(file.st_mtime));
    }
    EXPECT_TRUE(sink.Messages().empty());
}

// Another thread (auto-import reading facts for the Library) asks all the while the editor
// opens one Edit after another: each answer is one Edit's path with that Edit's facts.
TEST_F(OpenEditFactsTest, AnotherThreadGetsWholeAnswersWhileEditsComeAndGo)
{
    const std::string shortPath = MakeLibraryEdit("Short", 1, kStereo16);
    const std::string longPath = MakeLibraryEdit("Long", 3, kStereo16);
    std::atomic<bool> done{false};
    std::atomic<int> answers{0}, wrong{0};
    std::thread reader([&] {
        while (!done || answers == 0) {
            std::string path;
            EditInfo facts;
            if (!TheStudio().OpenEdit(path, facts)) {
                if (done) break;
                continue;
            }
            ++answers;
            const uint32_t length = path == shortPath ? 100 : path == longPath ? 300 : 0;
            if (facts.length0 != length || facts.sampleRate != 44100 || facts.channels != 2)
                ++wrong;
        }
    });
    int loaded = 0;
    while (loaded < 100 && LoadEdit(TheStudio(), account, loaded % 2 ? "Short" : "Long", true))
        ++loaded;
    done = true;
    reader.join();
    EXPECT_EQ(loaded, 100);
    EXPECT_GT(answers, 0);
    EXPECT_EQ(wrong, 0) << "of " << answers << " answers";
}

} // namespace
} // namespace tandrel::app
