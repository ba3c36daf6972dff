// Replaying the largest history an Edit can hold over an hour of audio: the cost the user
// waits for when an Edit opens and after every undo or redo.

#include <benchmark/benchmark.h>

#include "bench/edit_fixture.h"
#include "bench/temp_folder.h"
#include "edit/edit_view.h"

namespace tandrel::bench {
namespace {

// 80 + 72 * 7280 = 524240: the 48 bytes left over go to marker names.
constexpr uint32_t kNameBytes = kProgramChunkSize - kHeaderSize - 7280 * kRecordSize;

void BM_SyncEditFullHistory(benchmark::State& state)
{
    TempFolder folder(std::filesystem::temp_directory_path());
    if (!folder.Ok()) return state.SkipWithError("cannot make a temporary folder");
    const std::string path = folder.File("full-history.kdw");
    const HistoryGenerator::Format format; // 44.1 kHz, 16-bit, stereo
    const size_t recordCount = RecordsThatFit(kNameBytes);
    std::vector<EditRecord> history = MakeHistory(20240611, format, kOneHourCd, recordCount, kNameBytes);
    if (std::string error = CreateSparseEdit(path, format, kOneHourCd, history); !error.empty())
        return state.SkipWithError(error.c_str());

    EditView view;
    if (!view.OpenView(path, true)) return state.SkipWithError("cannot open the Edit");
    if (view.edit.undo.size() != recordCount || view.edit.HistoryBytes() != kProgramChunkSize)
        return state.SkipWithError("the history did not load whole");
    if (!view.SyncEdit()) return state.SkipWithError("the history does not replay");

    for (auto _ : state) {
        // Touching the first record makes every kept copy of the list stale, so each replay
        // starts from the first step, as on opening the Edit.
        view.edit.undo[0].reserved ^= 1;
        const bool ok = view.SyncEdit();
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(view.segments.Segments().data());
    }

    state.counters["records"] = double(view.edit.undo.size());
    state.counters["history_bytes"] = double(view.edit.HistoryBytes());
    state.counters["segments"] = double(view.segments.Segments().size());
    state.counters["markers"] = double(view.markers.size());
    state.counters["length_min"] = double(view.length) / format.BytesPerSecond() / 60.0;
    view.CloseView();
}
BENCHMARK(BM_SyncEditFullHistory)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tandrel::bench
