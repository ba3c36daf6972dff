// Pasting ten minutes from an Edit of another sample rate against sox doing the same rate
// change on the same audio, in one run. Prints both times and the ratio ours / sox.
//
//   paste_bench [--seconds N]   (default 600)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "audio/format_converter.h"
#include "bench/temp_folder.h"
#include "convert/wav_writer.h"
#include "editing/clipboard.h"
#include "editing/edit_commands.h"
#include "editing/selection.h"

namespace {

using namespace tandrel;

struct Times
{
    double wall = 0, cpu = 0;
};

double CpuSeconds(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool MakeNoiseEdit(const std::string& path, const std::string& wavPath, uint32_t rate, uint64_t seconds)
{
    EditFile edit;
    edit.channels = 2;
    edit.sampleRate = rate;
    edit.bitsPerSample = 16;
    AudioFormat format;
    MakeFormat(format, rate, 16, 2);
    WavWriter wav;
    if (!edit.EditOpen(path, true, false) || edit.EditBeginData() != 0 || !wav.Open(wavPath, format))
        return false;
    std::vector<uint8_t> block(1 << 20);
    std::mt19937 random(3);
    const uint64_t total = seconds * rate * 4;
    for (uint64_t written = 0; written < total;) {
        for (uint8_t& b : block) b = uint8_t(random() >> 5);
        uint64_t count = std::min<uint64_t>(block.size(), total - written), done = 0;
        if (edit.EditWrite(block.data(), count, done) != 0 || !wav.Write(block.data(), count)) return false;
        written += count;
    }
    uint64_t start = 0, end = 0;
    EditSegment all;
    if (edit.EditEndData(start, end) != 0 || !wav.Close()) return false;
    all.dataStart = start;
    all.dataEnd = end;
    return edit.EditPushStep(kStepInsert, 0, all, kRecordBaseStep);
}

Times TimeSox(const std::string& in, const std::string& out)
{
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("sox", "sox", in.c_str(), "-r", "44100", out.c_str(), (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Times t;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpu = CpuSeconds(usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) t.wall = t.cpu = -1;
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    uint64_t seconds = 600;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::strtoull(argv[i + 1], nullptr, 10);

    bench::TempFolder folder(bench::WorkingDiskFolder());
    const std::string source = folder.File("source48k.kdw"), wav = folder.File("source48k.wav");
    const std::string target = folder.File("target44k.kdw");
    std::printf("making %llu s of 48 kHz stereo...\n", (unsigned long long)seconds);
    if (!MakeNoiseEdit(source, wav, 48000, seconds) || !MakeNoiseEdit(target, folder.File("t.wav"), 44100, 1)) {
        std::fprintf(stderr, "paste_bench: cannot make the Edits\n");
        return 1;
    }
    {
        EditView view(2);
        if (!view.OpenView(source, false)) return 1;
        SetMarks(view, 0, view.length);
        CopySelection(view);
    }

    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    auto start = std::chrono::steady_clock::now();
    uint64_t pasted = 0;
    {
        EditView view(4);
        if (!view.OpenView(target, false)) return 1;
        Editor editor{&view, nullptr};
        const uint64_t lengthBefore = view.length;
        PasteCommand(editor);
        pasted = view.length - lengthBefore;
    }
    Times ours;
    ours.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    ours.cpu = CpuSeconds(after) - CpuSeconds(before);

    Times sox = TimeSox(wav, folder.File("sox44k.wav"));
    std::printf("pasted %llu bytes (%.1f s at 44.1 kHz)\n", (unsigned long long)pasted,
                double(pasted) / 176400.0);
    std::printf("%-28s %8s %8s\n", "", "wall s", "cpu s");
    std::printf("%-28s %8.2f %8.2f\n", "paste from 48 kHz Edit", ours.wall, ours.cpu);
    std::printf("%-28s %8.2f %8.2f\n", "sox 48k -> 44.1k (default)", sox.wall, sox.cpu);
    if (sox.wall > 0)
        std::printf("%-28s %8.2f %8.2f\n", "ratio ours / sox", ours.wall / sox.wall, ours.cpu / sox.cpu);
    return 0;
}
