#pragma once
// Runs the real tandrel-cli binary with its output caught, for the tests that drive it.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "edit/edit_file.h"
#include "json_reader.h"

extern char** environ;

namespace tandrel::cli {

namespace fs = std::filesystem;
using testing::JsonValue;
using testing::ParseJson;

struct RunResult
{
    int status = -1; // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

inline std::string ReadWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tandrel-cli-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    /** Runs the tool with `args`, its stdout and stderr caught in files. */
    RunResult Run(const std::vector<std::string>& args) const
    {
        RunResult result;
        const std::string outPath = PathOf("stdout.txt"), errPath = PathOf("stderr.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> words{TANDREL_CLI_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, TANDREL_CLI_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << TANDREL_CLI_PATH << ": " << std::strerror(spawned);
            return result;
        }
        int wstatus = 0;
        while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {}
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        result.out = ReadWhole(outPath);
        result.err = ReadWhole(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        return result;
    }

    /** `edit info` of `path`: the status, stderr, and the parsed stdout (which must be one
        valid JSON object whatever happened). */
    JsonValue Info(const std::string& path, RunResult& run, bool master = false) const
    {
        std::vector<std::string> args{"edit", "info", path};
        if (master) args.push_back("--master");
        run = Run(args);
        std::string error;
        std::optional<JsonValue> json = ParseJson(run.out, &error);
        if (!json) {
            ADD_FAILURE() << "output is not JSON (" << error << "):\n" << run.out << run.err;
            return {};
        }
        EXPECT_EQ(json->kind, JsonValue::Kind::Object);
        return *json;
    }

    fs::path dir_;
};

/** Bytes [from, to) of the audio CreateWithAudio writes. */
inline std::string Audio(uint64_t from, uint64_t to)
{
    std::string bytes;
    for (uint64_t i = from; i < to; ++i) bytes.push_back(char(uint8_t(i * 7 + 3)));
    return bytes;
}

/** Creates an Edit with `bytes` of audio and its base step. */
inline bool CreateWithAudio(EditFile& edit, const std::string& path, uint64_t bytes,
                     uint32_t channels = 2, uint32_t rate = 44100, uint32_t bits = 16)
{
    edit.channels = channels;
    edit.sampleRate = rate;
    edit.bitsPerSample = bits;
    if (!edit.EditOpen(path, true, false)) return false;
    const std::string pattern = Audio(0, bytes);
    std::vector<uint8_t> audio(pattern.begin(), pattern.end());
    uint64_t done = 0, start = 0, end = 0;
    if (edit.EditBeginData() != 0 || edit.EditWrite(audio.data(), audio.size(), done) != 0 ||
        edit.EditEndData(start, end) != 0 || end - start != bytes)
        return false;
    EditSegment base;
    base.dataStart = start;
    base.dataEnd = end;
    return edit.EditPushStep(kStepInsert, 0, base, kRecordBaseStep);
}

} // namespace tandrel::cli
