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
    struct Case
    {
        uint32_t rate, bits, channels;
    };
    const Case cases[] = {{44100, 16, 2}, {1, 8, 1}};
    for (const Case& c : cases) {
        const std::string path = PathOf("new-" + std::to_string(c.rate) + ".kdw");
        SCOPED_TRACE(path);
        const RunResult made = Run({"edit", "new", path, "--rate", std::to_string(c.rate),
                                    "--bits", std::to_string(c.bits), "--channels",
                                    std::to_string(c.channels)});
        ASSERT_EQ(made.status, 0) << made.err;
        EXPECT_EQ(made.out + made.err, "");
        EXPECT_EQ(fs::file_size(path), kDataOffset);

        RunResult run;
        const JsonValue info = Info(path, run);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(U64(info["format"]["channels"]), c.channels);
        EXPECT_EQ(U64(info["format"]["sampleRate"]), c.rate);
        EXPECT_EQ(U64(info["format"]["bitsPerSample"]), c.bits);
        EXPECT_EQ(U64(info["dataLength"]), 0u);
        const JsonValue& header = info["header"];
        EXPECT_EQ(U64(header["version"]), 5u);
        ASSERT_EQ(header["length"].Size(), 3u);
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(U64(header["length"][i]), 0u);
        EXPECT_EQ(U64(header["cursor"]), 0u);
        EXPECT_EQ(U64(header["masterCursor"]), 0u);
        for (const char* mark : {"leftMark", "rightMark", "masterLeftMark", "masterRightMark"}) {
            EXPECT_TRUE(header.Has(mark)) << mark;
            EXPECT_TRUE(header[mark].IsNull()) << mark;
        }
        EXPECT_EQ(U64(header["undoCount"]), 0u);
        EXPECT_EQ(U64(header["redoCount"]), 0u);
        EXPECT_EQ(info["undo"].kind, JsonValue::Kind::Array);
        EXPECT_EQ(info["undo"].Size(), 0u);
        EXPECT_EQ(info["redo"].Size(), 0u);
        const JsonValue& replay = info["replay"];
        EXPECT_EQ(replay["ok"].kind, JsonValue::Kind::Bool);
        EXPECT_TRUE(replay["ok"].boolean);
        EXPECT_EQ(U64(replay["length"]), 0u);
        EXPECT_EQ(replay["segments"].kind, JsonValue::Kind::Array);
        EXPECT_EQ(replay["segments"].Size(), 0u);
        EXPECT_EQ(replay["markers"].Size(), 0u);
    }
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

TEST_F(CliTest, InfoShowsTheHistoryAndReplayOfAnEditBuiltThroughTheLibrary)
{
    const std::string path = PathOf("built.kdw");
    const uint64_t audioBytes = 176400; // one second of 44.1 kHz 16-bit stereo
    const std::string rawName = std::string("Intro \"A\"\n\x01\xff", 12);
    const std::string shownName = "Intro \"A\"\n\x01\xef\xbf\xbd";
    const uint64_t farPosition = 0xFFFFFFFFFFFFFFF0ull; // past the end: replay skips it
    uint32_t namedId = 0, plainId = 0;
    {
        EditFile edit;
        ASSERT_TRUE(CreateWithAudio(edit, path, audioBytes));
        namedId = edit.EditNewMarkerId();
        ASSERT_TRUE(edit.EditPushStep(kStepInsertMarker, 4000, EditSegment::LiveMarker(namedId), 0, rawName));
        ASSERT_TRUE(edit.EditPushStep(kStepDelete, 40000, EditSegment::Audio(40000, 80000)));
        plainId = edit.EditNewMarkerId();
        ASSERT_NE(plainId, namedId);
        ASSERT_TRUE(edit.EditPushStep(kStepInsertMarker, 100000, EditSegment::LiveMarker(plainId)));
        ASSERT_TRUE(edit.EditPushStep(kStepInsert, farPosition, EditSegment::Audio(0, 4)));
        EditSegment silence = EditSegment::Audio(0, 400);
        silence.channel[0].source = silence.channel[1].source = kSourceSilence;
        ASSERT_TRUE(edit.EditPushStep(kStepSilence, 0, silence));
        ASSERT_EQ(edit.EditUndo(), 0);
        edit.EditSetMarks({1000, 400, kNoPosition});
        edit.EditClose();
    }

    RunResult run;
    const JsonValue info = Info(path, run);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(U64(info["dataLength"]), audioBytes);

    const JsonValue& header = info["header"];
    EXPECT_EQ(U64(header["undoCount"]), 5u);
    EXPECT_EQ(U64(header["redoCount"]), 1u);
    EXPECT_EQ(U64(header["cursor"]), 1000u);
    EXPECT_EQ(U64(header["leftMark"]), 400u);
    EXPECT_TRUE(header["rightMark"].IsNull());
    EXPECT_TRUE(header["masterLeftMark"].IsNull());
    const uint64_t replayedLength = audioBytes - 40000;
    EXPECT_EQ(U64(header["length"][0]), replayedLength * 100 / 176400);

    const JsonValue& undo = info["undo"];
    ASSERT_EQ(undo.Size(), 5u);
    struct Expected
    {
        uint64_t type, position, flags;
        std::optional<std::string> name; // nullopt: null in the output
    };
    const Expected records[] = {
        {kStepInsert, 0, kRecordBaseStep, std::nullopt},
        {kStepInsertMarker, 4000, 0, shownName},
        {kStepDelete, 40000, 0, std::nullopt},
        {kStepInsertMarker, 100000, 0, std::string()},
        {kStepInsert, farPosition, 0, std::nullopt},
    };
    for (size_t i = 0; i < std::size(records); ++i) {
        SCOPED_TRACE("undo record " + std::to_string(i));
        EXPECT_EQ(U64(undo[i]["groupSize"]), 1u);
        EXPECT_EQ(U64(undo[i]["type"]), records[i].type);
        EXPECT_EQ(U64(undo[i]["position"]), records[i].position);
        EXPECT_EQ(U64(undo[i]["flags"]), records[i].flags);
        ASSERT_TRUE(undo[i].Has("name"));
        if (records[i].name) {
            EXPECT_EQ(undo[i]["name"].kind, JsonValue::Kind::String);
            EXPECT_EQ(undo[i]["name"].text, *records[i].name);
        } else {
            EXPECT_TRUE(undo[i]["name"].IsNull());
        }
    }
    EXPECT_EQ(U64(undo[1]["segment"]["markerId"]), namedId);
    EXPECT_EQ(U64(undo[1]["segment"]["channel"][0]["treatFlags"]), rawName.size());
    EXPECT_EQ(U64(undo[2]["segment"]["dataEnd"]), 80000u);
    EXPECT_FALSE(undo[2]["segment"].Has("markerId"));
    ASSERT_EQ(info["redo"].Size(), 1u);
    EXPECT_EQ(U64(info["redo"][0]["type"]), uint64_t(kStepSilence));
    EXPECT_EQ(U64(info["redo"][0]["segment"]["channel"][1]["source"]), kSourceSilence);

    const JsonValue& replay = info["replay"];
    EXPECT_TRUE(replay["ok"].boolean);
    EXPECT_EQ(U64(replay["length"]), replayedLength);
    // The named marker splits the audio at 4000, the delete cuts [40000, 80000) out, and
    // the second marker lands 60000 bytes into what follows, at data offset 140000. Marker
    // segments keep the empty data range they were pushed with.
    struct Piece
    {
        uint64_t start, end;
        uint32_t markerId;
    };
    const Piece pieces[] = {{0, 4000, 0},       {0, 0, namedId},    {4000, 40000, 0},
                            {80000, 140000, 0}, {0, 0, plainId},    {140000, 176400, 0}};
    const JsonValue& segments = replay["segments"];
    ASSERT_EQ(segments.Size(), std::size(pieces));
    for (size_t i = 0; i < std::size(pieces); ++i) {
        SCOPED_TRACE("segment " + std::to_string(i));
        EXPECT_EQ(U64(segments[i]["dataStart"]), pieces[i].start);
        EXPECT_EQ(U64(segments[i]["dataEnd"]), pieces[i].end);
        EXPECT_EQ(segments[i]["channel"].Size(), 2u);
        if (pieces[i].markerId != 0) {
            EXPECT_EQ(U64(segments[i]["markerId"]), pieces[i].markerId);
            EXPECT_EQ(U64(segments[i]["markerFlags"]), uint64_t(kMarkerLive));
        } else {
            EXPECT_FALSE(segments[i].Has("markerId"));
        }
    }
    const JsonValue& markers = replay["markers"];
    ASSERT_EQ(markers.Size(), 2u);
    EXPECT_EQ(U64(markers[0]["position"]), 4000u);
    EXPECT_EQ(U64(markers[0]["markerId"]), namedId);
    EXPECT_EQ(markers[0]["name"].text, shownName);
    EXPECT_EQ(U64(markers[1]["position"]), 100000u);
    EXPECT_EQ(U64(markers[1]["markerId"]), plainId);
    EXPECT_EQ(markers[1]["name"].kind, JsonValue::Kind::String);
    EXPECT_EQ(markers[1]["name"].text, "");
}

TEST_F(CliTest, CountsAreOfTheRecordsLoadedNotOfTheHeaderFields)
{
    // A record of type 0 is dropped on load, and so is a step whose audio lies past the end
    // of the data: the header still counts them, the output must not.
    struct Case
    {
        const char* what;
        uint32_t patchedType; // written over the second record's type
        uint64_t expectedUndo;
    };
    const Case cases[] = {{"type 0 dropped", 0, 1}, {"type 2 kept", kStepDelete, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = PathOf("counts.kdw");
        fs::remove(path);
        {
            EditFile edit;
            ASSERT_TRUE(CreateWithAudio(edit, path, 4000));
            ASSERT_TRUE(edit.EditPushStep(kStepInsert, 0, EditSegment::Audio(0, 400)));
            edit.EditClose();
        }
        {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(std::streamoff(kProgramOffset + kHeaderSize + kRecordSize + 4));
            const char type[4] = {char(c.patchedType), 0, 0, 0};
            file.write(type, 4);
        }
        RunResult run;
        const JsonValue info = Info(path, run);
        EXPECT_EQ(U64(info["header"]["undoCount"]), c.expectedUndo);
        EXPECT_EQ(info["undo"].Size(), c.expectedUndo);
    }
}

TEST_F(CliTest, MasterSwitchShowsOnlyTheFirstStepAndItsMarks)
{
    const std::string path = PathOf("master.kdw");
    const uint64_t audioBytes = 40000;
    {
        EditFile edit;
        ASSERT_TRUE(CreateWithAudio(edit, path, audioBytes, 1, 8000, 16));
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(edit.EditPushStep(kStepDelete, 100, EditSegment::Audio(100, 1100)));
        edit.EditSetMarks({20, 2, kNoPosition});
        edit.EditSetMasterMode(true);
        edit.EditSetMarks({8, 0, 400});
        edit.EditSetMasterMode(false);
        edit.EditClose();
    }
    struct Case
    {
        bool master;
        uint64_t length;
        size_t segments;
    };
    const Case cases[] = {{false, audioBytes - 3000, 2}, {true, audioBytes, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.master ? "master" : "normal");
        RunResult run;
        const JsonValue info = Info(path, run, c.master);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(U64(info["replay"]["length"]), c.length);
        EXPECT_EQ(info["replay"]["segments"].Size(), c.segments);
        // Both triples are shown either way; Master view leaves the undo list whole.
        EXPECT_EQ(U64(info["header"]["cursor"]), 20u);
        EXPECT_EQ(U64(info["header"]["leftMark"]), 2u);
        EXPECT_EQ(U64(info["header"]["masterCursor"]), 8u);
        EXPECT_EQ(U64(info["header"]["masterLeftMark"]), 0u);
        EXPECT_EQ(U64(info["header"]["masterRightMark"]), 400u);
        EXPECT_EQ(U64(info["header"]["undoCount"]), 4u);
    }
}

TEST_F(CliTest, CorruptLayoutExitsOneWithTheParseMessage)
{
    // Which damage the Edit reader refuses is its own tests' and the fuzzer's concern; here a
    // damaged field and a cut file show how the tool reports the refusal.
    struct Case
    {
        const char* what;
        uint64_t offset; // where the bytes go; ~0 cuts the file to `cutTo` instead
        std::string bytes;
        uint64_t cutTo;
    };
    const Case cases[] = {
        {"fmt chunk size 16", 16, std::string("\x10\0\0\0", 4), 0},
        {"cut inside the program chunk", ~0ull, "", 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "corrupt.kdw";
        const std::string path = PathOf(name);
        fs::remove(path);
        {
            EditFile edit;
            ASSERT_TRUE(CreateWithAudio(edit, path, 400));
            edit.EditClose();
        }
        if (c.offset == ~0ull) {
            fs::resize_file(path, c.cutTo);
        } else {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(std::streamoff(c.offset));
            file.write(c.bytes.data(), std::streamsize(c.bytes.size()));
        }
        const RunResult run = Run({"edit", "info", path});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("Tandrel Error: EditOpen (5): Error parsing header in file " +
                               name + "."),
                  std::string::npos)
            << run.err;
        // The library's message says it all; no second explanation follows.
        EXPECT_EQ(run.err.find("edit info:"), std::string::npos) << run.err;
    }
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

    // An Edit held open by someone else is locked against a second opener.
    const std::string held = PathOf("held.kdw");
    EditFile holder;
    ASSERT_TRUE(CreateWithAudio(holder, held, 400));
    run = Run({"edit", "info", held});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("edit info: cannot open " + held), std::string::npos) << run.err;
    holder.EditClose();

    run = Run({"edit", "info", held});
    EXPECT_EQ(run.status, 0) << run.err;
}

} // namespace
} // namespace tandrel::cli
