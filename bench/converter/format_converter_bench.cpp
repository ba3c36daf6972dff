// Side-by-side run of the format converter and sox on the same WAV: time and peak memory of
// a rate change, each done by a child process and measured the same way (wall clock, and the
// child's own rusage from wait4).
//
//   converter_bench [--seconds N] [--repeat N] [--rate HZ]
//       makes N seconds (default 3600) of 44.1 kHz 16-bit stereo noise with sox in a
//       temporary folder under /tmp, converts it with both tools, prints the figures and
//       the ratios ours / sox, and deletes the folder.
//   converter_bench --convert IN OUT [--rate HZ] [--block BYTES]
//       converts a PCM WAV to HZ (default 48000) with ConvertBlock in BYTES-sized blocks
//       (default 8192), keeping its width and channels.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/format_converter.h"
#include "base/byte_order.h"

namespace {

using tandrel::AudioFormat;

struct WavInfo
{
    AudioFormat format;
    uint64_t dataOffset = 0;
    uint32_t dataBytes = 0;
};

// Reads the RIFF chunk list up to the data chunk. Only PCM is accepted.
bool ReadWavHeader(FILE* file, WavInfo& info)
{
    uint8_t head[12];
    if (std::fread(head, 1, 12, file) != 12 || !tandrel::IsChunkId(head, "RIFF") ||
        !tandrel::IsChunkId(head + 8, "WAVE"))
        return false;
    bool haveFormat = false;
    uint64_t offset = 12;
    for (;;) {
        uint8_t chunk[8];
        if (std::fread(chunk, 1, 8, file) != 8) return false;
        const uint32_t size = tandrel::GetU32(chunk + 4);
        offset += 8;
        if (tandrel::IsChunkId(chunk, "fmt ")) {
            uint8_t fmt[16];
            if (size < 16 || std::fread(fmt, 1, 16, file) != 16) return false;
            tandrel::MakeFormat(info.format, tandrel::GetU32(fmt + 4), tandrel::GetU16(fmt + 14),
                                tandrel::GetU16(fmt + 2));
            if (tandrel::GetU16(fmt) != 1) return false;
            haveFormat = true;
            if (std::fseek(file, long(size - 16 + (size & 1)), SEEK_CUR) != 0) return false;
        } else if (tandrel::IsChunkId(chunk, "data")) {
            info.dataOffset = offset;
            info.dataBytes = size;
            return haveFormat;
        } else if (std::fseek(file, long(size + (size & 1)), SEEK_CUR) != 0) {
            return false;
        }
        offset += size + (size & 1);
    }
}

void WriteWavHeader(FILE* file, const AudioFormat& format, uint32_t dataBytes)
{
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    tandrel::PutU32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    tandrel::PutU32(h + 16, 16);
    tandrel::PutU16(h + 20, format.formatTag);
    tandrel::PutU16(h + 22, format.channels);
    tandrel::PutU32(h + 24, format.sampleRate);
    tandrel::PutU32(h + 28, format.avgBytesPerSec);
    tandrel::PutU16(h + 32, format.blockAlign);
    tandrel::PutU16(h + 34, format.bitsPerSample);
    std::memcpy(h + 36, "data", 4);
    tandrel::PutU32(h + 40, dataBytes);
    std::fwrite(h, 1, sizeof h, file);
}

int Convert(const char* inPath, const char* outPath, uint32_t rate, uint32_t blockBytes)
{
    FILE* in = std::fopen(inPath, "rb");
    if (!in) return std::perror(inPath), 1;
    WavInfo info;
    if (!ReadWavHeader(in, info)) return std::fprintf(stderr, "%s: not a PCM WAV\n", inPath), 1;
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return std::perror(outPath), 1;

    tandrel::FormatConverter converter;
    converter.source = info.format;
    tandrel::MakeFormat(converter.destination, rate, info.format.bitsPerSample,
                        info.format.channels);
    blockBytes -= blockBytes % info.format.blockAlign;
    if (const uint32_t result = tandrel::InitFormatConverter(blockBytes, converter, false)) {
        std::fprintf(stderr, "InitFormatConverter: %u\n", result);
        return 1;
    }
    WriteWavHeader(out, converter.destination, 0);
    uint64_t remaining = info.dataBytes, written = 0;
    for (;;) {
        const uint32_t want = uint32_t(std::min<uint64_t>(blockBytes, remaining));
        const size_t got = std::fread(converter.InputBuffer(), 1, want, in);
        remaining -= got;
        const bool last = got < want || remaining == 0;
        uint32_t produced = 0;
        if (const uint32_t result =
                tandrel::ConvertBlock(converter, uint32_t(got), produced, last)) {
            std::fprintf(stderr, "ConvertBlock: %u\n", result);
            return 1;
        }
        if (std::fwrite(converter.OutputBuffer(), 1, produced, out) != produced)
            return std::perror(outPath), 1;
        written += produced;
        if (last) break;
    }
    std::rewind(out);
    WriteWavHeader(out, converter.destination, uint32_t(written));
    std::fclose(in);
    return std::fclose(out) == 0 ? 0 : 1;
}

struct Run
{
    bool ok = false;
    double wallSeconds = 0, cpuSeconds = 0, peakMiB = 0;
};

Run Measure(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    Run run;
    if (pid < 0) return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    run.peakMiB = double(usage.ru_maxrss) / 1024; // kilobytes on Linux
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

uint64_t DataFrames(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    WavInfo info;
    const bool ok = file && ReadWavHeader(file, info);
    if (file) std::fclose(file);
    return ok ? info.dataBytes / info.format.blockAlign : 0;
}

int Compare(unsigned seconds, unsigned repeat, uint32_t rate)
{
    char folderTemplate[] = "/tmp/tandrel-converter-bench.XXXXXX";
    if (!mkdtemp(folderTemplate)) return std::perror("mkdtemp"), 1;
    const std::string folder = folderTemplate;
    const std::string input = folder + "/in.wav", ours = folder + "/ours.wav",
                      theirs = folder + "/sox.wav";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

    std::printf("making %u s of 44.1 kHz 16-bit stereo noise in %s\n", seconds, folder.c_str());
    const Run made =
        Measure({"sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer",
                 input, "synth", std::to_string(seconds), "whitenoise", "vol", "0.5"});
    int exitCode = 0;
    if (!made.ok) {
        std::fprintf(stderr, "sox could not make the input\n");
        exitCode = 1;
    }
    Run best[2];
    const char* names[2] = {"tandrel ConvertBlock", "sox (default quality)"};
    const std::string rateText = std::to_string(rate);
    for (unsigned i = 0; i < repeat && exitCode == 0; ++i) {
        // Alternate the order so that neither always runs on a warmer machine.
        for (int k = 0; k < 2; ++k) {
            const int which = (i % 2 == 0) ? k : 1 - k;
            std::filesystem::remove(which == 0 ? ours : theirs); // both write a new file
            const Run run = which == 0
                                ? Measure({self, "--convert", input, ours, "--rate", rateText})
                                : Measure({"sox", input, "-r", rateText, theirs});
            if (!run.ok) {
                std::fprintf(stderr, "%s failed\n", names[which]);
                exitCode = 1;
                break;
            }
            Run& b = best[which];
            if (!b.ok || run.wallSeconds < b.wallSeconds) b.wallSeconds = run.wallSeconds;
            if (!b.ok || run.cpuSeconds < b.cpuSeconds) b.cpuSeconds = run.cpuSeconds;
            b.peakMiB = std::max(b.peakMiB, run.peakMiB);
            b.ok = true;
        }
    }
    if (exitCode == 0) {
        const uint64_t inFrames = DataFrames(input);
        std::printf("\n%u s of audio, %u run(s) each, best time and largest peak shown\n", seconds,
                    repeat);
        std::printf("%-24s %10s %10s %10s %12s\n", "", "wall s", "cpu s", "peak MiB", "out frames");
        const std::string outputs[2] = {ours, theirs};
        for (int k = 0; k < 2; ++k)
            std::printf("%-24s %10.2f %10.2f %10.1f %12llu\n", names[k], best[k].wallSeconds,
                        best[k].cpuSeconds, best[k].peakMiB,
                        (unsigned long long)DataFrames(outputs[k]));
        std::printf("%-24s %10.3f %10.3f %10.3f\n", "ratio ours / sox",
                    best[0].wallSeconds / best[1].wallSeconds,
                    best[0].cpuSeconds / best[1].cpuSeconds, best[0].peakMiB / best[1].peakMiB);
        std::printf("input frames %llu, expected out %.0f\n", (unsigned long long)inFrames,
                    double(inFrames) * rate / 44100);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned seconds = 3600, repeat = 1;
    uint32_t rate = 48000, blockBytes = 8192;
    const char* convertIn = nullptr;
    const char* convertOut = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--convert" && i + 2 < argc) {
            convertIn = argv[++i];
            convertOut = argv[++i];
        } else if (arg == "--seconds" && hasValue) {
            seconds = unsigned(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--repeat" && hasValue) {
            repeat = std::max(1u, unsigned(std::strtoul(argv[++i], nullptr, 10)));
        } else if (arg == "--rate" && hasValue) {
            rate = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--block" && hasValue) {
            blockBytes = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr,
                         "usage: %s [--seconds N] [--repeat N] [--rate HZ]\n"
                         "       %s --convert IN OUT [--rate HZ] [--block BYTES]\n",
                         argv[0], argv[0]);
            return 2;
        }
    }
    if (convertIn) return Convert(convertIn, convertOut, rate, blockBytes);
    return Compare(seconds, repeat, rate);
}
