// Rendering a long, edited Edit through its render window against the physical limit: reading
// the same number of bytes straight from the same file.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bench/edit_fixture.h"
#include "bench/temp_folder.h"
#include "edit/edit_view.h"

namespace tandrel::bench {
namespace {

// One hour of real (written, not sparse) audio whose history cuts it into 1000 segments:
// deletes spread over the hour and pieces pasted from elsewhere.
struct HourEdit
{
    HourEdit() : folder(WorkingDiskFolder())
    {
        path = folder.File("hour.kdw");
        EditFile edit;
        edit.channels = 2;
        edit.sampleRate = 44100;
        edit.bitsPerSample = 16;
        if (!edit.EditOpen(path, true, false) || edit.EditBeginData() != 0) return;
        std::vector<uint8_t> block(1 << 20);
        std::mt19937 random(7);
        for (uint8_t& b : block) b = uint8_t(random());
        for (uint64_t written = 0; written < kOneHourCd;) {
            uint64_t count = std::min<uint64_t>(block.size(), kOneHourCd - written), done = 0;
            if (edit.EditWrite(block.data(), count, done) != 0) return;
            written += done;
        }
        uint64_t start = 0, end = 0;
        if (edit.EditEndData(start, end) != 0) return;
        EditSegment all;
        all.dataStart = start;
        all.dataEnd = end;
        edit.EditPushStep(kStepInsert, 0, all, kRecordBaseStep);
        uint64_t length = end;
        std::uniform_int_distribution<uint64_t> frame(0, kOneHourCd / 4 - 50000);
        for (int step = 0; step < 666; ++step) {
            EditRecord record;
            uint64_t at = std::min(frame(random) * 4, length - 40000);
            if (step % 2 == 0) {
                record.type = kStepDelete;
                record.segment.dataStart = at;
                record.segment.dataEnd = at + 40000;
                length -= 40000;
            } else {
                uint64_t from = frame(random) * 4;
                record.type = kStepInsert;
                record.position = at;
                record.segment.dataStart = from;
                record.segment.dataEnd = from + 88200;
                length += 88200;
            }
            edit.undo.push_back(record);
        }
        ok = edit.EditSave() == 0;
        edit.EditClose();
    }

    TempFolder folder;
    std::string path;
    bool ok = false;
};

HourEdit& Fixture()
{
    static HourEdit edit;
    return edit;
}

void BM_RenderHourThroughWindow(benchmark::State& state)
{
    HourEdit& fixture = Fixture();
    if (!fixture.ok) return state.SkipWithError("cannot make the Edit");
    EditView view(2);
    if (!view.OpenView(fixture.path, true)) return state.SkipWithError("cannot open the Edit");
    uint64_t checksum = 0;
    for (auto _ : state) {
        // The walk playback and export make: the window slides one window at a time.
        const uint64_t half = view.bufferBytes / 2;
        for (uint64_t at = 0; at < view.length;) {
            view.SetCursor(at + half, false);
            RingPieces pieces = view.ReadWindow(uint32_t(at - view.windowStart));
            uint64_t take = std::min<uint64_t>(pieces.Total(), view.length - at);
            checksum += pieces.data[0][0] + (take > 1 ? pieces.data[0][1] : 0);
            at += take;
        }
        view.SetCursor(0, true);
    }
    benchmark::DoNotOptimize(checksum);
    state.counters["segments"] = double(view.segments.Segments().size());
    state.counters["bytes"] = double(view.length);
    state.SetBytesProcessed(int64_t(state.iterations() * view.length));
    state.counters["x_realtime"] = benchmark::Counter(
        double(state.iterations()) * double(view.length) / double(view.bytesPerSecond),
        benchmark::Counter::kIsRate);
}

void BM_ReadSameBytesSequentially(benchmark::State& state)
{
    HourEdit& fixture = Fixture();
    if (!fixture.ok) return state.SkipWithError("cannot make the Edit");
    EditView view(2);
    if (!view.OpenView(fixture.path, true)) return state.SkipWithError("cannot open the Edit");
    const uint64_t bytes = view.length;
    view.CloseView();
    int fd = ::open(fixture.path.c_str(), O_RDONLY);
    std::vector<uint8_t> buffer(view.bufferSeconds * 176400);
    uint64_t checksum = 0;
    for (auto _ : state) {
        for (uint64_t at = 0; at < bytes;) {
            uint64_t want = std::min<uint64_t>(buffer.size(), bytes - at);
            ssize_t got = ::pread(fd, buffer.data(), want, off_t(kDataOffset + at));
            if (got <= 0) break;
            checksum += buffer[0];
            at += uint64_t(got);
        }
    }
    ::close(fd);
    benchmark::DoNotOptimize(checksum);
    state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}

BENCHMARK(BM_RenderHourThroughWindow)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadSameBytesSequentially)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace
} // namespace tandrel::bench
