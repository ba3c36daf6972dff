// The program's window driven as a person would: menus opening, commands, boxes, playback
// under a modal dialog, start-up with a storage folder it cannot use, and what is kept for
// the next start.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <filesystem>
#include <fstream>

#include "app/audio_service.h"
#include "app/commands.h"
#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/program_messages.h"
#include "app/startup.h"
#include "app/studio.h"
#include "app_test_support.h"
#include "audio/audio_devices.h"
#include "engine/transport.h"
#include "base/recording_sink.h"
#include "library/library_moves.h"
#include "library/new_edits.h"
#include "recording/recorder.h"
#include "recording/recording_journal.h"
#include "recording/recording_recovery.h"
#include "settings/settings_store.h"
#include "settings/storage.h"
#include "settings/user.h"

namespace tandrel::app {
namespace {

using test::Format;
using test::MakeLibraryEdit;
using test::TempHome;
using test::WaitUntil;

constexpr Format kStereo16{2, 44100, 16};

// A started program over the Null device, with its messages recorded.
class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override { setenv("TANDREL_AUDIO", "null", 1); }
    void Start(bool qtSinks = false)
    {
        ASSERT_NO_FATAL_FAILURE(test::StartProgram(program, qtSinks));
    }
    void TearDown() override { program.reset(); }

    MainWindow& Window() { return program->Window(); }
    Studio& TheStudio() { return program->GetStudio(); }
    bool Enabled(int position, int command)
    {
        Window().ApplyMenuRules(position);
        QAction* action = Window().Action(command);
        EXPECT_NE(action, nullptr) << command;
        return action && action->isEnabled();
    }
    bool Checked(int position, int command)
    {
        Window().ApplyMenuRules(position);
        QAction* action = Window().Action(command);
        return action && action->isChecked();
    }
    void Open(const std::string& title)
    {
        Account account;
        ASSERT_TRUE(ActiveAccount(account));
        ASSERT_TRUE(LoadEdit(TheStudio(), account, title, true));
    }

    TempHome home;
    ScopedRecordingSink sink;
    std::unique_ptr<Program> program;
};

TEST_F(ProgramTest, MenusFollowTheEditAndItsSelection)
{
    Start();
    // No Edit, an empty Library.
    EXPECT_TRUE(Enabled(kFileMenu, kCmdNew));
    EXPECT_TRUE(Enabled(kFileMenu, kCmdExit));
    EXPECT_FALSE(Enabled(kFileMenu, kCmdOpenFromLibrary));
    EXPECT_FALSE(Enabled(kFileMenu, kCmdDeleteActive));
    EXPECT_FALSE(Enabled(kFileMenu, kCmdImport));
    for (const MenuEntry& entry : MenuEntries()) {
        if (entry.menu == kEditMenu) {
            EXPECT_FALSE(Enabled(kEditMenu, entry.command)) << entry.text;
        }
    }
    EXPECT_FALSE(Enabled(kMarkersMenu, kCmdInsertMarker));

    MakeLibraryEdit("Interview", 2, kStereo16);
    EXPECT_TRUE(Enabled(kFileMenu, kCmdOpenFromLibrary));
    Open("Interview");
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tandrel  2.1.14 - Interview");
    EXPECT_TRUE(Enabled(kFileMenu, kCmdDeleteActive));
    EXPECT_FALSE(Enabled(kFileMenu, kCmdNewFromSelection));
    EXPECT_FALSE(Enabled(kEditMenu, kCmdUndo));
    EXPECT_FALSE(Enabled(kEditMenu, kCmdCut));
    EXPECT_TRUE(Enabled(kEditMenu, kCmdSelectAll));
    EXPECT_TRUE(Enabled(kEditMenu, kCmdZoom));
    EXPECT_TRUE(Enabled(kSettingsMenu, kCmdMonoMixRecording)); // the Edit is stereo
    // The switch starts off whatever the user's flag says; the command turns both over.
    const bool flagBefore = ReadUserFlags().MonoMixRecording();
    EXPECT_FALSE(Checked(kSettingsMenu, kCmdMonoMixRecording));
    ASSERT_TRUE(Window().DoCommand(kCmdMonoMixRecording));
    EXPECT_TRUE(Checked(kSettingsMenu, kCmdMonoMixRecording));
    EXPECT_TRUE(Recorder().monoFold);
    EXPECT_NE(ReadUserFlags().MonoMixRecording(), flagBefore);
    ASSERT_TRUE(Window().DoCommand(kCmdMonoMixRecording));
    EXPECT_FALSE(Recorder().monoFold);
    EXPECT_EQ(ReadUserFlags().MonoMixRecording(), flagBefore);

    ASSERT_TRUE(Window().DoCommand(kCmdSelectAll));
    EXPECT_FALSE(Enabled(kEditMenu, kCmdSelectAll));
    EXPECT_TRUE(Enabled(kEditMenu, kCmdCut));
    EXPECT_TRUE(Enabled(kEditMenu, kCmdDeselect));
    EXPECT_TRUE(Enabled(kFileMenu, kCmdNewFromSelection));

    ASSERT_TRUE(Window().DoCommand(kCmdCopy));
    ASSERT_TRUE(Window().DoCommand(kCmdDelete));
    EXPECT_EQ(TheStudio().View()->length, 0u);
    EXPECT_TRUE(Enabled(kEditMenu, kCmdUndo));
    EXPECT_TRUE(Enabled(kEditMenu, kCmdPaste));
    ASSERT_TRUE(Window().DoCommand(kCmdUndo));
    EXPECT_GT(TheStudio().View()->length, 0u);
    EXPECT_TRUE(Enabled(kEditMenu, kCmdRedo));

    ASSERT_TRUE(Window().DoCommand(kCmdZoom));
    EXPECT_TRUE(Checked(kEditMenu, kCmdZoom));
    ASSERT_TRUE(Window().DoCommand(kCmdMaster));
    EXPECT_TRUE(Checked(kEditMenu, kCmdMaster));
    EXPECT_FALSE(Enabled(kEditMenu, kCmdPaste));
    EXPECT_FALSE(Enabled(kEditMenu, kCmdCut));
    EXPECT_FALSE(Enabled(kMarkersMenu, kCmdViewMarkers));
    EXPECT_TRUE(sink.Messages().empty()) << sink.Messages()[0].title << ": " << sink.Messages()[0].text;
}

TEST_F(ProgramTest, MasterViewRefusalsShowTheirBoxThroughMenusAndAccelerators)
{
    Start();
    MakeLibraryEdit("Show", 1, kStereo16);
    Open("Show");
    Window().DoCommand(kCmdSelectAll);
    Window().DoCommand(kCmdMaster);
    ASSERT_TRUE(TheStudio().View()->master);
    const uint64_t length = TheStudio().View()->length;

    Window().DoCommand(kCmdDelete);
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, "Master View");
    // Ctrl+X through the window's accelerator.
    Window().activateWindow();
    QTest::keyClick(&Window(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] { return sink.Messages().size() == 2; }, 2000));
    EXPECT_EQ(TheStudio().View()->length, length);

    // Back in normal view the same key cuts.
    Window().DoCommand(kCmdMaster);
    Window().DoCommand(kCmdSelectAll);
    QTest::keyClick(&Window(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] { return TheStudio().View()->length == 0; }, 2000));
    EXPECT_EQ(sink.Messages().size(), 2u);
}

TEST_F(ProgramTest, MarkerSubmenusListMarkersWithLongNamesCut)
{
    Start();
    MakeLibraryEdit("Talk", 3, kStereo16);
    Open("Talk");
    QMenu* markers = Window().Menu(kMarkersMenu);
    Window().ApplyMenuRules(kMarkersMenu);
    EXPECT_NE(Window().Action(kCmdNoGoToMarker), nullptr);
    EXPECT_FALSE(Window().Action(kCmdNoGoToMarker)->isEnabled());

    const std::string name(45, 'm');
    sink.ScriptText(name);
    TheStudio().View()->SetCursor(uint64_t(kStereo16.BytesPerSecond()), true);
    ASSERT_TRUE(Window().DoCommand(kCmdInsertMarker));
    ASSERT_EQ(TheStudio().View()->markers.size(), 1u);
    Window().ApplyMenuRules(kMarkersMenu);
    QAction* goTo = Window().Action(kGoToMarkerRange.first);
    ASSERT_NE(goTo, nullptr);
    EXPECT_TRUE(goTo->isEnabled());
    EXPECT_EQ(goTo->text().toStdString(), "0:00:01.00  " + std::string(36, 'm'));
    EXPECT_NE(Window().Action(kEditMarkerRange.first), nullptr);
    EXPECT_NE(Window().Action(kDeleteMarkerRange.first), nullptr);
    EXPECT_EQ(Window().Action(kCmdNoGoToMarker), nullptr);

    TheStudio().View()->SetCursor(0, true);
    goTo->trigger();
    EXPECT_EQ(TheStudio().View()->cursor, uint64_t(kStereo16.BytesPerSecond()));
    Window().Action(kDeleteMarkerRange.first)->trigger();
    EXPECT_TRUE(TheStudio().View()->markers.empty());
    (void)markers;
}

TEST_F(ProgramTest, ImportFromSamJoinsTheFileMenuBeforeImportOnce)
{
    Start();
    EXPECT_EQ(Window().Action(kCmdImportFromSam), nullptr);
    Window().ApplyMenuRules(kFileMenu);
    Window().ApplyMenuRules(kFileMenu);
    const QList<QAction*> items = Window().Menu(kFileMenu)->actions();
    int sam = -1, import = -1, count = 0;
    for (int i = 0; i < items.size(); ++i) {
        if (items[i]->data().toInt() == kCmdImportFromSam) {
            sam = i;
            ++count;
        }
        if (items[i]->data().toInt() == kCmdImport) import = i;
    }
    EXPECT_EQ(count, 1);
    EXPECT_EQ(sam + 1, import);
    EXPECT_EQ(items[sam]->text().toStdString(), "Import from SAM");
}

TEST_F(ProgramTest, AMissingUserGuideIsReportedWithItsPath)
{
    Start();
    ASSERT_TRUE(Window().DoCommand(kCmdUserGuide));
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, "Tandrel Error");
    const std::string path =
        QCoreApplication::applicationDirPath().toStdString() + "/User Guide/Tandrel User Guide.htm";
    EXPECT_EQ(sink.Messages()[0].text, "UserGuide: Unable to locate file \"" + path + "\"");
}

TEST_F(ProgramTest, MovingTheWindowSavesItsPlacement)
{
    Start();
    Window().setGeometry(40, 50, 900, 700);
    EXPECT_TRUE(WaitUntil(
        [] { return ReadSettingNumber(kSettingTwoAttempts, kProductKey, "winWidth") == 900; }, 3000));
    EXPECT_EQ(ReadSettingNumber(kSettingTwoAttempts, kProductKey, "winHeight"), 700u);
    EXPECT_EQ(ReadSettingNumber(kSettingTwoAttempts, kProductKey, "winX"), 40u);
    EXPECT_EQ(ReadSettingNumber(kSettingTwoAttempts, kProductKey, "winMax"), 0u);
}

TEST_F(ProgramTest, DeleteFromLibraryTakesTheEditsChosenInThePicker)
{
    Start();
    MakeLibraryEdit("Short", 1, kStereo16);
    MakeLibraryEdit("Long", 3, kStereo16);
    MakeLibraryEdit("Middle", 2, kStereo16);
    Open("Middle");
    std::vector<std::string> byLength;
    std::string sizeText;
    std::vector<int> cutColumns;
    QTimer::singleShot(50, [&] {
        auto* picker = qobject_cast<LibraryPicker*>(QApplication::activeModalWidget());
        if (!picker) return;
        auto* list = picker->findChild<QTreeWidget*>("edits");
        list->sortByColumn(1, Qt::DescendingOrder);
        byLength = picker->Titles();
        const QTreeWidgetItem* longest = list->topLevelItem(0);
        sizeText = longest->text(4).toStdString();
        for (int column = 1; column < list->columnCount(); ++column)
            if (list->columnWidth(column) < list->fontMetrics().horizontalAdvance(longest->text(column)))
                cutColumns.push_back(column);
        picker->Choose({"Long", "Middle"});
        picker->accept();
    });
    ASSERT_TRUE(Window().DoCommand(kCmdDeleteFromLibrary));
    EXPECT_EQ(byLength, (std::vector<std::string>{"Long", "Middle", "Short"}));
    EXPECT_EQ(sizeText, "1.0 MB") << "3 s of 44.1 kHz stereo";
    EXPECT_TRUE(cutColumns.empty()) << "a column too narrow for its text: " << cutColumns.front();
    EXPECT_EQ(TheStudio().ActivePath(), "");
    EXPECT_FALSE(std::filesystem::exists(home.AccountFolder() + "/Long.kdw"));
    EXPECT_TRUE(std::filesystem::exists(home.AccountFolder() + "/Short.kdw"));
    EXPECT_TRUE(Enabled(kFileMenu, kCmdRestoreDeleted));
    ASSERT_TRUE(Window().DoCommand(kCmdRestoreDeleted));
    EXPECT_EQ(TheStudio().ActivePath(), home.AccountFolder() + "/Middle.kdw");
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(ProgramTest, ReportedErrorsShowTheirOwnModalBox)
{
    Start(true);
    std::string title, text;
    QTimer::singleShot(50, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle().toStdString();
            text = box->text().toStdString();
            box->accept();
        }
    });
    ReportError("Test: Error (%d) in %s.", 5, "here");
    EXPECT_EQ(title, "Tandrel Error");
    EXPECT_EQ(text, "Test: Error (5) in here.");
}

TEST_F(ProgramTest, TheShutdownKeepsTheOpenEditForTheNextStart)
{
    Start();
    const std::string path = MakeLibraryEdit("Keep", 1, kStereo16);
    Open("Keep");
    program->Shutdown();
    program.reset();
    std::string saved;
    ASSERT_TRUE(ReadSettingText(kSettingTwoAttempts, kProductKey, "LastOpenFile", saved, 260));
    EXPECT_EQ(saved, path);

    Start();
    EXPECT_EQ(TheStudio().ActivePath(), path);
    // An Edit gone meanwhile is simply not reopened.
    program.reset();
    std::filesystem::remove(path);
    Start();
    EXPECT_EQ(TheStudio().ActivePath(), "");
    EXPECT_TRUE(sink.Messages().empty());
}

// Open from Library and the reopening at start-up meet files they cannot read: each is left
// exactly as it was, and the box gives the real reason.
TEST_F(ProgramTest, AnEditThatCannotBeReadIsLeftAsItWas)
{
    Start();
    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    for (test::Unreadable kind : test::kUnreadableKinds) {
        const std::string title = test::UnreadableName(kind);
        SCOPED_TRACE(title);
        const std::string path = MakeLibraryEdit(title, 1, kStereo16);
        const test::Bytes before = test::WriteUnreadable(path, kind);
        EXPECT_FALSE(LoadEdit(TheStudio(), account, title, true));
        ASSERT_FALSE(sink.Messages().empty());
        EXPECT_EQ(sink.Messages().back().text,
                  "LoadEdit: Error (" + std::to_string(EBADMSG) + ") loading file: " + title + ".");
        EXPECT_EQ(test::ReadAll(path), before);

        program.reset();
        ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "LastOpenFile", path.c_str()));
        Start();
        EXPECT_EQ(TheStudio().ActivePath(), "");
        EXPECT_EQ(test::ReadAll(path), before);
    }
}

// Half a second of audio appended to `edit` and never committed, as a recording the program
// did not live to finish leaves it.
void AppendUncommittedAudio(EditFile& edit)
{
    const test::Bytes audio = test::Pattern(0, kStereo16.BytesPerSecond() / 2);
    uint64_t written = 0;
    ASSERT_EQ(edit.EditBeginData(), 0);
    ASSERT_EQ(edit.EditWrite(audio.data(), audio.size(), written), 0);
}

int EditsOfTheAccountStartingWith(const std::string& prefix)
{
    Account account;
    EXPECT_TRUE(ActiveAccount(account));
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(account.Folder()))
        count += entry.path().filename().string().starts_with(prefix);
    return count;
}

TEST_F(ProgramTest, AnInsertRecordingCutShortInTheLastOpenEditIsRecoveredBeforeItReopens)
{
    Start();
    const std::string path = MakeLibraryEdit("Show", 1, kStereo16);
    Open("Show");
    program->Shutdown();
    program.reset();
    const auto size = std::filesystem::file_size(path);
    {
        // The program died in an insert recording: audio appended, the note still there.
        EditFile edit;
        ASSERT_TRUE(edit.EditOpen(path, false, false));
        ASSERT_TRUE(WriteInsertRecordingNote({path, edit.EditDataLength()}));
        ASSERT_NO_FATAL_FAILURE(AppendUncommittedAudio(edit));
    }

    Start();
    EXPECT_EQ(TheStudio().ActivePath(), path);
    EXPECT_EQ(std::filesystem::file_size(path), size) << "the appended audio is cut off the Edit";
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].title, kRecoveredTitle);
    EXPECT_EQ(EditsOfTheAccountStartingWith("Recovered insert recording"), 1);
}

TEST_F(ProgramTest, NewSavesTheRecordingWaitingInTheTemporaryEditFirst)
{
    Start();
    {
        // A recording whose save failed: its audio is still in the temporary Edit.
        std::string tempPath;
        std::unique_ptr<EditFile> edit = MakeTempEdit(tempPath);
        ASSERT_NE(edit, nullptr);
        ASSERT_TRUE(edit->EditOpen(tempPath, true, false));
        ASSERT_NO_FATAL_FAILURE(AppendUncommittedAudio(*edit));
    }
    sink.ScriptText("Blank");
    ASSERT_TRUE(Window().DoCommand(kCmdNew));
    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    EXPECT_TRUE(std::filesystem::exists(account.EditPath("Blank")));
    ASSERT_FALSE(sink.Messages().empty());
    EXPECT_EQ(sink.Messages()[0].title, kRecoveredTitle);
    EXPECT_EQ(EditsOfTheAccountStartingWith("Recovered recording"), 1);
}

TEST_F(ProgramTest, ASavedWindowSmallerThanTheMinimumOpensAtTheMinimum)
{
    const SettingNumber placement[] = {{"winX", 10}, {"winY", 20}, {"winWidth", 500},
                                       {"winHeight", 400}, {"winMax", 0}};
    ASSERT_TRUE(WriteSettingNumbers(kSettingTwoAttempts, kProductKey, placement, 5));
    Start();
    EXPECT_GE(Window().width(), 838);
    EXPECT_GE(Window().height(), 610);
}

TEST_F(ProgramTest, AStorageFolderThatCannotBeMadeShowsAccessErrorAndFileLocations)
{
    const std::string blocked = home.Path() + "/blocked";
    // A plain file where the folder should be: no folder can be made below it.
    { std::ofstream(blocked) << "x"; }
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation",
                                 (blocked + "/store").c_str()));
    const std::string good = home.Path() + "/good";
    bool dialogSeen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != "FileLocations") return;
        dialogSeen = true;
        modal->findChild<QLineEdit*>("path")->setText(QString::fromStdString(good));
        for (QPushButton* button : modal->findChildren<QPushButton*>())
            if (button->text() == "OK" || button->text() == "&OK") button->click();
    });
    poll.start(20);
    Start();
    poll.stop();
    EXPECT_TRUE(dialogSeen);
    ASSERT_FALSE(sink.Messages().empty());
    EXPECT_EQ(sink.Messages()[0].title, "Access Error");
    EXPECT_EQ(sink.Messages()[0].text,
              "Unable to create file storage. Read/Write permission is denied in folder: " +
                  blocked + "/store");
    EXPECT_EQ(StorageFolder(), good);
    EXPECT_TRUE(std::filesystem::is_directory(good + "/Tandrel Library"));
}

// Playback through the File device, which writes what it plays in real time.
class PlaybackTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        out = home.Path() + "/out.wav";
        setenv("TANDREL_AUDIO", ("file:out=" + out).c_str(), 1);
    }
    std::string out;
};

TEST_F(PlaybackTest, AModalDialogOpenDuringPlaybackDoesNotStopTheStream)
{
    Start(true);
    MakeLibraryEdit("Long", 6, kStereo16);
    Open("Long");
    AudioStream& stream = *TheStudio().Stream();
    TransportCommand(stream, kTransportPlay, false);
    ASSERT_EQ(stream.State(), kStatePlaying);
    ASSERT_TRUE(WaitUntil([&] { return stream.HeardPosition() > 0; }, 3000));

    // The box's own event loop runs until a second of audio has been heard and written; the
    // audio service has to go on inside it for that to happen.
    const uint64_t heardBefore = stream.HeardPosition();
    const uint64_t passesBefore = program->Service().Passes();
    std::error_code ignored;
    const uintmax_t writtenBefore = std::filesystem::file_size(out, ignored);
    bool progressed = false, stillPlaying = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const uintmax_t written = std::filesystem::file_size(out, ignored);
        progressed = stream.HeardPosition() >= heardBefore + kStereo16.BytesPerSecond() &&
                     written >= writtenBefore + kStereo16.BytesPerSecond() &&
                     program->Service().Passes() > passesBefore + 50;
        stillPlaying = stream.State() == kStatePlaying;
        QWidget* box = QApplication::activeModalWidget();
        if (box && (progressed || !stillPlaying)) box->close();
    });
    poll.start(20);
    QTimer::singleShot(20000, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    MessageDialog("Playing", "Audio keeps going while this box is open.");
    EXPECT_TRUE(progressed) << "the cue, the output or the service stood still under the box";
    EXPECT_TRUE(stillPlaying);
    TransportCommand(stream, kTransportStop, false);
}

TEST_F(PlaybackTest, InsertRecordFromTheMenuRecordsUntilTheStopMessage)
{
    Start();
    MakeLibraryEdit("Base", 1, kStereo16);
    Open("Base");
    const uint64_t before = TheStudio().View()->length;
    ASSERT_TRUE(Enabled(kEditMenu, kCmdInsertRecord));
    ASSERT_TRUE(Window().DoCommand(kCmdInsertRecord));
    ASSERT_TRUE(TheStudio().Recording());
    // The audio service drains the capture from the event loop.
    const uint64_t wanted = uint64_t(0.3 * kStereo16.BytesPerSecond());
    ASSERT_TRUE(WaitUntil([&] { return TheStudio().RecordedBytes() > wanted; }, 10000));
    // Paused, the commands that would let go of the Edit are refused without a word (a
    // picker or prompt opened here would block the test).
    SetRecordingPaused(true);
    ASSERT_TRUE(TheStudio().RecordingPaused());
    EXPECT_FALSE(Window().DoCommand(kCmdOpenFromLibrary));
    EXPECT_FALSE(Window().DoCommand(kCmdRenameActive));
    EXPECT_FALSE(Window().DoCommand(kCmdDeleteFromLibrary));
    SetRecordingPaused(false);
    // A reached limit stops the recording through the window's queue.
    Window().PostProgramMessage(kMsgStopRecordingAtLimit);
    EXPECT_TRUE(WaitUntil([&] { return !TheStudio().Recording(); }, 3000));
    ASSERT_TRUE(TheStudio().HasEdit());
    EXPECT_GT(TheStudio().View()->length, before + wanted);
    EXPECT_TRUE(Enabled(kEditMenu, kCmdUndo));
}

TEST_F(PlaybackTest, RecordFromTheWindowBecomesTheOpenEditUnderItsTitle)
{
    Start();
    ASSERT_TRUE(Window().DoCommand(kCmdRecordNew));
    ASSERT_TRUE(TheStudio().Recording());
    EXPECT_FALSE(TheStudio().HasEdit()) << "the editor lets go of its Edit while recording";
    const uint64_t wanted = uint64_t(0.3 * kStereo16.BytesPerSecond());
    ASSERT_TRUE(WaitUntil([&] { return TheStudio().RecordedBytes() > wanted; }, 10000));
    const uint64_t recorded = TheStudio().RecordedBytes();
    sink.ScriptText("Fresh take");
    ASSERT_TRUE(Window().DoCommand(kCmdRecordNew)); // the same command stops it
    EXPECT_FALSE(TheStudio().Recording());
    ASSERT_TRUE(TheStudio().HasEdit());
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tandrel  2.1.14 - Fresh take");
    EXPECT_GE(TheStudio().View()->length, recorded);
    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    EXPECT_TRUE(std::filesystem::exists(account.EditPath("Fresh take")));
    EXPECT_FALSE(Enabled(kEditMenu, kCmdUndo)) << "a new recording is its base step";
}

} // namespace
} // namespace tandrel::app
