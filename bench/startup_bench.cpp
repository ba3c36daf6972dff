// Start-up of the tandrel window: the time from the process start to a shown window after
// the first pass, with an empty Library and with LastOpenFile naming a 1-hour Edit. Each
// case starts the real program (TANDREL_EXIT_WHEN_SHOWN makes it report and leave) in a
// home of its own, several times, and gives the program's own figure and the wall time of
// the whole process (exec to exit) as medians.
//
//   startup_bench [path to tandrel] [runs]

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "edit/edit_file.h"
#include "library/library_account.h"
#include "library/new_edits.h"
#include "settings/settings_store.h"
#include "settings/storage.h"
#include "temp_folder.h"

namespace {

using namespace tandrel;

struct Run
{
    double reported = -1; // what the program printed
    double wall = 0;      // exec to exit
    std::string line;
};

Run StartOnce(const std::string& program)
{
    Run run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return run;
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[512];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) run.line.append(buffer, size_t(got));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    const auto at = run.line.find("after ");
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && at != std::string::npos)
        run.reported = std::atof(run.line.c_str() + at + 6);
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

// A home, settings and storage folder of its own for the program.
void UseHome(const std::filesystem::path& home)
{
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    std::filesystem::create_directories(home / "run");
    std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
}

// An Edit of `seconds` of a 440 Hz tone, 44.1 kHz 16-bit stereo, in the active account.
bool MakeHourEdit(const std::string& title, uint32_t seconds, std::string& path)
{
    if (!SetUpFileStorage()) return false;
    Account account;
    if (!ActiveAccount(account)) return false;
    std::filesystem::create_directories(account.Folder());
    path = account.EditPath(title);
    EditFile edit;
    edit.channels = 2;
    edit.sampleRate = 44100;
    edit.bitsPerSample = 16;
    if (!edit.EditOpen(path, true, false) || edit.EditBeginData() != 0) return false;
    std::vector<int16_t> second(44100 * 2);
    for (size_t i = 0; i < 44100; ++i)
        second[2 * i] = second[2 * i + 1] = int16_t(8000 * std::sin(2 * M_PI * 440 * double(i) / 44100));
    for (uint32_t s = 0; s < seconds; ++s) {
        uint64_t done = 0;
        if (edit.EditWrite(second.data(), second.size() * 2, done) != 0) return false;
    }
    uint64_t start = 0, end = 0;
    if (edit.EditEndData(start, end) != 0) return false;
    EditSegment all = EditSegment::Audio(start, end);
    if (!edit.EditPushStep(kStepInsert, 0, all, kRecordBaseStep)) return false;
    edit.EditClose();
    return AddToDatabase(account, path, title);
}

void Report(const char* name, const std::vector<Run>& runs, double target)
{
    std::vector<double> reported, wall;
    for (const Run& run : runs) {
        if (run.reported < 0) {
            std::cout << name << ": a run failed: " << run.line << "\n";
            continue;
        }
        reported.push_back(run.reported);
        wall.push_back(run.wall);
    }
    std::printf("%-32s shown after %7.1f ms (median of %zu; target %.0f ms), process %7.1f ms\n",
                name, Median(reported), reported.size(), target, Median(wall));
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = argc > 1 ? argv[1] : TANDREL_BINARY;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TANDREL_AUDIO", "null", 0);
    setenv("TANDREL_EXIT_WHEN_SHOWN", "1", 1);

    bench::TempFolder empty(bench::WorkingDiskFolder());
    bench::TempFolder hour(bench::WorkingDiskFolder());
    if (!empty.Ok() || !hour.Ok()) {
        std::cerr << "startup_bench: no temporary folder\n";
        return 1;
    }

    UseHome(empty.Path());
    StartOnce(program); // the first start makes the storage folder
    std::vector<Run> emptyRuns;
    for (int i = 0; i < runs; ++i) emptyRuns.push_back(StartOnce(program));

    UseHome(hour.Path());
    std::string path;
    if (!MakeHourEdit("One Hour", 3600, path)) {
        std::cerr << "startup_bench: cannot make the 1-hour Edit\n";
        return 1;
    }
    WriteSettingText(kSettingTwoAttempts, kProductKey, "LastOpenFile", path.c_str());
    std::vector<Run> hourRuns;
    for (int i = 0; i < runs; ++i) {
        hourRuns.push_back(StartOnce(program));
        if (hourRuns.back().line.find("One Hour") == std::string::npos)
            std::cerr << "startup_bench: the 1-hour Edit was not open: " << hourRuns.back().line;
    }

    Report("empty Library", emptyRuns, 400);
    Report("LastOpenFile a 1-hour Edit", hourRuns, 600);
    return 0;
}
