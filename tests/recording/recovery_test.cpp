// Audio left behind by a recording that never finished is saved at the next start: in
// process for the cases that are hard to reach by accident, and by killing tandrel-cli in
// the middle of a recording.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "editing_test_support.h"
#include "library/library_account.h"
#include "library/new_edits.h"
#include "recording/recorder.h"
#include "recording/recording_journal.h"
#include "recording/recording_recovery.h"
#include "recording_test_support.h"

extern char** environ;

namespace tandrel::test {
namespace {

namespace fs = std::filesystem;

class Recovery : public RecordingTest
{
protected:
    /** A temporary Edit in the recording format holding `data` and no history, as a new
        recording leaves it when the program dies. */
    void LeaveTempEdit(const Bytes& data)
    {
        std::string path;
        std::unique_ptr<EditFile> edit = MakeTempEdit(path);
        ASSERT_NE(edit, nullptr);
        ASSERT_TRUE(edit->EditOpen(path, true, false));
        uint64_t done = 0;
        ASSERT_EQ(edit->EditBeginData(), 0);
        ASSERT_EQ(edit->EditWrite(data.data(), data.size(), done), 0);
        edit->EditClose();
    }
    std::string TempEdit() const { return library + "/KD4TempEdit.kdw"; }
    std::string NotePath() const { return library + "/KD4InsertRecording.txt"; }
};

TEST_F(Recovery, SavesANewRecordingCutShortAsAWholeEditOfCompleteFrames)
{
    const struct
    {
        const char* name;
        Bytes torn; // the last frame's write that never finished
    } cases[] = {{"ends on a frame", {}}, {"ends inside a frame", {1, 2, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.Clear();
        Bytes data = Input(0, kBytesPerSecond);
        data.insert(data.end(), c.torn.begin(), c.torn.end());
        LeaveTempEdit(data);

        const std::vector<std::string> made = RecoverInterruptedRecordings();
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(Render(made[0]), Input(0, kBytesPerSecond));
        EXPECT_FALSE(FileExists(TempEdit()));
        // Other programs read it as a WAV of exactly the recovered audio.
        const Bytes file = ReadAll(made[0]);
        EXPECT_EQ(file.size(), kAtData + kBytesPerSecond);
        EXPECT_EQ(Le32(file, 4), file.size() - 8) << "RIFF size";
        EXPECT_EQ(Le32(file, kAtDataSize), kBytesPerSecond) << "data chunk size";
        const std::string title = fs::path(made[0]).stem().string();
        EXPECT_TRUE(title.starts_with("Recovered recording ")) << title;
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].title, kRecoveredTitle);
        EXPECT_NE(messages.Messages()[0].text.find("\"" + title + "\""), std::string::npos);

        EXPECT_TRUE(RecoverInterruptedRecordings().empty()) << "nothing is recovered twice";
    }
}

TEST_F(Recovery, LeavesATemporaryEditWithoutAudioOrInUseAlone)
{
    LeaveTempEdit({});
    EXPECT_TRUE(RecoverInterruptedRecordings().empty());
    EXPECT_FALSE(FileExists(TempEdit())) << "an empty temporary Edit is cleared away";

    LeaveTempEdit(Input(0, kBytesPerSecond / 10));
    {
        EditFile holder; // another copy of the program recording right now
        ASSERT_TRUE(holder.EditOpen(TempEdit(), false, false));
        EXPECT_TRUE(RecoverInterruptedRecordings().empty());
        EXPECT_TRUE(FileExists(TempEdit()));
    }
    EXPECT_EQ(RecoverInterruptedRecordings().size(), 1u);
}

// Recovery and the main stream meet files they cannot read: each is left exactly as it was.
TEST_F(Recovery, LeavesFilesItCannotReadAsTheyAre)
{
    for (Unreadable kind : kUnreadableKinds) {
        SCOPED_TRACE(UnreadableName(kind));
        const std::string show = EditPath("show");
        const Bytes temp = WriteUnreadable(TempEdit(), kind);
        const Bytes edit = WriteUnreadable(show, kind);
        ASSERT_TRUE(WriteInsertRecordingNote({show, 1000}));
        EXPECT_TRUE(RecoverInterruptedRecordings().empty());
        EXPECT_NE(ManagerSetEdit(*main, show), 0);
        EXPECT_EQ(ReadAll(TempEdit()), temp);
        EXPECT_EQ(ReadAll(show), edit);
    }
}

TEST_F(Recovery, ANewRecordingSavesWhatAnEarlierOneLeftBehind)
{
    LeaveTempEdit(Input(0, kBytesPerSecond / 2));
    Recorder().presetTitle = "Next take";
    RecordCommand();
    ASSERT_EQ(CurrentRecordingKind(), kNewRecording);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].title, kRecoveredTitle);
    RecordBytes(kBytesPerSecond / 4);
    StopRecording();
    EXPECT_EQ(Render(EditPath("Next take")), Input(0, kBytesPerSecond / 4));
}

class InsertRecovery : public Recovery
{
protected:
    void SetUp() override
    {
        Recovery::SetUp();
        path = EditPath("show");
        ASSERT_TRUE(MakeEdit(path, {2, kRate, 16}, kBytesPerSecond, kBytesPerSecond));
        original = Render(path);
    }
    std::string path;
    Bytes original;
};

TEST_F(InsertRecovery, OffersTheAppendedAudioAsAnEditAndCutsItOffTheOriginal)
{
    ASSERT_EQ(ManagerSetEdit(*main, path), 0);
    const std::vector<EditRecord> history = History(main->reader->edit);
    InsertRecordCommand();
    ASSERT_EQ(CurrentRecordingKind(), kInsertRecording);
    ASSERT_TRUE(FileExists(NotePath()));
    RecordBytes(kBytesPerSecond / 2);
    // The program dies: nothing is stopped, the Edit is let go as it is.
    main->reader->edit.EditClose();
    main.reset();
    Recorder() = RecorderState();

    const std::vector<std::string> made = RecoverInterruptedRecordings();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_TRUE(fs::path(made[0]).stem().string().starts_with("Recovered insert recording "));
    EXPECT_EQ(Render(made[0]), Input(0, kBytesPerSecond / 2));
    EXPECT_EQ(Render(path), original);
    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(path, false, true));
    EXPECT_EQ(edit.EditDataLength(), kBytesPerSecond);
    EXPECT_TRUE(SameRecords(History(edit), history));
    EXPECT_FALSE(FileExists(NotePath()));
}

TEST_F(InsertRecovery, ForgetsANoteWhoseRecordingMadeItIntoTheHistory)
{
    ASSERT_EQ(ManagerSetEdit(*main, path), 0);
    InsertRecordCommand();
    RecordBytes(kBytesPerSecond / 4);
    InsertRecordCommand();
    main->Close();
    const uint64_t size = FileSize(path);
    // The program died after the step was saved but before the note was removed.
    ASSERT_TRUE(WriteInsertRecordingNote({path, kBytesPerSecond}));

    EXPECT_TRUE(RecoverInterruptedRecordings().empty());
    EXPECT_FALSE(FileExists(NotePath()));
    EXPECT_EQ(FileSize(path), size);
    EXPECT_EQ(Render(path).size(), kBytesPerSecond + kBytesPerSecond / 4);
}

TEST_F(InsertRecovery, ReadsOnlyWholeNotes)
{
    const InsertRecordingNote note{"/music/a show\nwith a line break.kdw", 123456};
    ASSERT_TRUE(WriteInsertRecordingNote(note));
    const std::optional<InsertRecordingNote> read = ReadInsertRecordingNote();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->editPath, note.editPath);
    EXPECT_EQ(read->committedDataLength, note.committedDataLength);

    const Bytes written = ReadAll(NotePath());
    const std::string good(written.begin(), written.end());
    ASSERT_FALSE(good.empty());
    const struct
    {
        const char* name;
        std::string text;
    } damaged[] = {
        {"empty", ""},
        {"cut short", good.substr(0, good.size() - 3)},
        {"other first line", "Tandrel insert recording 2" + good.substr(good.find('\n'))},
        {"path longer than the note", "Tandrel insert recording 1\npath 99999\n/x\ncommitted 1\n"},
        {"number with letters", "Tandrel insert recording 1\npath 2\n/x\ncommitted 12a\n"},
        {"number too large", "Tandrel insert recording 1\npath 2\n/x\ncommitted 99999999999999999999999\n"},
        {"bytes after the end", good + "x"},
    };
    for (const auto& c : damaged) {
        SCOPED_TRACE(c.name);
        WriteAll(NotePath(), Bytes(c.text.begin(), c.text.end()));
        EXPECT_FALSE(ReadInsertRecordingNote().has_value());
        EXPECT_FALSE(FileExists(NotePath())) << "a damaged note is removed";
    }
    ASSERT_TRUE(WriteInsertRecordingNote({dir.File("gone.kdw"), 10}));
    EXPECT_TRUE(RecoverInterruptedRecordings().empty());
    EXPECT_FALSE(FileExists(NotePath())) << "a note about an Edit that is gone is removed";
}

// --- Killing tandrel-cli in the middle of a recording ------------------------------------------

class KilledRecording : public Recovery
{
protected:
    /** Starts tandrel-cli with `args` on the real-time File device reading the input. */
    pid_t Start(std::vector<std::string> args)
    {
        setenv("TANDREL_AUDIO", ("file:in=" + dir.File("input.wav")).c_str(), 1);
        args.insert(args.begin(), TANDREL_CLI_PATH);
        args.push_back("--storage");
        args.push_back(dir.File("storage"));
        std::vector<char*> argv;
        for (std::string& word : args) argv.push_back(word.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawn(&pid, TANDREL_CLI_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        return spawned == 0 ? pid : -1;
    }
    /** Waits until `file` has grown past `bytes`, then kills `pid` outright. */
    void KillOnceGrown(pid_t pid, const std::string& file, uint64_t bytes)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while ((!FileExists(file) || FileSize(file) < bytes) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_GE(FileExists(file) ? FileSize(file) : 0, bytes) << "the recording never got going";
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    /** `tandrel-cli recover`: the paths it reports. */
    std::vector<std::string> RecoverWithTheTool()
    {
        const std::string out = dir.File("recover.txt");
        const std::string command = std::string("'") + TANDREL_CLI_PATH + "' recover --storage '" +
                                    dir.File("storage") + "' >'" + out + "' 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        std::vector<std::string> paths;
        std::ifstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.starts_with("recovered ")) paths.push_back(line.substr(10));
        return paths;
    }
};

TEST_F(KilledRecording, NewRecordingIsRecoveredUpToWhereItDied)
{
    const pid_t pid = Start({"record", "Cut short"});
    ASSERT_GT(pid, 0);
    KillOnceGrown(pid, TempEdit(), kDataOffset + kBytesPerSecond);
    EXPECT_FALSE(FileExists(EditPath("Cut short")));

    const std::vector<std::string> made = RecoverWithTheTool();
    ASSERT_EQ(made.size(), 1u);
    const Bytes recovered = Render(made[0]);
    EXPECT_GE(recovered.size(), kBytesPerSecond);
    EXPECT_EQ(recovered.size() % kFrameBytes, 0u);
    EXPECT_TRUE(recovered == Input(0, recovered.size())) << "the recovered audio is the input from its start";
}

TEST_F(KilledRecording, InsertRecordingLeavesTheEditAsItWasAndOffersTheAudio)
{
    const std::string path = EditPath("show");
    ASSERT_TRUE(MakeEdit(path, {2, kRate, 16}, kBytesPerSecond, kBytesPerSecond));
    const Bytes original = Render(path);
    const uint64_t size = FileSize(path);

    const pid_t pid = Start({"record", "--insert-into", "show", "--at", "0"});
    ASSERT_GT(pid, 0);
    KillOnceGrown(pid, path, size + kBytesPerSecond);

    const std::vector<std::string> made = RecoverWithTheTool();
    ASSERT_EQ(made.size(), 1u);
    const Bytes recovered = Render(made[0]);
    EXPECT_GE(recovered.size(), kBytesPerSecond);
    EXPECT_TRUE(recovered == Input(0, recovered.size()));
    EXPECT_EQ(FileSize(path), size);
    EXPECT_EQ(Render(path), original);
}

} // namespace
} // namespace tandrel::test
