// The render window must always hold exactly the Edit's rendered audio around the cursor,
// however the cursor moves, and render only what a move exposes.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/recording_sink.h"
#include "edit/edit_view.h"
#include "edit/process_hooks.h"
#include "edit_test_support.h"

namespace tandrel::test {
namespace {

Bytes WindowBytes(const EditView& view)
{
    RingPieces pieces = view.ReadWindow(0);
    Bytes out(pieces.data[0], pieces.data[0] + pieces.size[0]);
    if (pieces.size[1] > 0) out.insert(out.end(), pieces.data[1], pieces.data[1] + pieces.size[1]);
    return out;
}

// The window the view should hold for `start`: the expected audio, silence past its end.
Bytes ExpectedWindow(const Bytes& audio, uint64_t start, uint32_t size, uint8_t silence)
{
    Bytes out(size, silence);
    for (uint64_t i = 0; i < size && start + i < audio.size(); ++i) out[i] = audio[start + i];
    return out;
}

uint64_t ExpectedWindowStart(uint64_t cursor, uint64_t length, uint32_t window, uint32_t align)
{
    if (length <= window) return 0;
    uint64_t start = cursor > window / 2 ? cursor - window / 2 : 0;
    start = std::min<uint64_t>(start, length - window);
    return start / align * align;
}

struct RenderCase
{
    Format format;
    const char* name;
};

class RenderWindowTest : public ::testing::TestWithParam<RenderCase>
{
protected:
    TempDir dir;
};

// An Edit of ten seconds, a cut in it and a piece of its own audio pasted elsewhere; the
// cursor then walks forward and back in small and large steps.
TEST_P(RenderWindowTest, WindowHoldsRenderedAudioWhereverTheCursorGoes)
{
    const Format format = GetParam().format;
    const uint32_t align = format.BlockAlign();
    const uint64_t total = 10ull * format.BytesPerSecond();
    const std::string path = dir.File("walk.kdw");
    ASSERT_TRUE(MakeEdit(path, format, total, total));

    // Expected audio, worked out on a flat copy of the data.
    Bytes audio = Pattern(0, total);
    const uint64_t cutStart = 3 * align * 1000 + align * 7, cutEnd = cutStart + align * 20011;
    audio.erase(audio.begin() + std::ptrdiff_t(cutStart), audio.begin() + std::ptrdiff_t(cutEnd));
    const uint64_t pasteFrom = align * 500, pasteTo = align * 9500, pasteAt = align * 40001;
    Bytes pasted = Pattern(pasteFrom, pasteTo - pasteFrom);
    audio.insert(audio.begin() + std::ptrdiff_t(pasteAt), pasted.begin(), pasted.end());

    EditView view(1);
    ASSERT_TRUE(view.OpenView(path, false));
    ASSERT_TRUE(view.edit.EditPushStep(kStepDelete, 0, Plain(cutStart, cutEnd)));
    ASSERT_TRUE(view.edit.EditPushStep(kStepInsert, pasteAt, Plain(pasteFrom, pasteTo)));
    ASSERT_TRUE(view.SyncEdit());
    ASSERT_EQ(view.length, audio.size());
    ASSERT_EQ(view.MakeBuffer(), 0);
    ASSERT_EQ(view.SetCursor(0, true), 0);

    const uint32_t window = view.bufferBytes;
    const uint8_t silence = format.bits == 8 ? 0x80 : 0;
    std::vector<uint64_t> cursors;
    for (uint64_t c = 0; c < audio.size(); c += window / 3 + align) cursors.push_back(c);
    for (uint64_t c = audio.size(); c > window; c -= window / 5 + align) cursors.push_back(c);
    cursors.insert(cursors.end(), {audio.size() / 2, 0, audio.size() - align, window * 2 + align});
    for (uint64_t c : cursors) {
        SCOPED_TRACE(c);
        ASSERT_EQ(view.SetCursor(c, false), 0);
        EXPECT_EQ(view.cursor, c / align * align);
        uint64_t start = ExpectedWindowStart(c, audio.size(), window, align);
        ASSERT_EQ(view.windowStart, start);
        ASSERT_EQ(WindowBytes(view), ExpectedWindow(audio, start, window, silence));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RenderWindowTest,
                         ::testing::Values(RenderCase{kMono8, "mono8"},
                                           RenderCase{kStereo16, "stereo16"},
                                           RenderCase{Format{2, 8000, 8}, "stereo8"},
                                           RenderCase{Format{1, 8000, 16}, "mono16"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A generator that writes a running count into each channel and keeps the number of bytes
// it was asked for.
class CountingGenerator : public ProcessHooks
{
public:
    CountingGenerator() : previous_(InstallProcessHooks(this)) {}
    ~CountingGenerator() override { InstallProcessHooks(previous_); }
    bool GenerateAudio(uint32_t name, uint8_t* buffer, uint32_t count, uint32_t, uint32_t,
                       uint32_t, uint32_t, uint32_t) override
    {
        if (name != FourCC("Test")) return false;
        requested += count;
        std::fill(buffer, buffer + count, uint8_t(0x11));
        return true;
    }
    void TreatAudio(uint8_t* buffer, uint32_t count, uint32_t flags, uint32_t parameter,
                    uint32_t, uint32_t, uint32_t) override
    {
        if (flags & kTreatGainGroup)
            for (uint32_t i = 0; i < count; ++i) buffer[i] = uint8_t(buffer[i] + parameter);
    }
    uint64_t requested = 0;

private:
    ProcessHooks* previous_;
};

TEST(RenderWindow, SlidingRendersOnlyTheExposedBytes)
{
    TempDir dir;
    const std::string path = dir.File("generated.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 0, 0));
    CountingGenerator generator;
    EditView view(1);
    ASSERT_TRUE(view.OpenView(path, false));
    EditSegment tone = Plain(0, 60 * 8000);
    tone.channel[0] = {kSourceGenerated, FourCC("Test"), kTreatMono, 0};
    ASSERT_TRUE(view.edit.EditPushStep(kStepInsert, 0, tone, kRecordBaseStep));
    ASSERT_TRUE(view.SyncEdit());
    ASSERT_EQ(view.SetCursor(20 * 8000, true), 0);
    ASSERT_EQ(generator.requested, 8000u) << "a refill renders the whole window";

    struct Move { int64_t by; uint64_t rendered; };
    const Move moves[] = {{800, 800}, {80, 80}, {-1000, 1000}, {7999, 7999}, {-9000, 8000}, {20000, 8000}};
    for (const Move& move : moves) {
        generator.requested = 0;
        ASSERT_EQ(view.SetCursor(view.cursor + move.by, false), 0);
        EXPECT_EQ(generator.requested, move.rendered) << "move by " << move.by;
        Bytes expected(8000, 0x11);
        EXPECT_EQ(WindowBytes(view), expected);
    }
}

TEST(RenderWindow, ChannelsRenderFromTheirOwnSourcesAndTreatments)
{
    TempDir dir;
    const std::string path = dir.File("split.kdw");
    const uint64_t bytes = 4000 * 4; // half a second of 16-bit stereo at 8 kHz
    ASSERT_TRUE(MakeEdit(path, kStereo16, bytes, 0));
    CountingGenerator treatments;
    EditView view(1);
    ASSERT_TRUE(view.OpenView(path, false));
    EditSegment piece = Plain(0, bytes);
    piece.channel[0].treatFlags = kTreatLeft | 0x100; // gain on the left only
    piece.channel[0].treatParam = 1;
    piece.channel[1] = {kSourceSilence, 0, kTreatRight, 0};
    ASSERT_TRUE(view.edit.EditPushStep(kStepInsert, 0, piece, kRecordBaseStep));
    ASSERT_TRUE(view.SyncEdit());
    ASSERT_EQ(view.SetCursor(0, true), 0);

    Bytes window = WindowBytes(view);
    Bytes data = Pattern(0, bytes);
    for (uint64_t frame = 0; frame < bytes / 4; ++frame) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(window[frame * 4], uint8_t(data[frame * 4] + 1));
        ASSERT_EQ(window[frame * 4 + 1], uint8_t(data[frame * 4 + 1] + 1));
        ASSERT_EQ(window[frame * 4 + 2], 0);
        ASSERT_EQ(window[frame * 4 + 3], 0);
    }
}

// 8-bit mono at 11025 Hz makes every window of an odd number of seconds (the main window
// holds 23) an odd number of bytes; a segment that needs rendering and covers all of it
// must fill exactly the window.
TEST(RenderWindow, AnOddSizedWindowRendersWholeSegmentsThatNeedRendering)
{
    const Format format{1, 11025, 8};
    const uint64_t total = 30 * 11025;
    EditSegment silence = Plain(0, total), generated = Plain(0, total), treated = Plain(0, total);
    silence.channel[0] = {kSourceSilence, 0, kTreatMono, 0};
    generated.channel[0] = {kSourceGenerated, FourCC("Test"), kTreatMono, 0};
    treated.channel[0].treatFlags = kTreatMono | 0x100;
    treated.channel[0].treatParam = 1;
    struct Case
    {
        const char* name;
        EditSegment segment;
        uint8_t (*expected)(uint8_t data);
    };
    const Case cases[] = {
        {"silence", silence, [](uint8_t) { return uint8_t(0x80); }},
        {"generated", generated, [](uint8_t) { return uint8_t(0x11); }},
        {"treated", treated, [](uint8_t data) { return uint8_t(data + 1); }},
    };
    const Bytes data = Pattern(0, total);
    CountingGenerator generator;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.File("odd.kdw");
        ASSERT_TRUE(MakeEdit(path, format, total, 0));
        EditView view(23);
        ASSERT_TRUE(view.OpenView(path, false));
        ASSERT_TRUE(view.edit.EditPushStep(kStepInsert, 0, c.segment, kRecordBaseStep));
        ASSERT_TRUE(view.SyncEdit());
        ASSERT_EQ(view.bufferBytes % 2, 1u);
        ASSERT_EQ(view.SetCursor(total / 2, true), 0);
        const Bytes window = WindowBytes(view);
        ASSERT_EQ(window.size(), view.bufferBytes);
        for (uint64_t i = 0; i < window.size(); ++i)
            ASSERT_EQ(window[i], c.expected(data[view.windowStart + i])) << "at " << i;
    }
}

TEST(RenderWindow, ShortEditStaysAtStartWithSilenceBehind)
{
    TempDir dir;
    const std::string path = dir.File("short.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 3000, 3000));
    EditView view(1);
    ASSERT_TRUE(view.OpenView(path, false));
    for (uint64_t c : {0ull, 1500ull, 2999ull}) {
        ASSERT_EQ(view.SetCursor(c, false), 0);
        EXPECT_EQ(view.windowStart, 0u);
        EXPECT_EQ(WindowBytes(view), ExpectedWindow(Pattern(0, 3000), 0, 8000, 0x80));
    }
}

TEST(RenderWindow, WindowReturnsToStartWhenAnEditShortensTheAudio)
{
    TempDir dir;
    const std::string path = dir.File("shrink.kdw");
    const uint64_t total = 10 * 8000;
    ASSERT_TRUE(MakeEdit(path, kMono8, total, total));
    EditView view(1);
    ASSERT_TRUE(view.OpenView(path, false));
    ASSERT_EQ(view.SetCursor(total - 1, false), 0);
    ASSERT_GT(view.windowStart, 0u);
    ASSERT_TRUE(view.edit.EditPushStep(kStepDelete, 0, Plain(100, total)));
    ASSERT_TRUE(view.SyncEdit());
    ASSERT_EQ(view.SetCursor(50, true), 0);
    EXPECT_EQ(view.windowStart, 0u);
    EXPECT_EQ(WindowBytes(view), ExpectedWindow(Pattern(0, 100), 0, 8000, 0x80));
}

TEST(RenderWindow, AudioMissingFromTheFileRendersSilenceAndIsReportedOnce)
{
    TempDir dir;
    const std::string path = dir.File("missing.kdw");
    ASSERT_TRUE(MakeEdit(path, kMono8, 1000, 1000));
    ScopedRecordingSink sink;
    EditView view(1);
    ASSERT_TRUE(view.OpenView(path, false));
    // A step whose audio lies partly beyond the data chunk.
    ASSERT_TRUE(view.edit.EditPushStep(kStepInsert, 1000, Plain(500, 1500)));
    ASSERT_TRUE(view.SyncEdit());
    EXPECT_EQ(view.SetCursor(0, true), -1);
    EXPECT_EQ(view.SetCursor(10, true), -1);

    Bytes expected = Pattern(0, 1000);
    Bytes tail = Pattern(500, 500);
    expected.insert(expected.end(), tail.begin(), tail.end());
    expected.resize(1500, 0x80);
    EXPECT_EQ(WindowBytes(view), ExpectedWindow(expected, 0, 8000, 0x80));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Render: Audio data missing from file missing.kdw."});
}

TEST(RenderWindow, RenderWithoutAnEditSaysSo)
{
    EditView view;
    EXPECT_EQ(view.Render(true), EditView::kNoEdit);
}

TEST(RenderWindow, FineStepUsesFourFrames)
{
    TempDir dir;
    const std::string path = dir.File("fine.kdw");
    ASSERT_TRUE(MakeEdit(path, kStereo16, 8000, 8000));
    EditView view(1);
    ASSERT_TRUE(view.OpenView(path, true));
    EXPECT_EQ(view.blockBytes, 320u);
    view.SetFineStep(true);
    EXPECT_EQ(view.blockBytes, 16u);
    EXPECT_EQ(view.blockBytesAligned, 16u);
    view.SetFineStep(false);
    EXPECT_EQ(view.blockBytesAligned, 320u);
}

} // namespace
} // namespace tandrel::test
