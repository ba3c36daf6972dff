// The dialogs of the Settings and Markers menus as a person uses them: each shows its model
// and OK hands the choices to it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <filesystem>
#include <functional>

#include "app/commands.h"
#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/studio.h"
#include "app/transcription/keyboard_hook.h"
#include "app_test_support.h"
#include "audio/audio_devices.h"
#include "audio/gain_control.h"
#include "base/recording_sink.h"
#include "library/library_moves.h"
#include "settings/setting_defaults.h"
#include "settings/user.h"

namespace tandrel::app {
namespace {

class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TANDREL_AUDIO", "null", 1);
        // With a keyboard hook, so that Settings offers Transcription.
        ASSERT_NO_FATAL_FAILURE(
            test::StartProgram(program, false, TANDREL_STAND_IN_HOOKS "/both"));
    }
    void TearDown() override { program.reset(); }

    // Runs `command`, and `act` on the modal dialog named `name` once it is up.
    bool WithDialog(int command, const char* name, const std::function<void(QWidget*)>& act)
    {
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (seen || !modal || modal->objectName() != name) return;
            seen = true;
            act(modal);
        });
        poll.start(20);
        program->Window().DoCommand(command);
        return seen;
    }
    static void Press(QWidget* dialog, QDialogButtonBox::StandardButton which)
    {
        dialog->findChild<QDialogButtonBox*>()->button(which)->click();
    }

    test::TempHome home;
    ScopedRecordingSink sink;
    std::unique_ptr<Program> program;
};

TEST_F(DialogTest, TranscriptionInstallsAtOnceAndOnlyOkStores)
{
    KeyboardHook& hook = program->Hook();
    ASSERT_TRUE(hook.Loaded());
    ASSERT_FALSE(hook.On());
    auto edit = [&](QWidget* dialog, QDialogButtonBox::StandardButton button) {
        dialog->findChild<QCheckBox*>("enable")->setChecked(true);
        EXPECT_TRUE(hook.On());
        dialog->findChild<QLineEdit*>("backKey")->setText("F6");
        dialog->findChild<QSpinBox*>("backSeconds")->setValue(5);
        // The commands a desktop shortcut runs are there to copy.
        EXPECT_TRUE(dialog->findChild<QLabel*>("note")->text().contains("--transcription back"));
        Press(dialog, button);
    };
    ASSERT_TRUE(WithDialog(kCmdTranscription, "Transcription",
                           [&](QWidget* dialog) { edit(dialog, QDialogButtonBox::Cancel); }));
    EXPECT_FALSE(hook.On());
    EXPECT_EQ(ReadNumberSetting("EnableTranscription"), 0u);
    EXPECT_EQ(ReadTextSetting("TranscriptionBackKey"), "F8");
    EXPECT_EQ(ReadNumberSetting("TranscriptionBackSeconds"), 3u);

    ASSERT_TRUE(WithDialog(kCmdTranscription, "Transcription",
                           [&](QWidget* dialog) { edit(dialog, QDialogButtonBox::Ok); }));
    EXPECT_TRUE(hook.On());
    EXPECT_EQ(ReadNumberSetting("EnableTranscription"), 1u);
    EXPECT_EQ(ReadTextSetting("TranscriptionBackKey"), "F6");
    EXPECT_EQ(ReadTextSetting("TranscriptionPlayKey"), "F9");
    EXPECT_EQ(ReadNumberSetting("TranscriptionBackSeconds"), 5u);
}

TEST_F(DialogTest, AudioDevicesShowsTheDevicesCancelKeepsThemAndOkTurnsAudioOff)
{
    auto turnOff = [](QWidget* dialog) {
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
            if (box->text() == "Turn audio off") box->setChecked(true);
    };
    ASSERT_TRUE(WithDialog(kCmdAudioDevices, "AudioDevices", [&](QWidget* dialog) {
        turnOff(dialog);
        dialog->findChild<QComboBox*>("defaultFormat")->setCurrentIndex(2);
        Press(dialog, QDialogButtonBox::Cancel);
    }));
    EXPECT_TRUE(AudioEngine().audioEnabled);
    EXPECT_EQ(ReadNumberSetting("DefaultFormat"), 16u);

    int playbackRows = 0, formats = 0;
    ASSERT_TRUE(WithDialog(kCmdAudioDevices, "AudioDevices", [&](QWidget* dialog) {
        playbackRows = dialog->findChildren<QListWidget*>().front()->count();
        formats = dialog->findChild<QComboBox*>("defaultFormat")->count();
        turnOff(dialog);
        // The lists stop taking clicks while audio is off.
        EXPECT_FALSE(dialog->findChildren<QListWidget*>().front()->isEnabled());
        Press(dialog, QDialogButtonBox::Ok);
    }));
    EXPECT_GE(playbackRows, 1);
    EXPECT_EQ(formats, 18);
    EXPECT_FALSE(AudioEngine().audioEnabled);
    EXPECT_EQ(ReadNumberSetting("UseDirectSound"), 0u);
}

TEST_F(DialogTest, AudioDevicesSwitchesToTheFileDeviceAndBack)
{
    const std::string out = home.Path() + "/played.wav";
    auto choose = [&](int system, const std::string& playInto) {
        return WithDialog(kCmdAudioDevices, "AudioDevices", [&](QWidget* dialog) {
            dialog->findChild<QComboBox*>("soundSystem")->setCurrentIndex(system);
            dialog->findChild<QLineEdit*>("playInto")->setText(QString::fromStdString(playInto));
            Press(dialog, QDialogButtonBox::Ok);
        });
    };
    ASSERT_TRUE(choose(3, out));
    EXPECT_EQ(ReadTextSetting("AudioBackend"), "file:out=" + out);
    EXPECT_TRUE(AudioEngine().backendDescription.starts_with("File device")) << AudioEngine().backendDescription;
    EXPECT_TRUE(std::filesystem::exists(out)) << "the playback device is open on the file";
    ASSERT_TRUE(choose(1, ""));
    EXPECT_EQ(ReadTextSetting("AudioBackend"), "null");
    EXPECT_TRUE(AudioEngine().backendDescription.starts_with("Null device")) << AudioEngine().backendDescription;
    EXPECT_TRUE(AudioEngine().audioEnabled);
}

TEST_F(DialogTest, ScrubSettingsAreKeptInTheUserFlags)
{
    bool timeEnabledBefore = true, timeEnabledAfter = false;
    ASSERT_TRUE(WithDialog(kCmdScrub, "Scrub", [&](QWidget* dialog) {
        const QList<QSlider*> sliders = dialog->findChildren<QSlider*>();
        ASSERT_EQ(sliders.size(), 2);
        timeEnabledBefore = sliders[1]->isEnabled();
        dialog->findChild<QCheckBox*>()->setChecked(true);
        timeEnabledAfter = sliders[1]->isEnabled();
        sliders[0]->setValue(12);
        sliders[1]->setValue(5);
        Press(dialog, QDialogButtonBox::Ok);
    }));
    EXPECT_FALSE(timeEnabledBefore); // the time slider needs the initial audio scrub
    EXPECT_TRUE(timeEnabledAfter);
    const UserFlags flags = ReadUserFlags();
    EXPECT_EQ(flags.ScrubStepIndex(), 12);
    EXPECT_EQ(flags.InitialScrubTimeIndex(), 5);
    EXPECT_TRUE(flags.InitialScrub());
}

TEST_F(DialogTest, GainControlIsSetInItsDialogAndTurnedOverByItsCommand)
{
    bool controlsOffBefore = false;
    ASSERT_TRUE(WithDialog(kCmdGainControl, "GainControl", [&](QWidget* dialog) {
        auto slider = [dialog](const char* name) { return dialog->findChild<QSlider*>(name); };
        controlsOffBefore = !slider("LeftSensitivity")->isEnabledTo(dialog);
        dialog->findChildren<QCheckBox*>()[0]->setChecked(true);
        dialog->findChild<QComboBox*>()->setCurrentIndex(2); // right channel only
        slider("LeftSensitivity")->setValue(22);            // -50 dB
        slider("RightPeak")->setValue(9);                    // -3 dB
        slider("RightResponse")->setValue(40);               // 0.5
        slider("RightRelease")->setValue(15);                // 0.8
        dialog->findChildren<QRadioButton*>()[2]->setChecked(true);
        Press(dialog, QDialogButtonBox::Ok);
    }));
    EXPECT_TRUE(controlsOffBefore) << "the controls wait for the check box";
    AgcSettings stored = ReadAgcSettings();
    EXPECT_EQ(stored.mode, 3u);
    EXPECT_EQ(stored.side[0].sensitivityDb, -50);
    EXPECT_EQ(stored.side[1].peakDb, -3);
    EXPECT_FLOAT_EQ(stored.side[1].response, 0.5f);
    EXPECT_FLOAT_EQ(stored.side[1].release, 0.8f);
    EXPECT_EQ(DynamicRangeMult(), 100u);
    EXPECT_TRUE(AgcActive()) << "OK puts the settings in force";

    program->Window().DoCommand(kCmdToggleGainControl);
    EXPECT_FALSE(AgcActive());
    EXPECT_EQ(ReadAgcSettings().mode, 0u);
    program->Window().DoCommand(kCmdToggleGainControl);
    EXPECT_TRUE(AgcActive());
}

TEST_F(DialogTest, TheMarkersWindowListsRenamesAndDeletes)
{
    test::MakeLibraryEdit("Talk", 3, test::Format{2, 44100, 16});
    Account account;
    ASSERT_TRUE(ActiveAccount(account));
    ASSERT_TRUE(LoadEdit(program->GetStudio(), account, "Talk", true));
    EditView& view = *program->GetStudio().View();
    for (uint64_t second : {2u, 1u}) {
        view.SetCursor(second * 176400, true);
        sink.ScriptText("At " + std::to_string(second));
        ASSERT_TRUE(program->Window().DoCommand(kCmdInsertMarker));
    }
    ASSERT_TRUE(program->Window().DoCommand(kCmdViewMarkers));
    MarkersWindow* window = program->Window().Markers();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    QListWidget* list = window->List();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text().toStdString(), "0:00:01.00    At 1");
    EXPECT_EQ(list->item(1)->text().toStdString(), "0:00:02.00    At 2");

    auto button = [&](const char* text) {
        for (QPushButton* b : window->findChildren<QPushButton*>())
            if (b->text() == text) return b;
        return static_cast<QPushButton*>(nullptr);
    };
    list->setCurrentRow(1);
    sink.ScriptText("Outro");
    button("Edit")->click();
    EXPECT_EQ(list->item(1)->text().toStdString(), "0:00:02.00    Outro");
    button("Go To")->click();
    EXPECT_EQ(view.cursor, 2u * 176400);
    list->setCurrentRow(0);
    button("Delete")->click();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text().toStdString(), "0:00:02.00    Outro");
    // The deletion is a step of its own: Undo brings the marker back into the window.
    program->Window().DoCommand(kCmdUndo);
    EXPECT_EQ(list->count(), 2);
}

} // namespace
} // namespace tandrel::app
