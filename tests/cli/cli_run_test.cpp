// Runs the real tandrel-cli binary against Edits made here through the library, and reads
// what it prints.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/recording_sink.h"
#include "cli_runner.h"
#include "edit/edit_file.h"

namespace tandrel::cli {
namespace {

std::optional<uint64_t> U64(const JsonValue& value) { return value.U64(); }

TEST_F(CliTest, HelpGoesToStdoutAndWrongCommandsToStderr)
{
    struct Case
    {
        std::vector<std::string> args;
        int status;
        bool usageOnStdout;
    };
    const Case cases[] = {
        {{"--help"}, 0, true},
        {{}, 2, false},
        {{"frobnicate"}, 2, false},
        {{"edit"}, 2, false},
        {{"edit", "erase", "x.kdw"}, 2, false},
        {{"--help", "extra"}, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(no words)" : c.args[0] + " ...");
        const RunResult run = Run(c.args);
        EXPECT_EQ(run.status, c.status);
        const std::string& usage = c.usageOnStdout ? run.out : run.err;
        const std::string& other = c.usageOnStdout ? run.err : run.out;
        EXPECT_NE(usage.find("edit new FILE.kdw --rate R --bits B --channels C"), std::string::npos)
            << usage;
        EXPECT_NE(usage.find("edit info FILE.kdw [--master]"), std::string::npos);
        EXPECT_EQ(other, "");
    }
}

TEST_F(CliTest, NewThenInfoDescribesAnEmptyEdit)
{
    const std::string path = PathOf("new.kdw");
    const RunResult made = Run({"edit", "new", path, "--rate", "1", "--bits", "8", "--channels", "1"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out + made.err, "");
    EXPECT_EQ(fs::file_size(path), kDataOffset);

    RunResult run;
    const JsonValue info = Info(path, run);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(U64(info["format"]["channels"]), 1u);
    EXPECT_EQ(U64(info["format"]["sampleRate"]), 1u);
    EXPECT_EQ(U64(info["format"]["bitsPerSample"]), 8u);
    const JsonValue& header = info["header"];
    EXPECT_EQ(U64(header["version"]), 5u);
    EXPECT_EQ(header["length"].Size(), 3u);
    EXPECT_EQ(U64(header["masterCursor"]), 0u);
    for (const char* mark : {"leftMark", "rightMark", "masterLeftMark", "masterRightMark"})
        EXPECT_TRUE(header.Has(mark) && header[mark].IsNull()) << mark;
    EXPECT_EQ(info["undo"].kind, JsonValue::Kind::Array);
    EXPECT_EQ(info["undo"].Size() + info["redo"].Size(), 0u);
    const JsonValue& replay = info["replay"];
    EXPECT_EQ(replay["ok"].kind, JsonValue::Kind::Bool);
    EXPECT_TRUE(replay["ok"].boolean);
    EXPECT_EQ(U64(replay["length"]), 0u);
    EXPECT_EQ(replay["segments"].kind, JsonValue::Kind::Array);
    EXPECT_EQ(replay["markers"].Size(), 0u);
}

TEST_F(CliTest, BadArgumentsFailAndCreateNothing)
{
    struct Case
    {
        std::vector<std::string> options;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"--rate", "0", "--bits", "16", "--channels", "2"}, 1, "--rate must be 1 to 768000"},
        {{"--rate", "768001", "--bits", "16", "--channels", "2"}, 1, "--rate"},
        {{"--rate", "44100", "--bits", "12", "--channels", "2"}, 1, "--bits must be 8 or 16"},
        {{"--rate", "44100", "--bits", "16", "--channels", "0"}, 1, "--channels must be 1 or 2"},
        {{"--rate", "44100", "--bits", "16", "--channels", "3"}, 1, "--channels"},
        {{"--rate", "44100", "--bits", "16"}, 2, "--channels is required"},
        {{"--bits", "16", "--channels", "2"}, 2, "--rate is required"},
        {{"--rate", "44100", "--bits", "16", "--channels", "2", "--loud"}, 2, "unknown option"},
    };
    const std::string path = PathOf("never.kdw");
    for (const Case& c : cases) {
        std::vector<std::string> args{"edit", "new", path};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::string joined;
        for (const std::string& o : c.options) joined += o + " ";
        SCOPED_TRACE(joined);
        const RunResult run = Run(args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(path));
    }

    const RunResult noFile = Run({"edit", "new", "--rate", "8000", "--bits", "8", "--channels", "1"});
    EXPECT_EQ(noFile.status, 2);
    const RunResult twoFiles = Run({"edit", "info", PathOf("a.kdw"), PathOf("b.kdw")});
    EXPECT_EQ(twoFiles.status, 2);
    const RunResult unknownSwitch = Run({"edit", "info", PathOf("a.kdw"), "--normal"});
    EXPECT_EQ(unknownSwitch.status, 2);
}

TEST_F(CliTest, NewRefusesAnExistingFileAndLeavesItAlone)
{
    const std::string path = PathOf("taken.kdw");
    {
        std::ofstream(path) << "precious";
    }
    const RunResult run =
        Run({"edit", "new", path, "--rate", "44100", "--bits", "16", "--channels", "2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("edit new: " + path + " already exists"), std::string::npos) << run.err;
    EXPECT_EQ(ReadWhole(path), "precious");
}

// The records, segments and markers as printed; which list a history replays to is the
// Edit tests' concern.
TEST_F(CliTest, InfoPrintsTheRecordsAndTheReplayedList)
{
    const std::string path = PathOf("built.kdw");
    const std::string rawName = std::string("Intro \"A\"\n\x01\xff", 12);
    const std::string shownName = "Intro \"A\"\n\x01\xef\xbf\xbd";
    const uint64_t farPosition = 0xFFFFFFFFFFFFFFF0ull; // past the end: replay skips it
    uint32_t id = 0;
    {
        EditFile edit;
        ASSERT_TRUE(CreateWithAudio(edit, path, 176400));
        id = edit.EditNewMarkerId();
        ASSERT_TRUE(edit.EditPushStep(kStepInsertMarker, 4000, EditSegment::LiveMarker(id), 0, rawName));
        ASSERT_TRUE(edit.EditPushStep(kStepInsert, farPosition, EditSegment::Audio(0, 4)));
        ASSERT_TRUE(edit.EditPushStep(kStepDelete, 0, EditSegment::Audio(0, 400)));
        ASSERT_EQ(edit.EditUndo(), 0);
        edit.EditSetMarks({1000, 400, kNoPosition});
        // A record of type 0 is dropped on load: the header's count still has it, the output not.
        edit.undo.push_back(edit.undo.back());
        edit.undo.back().type = 0;
        ASSERT_EQ(edit.EditSave(), 0);
        edit.EditClose();
    }
    RunResult run;
    const JsonValue info = Info(path, run);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(U64(info["dataLength"]), 176400u);
    const JsonValue& header = info["header"];
    EXPECT_EQ(U64(header["undoCount"]), 3u);
    EXPECT_EQ(U64(header["redoCount"]), 1u);
    EXPECT_EQ(U64(header["cursor"]), 1000u);
    EXPECT_EQ(U64(header["leftMark"]), 400u);
    EXPECT_TRUE(header["rightMark"].IsNull());
    EXPECT_EQ(U64(header["length"][0]), 100u);

    const JsonValue& undo = info["undo"];
    ASSERT_EQ(undo.Size(), 3u);
    EXPECT_EQ(U64(undo[0]["flags"]), uint64_t(kRecordBaseStep));
    EXPECT_TRUE(undo[0]["name"].IsNull());
    EXPECT_EQ(U64(undo[1]["groupSize"]), 1u);
    EXPECT_EQ(U64(undo[1]["type"]), uint64_t(kStepInsertMarker));
    EXPECT_EQ(U64(undo[1]["position"]), 4000u);
    EXPECT_EQ(undo[1]["name"].text, shownName);
    EXPECT_EQ(U64(undo[1]["segment"]["markerId"]), id);
    EXPECT_EQ(U64(undo[1]["segment"]["channel"][0]["treatFlags"]), rawName.size());
    EXPECT_EQ(U64(undo[2]["position"]), farPosition);
    EXPECT_EQ(U64(undo[2]["segment"]["dataEnd"]), 4u);
    EXPECT_FALSE(undo[2]["segment"].Has("markerId"));
    EXPECT_EQ(U64(info["redo"][0]["type"]), uint64_t(kStepDelete));

    const JsonValue& replay = info["replay"];
    EXPECT_TRUE(replay["ok"].boolean);
    EXPECT_EQ(U64(replay["length"]), 176400u);
    const JsonValue& segments = replay["segments"];
    ASSERT_EQ(segments.Size(), 3u);
    EXPECT_EQ(U64(segments[0]["dataEnd"]), 4000u);
    EXPECT_EQ(U64(segments[1]["markerId"]), id);
    EXPECT_EQ(U64(segments[1]["markerFlags"]), uint64_t(kMarkerLive));
    EXPECT_EQ(U64(segments[2]["dataStart"]), 4000u);
    EXPECT_EQ(segments[2]["channel"].Size(), 2u);
    ASSERT_EQ(replay["markers"].Size(), 1u);
    EXPECT_EQ(U64(replay["markers"][0]["position"]), 4000u);
    EXPECT_EQ(U64(replay["markers"][0]["markerId"]), id);
    EXPECT_EQ(replay["markers"][0]["name"].text, shownName);
}

TEST_F(CliTest, MasterSwitchShowsOnlyTheFirstStepAndBothMarkTriples)
{
    const std::string path = PathOf("master.kdw");
    {
        EditFile edit;
        ASSERT_TRUE(CreateWithAudio(edit, path, 40000, 1, 8000, 16));
        ASSERT_TRUE(edit.EditPushStep(kStepDelete, 100, EditSegment::Audio(100, 1100)));
        edit.EditSetMarks({20, 2, kNoPosition});
        edit.EditSetMasterMode(true);
        edit.EditSetMarks({8, 0, 400});
        edit.EditSetMasterMode(false);
        edit.EditClose();
    }
    for (bool master : {false, true}) {
        SCOPED_TRACE(master ? "master" : "normal");
        RunResult run;
        const JsonValue info = Info(path, run, master);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(U64(info["replay"]["length"]), master ? 40000u : 39000u);
        EXPECT_EQ(U64(info["header"]["cursor"]), 20u);
        EXPECT_EQ(U64(info["header"]["masterCursor"]), 8u);
        EXPECT_EQ(U64(info["header"]["masterRightMark"]), 400u);
        EXPECT_EQ(U64(info["header"]["undoCount"]), 2u);
    }
}

TEST_F(CliTest, CorruptLayoutExitsOneWithTheParseMessage)
{
    const std::string path = PathOf("corrupt.kdw");
    {
        EditFile edit;
        ASSERT_TRUE(CreateWithAudio(edit, path, 400));
        edit.EditClose();
    }
    fs::resize_file(path, 4000);
    const RunResult run = Run({"edit", "info", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Tandrel Error: EditOpen (5): Error parsing header in file corrupt.kdw."),
              std::string::npos)
        << run.err;
    // The library's message says it all; no second explanation follows.
    EXPECT_EQ(run.err.find("edit info:"), std::string::npos) << run.err;
}

TEST_F(CliTest, FailedReplayStillPrintsTheStateAndExitsOne)
{
    const std::string path = PathOf("overlong.kdw");
    {
        EditFile edit;
        ASSERT_TRUE(CreateWithAudio(edit, path, 1000));
        ASSERT_TRUE(edit.EditPushStep(kStepDelete, 0, EditSegment::Audio(0, 5000)));
        edit.EditClose();
    }
    RunResult run;
    const JsonValue info = Info(path, run);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("SyncEdit: error parsing type 2"), std::string::npos) << run.err;
    EXPECT_EQ(info["replay"]["ok"].kind, JsonValue::Kind::Bool);
    EXPECT_FALSE(info["replay"]["ok"].boolean);
    EXPECT_EQ(U64(info["header"]["undoCount"]), 2u);
    // The message is shown once, not again for the check of the replay.
    const std::string message = "SyncEdit: error parsing type 2";
    EXPECT_EQ(run.err.find(message), run.err.rfind(message));
}

TEST_F(CliTest, InfoExplainsAFileItCannotOpen)
{
    const std::string missing = PathOf("missing.kdw");
    RunResult run = Run({"edit", "info", missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("edit info: cannot open " + missing + ": " + std::strerror(ENOENT)),
              std::string::npos)
        << run.err;
}

} // namespace
} // namespace tandrel::cli
