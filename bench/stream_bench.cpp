// The audio service with the whole studio playing, and how soon a play is heard.
//
// BM_ServiceStudio: the main stream and 25 player streams (21 carts, 4 decks), each playing
// its own 44.1 kHz stereo Edit, serviced as the main loop services them: ServiceAudio, then
// one millisecond of output mixed by the fast File device (or Null, the same mixer). CPU of
// this thread per millisecond of audio, as "core_%" of that millisecond. Streams that reach
// their end start again at once, so the refills, cue moves and ends are all in the figure.
//
// BM_PlayToFirstFrame: through PortAudio (needs a sound server: PULSE_SERVER), the time from
// the play command to the device's callback taking the first frame of the ring, serviced
// every 0.1 ms. The output latency the device was opened with (150 ms unless
// TANDREL_AUDIO_LATENCY_MS says otherwise) comes on top before the frame is heard; both are
// reported.
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "audio/audio_devices.h"
#include "engine/audio_stream.h"
#include "audio/format_converter.h"
#include "engine/service_loop.h"
#include "bench/temp_folder.h"
#include "edit/edit_file.h"

namespace tandrel {
namespace {

constexpr uint32_t kRate = 44100;

// A stereo 16-bit Edit of `seconds` of a staircase, with its base step.
bool MakeEdit(const std::string& path, uint32_t seconds, int seed)
{
    EditFile edit;
    edit.channels = 2;
    edit.sampleRate = kRate;
    edit.bitsPerSample = 16;
    if (!edit.EditOpen(path, true, false)) return false;
    std::vector<int16_t> samples(size_t(kRate) * 2 * seconds);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(((i / 64 + seed) % 32) * 512 - 8192);
    uint64_t start = 0, end = 0, done = 0;
    bool ok = edit.EditBeginData() == 0 && edit.EditWrite(samples.data(), samples.size() * 2, done) == 0 &&
              edit.EditEndData(start, end) == 0;
    EditSegment all;
    all.dataStart = start;
    all.dataEnd = end;
    EditRecord base;
    base.type = kStepInsert;
    base.flags = kRecordBaseStep;
    base.position = 0;
    base.segment = all;
    ok = ok && edit.EditPushStep({base});
    edit.EditClose();
    return ok;
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

AudioFormat CdFormat()
{
    AudioFormat format;
    MakeFormat(format, kRate, 16, 2);
    return format;
}

// Opens the engine on `choice` (a TANDREL_AUDIO text) in CD format.
bool OpenEngine(const char* choice)
{
    setenv("TANDREL_AUDIO", choice, 1);
    CloseAudioEngine();
    AudioEngine().audioEnabled = true;
    AudioEngine().recordingFormat = AudioEngine().playbackFormat = CdFormat();
    AudioEngineState& engine = AudioEngine();
    EnumerateAudioDevices();
    TestCaptureDevices();
    if (!ChooseAudioDevices()) {
        engine.followSystemDefaults = true;
        ChooseAudioDevices();
    }
    return InitDirectSound(CdFormat(), true) == 0;
}

void Restart(AudioStream& stream)
{
    stream.reader->SetCursor(0, false);
    if (stream.IsMain())
        stream.Play();
    else
        stream.PlayerStart(0, kNoEnd);
}

void BM_ServiceStudio(benchmark::State& state)
{
    bench::TempFolder folder(std::filesystem::temp_directory_path());
    setenv("HOME", folder.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder.File("config").c_str(), 1);
    if (!OpenEngine("file:fast")) {
        state.SkipWithError("the File device did not open");
        return;
    }
    std::vector<std::unique_ptr<AudioStream>> streams;
    streams.push_back(std::make_unique<AudioStream>(2, false, false, 0));
    for (uint32_t i = 1; i <= 21; ++i)
        streams.push_back(std::make_unique<AudioStream>(2, true, false, i));
    for (uint32_t i = 1; i <= 4; ++i)
        streams.push_back(std::make_unique<AudioStream>(2, false, true, i));
    for (size_t i = 0; i < streams.size(); ++i) {
        // Lengths differ so that the streams end, and refill, at different times.
        const std::string path = folder.File("stream" + std::to_string(i) + ".kdw");
        if (!MakeEdit(path, 3 + uint32_t(i % 5), int(i)) || ManagerSetEdit(*streams[i], path) != 0) {
            state.SkipWithError("cannot make the Edits");
            return;
        }
        Restart(*streams[i]);
    }
    SoundDevice& device = *AudioEngine().playbackDevice;

    uint64_t restarts = 0;
    const double cpuStart = ThreadCpuSeconds();
    for (auto _ : state) {
        ServiceAudio(false);
        device.Pump(kRate / 1000);
        for (auto& stream : streams)
            if (stream->State() == kStateStandby) {
                Restart(*stream);
                ++restarts;
            }
    }
    const double perMs = (ThreadCpuSeconds() - cpuStart) / double(state.iterations());
    state.counters["core_%"] = 100.0 * perMs / 0.001;
    state.counters["restarts"] = double(restarts);
    state.counters["underruns"] = double(device.Underruns());
    state.SetLabel("main + 21 carts + 4 decks, 44.1 kHz stereo, 1 ms per pass");
    streams.clear();
    CloseAudioEngine();
    unsetenv("TANDREL_AUDIO");
}
BENCHMARK(BM_ServiceStudio)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_PlayToFirstFrame(benchmark::State& state)
{
    if (!std::getenv("PULSE_SERVER")) {
        state.SkipWithError("PULSE_SERVER is not set: start scripts/pulse-server first");
        return;
    }
    bench::TempFolder folder(std::filesystem::temp_directory_path());
    setenv("HOME", folder.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder.File("config").c_str(), 1);
    if (!OpenEngine("portaudio") || AudioEngine().backend->Name() != std::string("portaudio")) {
        state.SkipWithError("PortAudio found no device");
        return;
    }
    const std::string path = folder.File("tone.kdw");
    AudioStream stream(2, false, false, 0);
    if (!MakeEdit(path, 2, 0) || ManagerSetEdit(stream, path) != 0) {
        state.SkipWithError("cannot make the Edit");
        return;
    }
    double worst = 0;
    for (auto _ : state) {
        stream.reader->SetCursor(0, false);
        const auto start = std::chrono::steady_clock::now();
        stream.Play();
        uint32_t cursor = 0;
        while (cursor == 0) {
            ServiceAudio(false);
            if (stream.secondary) stream.secondary->GetCurrentPosition(&cursor, nullptr);
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(2)) break;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
        stream.Stop(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    const double latency = AudioEngine().playbackDevice->OutputLatency();
    state.counters["worst_ms"] = worst * 1000;
    state.counters["output_latency_ms"] = latency * 1000;
    state.SetLabel("play command to first frame taken by the callback; heard after the latency");
    stream.Close();
    CloseAudioEngine();
    unsetenv("TANDREL_AUDIO");
}
BENCHMARK(BM_PlayToFirstFrame)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tandrel
