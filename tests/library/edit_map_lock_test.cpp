// A database belongs to one map at a time across programs: a second opener waits through the
// retries and then fails, and nothing either side wrote is lost. Within one program the maps
// are shared between threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <future>
#include <poll.h>
#include <set>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "base/progress.h"
#include "base/recording_sink.h"
#include "library/edit_map.h"
#include "library_test_support.h"

namespace tandrel::test {
namespace {

const char kGaveUp[] = "GetEditMap: Unable to open file database for account Default.";

/** Another program's hold on a file: its own open file description, locked. */
int HoldLock(const std::string& path)
{
    int fd = open(path.c_str(), O_RDWR);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void ExpectRetryWaits(const std::vector<int>& waits)
{
    // 16 attempts, a wait of 250 ms plus 0 to 99 between each two.
    EXPECT_EQ(waits.size(), 15u);
    for (int wait : waits) {
        EXPECT_GE(wait, 250);
        EXPECT_LE(wait, 349);
    }
}

class EditMapLock : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeEdit(library.Edit("Kept"), {1, 8000, 8, {10, 10, 10}, 80}));
        EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
        ASSERT_NE(map, nullptr);
        ASSERT_TRUE(ReleaseEditMap(map));
        original = ReadBytes(library.Database());
    }

    ScratchLibrary library;
    Bytes original;
};

TEST_F(EditMapLock, ASecondOpenerWaitsThroughTheRetriesAndGivesUp)
{
    // Held from another thread, as another program would.
    std::promise<void> locked, done;
    std::shared_future<void> finish = done.get_future().share();
    std::thread holder([&] {
        int fd = HoldLock(library.Database());
        locked.set_value();
        finish.wait();
        if (fd >= 0) close(fd);
    });
    locked.get_future().wait();

    RecordedWaits waits;
    ScopedRecordingSink sink;
    EXPECT_EQ(GetEditMap(library.Location(), "Default", kProgressSilent), nullptr);
    done.set_value();
    holder.join();

    ExpectRetryWaits(waits.Waits());
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{kGaveUp});
    EXPECT_EQ(ReadBytes(library.Database()), original);
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr) << "once let go, the file opens";
    EXPECT_EQ(map->entries.Size(), 1u);
    ReleaseEditMap(map);
}

int heldFd = -1;

TEST_F(EditMapLock, AnOpenerGetsInWhenTheHolderLetsGoDuringTheWaits)
{
    heldFd = HoldLock(library.Database());
    ASSERT_GE(heldFd, 0);
    RecordedWaits waits;
    waits.onWait = [](size_t count) {
        if (count == 5) close(heldFd);
    };
    ScopedRecordingSink sink;
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(waits.Waits().size(), 5u);
    EXPECT_TRUE(sink.Texts().empty());
    EditInfo info;
    EXPECT_TRUE(MapLookup(map, "Kept", info));
    ReleaseEditMap(map);
}

TEST_F(EditMapLock, AnotherProcessHoldingTheMapKeepsItsChangesAndOurs)
{
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ScopedRecordingSink quiet;
        char go = 0;
        EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
        EditInfo info;
        info.length0 = 4242;
        const bool added = map && MapAdd(map, info, "From the other program");
        char status = added ? 'y' : 'n';
        if (write(toParent[1], &status, 1) != 1 || read(toChild[0], &go, 1) != 1) _exit(3);
        _exit(map && ReleaseEditMap(map) ? 0 : 2);
    }
    char status = 0;
    ASSERT_EQ(read(toParent[0], &status, 1), 1);
    ASSERT_EQ(status, 'y');

    {
        RecordedWaits waits;
        ScopedRecordingSink sink;
        EXPECT_EQ(GetEditMap(library.Location(), "Default", kProgressSilent), nullptr);
        ExpectRetryWaits(waits.Waits());
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{kGaveUp});
        EXPECT_FALSE(DeleteEditMapFile(library.Location(), "Default"));
        EXPECT_EQ(ReadBytes(library.Database()), original) << "the holder writes at its release";
    }
    char go = 'g';
    ASSERT_EQ(write(toChild[1], &go, 1), 1);
    int exitStatus = 0;
    ASSERT_EQ(waitpid(child, &exitStatus, 0), child);
    ASSERT_TRUE(WIFEXITED(exitStatus));
    EXPECT_EQ(WEXITSTATUS(exitStatus), 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]})
        close(fd);

    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    EditInfo info;
    ASSERT_TRUE(MapLookup(map, "From the other program", info));
    EXPECT_EQ(info.length0, 4242u);
    EXPECT_TRUE(MapLookup(map, "Kept", info));
    ReleaseEditMap(map);
}

TEST_F(EditMapLock, AWriteHandsTheLockToTheNewFile)
{
    // The database is replaced by a rename on every write: whoever opens the path afterwards
    // must still find it held.
    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    ASSERT_TRUE(MapAdd(map, EditInfo{}, "Another"));
    ASSERT_TRUE(MapWrite(map));
    ASSERT_TRUE(RebuildMapFile(map, kProgressSilent));
    EXPECT_EQ(HoldLock(library.Database()), -1);
    ASSERT_TRUE(ReleaseEditMap(map));
    int fd = HoldLock(library.Database());
    EXPECT_GE(fd, 0);
    close(fd);
}

// Progress views that turn "the event loop" as the program's do: every percent shown runs
// `timer`, as a timer of the program firing there would (not again from within itself).
class TimerFiringViews : public ProgressViewFactory
{
  public:
    explicit TimerFiringViews(std::function<void()> timer)
        : timer_(std::move(timer)), previous_(InstallProgressViews(this))
    {
    }
    ~TimerFiringViews() override { InstallProgressViews(previous_); }
    std::unique_ptr<ProgressView> MakeProgressView(ProgressKind) override
    {
        return std::make_unique<View>(*this);
    }

  private:
    struct View : ProgressView
    {
        explicit View(TimerFiringViews& owner) : owner(owner) {}
        void Show(bool) override {}
        void SetText(const std::string&) override {}
        void SetPercent(int) override
        {
            if (owner.firing) return;
            owner.firing = true;
            owner.timer_();
            owner.firing = false;
        }
        void ToFront() override {}
        void Close() override {}
        bool CancelPressed() override { return false; }
        TimerFiringViews& owner;
    };
    std::function<void()> timer_;
    ProgressViewFactory* previous_;
    bool firing = false;
};

// Runs `scenario` in a child process and waits up to a minute for its answer, so that a
// deadlock fails the test instead of stalling the suite.
enum class Outcome { Passed, Failed, Hung };
Outcome RunInChild(const std::function<bool()>& scenario)
{
    int answer[2];
    if (pipe(answer) != 0) return Outcome::Failed;
    const pid_t child = fork();
    if (child == 0) {
        close(answer[0]);
        const char result = scenario() ? 'y' : 'n';
        _exit(write(answer[1], &result, 1) == 1 ? 0 : 1);
    }
    close(answer[1]);
    pollfd ready{answer[0], POLLIN, 0};
    char result = 0;
    const bool answered = child > 0 && poll(&ready, 1, 60000) == 1 && read(answer[0], &result, 1) == 1;
    if (child > 0) {
        if (!answered) kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    close(answer[0]);
    return !answered ? Outcome::Hung : result == 'y' ? Outcome::Passed : Outcome::Failed;
}

// A rebuild shows progress, and the progress window turns the event loop: a timer there that
// opens the same folder's map, looks up and adds an Edit must neither wait for the rebuild
// nor lose what it added.
TEST(EditMapThreads, ATimerDuringARebuildsProgressUsesTheSameMap)
{
    struct Case
    {
        const char* name;
        bool mapOpen; // rebuilding an open map, rather than one being opened
    };
    for (const Case c : {Case{"opening", false}, Case{"rebuilding", true}}) {
        SCOPED_TRACE(c.name);
        ScratchLibrary library;
        ASSERT_TRUE(MakeEdit(library.Edit("One"), {}));
        ASSERT_TRUE(MakeEdit(library.Edit("Two"), {}));
        ScopedRecordingSink sink;
        const Outcome outcome = RunInChild([&] {
            bool timerOk = false;
            TimerFiringViews views([&] {
                EditMap* map = GetEditMap(library.Location(), "Default");
                EditInfo info;
                info.length0 = 4321;
                timerOk = map && MapLookup(map, "One", info) && MapAdd(map, info, "Arrived");
                if (map) ReleaseEditMap(map);
            });
            EditMap* map = GetEditMap(library.Location(), "Default", c.mapOpen ? kProgressSilent
                                                                                : kProgressForeground);
            const bool rebuilt = map && (!c.mapOpen || RebuildMapFile(map));
            EditInfo info;
            const bool ok = rebuilt && timerOk && MapLookup(map, "Two", info) &&
                            MapLookup(map, "Arrived", info) && sink.Texts().empty();
            if (map) ReleaseEditMap(map);
            return ok;
        });
        EXPECT_EQ(outcome, Outcome::Passed);
    }
}

TEST(EditMapThreads, OpenersRacingForOneFolderShareOneMap)
{
    ScratchLibrary library;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(MakeEdit(library.Edit("E" + std::to_string(i)), {}));
    constexpr int kThreads = 6;
    std::vector<EditMap*> got(kThreads, nullptr);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            ++ready;
            while (ready < kThreads)
                std::this_thread::yield();
            got[size_t(t)] = GetEditMap(library.Location(), "Default", kProgressSilent);
        });
    for (auto& thread : threads)
        thread.join();
    ASSERT_NE(got[0], nullptr);
    for (EditMap* map : got)
        EXPECT_EQ(map, got[0]);
    EXPECT_EQ(got[0]->refCount, uint32_t(kThreads));
    EXPECT_EQ(got[0]->entries.Size(), 20u);
    for (EditMap* map : got)
        EXPECT_TRUE(ReleaseEditMap(map));
}

TEST(EditMapThreads, AnImporterAddsWhileTheInterfaceEnumerates)
{
    ScratchLibrary library;
    constexpr int kAdded = 300;
    std::atomic<bool> importing{true};
    std::atomic<int> refused{0};
    // The auto-import thread: its own reference, its adds refused while an enumeration runs,
    // so it tries again.
    std::thread importer([&] {
        EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
        for (int i = 0; map && i < kAdded; ++i) {
            EditInfo info;
            info.length0 = uint32_t(i);
            while (!MapAdd(map, info, "Import " + std::to_string(i))) {
                ++refused;
                std::this_thread::yield();
            }
        }
        importing = false;
        if (map) ReleaseEditMap(map);
    });

    EditMap* map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    size_t enumerations = 0;
    while (importing || enumerations == 0) {
        std::set<std::string> seen;
        for (const auto& entry : Enumerate(map)) {
            EXPECT_TRUE(seen.insert(entry.first).second) << "listed twice: " << entry.first;
            EXPECT_EQ("Import " + std::to_string(entry.second.length0), entry.first);
        }
        ++enumerations;
    }
    importer.join();
    EXPECT_EQ(Enumerate(map).size(), size_t(kAdded));
    ASSERT_TRUE(ReleaseEditMap(map));

    map = GetEditMap(library.Location(), "Default", kProgressSilent);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->entries.Size(), size_t(kAdded)) << "every add reached the disk";
    ReleaseEditMap(map);
}

} // namespace
} // namespace tandrel::test
