// Opening an Edit reads the layout and the program chunk and never the sample data, so an
// Edit holding 2 GiB of audio opens as fast as an empty one.

#include <benchmark/benchmark.h>

#include "bench/edit_fixture.h"
#include "bench/temp_folder.h"
#include "edit/edit_file.h"

namespace tandrel::bench {
namespace {

void OpenReadOnly(benchmark::State& state, uint64_t dataLength)
{
    TempFolder folder(std::filesystem::temp_directory_path());
    if (!folder.Ok()) return state.SkipWithError("cannot make a temporary folder");
    const std::string path = folder.File("open.kdw");
    const HistoryGenerator::Format format;
    std::vector<EditRecord> history;
    if (dataLength != 0) history.push_back(HistoryGenerator(1, format, dataLength).BaseStep());
    if (std::string error = CreateSparseEdit(path, format, dataLength, history); !error.empty())
        return state.SkipWithError(error.c_str());

    for (auto _ : state) {
        EditFile edit;
        if (!edit.EditOpen(path, false, true)) return state.SkipWithError("cannot open the Edit");
        benchmark::DoNotOptimize(edit.undo.data());
        edit.EditClose();
    }
    state.counters["data_GiB"] = double(dataLength) / double(1ull << 30);
}

void BM_OpenEmpty(benchmark::State& state) { OpenReadOnly(state, 0); }
void BM_OpenLarge(benchmark::State& state) { OpenReadOnly(state, 2ull << 30); }

BENCHMARK(BM_OpenEmpty)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenLarge)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tandrel::bench
