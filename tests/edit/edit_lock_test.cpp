// An open Edit belongs to its opener alone: a second opener fails, in this process or in
// another one, until the first closes it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "base/recording_sink.h"
#include "edit/edit_file.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

struct OpenModes
{
    const char* name;
    bool firstReadOnly;
    bool secondReadOnly;
};

void PrintTo(const OpenModes& c, std::ostream* os) { *os << c.name; }

class EditLock : public ::testing::TestWithParam<OpenModes>
{
protected:
    void SetUp() override
    {
        path = dir.File("locked.kdw");
        ASSERT_TRUE(MakeEdit(path, kMono8, 100, 100));
    }

    /** Exit status of a child process that tries to open the Edit: 0 opened, 1 refused. */
    int OpenInChild(bool readOnly)
    {
        pid_t child = fork();
        if (child == 0) {
            ScopedRecordingSink sink;
            EditFile other;
            const bool opened = other.EditOpen(path, false, readOnly);
            other.EditClose();
            _exit(opened ? 0 : 1);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }

    TempDir dir;
    std::string path;
};

TEST_P(EditLock, SecondOpenerInThisProcessFailsUntilTheFirstCloses)
{
    const OpenModes m = GetParam();
    ScopedRecordingSink sink;
    EditFile first;
    ASSERT_TRUE(first.EditOpen(path, false, m.firstReadOnly));
    {
        EditFile second;
        EXPECT_FALSE(second.EditOpen(path, false, m.secondReadOnly));
        second.EditClose();
    }
    // The refused opener's close must not have released the first one's claim.
    {
        EditFile third;
        EXPECT_FALSE(third.EditOpen(path, false, m.secondReadOnly));
        third.EditClose();
    }
    first.EditClose();
    EditFile later;
    EXPECT_TRUE(later.EditOpen(path, false, m.secondReadOnly));
    EXPECT_EQ(later.undo.size(), 1u);
    EXPECT_TRUE(sink.Texts().empty());
}

TEST_P(EditLock, SecondOpenerInAnotherProcessFailsUntilTheFirstCloses)
{
    const OpenModes m = GetParam();
    EditFile first;
    ASSERT_TRUE(first.EditOpen(path, false, m.firstReadOnly));
    EXPECT_EQ(OpenInChild(m.secondReadOnly), 1);
    first.EditClose();
    EXPECT_EQ(OpenInChild(m.secondReadOnly), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, EditLock,
                         ::testing::Values(OpenModes{"WriteThenWrite", false, false},
                                           OpenModes{"WriteThenRead", false, true},
                                           OpenModes{"ReadThenWrite", true, false},
                                           OpenModes{"ReadThenRead", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EditLockCreate, ANewEditIsLockedFromTheStart)
{
    TempDir dir;
    const std::string path = dir.File("fresh.kdw");
    EditFile creator;
    creator.channels = 1;
    creator.sampleRate = 8000;
    creator.bitsPerSample = 8;
    ASSERT_TRUE(creator.EditOpen(path, true, false));
    EditFile other;
    EXPECT_FALSE(other.EditOpen(path, false, false));
    other.EditClose();
    creator.EditClose();
    EXPECT_TRUE(other.EditOpen(path, false, false));
}

} // namespace
} // namespace tandrel::test
