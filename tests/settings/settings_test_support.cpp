#include "settings_test_support.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "settings/storage.h"

extern char** environ;

namespace tandrel {

void SettingsTest::SetUp()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tandrel-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
    const char* home = std::getenv("HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    hadHome_ = home != nullptr;
    hadConfig_ = config != nullptr;
    if (home) savedHome_ = home;
    if (config) savedConfig_ = config;
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
    KeepStorageFolder({});
}

void SettingsTest::TearDown()
{
    KeepStorageFolder({});
    if (hadHome_)
        setenv("HOME", savedHome_.c_str(), 1);
    else
        unsetenv("HOME");
    if (hadConfig_)
        setenv("XDG_CONFIG_HOME", savedConfig_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    std::error_code ignored;
    std::filesystem::permissions(home_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(home_, ignored);
}

void SettingsTest::WriteSettingsFile(const std::string& content) const
{
    std::filesystem::create_directories(home_ + "/config/Halvern");
    WriteFile(SettingsFile(), content);
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    ASSERT_TRUE(file.good()) << path;
}

bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

ProbeResult RunProbe(const std::vector<std::string>& arguments)
{
    ProbeResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<std::string> words = {SETTINGS_PROBE_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned == 0) {
        char buffer[4096];
        ssize_t count;
        while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, size_t(count));
        int status = 0;
        if (waitpid(child, &status, 0) == child && WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
    }
    close(pipeEnds[0]);
    return result;
}

} // namespace tandrel
