// `edit render` and `edit extract` run as a user would run them, on Edits made here.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "edit/edit_view.h"

namespace tandrel::cli {
namespace {

uint32_t Le32(const std::string& b, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | uint8_t(b.at(at + size_t(i)));
    return v;
}

uint16_t Le16(const std::string& b, size_t at)
{
    return uint16_t(uint8_t(b.at(at)) | (uint8_t(b.at(at + 1)) << 8));
}

class EditAudioCommandsTest : public CliTest
{
protected:
    // Three seconds of 16-bit stereo at 44.1 kHz with [100000, 300000) cut out.
    void SetUp() override
    {
        CliTest::SetUp();
        source = PathOf("source.kdw");
        EditFile edit;
        ASSERT_TRUE(CreateWithAudio(edit, source, total));
        EditSegment cut;
        cut.dataStart = 100000;
        cut.dataEnd = 300000;
        ASSERT_TRUE(edit.EditPushStep(kStepDelete, 0, cut));
        edit.EditClose();
        rendered = Audio(0, 100000) + Audio(300000, total);
    }

    // The samples of a WAV written by `edit render`, after checking its canonical header.
    std::string WavSamples(const std::string& path, uint16_t channels, uint32_t rate)
    {
        std::string wav = ReadWhole(path);
        EXPECT_GE(wav.size(), 44u);
        if (wav.size() < 44) return {};
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(Le32(wav, 16), 16u);
        EXPECT_EQ(Le16(wav, 20), 1);
        EXPECT_EQ(Le16(wav, 22), channels);
        EXPECT_EQ(Le32(wav, 24), rate);
        EXPECT_EQ(Le32(wav, 28), rate * 2u * channels);
        EXPECT_EQ(wav.substr(36, 4), "data");
        uint32_t dataBytes = Le32(wav, 40);
        EXPECT_EQ(Le32(wav, 4), 36 + dataBytes);
        EXPECT_EQ(wav.size(), 44u + dataBytes);
        return wav.substr(44);
    }

    const uint64_t total = 3 * 176400;
    std::string source;
    std::string rendered;
};

TEST_F(EditAudioCommandsTest, RenderWritesTheReplayedAudio)
{
    const std::string out = PathOf("all.wav");
    RunResult run = Run({"edit", "render", source, out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(WavSamples(out, 2, 44100), rendered);
}

TEST_F(EditAudioCommandsTest, RenderOfARangeAndOfMasterView)
{
    const std::string part = PathOf("part.wav");
    RunResult run = Run({"edit", "render", source, part, "--from", "90002", "--to", "270001"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(WavSamples(part, 2, 44100), rendered.substr(90000, 180000)) << "whole frames only";

    const std::string master = PathOf("master.wav");
    run = Run({"edit", "render", source, master, "--master"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(WavSamples(master, 2, 44100), Audio(0, total)) << "Master view has no cut";
}

TEST_F(EditAudioCommandsTest, RenderRefusesARangeOutsideTheEdit)
{
    for (auto range : {std::vector<std::string>{"--from", "5000", "--to", "4000"},
                       std::vector<std::string>{"--to", std::to_string(total)},
                       std::vector<std::string>{"--from", "x"}}) {
        std::vector<std::string> args{"edit", "render", source, PathOf("bad.wav")};
        args.insert(args.end(), range.begin(), range.end());
        RunResult run = Run(args);
        EXPECT_EQ(run.status, 1) << range[0] << " " << range[1];
        EXPECT_FALSE(run.err.empty());
    }
}

TEST_F(EditAudioCommandsTest, ExtractMakesANewEditOfTheSelection)
{
    const std::string copy = PathOf("copy.kdw");
    RunResult run = Run({"edit", "extract", source, copy, "--from", "40000", "--to", "140000"});
    ASSERT_EQ(run.status, 0) << run.err;

    EditView view;
    ASSERT_TRUE(view.OpenView(copy, true));
    EXPECT_EQ(view.length, 100000u);
    ASSERT_EQ(view.edit.undo.size(), 1u);
    EXPECT_EQ(view.edit.undo[0].flags & kRecordBaseStep, kRecordBaseStep);
    const uint32_t centiseconds = 100000 * 100 / 176400;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(view.edit.EditGetLength(i), centiseconds) << i;
    view.CloseView();

    const std::string out = PathOf("copy.wav");
    ASSERT_EQ(Run({"edit", "render", copy, out}).status, 0);
    EXPECT_EQ(WavSamples(out, 2, 44100), rendered.substr(40000, 100000));
}

TEST_F(EditAudioCommandsTest, ExtractConvertsToTheFormatAsked)
{
    const std::string copy = PathOf("mono.kdw");
    RunResult run = Run({"edit", "extract", source, copy, "--from", "0", "--to", "176400",
                         "--rate", "22050", "--channels", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EditView view;
    ASSERT_TRUE(view.OpenView(copy, true));
    EXPECT_EQ(view.sampleRate, 22050u);
    EXPECT_EQ(view.channels, 1u);
    EXPECT_EQ(view.bitsPerSample, 16u);
    // One second of audio: about 22050 frames of two bytes.
    EXPECT_NEAR(double(view.length), 44100.0, 441.0);
}

TEST_F(EditAudioCommandsTest, ExtractNeverTouchesAnExistingFile)
{
    const std::string existing = PathOf("existing.kdw");
    {
        std::ofstream out(existing);
        out << "keep me";
    }
    RunResult run = Run({"edit", "extract", source, existing, "--from", "0", "--to", "1000"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadWhole(existing), "keep me");

    run = Run({"edit", "extract", source, PathOf("empty.kdw"), "--from", "8", "--to", "8"});
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(fs::exists(PathOf("empty.kdw")));
    run = Run({"edit", "extract", source, PathOf("nofrom.kdw"), "--to", "8"});
    EXPECT_EQ(run.status, 1);
}

} // namespace
} // namespace tandrel::cli
