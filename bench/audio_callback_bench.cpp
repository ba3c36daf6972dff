// CPU of the sound device's mixing callback with the whole studio playing: the main Edit
// stream, 4 decks and 21 carts, each a 44.1 kHz stereo ring. Mix is called directly on
// 10 ms blocks; "core_%" is the time per block as a share of the 10 ms it stands for.
#include <time.h>

#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/audio/file_device.h"
#include "platform/audio/sound_device.h"

namespace tandrel {
namespace {

enum Scene
{
    kUnity,     // everything at its own rate and full volume
    kFaders,    // carts and decks at fader volumes
    kScrubbing, // faders, and the main stream scrubbing at the fastest rate
    kDevice48k, // faders, on a 48 kHz device: every buffer is resampled
};

void BM_MixStudio(benchmark::State& state)
{
    const auto scene = Scene(state.range(0));
    const uint32_t deviceRate = scene == kDevice48k ? 48000 : 44100;
    FileAudioOptions options;
    options.fast = true; // no clock thread: this thread is the callback
    auto backend = MakeFileBackend(options);
    std::unique_ptr<SoundDevice> device;
    backend->OpenPlayback(DeviceId{}, device);
    device->SetOutputFormat(deviceRate, 2);

    const PcmFormat format{44100, 16, 2};
    std::vector<std::unique_ptr<SoundBuffer>> buffers(26);
    for (size_t i = 0; i < buffers.size(); ++i) {
        const uint32_t seconds = i == 0 ? 2 : 1; // the main stream's ring is 2 s
        device->CreateBuffer({format, seconds * format.BytesPerSecond(), true}, buffers[i]);
        LockedRegions ring;
        buffers[i]->Lock(0, 0, ring, kLockEntireBuffer);
        for (uint32_t b = 0; b < ring.size[0]; ++b)
            ring.data[0][b] = uint8_t(b * 7 + i);
        buffers[i]->Unlock(ring);
        if (scene != kUnity && i > 0) buffers[i]->SetVolume(-int32_t(50 * (i % 20)));
        buffers[i]->Play(true);
    }
    if (scene == kScrubbing) buffers[0]->SetFrequency(kMaxFrequency);

    const uint32_t frames = deviceRate / 100;
    std::vector<int16_t> out(frames * 2);
    // This thread's own CPU time: the machines are shared, so wall time overstates it.
    auto cpuSeconds = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + t.tv_nsec * 1e-9;
    };
    const double cpuStart = cpuSeconds();
    for (auto _ : state) {
        device->Mix(out.data(), frames);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    const double perBlock = (cpuSeconds() - cpuStart) / double(state.iterations());
    state.counters["core_%"] = 100.0 * perBlock / 0.010;
    state.SetLabel(scene == kUnity       ? "26 buffers, own rate, unity"
                   : scene == kFaders    ? "26 buffers, fader volumes"
                   : scene == kScrubbing ? "fader volumes, main at 100 kHz"
                                         : "fader volumes, 48 kHz device");
}
BENCHMARK(BM_MixStudio)->DenseRange(kUnity, kDevice48k)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tandrel
