// The Library database: rebuilding an account's database reads each Edit's header only, so
// the time per Edit does not depend on how much audio the Edits hold; opening a database of
// 10000 Edits and listing them all stays well under the 50 ms a Library window can wait.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "bench/edit_fixture.h"
#include "bench/temp_folder.h"
#include "library/edit_map.h"

namespace tandrel::bench {
namespace {

/** Where the fixtures go: $TANDREL_BENCH_DISK when set, else /dev/shm. Making 1000 Edits
    flushes each one; on a busy disk that alone takes a minute, while what is measured (the
    file system calls of a rebuild over a warm cache, and one flushed write of the database)
    is much the same on either. */
std::filesystem::path FixtureFolder()
{
    if (std::getenv("TANDREL_BENCH_DISK")) return WorkingDiskFolder();
    std::error_code error;
    return std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : WorkingDiskFolder();
}

/** An account folder holding `count` Edits of `dataLength` bytes of sparse sample data each. */
class AccountOfEdits
{
  public:
    AccountOfEdits(int count, uint64_t dataLength) : folder_(FixtureFolder())
    {
        if (!folder_.Ok()) {
            error_ = "cannot make a temporary folder";
            return;
        }
        location_ = {folder_.Path().string(), "KDUser"};
        std::error_code made;
        std::filesystem::create_directories(AccountFolderPath(location_, "Default"), made);
        const HistoryGenerator::Format format;
        for (int i = 0; i < count && error_.empty(); ++i) {
            std::vector<EditRecord> history;
            if (dataLength != 0)
                history.push_back(HistoryGenerator(uint64_t(i), format, dataLength).BaseStep());
            error_ = CreateSparseEdit(AccountFolderPath(location_, "Default") + "/Episode " +
                                          std::to_string(i) + ".kdw",
                                      format, dataLength, std::move(history));
        }
    }

    const std::string& Error() const { return error_; }
    const LibraryLocation& Location() const { return location_; }

  private:
    TempFolder folder_;
    LibraryLocation location_;
    std::string error_;
};

void RebuildAccount(benchmark::State& state, uint64_t dataLength)
{
    constexpr int kEdits = 1000;
    AccountOfEdits account(kEdits, dataLength);
    if (!account.Error().empty()) return state.SkipWithError(account.Error().c_str());
    EditMap* map = GetEditMap(account.Location(), "Default", kProgressSilent);
    if (!map || map->entries.Size() != size_t(kEdits))
        return state.SkipWithError("first build failed");

    for (auto _ : state)
        if (!RebuildMapFile(map, kProgressSilent)) return state.SkipWithError("rebuild failed");

    ReleaseEditMap(map);
    state.SetItemsProcessed(int64_t(state.iterations()) * kEdits);
    // Seconds per Edit: the iteration's time over the Edits it examined.
    state.counters["s_per_edit"] = benchmark::Counter(
        kEdits, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["data_GiB_per_edit"] = double(dataLength) / double(1ull << 30);
}

// Each iteration rebuilds the database of 1000 Edits: list the folder, examine and read the
// header of each Edit, write the database (flushed) and rename it in.
void BM_RebuildMapFile1000Empty(benchmark::State& state)
{
    RebuildAccount(state, 0);
}
void BM_RebuildMapFile1000Holding1GiB(benchmark::State& state)
{
    RebuildAccount(state, 1ull << 30);
}

BENCHMARK(BM_RebuildMapFile1000Empty)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RebuildMapFile1000Holding1GiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// GetEditMap of an account whose database lists 10000 Edits, a full enumeration, and the
// release (nothing changed, so nothing is written).
void BM_OpenAndEnumerate10000(benchmark::State& state)
{
    constexpr int kEntries = 10000;
    AccountOfEdits account(0, 0);
    if (!account.Error().empty()) return state.SkipWithError(account.Error().c_str());
    EditMap* map = GetEditMap(account.Location(), "Default", kProgressSilent);
    if (!map) return state.SkipWithError("cannot make the database");
    for (int i = 0; i < kEntries; ++i) {
        EditInfo info;
        info.created = 1700000000 + uint32_t(i);
        info.modified = info.created + 60;
        info.length0 = info.length1 = info.length2 = uint32_t(i) * 7;
        info.fileSize = 524342 + uint32_t(i) * 4410;
        info.sampleRate = 44100;
        info.bitsPerSample = 16;
        info.channels = 2;
        MapAdd(map, info,
               "Show " + std::to_string(i / 100) + " - segment " + std::to_string(i % 100));
    }
    if (!ReleaseEditMap(map)) return state.SkipWithError("cannot write the database");

    size_t listed = 0;
    for (auto _ : state) {
        map = GetEditMap(account.Location(), "Default", kProgressSilent);
        if (!map) return state.SkipWithError("cannot open the database");
        EditInfo info;
        std::string title;
        listed = 0;
        for (bool more = MapFirst(map, info, title); more; more = MapNext(map, info, title)) {
            benchmark::DoNotOptimize(title.data());
            ++listed;
        }
        ReleaseEditMap(map);
    }
    if (listed != size_t(kEntries)) return state.SkipWithError("did not list every entry");
    state.counters["entries"] = double(listed);
}

BENCHMARK(BM_OpenAndEnumerate10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tandrel::bench
