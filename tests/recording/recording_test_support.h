#pragma once
// What the recording tests share: a private settings folder and Library, an input WAV of
// known samples for the File device, the engine opened on it, the main stream and the
// recorder's hooks, and ways to drive the capture exactly.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/audio_stream.h"
#include "base/recording_sink.h"
#include "edit_test_support.h"
#include "recording/recorder_shell.h"

namespace tandrel::test {

/** 16-bit stereo at 44.1 kHz: the format new recordings are made in by default. */
inline constexpr uint32_t kRate = 44100;
inline constexpr uint32_t kFrameBytes = 4;
inline constexpr uint32_t kBytesPerSecond = kRate * kFrameBytes;

/** `seconds` of 16-bit stereo noise from a fixed seed, left and right unlike each other. */
Bytes NoiseSamples(uint32_t seconds);
/** The sample data of a 44-byte-header WAV. */
Bytes WavData(const std::string& path);

/** The recorder's shell as the tests see it: counts the stop requests and keeps the path of
    the Edit a recording became instead of opening it. */
class TestRecorderShell : public RecorderShell
{
public:
    void PostStopRecording() override { ++stopRequests; }
    void OpenRecordedEdit(const std::string& path) override { recordedPath = path; }
    int stopRequests = 0;
    std::string recordedPath;
};

class RecordingTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    /** Opens the engine on the backend `choice` (TANDREL_AUDIO syntax) for the default
        recording format. The fixture opens the fast File device on the input at start. */
    void OpenEngine(const std::string& choice);
    /** Pumps the fast capture 10 ms at a time and drains it as the main loop does until
        `bytes` more have been recorded (exactly, when they are whole frames). */
    void RecordBytes(uint64_t bytes);
    /** Pumps `frames` of input while nothing records (armed or paused): the input monitor
        takes them. */
    void PumpUnrecorded(uint32_t frames);
    /** An Edit of the active account. */
    std::string EditPath(const std::string& title) const;
    /** The whole rendered audio of the Edit at `path`. */
    Bytes Render(const std::string& path) const;
    /** Bytes [from, from + count) of the input. */
    Bytes Input(uint64_t from, uint64_t count) const;

    TempDir dir;
    std::string library; // the Library folder of the storage folder
    Bytes input;         // the samples the capture device reads, in order
    std::unique_ptr<AudioStream> main;
    RecorderAudioShell audioShell;
    TestRecorderShell shell;
    ScopedRecordingSink messages;
};

} // namespace tandrel::test
