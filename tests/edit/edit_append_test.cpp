// Appending sample data: commit, abandon, truncate, and raw reads and writes of the data.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/recording_sink.h"
#include "edit/edit_file.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

class EditAppend : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = dir.File("append.kdw");
        edit.channels = 2;
        edit.sampleRate = 8000;
        edit.bitsPerSample = 16;
        ASSERT_TRUE(edit.EditOpen(path, true, false));
    }
    void TearDown() override { edit.EditClose(); }

    /** Both size fields agree with the file's real size. */
    void ExpectSizeFieldsMatchFile()
    {
        const Bytes b = ReadAll(path);
        EXPECT_EQ(Le32(b, 4), b.size() - 8);
        EXPECT_EQ(Le32(b, 524338), b.size() - 524342);
    }

    TempDir dir;
    std::string path;
    EditFile edit;
    ScopedRecordingSink sink;
};

TEST_F(EditAppend, CommittedAppendsReturnConsecutiveRanges)
{
    // Several appends of different sizes, some written in more than one piece.
    const std::vector<std::vector<uint64_t>> appends = {{1000}, {1, 3}, {4096, 4096, 17}, {2}};
    uint64_t expectedStart = 0;
    for (const auto& writes : appends) {
        ASSERT_EQ(edit.EditBeginData(), 0);
        uint64_t total = 0;
        for (uint64_t count : writes) {
            uint64_t done = 0;
            const Bytes chunk = Pattern(expectedStart + total, count);
            ASSERT_EQ(edit.EditWrite(chunk.data(), count, done), 0);
            EXPECT_EQ(done, count);
            total += count;
        }
        uint64_t start = 0, end = 0;
        ASSERT_EQ(edit.EditEndData(start, end), 0);
        EXPECT_EQ(start, expectedStart);
        EXPECT_EQ(end - start, total);
        EXPECT_EQ(edit.EditDataLength(), end);
        EXPECT_EQ(FileSize(path), 524342 + end);
        ExpectSizeFieldsMatchFile();
        expectedStart = end;
    }
    // The sample bytes sit at the data offset in the order written.
    const Bytes b = ReadAll(path);
    const Bytes data(b.begin() + 524342, b.end());
    EXPECT_EQ(data, Pattern(0, expectedStart));
    EXPECT_TRUE(sink.Texts().empty());
}

TEST_F(EditAppend, AbandonRestoresTheExactPreviousFile)
{
    uint64_t start = 0, end = 0;
    ASSERT_TRUE(AppendData(edit, Pattern(0, 3000), start, end));
    const Bytes before = ReadAll(path);

    for (uint64_t abandoned : {uint64_t{0}, uint64_t{1}, uint64_t{5000}}) {
        ASSERT_EQ(edit.EditBeginData(), 0);
        const Bytes junk(abandoned, 0xEE);
        uint64_t done = 0;
        ASSERT_EQ(edit.EditWrite(junk.data(), junk.size(), done), 0);
        ASSERT_EQ(edit.EditEndData(), 0);
        EXPECT_EQ(edit.EditDataLength(), 3000u);
        EXPECT_EQ(ReadAll(path), before) << "after abandoning " << abandoned << " bytes";
    }

    // The next committed append starts where the abandoned ones did.
    ASSERT_TRUE(AppendData(edit, Pattern(3000, 10), start, end));
    EXPECT_EQ(start, 3000u);
    EXPECT_EQ(end, 3010u);
    ExpectSizeFieldsMatchFile();
}

TEST_F(EditAppend, TruncateCutsTheDataAndRewritesBothSizes)
{
    uint64_t start = 0, end = 0;
    ASSERT_TRUE(AppendData(edit, Pattern(0, 8000), start, end));
    ASSERT_TRUE(edit.EditTruncateData(1234));
    EXPECT_EQ(edit.EditDataLength(), 1234u);
    EXPECT_EQ(FileSize(path), 524342u + 1234u);
    ExpectSizeFieldsMatchFile();
    const Bytes b = ReadAll(path);
    EXPECT_EQ(Bytes(b.begin() + 524342, b.end()), Pattern(0, 1234));

    // Appending after a truncation continues at the new end.
    ASSERT_TRUE(AppendData(edit, Pattern(1234, 6), start, end));
    EXPECT_EQ(start, 1234u);
    EXPECT_EQ(end, 1240u);

    ASSERT_TRUE(edit.EditTruncateData(0));
    EXPECT_EQ(FileSize(path), 524342u);
    ExpectSizeFieldsMatchFile();
}

TEST_F(EditAppend, ReadsAtDataOffsetsAndStopsShortAtTheEnd)
{
    uint64_t start = 0, end = 0;
    ASSERT_TRUE(AppendData(edit, Pattern(0, 1000), start, end));

    struct ReadCase
    {
        uint64_t offset;
        uint64_t count;
        uint64_t expectDone;
    };
    for (const ReadCase& c : {ReadCase{0, 1000, 1000}, ReadCase{900, 200, 100},
                              ReadCase{123, 7, 7}, ReadCase{1000, 10, 0}}) {
        ASSERT_EQ(edit.EditDataSeek(c.offset), 0);
        Bytes got(c.count, 0);
        uint64_t done = 99999;
        ASSERT_EQ(edit.EditRead(got.data(), c.count, done), 0);
        EXPECT_EQ(done, c.expectDone) << "reading " << c.count << " at " << c.offset;
        got.resize(done);
        EXPECT_EQ(got, Pattern(c.offset, c.expectDone));
    }

    // Seeking to an absolute file offset reads the header area.
    ASSERT_EQ(edit.EditSeek(0), 0);
    char riff[4] = {};
    uint64_t done = 0;
    ASSERT_EQ(edit.EditRead(riff, 4, done), 0);
    EXPECT_EQ(std::string(riff, 4), "RIFF");
}

TEST(EditClosed, PrimitivesFailQuietly)
{
    ScopedRecordingSink sink;
    EditFile edit;
    char buffer[16] = {};
    uint64_t done = 0;
    EXPECT_EQ(edit.EditSeek(0), -1);
    EXPECT_EQ(edit.EditDataSeek(0), -1);
    EXPECT_EQ(edit.EditRead(buffer, sizeof buffer, done), -1);
    EXPECT_EQ(edit.EditWrite(buffer, sizeof buffer, done), -1);
    EXPECT_EQ(edit.EditSave(), -1);
    EXPECT_EQ(edit.EditDataLength(), 0u);
    edit.EditClose();
    edit.EditClose();
    EXPECT_TRUE(sink.Texts().empty());
}

TEST(EditReadOnly, NeitherSaveNorCloseTouchesTheFile)
{
    TempDir dir;
    const std::string path = dir.File("ro.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 500, 500));
    const Bytes before = ReadAll(path);

    ScopedRecordingSink sink;
    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(path, false, true));
    EXPECT_TRUE(edit.readOnly);
    edit.header.normal.cursor = 77;
    edit.header.length[0] = 1;
    EXPECT_EQ(edit.EditSave(), -1);
    EXPECT_TRUE(sink.Texts().empty()) << "a read-only save is refused without a message";
    const Bytes junk(10, 0xAB);
    uint64_t done = 0;
    ASSERT_EQ(edit.EditDataSeek(0), 0);
    EXPECT_EQ(edit.EditWrite(junk.data(), junk.size(), done), -1);
    edit.EditClose();
    EXPECT_EQ(ReadAll(path), before);
}

// A write that fails half-way (the file size limit here) is reported with the system's error
// number, and the append can still be abandoned back to the committed length.
TEST(EditAppendFailure, FailedWriteIsReportedAndCanBeAbandoned)
{
    TempDir dir;
    const std::string path = dir.File("full.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 1000, 0));
    const Bytes before = ReadAll(path);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        ScopedRecordingSink sink;
        EditFile edit;
        if (!edit.EditOpen(path, false, false)) _exit(10);
        rlimit limit{524342 + 1500, 524342 + 1500};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (edit.EditBeginData() != 0) _exit(11);
        const Bytes big(2000, 0x55);
        uint64_t done = 0;
        if (edit.EditWrite(big.data(), big.size(), done) != -1) _exit(12);
        const std::string expected =
            "EditWrite: Error (" + std::to_string(EFBIG) + ") writing file full.kdw.";
        const auto texts = sink.Texts();
        if (texts.size() != 1 || texts[0] != expected) _exit(13);
        if (edit.EditEndData() != 0) _exit(14);
        if (edit.EditDataLength() != 1000) _exit(15);
        edit.EditClose();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    // 12: the write claimed success; 13: wrong or missing message; 14/15: abandon failed.
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const Bytes after = ReadAll(path);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(Bytes(after.begin() + 524342, after.end()), Bytes(before.begin() + 524342, before.end()));
    EXPECT_EQ(Le32(after, 4), after.size() - 8);
    EXPECT_EQ(Le32(after, 524338), 1000u);
}

} // namespace
} // namespace tandrel::test
