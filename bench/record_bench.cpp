// The recorder through the fast File device, in one run:
//  - CPU of WriteRecordedData with the gain control on, per second of 44.1 kHz stereo, beside
//    sox writing the same audio to a WAV (plain, and through its compander);
//  - a long recording (3 hours by default): resident memory along the way, and every frame
//    counted where it was captured, where the recorder took it and in the Edit's data.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "audio/audio_devices.h"
#include "engine/audio_stream.h"
#include "audio/format_converter.h"
#include "audio/gain_control.h"
#include "convert/wav_writer.h"
#include "library/library_account.h"
#include "recording/capture_drain.h"
#include "recording/recorder.h"
#include "recording/recorder_shell.h"
#include "settings/path_checks.h"
#include "settings/settings_store.h"
#include "settings/storage.h"
#include "temp_folder.h"

namespace {

using namespace tandrel;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBytesPerSecond = kRate * 4;

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

bool WriteNoiseWav(const std::string& path, uint64_t seconds)
{
    AudioFormat format;
    MakeFormat(format, kRate, 16, 2);
    WavWriter wav;
    if (!wav.Open(path, format)) return false;
    std::vector<int16_t> block(kRate * 2);
    std::mt19937 random(11);
    for (uint64_t s = 0; s < seconds; ++s) {
        // Speech-like: quiet stretches and loud ones, so the gain control has work to do.
        const int amplitude = (s / 3) % 2 ? 20000 : 1500;
        for (int16_t& sample : block) sample = int16_t(int(random() % (2 * amplitude)) - amplitude);
        if (!wav.Write(block.data(), block.size() * 2)) return false;
    }
    return wav.Close();
}

struct Times
{
    double wall = -1, cpu = -1;
};

Times TimeSox(const std::vector<std::string>& args)
{
    const double start = WallSeconds();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp("sox", argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Times t;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        t.wall = WallSeconds() - start;
        t.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return t;
}

class BenchShell : public RecorderShell
{
public:
    void OpenRecordedEdit(const std::string& path) override { recordedPath = path; }
    std::string recordedPath;
};

bool OpenFileDevice(const std::string& input)
{
    setenv("TANDREL_AUDIO", ("file:in=" + input + ",fast").c_str(), 1);
    CloseAudioEngine();
    LoadDefaultFormat();
    AgcLoadSettings();
    EnsureAudioBackend();
    EnumerateAudioDevices();
    if (!ChooseAudioDevices() || InitDirectSound(AudioEngine().recordingFormat, false) != 0) return false;
    AudioEngine().audioEnabled = true;
    return true;
}

/** Pumps 10 ms and drains it, `seconds` over; `cpu` and `wall` gather the drain's share. */
bool Record(uint64_t seconds, double& cpu, double& wall, uint64_t& pumpedFrames,
            void (*everySecond)(uint64_t second) = nullptr)
{
    CaptureDevice& capture = *AudioEngine().captureDevice;
    for (uint64_t block = 0; block < seconds * 100; ++block) {
        if (capture.Pump(kRate / 100) != kAudioOk) return false;
        pumpedFrames += kRate / 100;
        const double c0 = ThreadCpuSeconds(), w0 = WallSeconds();
        if (WriteRecordedData() != 0) return false;
        cpu += ThreadCpuSeconds() - c0;
        wall += WallSeconds() - w0;
        if (everySecond && (block + 1) % 100 == 0) everySecond((block + 1) / 100);
    }
    return true;
}

void PrintResident(uint64_t second)
{
    if (second == 60 || second % 3600 == 0)
        std::printf("  after %6llu s: resident %ld KiB\n", (unsigned long long)second, ResidentKilobytes());
    if (second % 600 == 0) std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    uint64_t seconds = 300, hours = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--hours") == 0) hours = std::strtoull(argv[i + 1], nullptr, 10);
    }
    bench::TempFolder folder(bench::WorkingDiskFolder());
    if (!folder.Ok()) return 1;
    setenv("XDG_CONFIG_HOME", folder.File("config").c_str(), 1);
    setenv("HOME", folder.Path().c_str(), 1);
    KeepStorageFolder(folder.File("storage"));
    Account account;
    const std::string input = folder.File("input.wav");
    if (!CreateFolderPath(StoragePath(StorageSubfolder::Library)) || !ActiveAccount(account) ||
        !CreateFolderPath(account.Folder()) || !WriteNoiseWav(input, seconds)) {
        std::fprintf(stderr, "record_bench: cannot set up %s\n", folder.Path().c_str());
        return 1;
    }
    WriteSettingNumber(kSettingTwoAttempts, kProductKey, "AGCEnable", 1);
    if (!OpenFileDevice(input)) {
        std::fprintf(stderr, "record_bench: the File device does not open\n");
        return 1;
    }
    AudioStream main(2, false, false, 0);
    RecorderAudioShell audioShell;
    BenchShell shell;
    InstallAudioShell(&audioShell);
    InstallRecorderShell(&shell);
    InstallRecorder();

    // --- CPU per second of audio -----------------------------------------------------------
    double cpu = 0, wall = 0;
    uint64_t pumped = 0;
    Recorder().presetTitle = "cpu";
    RecordCommand();
    if (CurrentRecordingKind() != kNewRecording || !Record(seconds, cpu, wall, pumped)) {
        std::fprintf(stderr, "record_bench: the recording failed\n");
        return 1;
    }
    StopRecording();
    const Times plain = TimeSox({"sox", input, folder.File("sox.wav")});
    const Times compand = TimeSox({"sox", input, folder.File("sox-compand.wav"), "compand", "0.05,0.2",
                                   "6:-70,-60,-20", "-5", "-90", "0.1"});
    std::printf("%llu s of 44.1 kHz stereo, gain control on (CPU ms per second of audio, %% of one core)\n",
                (unsigned long long)seconds);
    std::printf("  WriteRecordedData       cpu %7.3f ms/s  %6.3f %%   (wall with flushes %7.3f ms/s)\n",
                cpu * 1e3 / double(seconds), cpu * 100 / double(seconds), wall * 1e3 / double(seconds));
    for (const auto& [name, t] : {std::pair{"sox to WAV", plain}, std::pair{"sox compand to WAV", compand}}) {
        if (t.cpu < 0) {
            std::printf("  %-22s  did not run\n", name);
            continue;
        }
        std::printf("  %-22s  cpu %7.3f ms/s  %6.3f %%   ratio ours / sox %.2f\n", name,
                    t.cpu * 1e3 / double(seconds), t.cpu * 100 / double(seconds), cpu / t.cpu);
    }

    // --- A long recording --------------------------------------------------------------------
    if (hours == 0) return 0;
    WriteSettingNumber(kSettingTwoAttempts, kProductKey, "AGCEnable", 0);
    if (!OpenFileDevice(input)) return 1;
    cpu = wall = 0;
    pumped = 0;
    Recorder().presetTitle = "long";
    std::printf("%llu hour recording: resident memory along the way\n", (unsigned long long)hours);
    std::printf("  at the start:    resident %ld KiB\n", ResidentKilobytes());
    RecordCommand();
    if (CurrentRecordingKind() != kNewRecording || !Record(hours * 3600, cpu, wall, pumped, PrintResident)) {
        std::fprintf(stderr, "record_bench: the long recording failed\n");
        return 1;
    }
    const uint64_t recorded = RecordedBytes();
    const uint64_t overruns = AudioEngine().captureDevice->Overruns();
    StopRecording();
    EditFile edit;
    if (!edit.EditOpen(shell.recordedPath, false, true)) return 1;
    std::vector<uint8_t> head(std::min<uint64_t>(seconds * kBytesPerSecond, edit.EditDataLength())), expected(head.size());
    uint64_t got = 0;
    edit.EditDataSeek(0);
    edit.EditRead(head.data(), head.size(), got);
    std::FILE* wav = std::fopen(input.c_str(), "rb");
    const bool headRead = wav && std::fseek(wav, 44, SEEK_SET) == 0 &&
                          std::fread(expected.data(), 1, expected.size(), wav) == expected.size();
    if (wav) std::fclose(wav);
    std::printf("  frames captured %llu, taken by the recorder %llu, in the Edit %llu; overruns %llu\n",
                (unsigned long long)pumped, (unsigned long long)(recorded / 4),
                (unsigned long long)(edit.EditDataLength() / 4), (unsigned long long)overruns);
    std::printf("  the first %llu s equal the input: %s\n", (unsigned long long)seconds,
                headRead && got == head.size() && head == expected ? "yes" : "NO");
    std::printf("  WriteRecordedData over the whole recording: cpu %.3f ms/s, wall %.3f ms/s\n",
                cpu * 1e3 / double(hours * 3600), wall * 1e3 / double(hours * 3600));
    const bool lossless = pumped * 4 == recorded && recorded == edit.EditDataLength() && overruns == 0;
    InstallRecorderShell(nullptr);
    InstallAudioShell(nullptr);
    return lossless ? 0 : 1;
}
