// A typical editing session of 300 steps: each step is pushed (written and flushed to the
// disk) and replayed, as every editing command does. Run once on a tmpfs, where flushing
// costs nothing, and once on the working disk; the difference is the price of durability.

#include <chrono>

#include <benchmark/benchmark.h>

#include "bench/edit_fixture.h"
#include "bench/temp_folder.h"
#include "edit/edit_view.h"

namespace tandrel::bench {
namespace {

constexpr int kSteps = 300;
// A thirty-minute recording.
constexpr uint64_t kRecordingBytes = 44100ull * 4 * 1800;

void BM_PushAndSyncTypical(benchmark::State& state, const char* where)
{
    const std::filesystem::path parent = where[0] ? std::filesystem::path(where) : WorkingDiskFolder();
    TempFolder folder(parent);
    if (!folder.Ok()) return state.SkipWithError("cannot make a folder for the Edit");
    const HistoryGenerator::Format format;
    using Clock = std::chrono::steady_clock;
    double pushSeconds = 0, syncSeconds = 0;
    uint64_t run = 0;

    for (auto _ : state) {
        const std::string path = folder.File("session-" + std::to_string(run) + ".kdw");
        HistoryGenerator generator(7 + run++, format, kRecordingBytes);
        if (std::string error = CreateSparseEdit(path, format, kRecordingBytes, {generator.BaseStep()});
            !error.empty())
            return state.SkipWithError(error.c_str());
        EditView view;
        if (!view.OpenView(path, false)) return state.SkipWithError("cannot open the Edit");

        uint32_t nameBudget = ~0u;
        Clock::duration push{}, sync{};
        for (int i = 0; i < kSteps; ++i) {
            std::vector<EditRecord> step = generator.NextStep(3, nameBudget, 4);
            const Clock::time_point t0 = Clock::now();
            const bool pushed = view.edit.EditPushStep(std::move(step));
            const Clock::time_point t1 = Clock::now();
            const bool synced = view.SyncEdit();
            const Clock::time_point t2 = Clock::now();
            if (!pushed || !synced) return state.SkipWithError("a step failed");
            push += t1 - t0;
            sync += t2 - t1;
        }
        const double iterationPush = std::chrono::duration<double>(push).count();
        const double iterationSync = std::chrono::duration<double>(sync).count();
        state.SetIterationTime(iterationPush + iterationSync);
        pushSeconds += iterationPush;
        syncSeconds += iterationSync;

        view.CloseView();
        std::filesystem::remove(path);
    }

    const double steps = double(state.iterations()) * kSteps;
    state.counters["ms_per_step"] = (pushSeconds + syncSeconds) * 1e3 / steps;
    state.counters["push_ms_per_step"] = pushSeconds * 1e3 / steps;
    state.counters["sync_ms_per_step"] = syncSeconds * 1e3 / steps;
}
BENCHMARK_CAPTURE(BM_PushAndSyncTypical, tmpfs, "/dev/shm")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_PushAndSyncTypical, disk, "")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace tandrel::bench
