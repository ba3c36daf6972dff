// New and insert recordings through the File device: what was captured is what the Edit
// holds, after the mono fold, the gain control or the software mix where they are on.
#include <filesystem>
#include <functional>

#include "audio/audio_devices.h"
#include "audio/audio_devices_dialog.h"
#include "engine/device_change.h"
#include "audio/gain_control.h"
#include "engine/service_loop.h"
#include "engine/transport.h"
#include "editing/markers.h"
#include "editing/undo_redo.h"
#include "editing_test_support.h"
#include "library/edit_map.h"
#include "library/library_account.h"
#include "library/new_edits.h"
#include "recording/capture_drain.h"
#include "recording/recorder.h"
#include "recording_test_support.h"
#include "settings/settings_store.h"

namespace tandrel::test {
namespace {

int16_t SampleAt(const Bytes& audio, size_t index)
{
    return int16_t(uint16_t(audio[index * 2] | audio[index * 2 + 1] << 8));
}

Bytes FoldedToMono(const Bytes& stereo)
{
    Bytes folded = stereo;
    for (size_t frame = 0; frame < stereo.size() / 4; ++frame) {
        const auto mono = int16_t((int32_t(SampleAt(stereo, frame * 2)) + SampleAt(stereo, frame * 2 + 1)) / 2);
        for (size_t side = 0; side < 2; ++side) {
            folded[frame * 4 + side * 2] = uint8_t(mono & 0xFF);
            folded[frame * 4 + side * 2 + 1] = uint8_t((mono >> 8) & 0xFF);
        }
    }
    return folded;
}

int32_t Peak(const Bytes& audio)
{
    int32_t peak = 0;
    for (size_t i = 0; i < audio.size() / 2; ++i) peak = std::max(peak, std::abs(int32_t(SampleAt(audio, i))));
    return peak;
}

void SetNumber(const char* name, uint32_t value)
{
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, name, value));
}

using NewRecording = RecordingTest;

TEST_F(NewRecording, BecomesAnEditOfTheAccountHoldingWhatWasCaptured)
{
    messages.ScriptText("Morning show"); // the title the person gives
    RecordCommand();
    ASSERT_EQ(CurrentRecordingKind(), kNewRecording);
    EXPECT_EQ(main->State(), kStateRecording);
    RecordBytes(2 * kBytesPerSecond);
    StopRecording();

    EXPECT_EQ(CurrentRecordingKind(), kNotRecording);
    EXPECT_EQ(shell.recordedPath, EditPath("Morning show"));
    EXPECT_TRUE(Transport().recordingArmed) << "the input is monitored again after the stop";
    EXPECT_FALSE(FileExists(library + "/KD4TempEdit.kdw"));
    EXPECT_EQ(Render(shell.recordedPath), Input(0, 2 * kBytesPerSecond));

    EditFile edit;
    ASSERT_TRUE(edit.EditOpen(shell.recordedPath, false, true));
    ASSERT_EQ(edit.undo.size(), 1u);
    EXPECT_TRUE(edit.undo[0].flags & kRecordBaseStep);
    EXPECT_EQ(edit.undo[0].segment.dataStart, 0u);
    EXPECT_EQ(edit.undo[0].segment.dataEnd, edit.EditDataLength());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(edit.EditGetLength(i), 200u) << "length " << i;
    edit.EditClose();

    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    EditMap* map = GetEditMap(account.location, account.name);
    ASSERT_NE(map, nullptr);
    EditInfo info;
    EXPECT_TRUE(MapLookup(map, "Morning show", info));
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, kRate);
    ReleaseEditMap(map);
}

TEST_F(NewRecording, CancellingTheTitleFallsBackToADatedOne)
{
    messages.ScriptText(std::nullopt);
    RecordCommand();
    RecordBytes(kBytesPerSecond / 2);
    StopRecording();
    const std::string title = std::filesystem::path(shell.recordedPath).stem().string();
    EXPECT_TRUE(title.starts_with("Recording 20")) << title;
    EXPECT_EQ(Render(shell.recordedPath), Input(0, kBytesPerSecond / 2));
}

/** The editor a New command loads its Edit into; these tests only see it refused. */
class NoEditor : public EditorSlot
{
public:
    bool OpenInEditor(const std::string&, int&) override { return false; }
    void CloseEditor() override {}
    std::string ActivePath() const override { return {}; }
};

TEST_F(NewRecording, NewEditsLeaveTheTemporaryEditOfTheRecordingAlone)
{
    const std::string source = EditPath("Source");
    ASSERT_TRUE(MakeEdit(source, {2, kRate, 16}, kBytesPerSecond, kBytesPerSecond));
    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    const struct
    {
        const char* name;
        std::function<bool()> run;
    } commands[] = {
        {"New",
         [&] {
             NoEditor editor;
             return NewEmptyEdit(editor, account);
         }},
        {"New File from Selection",
         [&] {
             EditView view(2);
             view.OpenView(source, true);
             view.leftMark = 0;
             view.rightMark = kBytesPerSecond / 2;
             return NewEdit(view, account, true);
         }},
    };
    Recorder().presetTitle = "Take";
    RecordCommand();
    ASSERT_EQ(CurrentRecordingKind(), kNewRecording);
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        RecordBytes(kBytesPerSecond / 4);
        messages.ScriptText(command.name);
        EXPECT_FALSE(command.run());
        EXPECT_FALSE(FileExists(EditPath(command.name)));
    }
    RecordBytes(kBytesPerSecond / 4);
    StopRecording();
    EXPECT_EQ(Render(EditPath("Take")), Input(0, 3 * kBytesPerSecond / 4));
}

struct PathCase
{
    const char* name;
    bool monoFold;
    bool softwareMix;
    int32_t recordGain;
    Bytes (*expected)(const Bytes& input);
};

TEST_F(NewRecording, GoesThroughTheMonoFoldAndTheSoftwareMix)
{
    const PathCase cases[] = {
        {"plain", false, true, 0x10000, [](const Bytes& in) { return in; }},
        {"mono fold", true, true, 0x10000, FoldedToMono},
        {"muted by the record fader", false, true, 0, [](const Bytes& in) { return Bytes(in.size(), 0); }},
        {"fader ignored without the mix", false, false, 0, [](const Bytes& in) { return in; }},
        {"half gain", false, true, 0x8000,
         [](const Bytes& in) {
             Bytes out = in;
             for (size_t i = 0; i < in.size() / 2; ++i) {
                 const auto s = int16_t(int32_t(SampleAt(in, i)) * 0x8000 >> 16);
                 out[i * 2] = uint8_t(s & 0xFF);
                 out[i * 2 + 1] = uint8_t((s >> 8) & 0xFF);
             }
             return out;
         }},
    };
    uint64_t consumed = 0;
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder().monoFold = c.monoFold;
        SetNumber("DisableSoftwareMix", c.softwareMix ? 0 : 1);
        Recorder().presetTitle = c.name;
        RecordCommand();
        Recorder().recordGain = c.recordGain;
        RecordBytes(kBytesPerSecond / 2);
        StopRecording();
        EXPECT_EQ(Render(EditPath(c.name)), c.expected(Input(consumed, kBytesPerSecond / 2)));
        consumed += kBytesPerSecond / 2;
    }
}

TEST_F(NewRecording, GainControlKeepsPeaksUnderItsTarget)
{
    // The input peaks near 30000, above the -1 dB target (29204): every sample that would
    // pass it pulls the gain down at once, so nothing recorded goes over.
    ASSERT_GT(Peak(Input(0, kBytesPerSecond)), 29500);
    SetNumber("AGCEnable", 1);
    AgcLoadSettings();
    Recorder().presetTitle = "Levelled";
    RecordCommand();
    RecordBytes(kBytesPerSecond);
    StopRecording();
    const Bytes recorded = Render(EditPath("Levelled"));
    ASSERT_EQ(recorded.size(), kBytesPerSecond);
    EXPECT_LE(Peak(recorded), 29204 + 1);
    EXPECT_NE(recorded, Input(0, kBytesPerSecond));
}

TEST_F(NewRecording, PauseWritesNothingRecordResumesAndStopWhilePausedSaves)
{
    Recorder().presetTitle = "Paused";
    RecordCommand();
    RecordBytes(kBytesPerSecond / 2);
    SetRecordingPaused(true);
    EXPECT_STREQ(StreamStateText(main->State(), main->recordPaused), "PAUSED");
    PumpUnrecorded(kRate / 2);
    EXPECT_EQ(RecordedBytes(), kBytesPerSecond / 2);
    const std::string tempPath = Recorder().tempPath;

    RecordCommand(); // resumes
    EXPECT_EQ(CurrentRecordingKind(), kNewRecording);
    EXPECT_EQ(Recorder().tempPath, tempPath);
    EXPECT_FALSE(main->recordPaused);
    RecordBytes(kBytesPerSecond / 2);
    SetRecordingPaused(true);
    StopRecording(); // while paused: the recording is saved all the same
    EXPECT_EQ(CurrentRecordingKind(), kNotRecording);

    Bytes expected = Input(0, kBytesPerSecond / 2);
    const Bytes after = Input(kBytesPerSecond, kBytesPerSecond / 2);
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(Render(EditPath("Paused")), expected);
}

TEST_F(NewRecording, APauseWhoseDrainEndsTheRecordingLeavesNothingPaused)
{
    RecordCommand();
    RecordBytes(kBytesPerSecond / 4);
    ASSERT_EQ(AudioEngine().captureDevice->Pump(kRate / 10), kAudioOk); // not yet drained
    Recorder().file->EditClose(); // the file can no longer be written
    SetRecordingPaused(true);
    EXPECT_EQ(CurrentRecordingKind(), kNotRecording);
    EXPECT_FALSE(main->recordPaused);
    EXPECT_FALSE(Transport().paused);

    Recorder().presetTitle = "Next";
    RecordCommand();
    EXPECT_EQ(CurrentRecordingKind(), kNewRecording) << "record starts afresh, nothing to resume";
    RecordBytes(kBytesPerSecond / 4);
    StopRecording();
    EXPECT_EQ(Render(EditPath("Next")).size(), kBytesPerSecond / 4);
}

TEST_F(NewRecording, FollowsTheNotificationSegmentsWhenPositionsCannotBeRead)
{
    AudioEngine().needsCaptureNotify = true;
    Recorder().presetTitle = "Notified";
    RecordCommand();
    ASSERT_EQ(CurrentRecordingKind(), kNewRecording);
    const uint32_t segment = 2 * kBytesPerSecond / 60; // a thirtieth of a second
    ASSERT_EQ(AudioEngine().captureDevice->Pump(segment / kFrameBytes - 1), kAudioOk);
    ASSERT_EQ(WriteRecordedData(), 0);
    EXPECT_EQ(RecordedBytes(), 0u) << "nothing before the first segment is complete";
    ASSERT_EQ(AudioEngine().captureDevice->Pump(1), kAudioOk);
    ASSERT_EQ(WriteRecordedData(), 0);
    EXPECT_EQ(RecordedBytes(), segment);
    // Three more segments and a half: the half is still open when the recording stops.
    ASSERT_EQ(AudioEngine().captureDevice->Pump(segment * 7 / 2 / kFrameBytes), kAudioOk);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(WriteRecordedData(), 0);
    EXPECT_EQ(RecordedBytes(), 4u * segment);
    StopRecording();
    EXPECT_TRUE(Render(EditPath("Notified")) == Input(0, 4 * segment));
}

struct LimitCase
{
    const char* name;
    bool timeLimit;        // else the free space runs out
    bool noRecordLimit;    // "NoRecordLimit" set
    bool stopsByItself;
};

TEST_F(NewRecording, StopsAtItsLimits)
{
    const LimitCase cases[] = {
        {"one second of time", true, false, true},
        {"time ignored with NoRecordLimit", true, true, false},
        {"free space runs out", false, false, true},
        {"free space counts also with NoRecordLimit", false, true, true},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetNumber("NoRecordLimit", c.noRecordLimit ? 1 : 0);
        shell.stopRequests = 0;
        Recorder().presetTitle = c.name;
        RecordCommand();
        ASSERT_EQ(CurrentRecordingKind(), kNewRecording);
        if (c.timeLimit)
            Recorder().timeLimitCentiseconds = 100;
        else
            Recorder().freeSpaceLimit = kBytesPerSecond;
        // The service loop checks the limits: nothing needs to paint (a minimised window
        // never does).
        uint64_t reachedAt = 0;
        for (int tenth = 0; tenth < 15; ++tenth) {
            RecordBytes(kBytesPerSecond / 10);
            ServiceAudio(false);
            if (reachedAt == 0 && shell.stopRequests > 0) reachedAt = RecordedBytes();
        }
        EXPECT_EQ(shell.stopRequests, c.stopsByItself ? 1 : 0) << "one request however often it is checked";
        if (c.stopsByItself) {
            EXPECT_EQ(reachedAt, kBytesPerSecond + kBytesPerSecond / 10);
        }
        StopRecording();
        Recorder().timeLimitCentiseconds = kRecordingTimeLimitCentiseconds;
    }
}

TEST_F(NewRecording, GainControlCarriesOnFromTheMonitorInTheFormatCaptured)
{
    SetNumber("AGCEnable", 1);
    AgcLoadSettings();
    ASSERT_TRUE(ArmRecording(*main));
    PumpUnrecorded(kRate / 2);
    const float settled = AgcGain(0);
    ASSERT_LT(settled, 1.0f) << "the loud input pulls the gain down";
    Recorder().presetTitle = "Levelled";
    RecordCommand();
    EXPECT_EQ(AgcGain(0), settled) << "the recording starts with what the monitor settled";
    RecordBytes(kBytesPerSecond / 10);
    StopRecording();

    // A mono insert recording levels one channel; the monitor afterwards captures stereo
    // again and levels both.
    const std::string mono = dir.File("mono.kdw");
    ASSERT_TRUE(MakeEdit(mono, {1, kRate, 16}, kBytesPerSecond, kBytesPerSecond));
    ASSERT_EQ(ManagerSetEdit(*main, mono), 0);
    InsertRecordCommand();
    ASSERT_EQ(CurrentRecordingKind(), kInsertRecording);
    RecordBytes(kBytesPerSecond / 10);
    InsertRecordCommand();
    ASSERT_TRUE(Transport().recordingArmed);
    PumpUnrecorded(kRate / 2);
    EXPECT_LT(AgcGain(1), 1.0f) << "the right channel is levelled again";
}

struct DeviceLossCase
{
    const char* name;
    void (*loseDevices)();
    bool reported;
    uint32_t undrained; // frames captured since the last drain, kept when the capture is there
    bool audioOn;       // afterwards
};

TEST_F(NewRecording, IsSavedWhenTheDevicesGoAndTheInputIsMonitoredAgain)
{
    const DeviceLossCase cases[] = {
        {"the capture ring is gone", [] { ReleaseRecordBuffer(); WriteRecordedData(); }, true, 0, true},
        {"Audio Devices turns audio off",
         [] {
             SetAudioDevicesPresenter([](AudioDevicesDialog& dialog) {
                 dialog.SetAudioOff(true);
                 return true;
             });
             ShowAudioDevicesDialog();
             SetAudioDevicesPresenter({});
         },
         false, kRate / 10, false},
        {"Audio Devices applies another device", [] { ApplyAudioDevicesChange({.deviceChanged = true}); },
         false, kRate / 10, true},
    };
    uint64_t consumed = 0;
    for (const DeviceLossCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder().presetTitle = c.name;
        RecordCommand();
        ASSERT_EQ(CurrentRecordingKind(), kNewRecording);
        RecordBytes(kBytesPerSecond / 2);
        if (c.undrained) {
            ASSERT_EQ(AudioEngine().captureDevice->Pump(c.undrained), kAudioOk);
        }
        messages.Clear();
        c.loseDevices();
        EXPECT_EQ(CurrentRecordingKind(), kNotRecording);
        const uint64_t recorded = kBytesPerSecond / 2 + uint64_t(c.undrained) * kFrameBytes;
        EXPECT_EQ(Render(EditPath(c.name)), Input(consumed, recorded));
        EXPECT_EQ(messages.Messages().size(), c.reported ? 1u : 0u);
        consumed += recorded;

        EXPECT_TRUE(Transport().recordingArmed);
        if (!c.audioOn) {
            // Audio on again, the input read from its start.
            OpenEngine("file:in=" + dir.File("input.wav") + ",out=" + dir.File("output.wav") + ",fast");
            consumed = 0;
            continue;
        }
        const uint64_t heard = main->recentAudioWritten;
        PumpUnrecorded(kRate / 10);
        EXPECT_EQ(main->recentAudioWritten, heard + kBytesPerSecond / 10) << "the monitor hears the input";
        consumed += kBytesPerSecond / 10;
    }

    // Playback stops too before the devices change, and the monitor listens afterwards.
    const std::string path = dir.File("show.kdw");
    ASSERT_TRUE(MakeEdit(path, {2, kRate, 16}, kBytesPerSecond, kBytesPerSecond));
    ASSERT_EQ(ManagerSetEdit(*main, path), 0);
    TransportCommand(*main, kTransportPlay, false);
    ServiceAudio(false);
    ASSERT_EQ(main->State(), kStatePlaying);
    ApplyAudioDevicesChange({.deviceChanged = true});
    EXPECT_EQ(main->State(), kStateStandby);
    EXPECT_TRUE(Transport().recordingArmed);
}

TEST_F(NewRecording, DoesNotStartWithoutAnOpenEditOrTheReserveOfFreeSpace)
{
    main->Close();
    InsertRecordCommand();
    EXPECT_EQ(CurrentRecordingKind(), kNotRecording);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].title, "Sorry");
    EXPECT_EQ(messages.Messages()[0].text, "An Insert Record cannot be performed on an empty Edit file.");
    messages.Clear();

    Recorder().reserveBytes = ~uint64_t{0} / 2;
    RecordCommand();
    EXPECT_EQ(CurrentRecordingKind(), kNotRecording);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].title, "Sorry!");
    EXPECT_EQ(messages.Messages()[0].text,
              "You're out of disk space.  There is no room left to make another recording.");
    EXPECT_FALSE(FileExists(library + "/KD4TempEdit.kdw"));

    // The insert recording is refused the same way.
    ASSERT_TRUE(MakeEdit(dir.File("open.kdw"), {2, kRate, 16}, kBytesPerSecond, kBytesPerSecond));
    ASSERT_EQ(ManagerSetEdit(*main, dir.File("open.kdw")), 0);
    InsertRecordCommand();
    EXPECT_EQ(CurrentRecordingKind(), kNotRecording);
    EXPECT_EQ(messages.Messages().size(), 2u);
}

class InsertRecording : public RecordingTest
{
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        path = dir.File("show.kdw");
        ASSERT_TRUE(MakeEdit(path, {2, kRate, 16}, 2 * kBytesPerSecond, 2 * kBytesPerSecond));
        original = Render(path);
        ASSERT_EQ(ManagerSetEdit(*main, path), 0);
    }
    std::string path;
    Bytes original;
};

TEST_F(InsertRecording, InsertsAtTheCueLineAndUndoTakesItOut)
{
    const uint64_t cue = kBytesPerSecond / 2;
    ASSERT_EQ(main->reader->SetCursor(cue, true), 0);
    InsertRecordCommand();
    ASSERT_EQ(CurrentRecordingKind(), kInsertRecording);
    RecordCommand(); // ignored while an insert recording runs
    EXPECT_EQ(CurrentRecordingKind(), kInsertRecording);
    RecordBytes(kBytesPerSecond);
    InsertRecordCommand(); // stops
    EXPECT_EQ(CurrentRecordingKind(), kNotRecording);

    EditView& view = *main->reader;
    EXPECT_EQ(view.length, original.size() + kBytesPerSecond);
    EXPECT_EQ(view.cursor, cue);
    Bytes expected(original.begin(), original.begin() + long(cue));
    const Bytes recorded = Input(0, kBytesPerSecond);
    expected.insert(expected.end(), recorded.begin(), recorded.end());
    expected.insert(expected.end(), original.begin() + long(cue), original.end());
    EXPECT_EQ(RenderAll(view), expected);

    ASSERT_EQ(ViewUndo(view), 0);
    EXPECT_TRUE(RenderAll(view) == original);
}

/** The editor's host during a recording: markers are dropped at the bytes recorded so far. */
class RecordingHost : public EditorHost
{
public:
    bool Recording() const override { return CurrentRecordingKind() != kNotRecording; }
    uint64_t RecordedBytes() const override { return tandrel::RecordedBytes(); }
};

TEST_F(InsertRecording, MarkersDroppedWhileRecordingLandInsideTheInsertedAudio)
{
    const uint64_t cue = kBytesPerSecond;
    ASSERT_EQ(main->reader->SetCursor(cue, true), 0);
    RecordingHost host;
    Editor editor{main->reader.get(), &host};
    InsertRecordCommand();
    RecordBytes(kBytesPerSecond / 4);
    messages.ScriptText("Guest arrives");
    ASSERT_TRUE(DropMarker(editor));
    RecordBytes(kBytesPerSecond / 4);
    InsertRecordCommand();

    EditView& view = *main->reader;
    ASSERT_EQ(view.markers.size(), 1u);
    EXPECT_EQ(view.markers[0].position, cue + kBytesPerSecond / 4);
    EXPECT_EQ(MarkerRows(editor).at(0).name, "Guest arrives");
}

TEST_F(InsertRecording, AMarkerBeingNamedWhenTheLimitStopsTheRecordingKeepsItsName)
{
    RecordingHost host;
    Editor editor{main->reader.get(), &host};
    InsertRecordCommand();
    RecordBytes(kBytesPerSecond / 4);
    {
        // The name box keeps the loop running: the stop of a reached limit arrives in it.
        class StopArrivesWhileNaming : public ScopedRecordingSink
        {
        public:
            std::optional<std::string> PromptText(const std::string&, const std::string&,
                                                  const std::string&) override
            {
                StopRecording();
                return "Limit reached";
            }
        } naming;
        ASSERT_TRUE(DropMarker(editor));
    }
    EXPECT_EQ(CurrentRecordingKind(), kInsertRecording) << "the stop waits for the name";
    EXPECT_TRUE(RecordingLimitReached());
    EXPECT_EQ(shell.stopRequests, 1) << "the stop is asked for again once the name is in";
    StopRecording();
    EXPECT_EQ(CurrentRecordingKind(), kNotRecording);
    EXPECT_EQ(main->reader->length, original.size() + kBytesPerSecond / 4);
    ASSERT_EQ(main->reader->markers.size(), 1u);
    EXPECT_EQ(MarkerRows(editor).at(0).name, "Limit reached");
}

TEST_F(InsertRecording, AbandonLeavesTheEditAsItWas)
{
    ASSERT_EQ(main->reader->SetCursor(kBytesPerSecond, true), 0);
    const uint64_t dataBefore = main->reader->edit.EditDataLength();
    const std::vector<EditRecord> historyBefore = History(main->reader->edit);
    const uint64_t sizeBefore = FileSize(path);
    InsertRecordCommand();
    RecordBytes(kBytesPerSecond);
    EXPECT_GT(main->reader->edit.EditDataLength(), dataBefore);
    ASSERT_EQ(InsertRecord(true), 0);
    Recorder().kind = kNotRecording;

    EXPECT_EQ(main->reader->edit.EditDataLength(), dataBefore);
    EXPECT_TRUE(SameRecords(History(main->reader->edit), historyBefore));
    main->Close();
    EXPECT_EQ(FileSize(path), sizeBefore);
    EXPECT_EQ(Render(path), original);
    EXPECT_FALSE(FileExists(library + "/KD4InsertRecording.txt"));
}

} // namespace
} // namespace tandrel::test
