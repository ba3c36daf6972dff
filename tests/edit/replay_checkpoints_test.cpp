// A replay that starts from a kept copy of the edit list must build exactly what a replay from
// the first step builds, whatever happened to the history in between.
#include <gtest/gtest.h>

#include "edit/edit_view.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

// The segments a view replays from scratch (a fresh view keeps no copies).
std::vector<EditSegment> ColdReplay(const EditFile& edit)
{
    EditView fresh;
    fresh.channels = edit.channels;
    fresh.bitsPerSample = edit.bitsPerSample;
    fresh.sampleRate = edit.sampleRate;
    fresh.blockAlign = edit.bitsPerSample / 8 * edit.channels;
    fresh.bytesPerSecond = fresh.blockAlign * edit.sampleRate;
    fresh.edit.undo = edit.undo;
    fresh.SyncEdit();
    return fresh.segments.Segments();
}

TEST(ReplayCheckpoints, WarmReplaysMatchColdOnesThroughPushUndoRedoAndRename)
{
    TempDir dir;
    const std::string path = dir.File("long.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 100000, 100000));
    EditView view;
    ASSERT_TRUE(view.OpenView(path, false));
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    // Far more steps than one copy covers, mixing cuts, pastes and markers. The lists are
    // changed in memory: saving each step would only make the test slow.
    std::vector<EditRecord> undone;
    for (int step = 0; step < 700; ++step) {
        const uint64_t at = next(uint32_t(view.length));
        switch (step % 3) {
        case 0: view.edit.undo.push_back(DeleteRecord(at, at + std::min<uint64_t>(50, view.length - at))); break;
        case 1: view.edit.undo.push_back(Record(kStepInsert, at, Plain(next(90000), 90000 + next(9000)))); break;
        default: view.edit.undo.push_back(InsertMarkerRecord(at, uint32_t(step), "m")); break;
        }
        ASSERT_TRUE(view.SyncEdit());
        if (step % 5 == 0) {
            ASSERT_EQ(view.segments.Segments(), ColdReplay(view.edit)) << "after push " << step;
        }
    }
    for (int i = 0; i < 300; ++i) {
        undone.push_back(view.edit.undo.back());
        view.edit.undo.pop_back();
        ASSERT_TRUE(view.SyncEdit());
        if (i % 5 == 0) {
            ASSERT_EQ(view.segments.Segments(), ColdReplay(view.edit)) << "after undo " << i;
        }
    }
    for (int i = 0; i < 150; ++i) {
        view.edit.undo.push_back(undone.back());
        undone.pop_back();
    }
    ASSERT_TRUE(view.SyncEdit());
    EXPECT_EQ(view.segments.Segments(), ColdReplay(view.edit));

    // A renamed marker early in the history changes its segment's name length.
    ASSERT_TRUE(view.RenameMarkerText(2, "a much longer name"));
    EXPECT_EQ(view.segments.Segments(), ColdReplay(view.edit));

    // A record changed in place where no step boundary moved still counts.
    view.edit.undo[10].position += 1;
    ASSERT_TRUE(view.SyncEdit());
    EXPECT_EQ(view.segments.Segments(), ColdReplay(view.edit));
}

} // namespace
} // namespace tandrel::test
