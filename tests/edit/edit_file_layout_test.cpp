// The bytes of a newly created Edit, read back with plain file access, and the creation
// failures.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/file_names.h"
#include "base/recording_sink.h"
#include "edit/edit_file.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

class NewEditLayout : public ::testing::TestWithParam<Format>
{
protected:
    TempDir dir;
};

TEST_P(NewEditLayout, FileHoldsEveryFieldAtItsOffset)
{
    const Format f = GetParam();
    const std::string path = dir.File("new.kdw");
    ScopedRecordingSink sink;
    {
        EditFile edit;
        edit.channels = f.channels;
        edit.sampleRate = f.rate;
        edit.bitsPerSample = f.bits;
        ASSERT_TRUE(edit.EditOpen(path, true, false));
        EXPECT_EQ(edit.EditDataLength(), 0u);
        edit.EditClose();
    }
    const Bytes b = ReadAll(path);
    ASSERT_EQ(b.size(), 524342u);

    EXPECT_EQ(Id4(b, 0), "RIFF");
    EXPECT_EQ(Le32(b, 4), 524334u);
    EXPECT_EQ(Id4(b, 8), "WAVE");
    EXPECT_EQ(Id4(b, 12), "fmt ");
    EXPECT_EQ(Le32(b, 16), 18u);
    EXPECT_EQ(Le16(b, 20), 1u);
    EXPECT_EQ(Le16(b, 22), f.channels);
    EXPECT_EQ(Le32(b, 24), f.rate);
    EXPECT_EQ(Le32(b, 28), f.BytesPerSecond());
    EXPECT_EQ(Le16(b, 32), f.BlockAlign());
    EXPECT_EQ(Le16(b, 34), f.bits);
    EXPECT_EQ(Le16(b, 36), 0u);
    EXPECT_EQ(Id4(b, 38), "KDed");
    EXPECT_EQ(Le32(b, 42), 524288u);

    // The header of a new Edit: version 5, no lengths, cursors at 0, every mark unset.
    EXPECT_EQ(Le32(b, 46), 5u);
    for (size_t at = 50; at < 70; at += 4) EXPECT_EQ(Le32(b, at), 0u) << "offset " << at;
    for (size_t at = 46 + 24; at < 46 + 72; at += 8)
        EXPECT_EQ(Le64(b, at), (at - 70) % 24 == 0 ? 0u : ~uint64_t{0}) << "offset " << at; // cursors 0, marks unset
    EXPECT_EQ(Le16(b, 46 + 72), 0u);
    EXPECT_EQ(Le16(b, 46 + 74), 0u);
    EXPECT_EQ(Le32(b, 46 + 76), 0u);

    // Nothing was written into the rest of the program chunk.
    size_t firstNonZero = 0;
    for (size_t at = kAtRecords; at < kAtDataId && !firstNonZero; ++at)
        if (b[at]) firstNonZero = at;
    EXPECT_EQ(firstNonZero, 0u);

    EXPECT_EQ(Id4(b, 524334), "data");
    EXPECT_EQ(Le32(b, 524338), 0u);
    EXPECT_TRUE(sink.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, NewEditLayout,
                         ::testing::Values(Format{1, 8000, 8}, Format{2, 44100, 16},
                                           Format{1, 22050, 16}, Format{2, 11025, 8}));

TEST(EditHeaderFields, MarksLengthsAndCountsLandAtTheirOffsets)
{
    TempDir dir;
    const std::string path = dir.File("marks.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 100, 100));
    {
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        edit.EditSetMarks({11, 22, 33});
        edit.EditSetLength(0x01020304, 1);
        edit.EditSetLength(0x0A0B0C0D, 2);
        edit.EditSetMasterMode(true);
        EXPECT_EQ(edit.EditGetMarks(), MarkTriple{});
        edit.EditSetMarks({44, 55, 66});
        edit.EditSetLength(999, 1); // ignored in Master view
        EXPECT_EQ(edit.EditGetLength(1), 0x01020304u);
        edit.EditSetMasterMode(false);
        EXPECT_EQ(edit.EditGetMarks(), (MarkTriple{11, 22, 33}));
        ASSERT_EQ(edit.EditSave(), 0);
        edit.EditClose();
    }
    const Bytes b = ReadAll(path);
    EXPECT_EQ(Le32(b, 46), 5u);
    EXPECT_EQ(Le32(b, 46 + 16), 0x01020304u);
    EXPECT_EQ(Le32(b, 46 + 20), 0x0A0B0C0Du);
    for (uint64_t i = 0; i < 6; ++i) EXPECT_EQ(Le64(b, 46 + 24 + 8 * i), 11 * (i + 1)) << i;
    EXPECT_EQ(Le16(b, 46 + 72), 1u);
    EXPECT_EQ(Le16(b, 46 + 74), 0u);
    // The base step sits right behind the header.
    const EditRecord base = DecodeRecord(b, kAtRecords);
    EXPECT_EQ(base.groupSize, 1u);
    EXPECT_EQ(base.type, 1u);
    EXPECT_EQ(base.flags, kRecordBaseStep);
    EXPECT_EQ(base.segment, Plain(0, 100));
}

TEST(EditHeaderFields, LengthIndexOutOfRangeReadsTheCurrentLength)
{
    EditFile edit;
    edit.header.length[0] = 7;
    edit.header.length[1] = 8;
    edit.header.length[2] = 9;
    EXPECT_EQ(edit.EditGetLength(0), 7u);
    EXPECT_EQ(edit.EditGetLength(1), 8u);
    EXPECT_EQ(edit.EditGetLength(2), 9u);
    EXPECT_EQ(edit.EditGetLength(3), 7u);
    EXPECT_EQ(edit.EditGetLength(-1), 7u);
}

TEST(EditTitle, IsTheFileNameWithoutItsFolder)
{
    EXPECT_EQ(FileNameOf("/home/ana/Library/Show 12.kdw"), "Show 12.kdw");
    EXPECT_EQ(FileNameOf("Show.kdw"), "Show.kdw");
    EXPECT_EQ(FileNameOf("a/b/c/interview.kdw"), "interview.kdw");
}

// --- Creation failures ------------------------------------------------------------------

EditFile& WithFormat(EditFile& edit, Format f)
{
    edit.channels = f.channels;
    edit.sampleRate = f.rate;
    edit.bitsPerSample = f.bits;
    return edit;
}

struct CreateFailure
{
    const char* name;
    const char* file;
    Format format;
    bool taken; // the file exists already and must be left alone
};

void PrintTo(const CreateFailure& c, std::ostream* os) { *os << c.name; }

class EditCreateFails : public ::testing::TestWithParam<CreateFailure>
{};

TEST_P(EditCreateFails, QuietlyAndLeavesNoNewFile)
{
    const CreateFailure& c = GetParam();
    TempDir dir;
    const std::string path = dir.File(c.file);
    const Bytes before = Pattern(0, 5000);
    if (c.taken) WriteAll(path, before);
    ScopedRecordingSink sink;
    EditFile edit;
    EXPECT_FALSE(WithFormat(edit, c.format).EditOpen(path, true, false));
    edit.EditClose();
    if (c.taken)
        EXPECT_EQ(ReadAll(path), before);
    else
        EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(sink.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditCreateFails,
    ::testing::Values(CreateFailure{"ExistingFile", "taken.kdw", kMono8, true},
                      CreateFailure{"MissingFolder", "no/such/folder/x.kdw", kMono8, false},
                      CreateFailure{"NoChannels", "bad.kdw", {0, 8000, 8}, false},
                      CreateFailure{"NoRate", "bad.kdw", {1, 0, 8}, false},
                      CreateFailure{"NoBits", "bad.kdw", {2, 8000, 0}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A create that runs out of room half-way (here the file size limit stops the write at the
// data chunk header) must not leave a partial file behind. Run in a child so the limit does
// not touch the test runner.
TEST(EditCreate, AWriteFailureHalfWayLeavesNoFile)
{
    TempDir dir;
    const std::string path = dir.File("partial.kdw");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        ScopedRecordingSink sink;
        EditFile edit;
        bool created = WithFormat(edit, kMono8).EditOpen(path, true, false);
        edit.EditClose();
        _exit(created ? 2 : (FileExists(path) ? 1 : 0));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 2) << "create succeeded although the file could not be written";
    EXPECT_NE(WEXITSTATUS(status), 1) << "a failed create left its file behind";
}

} // namespace
} // namespace tandrel::test
