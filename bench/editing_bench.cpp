// The editing commands on a long-edited hour of audio: each must feel instant, and an edit
// within one Edit must not copy any sample data.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include "bench/edit_fixture.h"
#include "bench/temp_folder.h"
#include "editing/edit_commands.h"
#include "editing/selection.h"

namespace tandrel::bench {
namespace {

uint64_t FileBytes(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
}

// One hour with 3000 steps of history, opened for editing; after each iteration's
// cut-paste-undo-undo-undo the Edit is as it was, so iterations are alike.
void BM_CutPasteUndoOnEditedHour(benchmark::State& state)
{
    TempFolder folder(WorkingDiskFolder());
    const std::string path = folder.File("edited-hour.kdw");
    const HistoryGenerator::Format format;
    std::vector<EditRecord> history = MakeHistory(7, format, kOneHourCd, 3000, 0);
    if (std::string error = CreateSparseEdit(path, format, kOneHourCd, history); !error.empty())
        return state.SkipWithError(error.c_str());
    EditView view(4);
    if (!view.OpenView(path, false)) return state.SkipWithError("cannot open the Edit");
    Editor editor{&view, nullptr};
    const uint64_t fileBefore = FileBytes(path);
    const uint64_t middle = view.length / 2 / 4 * 4;
    double cutMs = 0, pasteMs = 0, undoMs = 0;
    for (auto _ : state) {
        auto timed = [](auto&& action) {
            auto start = std::chrono::steady_clock::now();
            action();
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        };
        SetMarks(view, middle, middle + 44100 * 4 * 30);
        cutMs += timed([&] { CutCommand(editor); });
        PlaceCueLine(view, middle / 2);
        pasteMs += timed([&] { PasteCommand(editor); });
        undoMs += timed([&] { UndoCommand(editor); });
        UndoCommand(editor);
    }
    const double n = double(state.iterations());
    state.counters["cut_ms"] = cutMs / n;
    state.counters["paste_ms"] = pasteMs / n;
    state.counters["undo_ms"] = undoMs / n;
    state.counters["records"] = double(view.edit.undo.size());
    // The history lives in its fixed chunk: a file that grew would mean samples were copied.
    state.counters["data_bytes_written"] = double(FileBytes(path) - fileBefore);
}

BENCHMARK(BM_CutPasteUndoOnEditedHour)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
} // namespace tandrel::bench
