// The selection copier streams a view's selection into another Edit: exactly the rendered
// bytes, in either direction, through the converter when the formats differ, and a cancel
// still leaves a committed, valid range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "base/recording_sink.h"
#include "base/scripted_progress.h"
#include "edit/edit_view.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

class SelectionCopierTest : public ::testing::Test
{
protected:
    // An edited Edit: ten seconds with a cut, so the selection spans two segments.
    void SetUp() override
    {
        ASSERT_TRUE(MakeEdit(source, kStereo16, total, total));
        audio = Pattern(0, total);
        audio.erase(audio.begin() + 40000, audio.begin() + 48000);
        ASSERT_TRUE(view.OpenView(source, false));
        ASSERT_TRUE(view.edit.EditPushStep(kStepDelete, 0, Plain(40000, 48000)));
        ASSERT_TRUE(view.SyncEdit());
        ASSERT_EQ(view.SetCursor(0, true), 0);
        ASSERT_TRUE(MakeEdit(target, kStereo16, 0, 0));
        ASSERT_TRUE(into.EditOpen(target, false, false));
    }

    Bytes TargetData(uint64_t start, uint64_t end)
    {
        Bytes data(end - start);
        uint64_t done = 0;
        EXPECT_EQ(into.EditDataSeek(start), 0);
        EXPECT_EQ(into.EditRead(data.data(), data.size(), done), 0);
        EXPECT_EQ(done, data.size());
        return data;
    }

    TempDir dir;
    const std::string source = dir.File("source.kdw");
    const std::string target = dir.File("target.kdw");
    const uint64_t total = 10 * 32000;
    Bytes audio;
    EditView view{1};
    EditFile into;
};

TEST_F(SelectionCopierTest, CopiesTheRenderedSelectionForwardAndReversed)
{
    for (bool reverse : {false, true}) {
        SCOPED_TRACE(reverse ? "reverse" : "forward");
        view.leftMark = 36000 + 4;
        view.rightMark = view.leftMark + 2 * 32000 + 1000;
        view.reverseMode = reverse;
        uint64_t before = into.EditDataLength();
        uint64_t start = 0, end = 0;
        ASSERT_EQ(view.WriteSelectionToEdit(into, start, end), 0);
        EXPECT_EQ(start, before);
        EXPECT_EQ(end - start, view.rightMark - view.leftMark);
        EXPECT_EQ(into.EditDataLength(), end);

        Bytes expected(audio.begin() + std::ptrdiff_t(view.leftMark),
                       audio.begin() + std::ptrdiff_t(view.rightMark));
        if (reverse) {
            Bytes reversed;
            for (size_t f = expected.size(); f >= 4; f -= 4)
                reversed.insert(reversed.end(), expected.begin() + std::ptrdiff_t(f - 4),
                                expected.begin() + std::ptrdiff_t(f));
            expected = reversed;
        }
        EXPECT_EQ(TargetData(start, end), expected);
    }
}

TEST_F(SelectionCopierTest, HooksSeeEachChunkInOrder)
{
    view.leftMark = 0;
    view.rightMark = 80000;
    std::vector<uint64_t> offsets;
    view.chunkEffect = [](uint8_t* bytes, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) bytes[i] = uint8_t(~bytes[i]);
    };
    view.chunkFade = [&](uint8_t*, uint32_t count, uint64_t outputOffset) {
        EXPECT_EQ(count % 4, 0u);
        offsets.push_back(outputOffset);
    };
    uint64_t start = 0, end = 0;
    ASSERT_EQ(view.WriteSelectionToEdit(into, start, end), 0);
    EXPECT_EQ(offsets, (std::vector<uint64_t>{0, 32000, 64000}));
    Bytes expected(audio.begin(), audio.begin() + 80000);
    for (uint8_t& b : expected) b = uint8_t(~b);
    EXPECT_EQ(TargetData(start, end), expected);
}

TEST_F(SelectionCopierTest, CancelStillCommitsWhatWasCopied)
{
    ScriptedProgressViews progress;
    progress.cancelAtPercent = 30;
    view.leftMark = 0;
    view.rightMark = view.length;
    uint64_t start = 0, end = 0;
    ASSERT_EQ(view.WriteSelectionToEdit(into, start, end), 0);
    EXPECT_TRUE(progress.cancellable);
    EXPECT_EQ(progress.viewsClosed, 1);
    EXPECT_GT(end, start);
    EXPECT_LT(end - start, view.length);
    EXPECT_EQ(into.EditDataLength(), end);
    EXPECT_EQ(TargetData(start, end), Bytes(audio.begin(), audio.begin() + std::ptrdiff_t(end - start)));
}

TEST_F(SelectionCopierTest, NoSelectionCopiesNothing)
{
    uint64_t start = 7, end = 7;
    view.leftMark = kNoPosition;
    EXPECT_EQ(view.WriteSelectionToEdit(into, start, end), 0);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
    view.leftMark = view.rightMark = 400;
    EXPECT_EQ(view.WriteSelectionToEdit(into, start, end), 0);
    EXPECT_EQ(into.EditDataLength(), 0u);
}

TEST(SelectionCopierConversion, ConvertsToTheTargetsFormat)
{
    TempDir dir;
    const std::string source = dir.File("tone.kdw");
    const std::string target = dir.File("wide.kdw");
    // Three seconds of a 500 Hz tone, 8 kHz mono, made sample by sample.
    const uint32_t frames = 3 * 8000;
    Bytes tone(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        auto s = int16_t(std::lround(12000 * std::sin(2 * M_PI * 500 * i / 8000.0)));
        tone[2 * i] = uint8_t(s);
        tone[2 * i + 1] = uint8_t(uint16_t(s) >> 8);
    }
    {
        EditFile edit;
        edit.channels = 1;
        edit.sampleRate = 8000;
        edit.bitsPerSample = 16;
        ASSERT_TRUE(edit.EditOpen(source, true, false));
        uint64_t start = 0, end = 0;
        ASSERT_TRUE(AppendData(edit, tone, start, end));
        ASSERT_TRUE(edit.EditPushStep(kStepInsert, 0, Plain(start, end), kRecordBaseStep));
        edit.EditClose();
    }
    EditView view(1);
    ASSERT_TRUE(view.OpenView(source, true));
    view.leftMark = 0;
    view.rightMark = view.length;
    ASSERT_TRUE(MakeEdit(target, Format{2, 16000, 16}, 0, 0));
    EditFile into;
    ASSERT_TRUE(into.EditOpen(target, false, false));
    uint64_t start = 0, end = 0;
    ASSERT_EQ(view.WriteSelectionToEdit(into, start, end), 0);
    EXPECT_EQ(into.EditDataLength(), end);
    EXPECT_EQ((end - start) % 4, 0u);
    // Twice the frames, each now two channels: about four times the bytes.
    const double expectedBytes = frames * 2.0 * 4;
    EXPECT_NEAR(double(end - start), expectedBytes, 0.01 * expectedBytes);

    // Both channels carry the tone at its level: count zero crossings on the left and check
    // the right equals the left.
    Bytes data(end - start);
    uint64_t done = 0;
    ASSERT_EQ(into.EditDataSeek(start), 0);
    ASSERT_EQ(into.EditRead(data.data(), data.size(), done), 0);
    int crossings = 0, peak = 0;
    int16_t previous = 0;
    for (size_t f = 4000; f + 4000 < data.size() / 4; ++f) {
        auto left = int16_t(data[4 * f] | (data[4 * f + 1] << 8));
        auto right = int16_t(data[4 * f + 2] | (data[4 * f + 3] << 8));
        ASSERT_EQ(left, right) << f;
        if ((previous < 0) != (left < 0)) ++crossings;
        peak = std::max(peak, std::abs(int(left)));
        previous = left;
    }
    const double seconds = (data.size() / 4 - 8000) / 16000.0;
    EXPECT_NEAR(crossings / seconds / 2, 500.0, 5.0);
    EXPECT_NEAR(peak, 12000, 600);
}

} // namespace
} // namespace tandrel::test
