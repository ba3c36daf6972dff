// A save killed at any point leaves the old history or the new one. A child process makes
// 200 saves that move records about (undoing and redoing a two-record step reverses it on
// disk; renaming a marker changes the length of the text the later records follow) and is
// killed at a seeded random system call, again and again, until all 200 are done.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "base/recording_sink.h"
#include "edit/edit_file.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

constexpr size_t kSaves = 200;

// The operation that makes save `i`: a cycle of two undos, a rename, two redos, a rename.
int ApplyOperation(EditFile& edit, size_t i)
{
    switch (i % 6) {
    case 0:
    case 1: return edit.EditUndo();
    case 3:
    case 4: return edit.EditRedo();
    default:
        edit.undo[1].SetName(std::string(1 + i * 7 % 40, char('a' + i % 26)));
        return edit.EditSave();
    }
}

// Both lists as they stand, with their sizes: what "the same history" means here.
Bytes History(const EditFile& edit)
{
    Bytes bytes;
    for (const std::vector<EditRecord>* list : {&edit.undo, &edit.redo}) {
        bytes.push_back(uint8_t(list->size()));
        for (const EditRecord& record : *list) {
            const Bytes encoded = EncodeRecord(record);
            bytes.insert(bytes.end(), encoded.begin(), encoded.end());
        }
    }
    return bytes;
}

// The child: opens the Edit and makes saves `from` onwards, telling the parent after each.
[[noreturn]] void MakeSaves(const std::string& path, size_t from, int report)
{
    ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    ::raise(SIGSTOP);
    EditFile edit;
    if (!edit.EditOpen(path, false, false)) ::_exit(2);
    for (size_t i = from; i < kSaves; ++i) {
        if (ApplyOperation(edit, i) != 0) ::_exit(3);
        const size_t done = i + 1;
        if (::write(report, &done, sizeof done) != sizeof done) ::_exit(4);
    }
    ::_exit(0);
}

// Lets the traced child run to its `stops`-th system-call stop (entry or exit) and kills it
// there. False when it ended before.
bool KillAtSystemCall(pid_t child, int stops)
{
    int status = 0;
    ::waitpid(child, &status, 0); // its own SIGSTOP
    ::ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int pending = 0;
    for (int seen = 0; seen < stops;) {
        if (::ptrace(PTRACE_SYSCALL, child, nullptr, reinterpret_cast<void*>(intptr_t(pending))) != 0)
            break;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status) || WIFSIGNALED(status)) return false;
        const bool systemCall = WSTOPSIG(status) == (SIGTRAP | 0x80);
        pending = systemCall ? 0 : WSTOPSIG(status);
        seen += systemCall;
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return true;
}

TEST(EditSaveCrash, EveryKilledSaveLeavesTheOldHistoryOrTheNew)
{
    TempDir dir;
    const std::string path = dir.File("Show.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 8000, 8000));
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        ASSERT_TRUE(edit.EditPushStep({InsertMarkerRecord(100, 7, "Intro")}));
        ASSERT_TRUE(edit.EditPushStep({Record(kStepInsert, 200, Plain(0, 100), 0, 2),
                                       Record(kStepInsert, 200, Plain(500, 600), 0, 2)}));
        ASSERT_TRUE(edit.EditPushStep({DeleteRecord(0, 50)}));
    }

    // The history after each save, from a run nobody interrupts.
    std::vector<Bytes> histories;
    {
        const std::string rehearsal = dir.File("Rehearsal.kdw");
        std::filesystem::copy_file(path, rehearsal);
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(rehearsal, false, false));
        histories.push_back(History(edit));
        for (size_t i = 0; i < kSaves; ++i) {
            ASSERT_EQ(ApplyOperation(edit, i), 0) << i;
            histories.push_back(History(edit));
        }
    }

    ScopedRecordingSink sink;
    std::mt19937 random(20240611);
    size_t saved = 0, kills = 0;
    for (int round = 0; saved < kSaves && round < 2000; ++round) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(report[0]);
            MakeSaves(path, saved, report[1]);
        }
        ::close(report[1]);
        kills += KillAtSystemCall(child, std::uniform_int_distribution<int>(1, 150)(random));
        size_t reported = saved, done = 0;
        while (::read(report[0], &done, sizeof done) == sizeof done) reported = done;
        ::close(report[0]);

        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, true)) << "round " << round;
        const Bytes now = History(edit);
        if (now == histories[reported]) {
            saved = reported;
        } else {
            ASSERT_TRUE(reported < kSaves && now == histories[reported + 1])
                << "after save " << reported << ", round " << round;
            saved = reported + 1;
        }
    }
    EXPECT_EQ(saved, kSaves);
    EXPECT_GT(kills, 20u);
    EXPECT_TRUE(sink.Texts().empty());
}

} // namespace
} // namespace tandrel::test
