// The Qt views behind the seams: the progress window, and a first session by the keys alone
// through the real window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest/QTest>

#include <filesystem>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/qt_interaction.h"
#include "app/startup.h"
#include "app/studio.h"
#include "app_test_support.h"
#include "engine/audio_stream.h"
#include "base/progress.h"
#include "base/recording_sink.h"
#include "library/library_moves.h"

namespace tandrel::app {
namespace {

QDialog* ShownProgressDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget))
            if (dialog->isVisible() && dialog->findChild<QProgressBar*>()) return dialog;
    return nullptr;
}

TEST(QtProgress, TheBarShowsTheOverallPercentageAndCancelStopsTheOperation)
{
    QtProgressViews views;
    ProgressWindow* progress = AcquireProgress(kProgressForeground);
    ASSERT_TRUE(OpenProgress(progress, 3, true));
    ASSERT_TRUE(ProgressText(progress, "Copying Interview..."));
    ASSERT_TRUE(ProgressNextStep(progress));
    ASSERT_TRUE(ProgressPercent(progress, 50));
    QDialog* dialog = ShownProgressDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QProgressBar*>()->value(), 49); // 33 + 50 / 3
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Copying Interview...");

    QPushButton* cancel = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == "Cancel") cancel = button;
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_FALSE(ProgressPercent(progress, 60));
    ReleaseProgress(kProgressForeground);
    EXPECT_EQ(ShownProgressDialog(), nullptr);
}

#ifdef TANDREL_HAVE_WAVEFORM

// A person's first session, by the keys alone: record from the input, stop and name it, play
// it, select, delete, undo and redo, Master view and zoom, rename it.
class SessionByKeys : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::Bytes noise(size_t(4) * 176400);
        for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t((i * 2654435761u) >> 13);
        test::WriteWav(home.Path() + "/input.wav", noise);
        setenv("TANDREL_AUDIO", ("file:in=" + home.Path() + "/input.wav").c_str(), 1);
        ASSERT_NO_FATAL_FAILURE(test::StartProgram(program));
        view = program->Window().WaveformArea();
        view->setFocus();
    }
    void TearDown() override { program.reset(); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view, key, modifiers);
    }

    test::TempHome home;
    ScopedRecordingSink sink;
    std::unique_ptr<Program> program;
    QWidget* view = nullptr;
};

TEST_F(SessionByKeys, RecordPlayEditAndRename)
{
    Studio& studio = program->GetStudio();
    Key(Qt::Key_R);
    ASSERT_TRUE(test::WaitUntil([&] { return studio.Recording(); }, 2000));
    ASSERT_TRUE(test::WaitUntil([&] { return studio.RecordedBytes() > 176400 / 2; }, 5000));
    sink.ScriptText("First session");
    Key(Qt::Key_R);
    ASSERT_TRUE(test::WaitUntil([&] { return !studio.Recording() && studio.HasEdit(); }, 3000));
    EXPECT_EQ(program->Window().windowTitle().toStdString(), "Tandrel  2.1.14 - First session");
    EditView& edit = *studio.View();
    const uint64_t length = edit.length;
    EXPECT_GT(length, uint64_t(176400 / 2));

    AudioStream& stream = *studio.Stream();
    Key(Qt::Key_Space);
    EXPECT_TRUE(test::WaitUntil([&] { return stream.HeardPosition() > 0; }, 3000));
    Key(Qt::Key_Space);
    EXPECT_TRUE(test::WaitUntil([&] { return stream.State() == kStateStandby; }, 2000));

    Key(Qt::Key_A);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.HasSelection(); }, 2000));
    Key(Qt::Key_Delete);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.length == 0; }, 2000));
    Key(Qt::Key_Z);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.length == length; }, 2000));
    Key(Qt::Key_Y);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.length == 0; }, 2000));
    Key(Qt::Key_Z);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.length == length; }, 2000));

    Key(Qt::Key_Tab);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.master; }, 2000));
    Key(Qt::Key_Tab);
    EXPECT_TRUE(test::WaitUntil([&] { return !edit.master; }, 2000));
    Key(Qt::Key_Q);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.fineStep; }, 2000));
    Key(Qt::Key_Q);
    EXPECT_TRUE(test::WaitUntil([&] { return !edit.fineStep; }, 2000));

    sink.ScriptText("Renamed session");
    Key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(test::WaitUntil(
        [&] { return program->Window().windowTitle().toStdString() == "Tandrel  2.1.14 - Renamed session"; },
        2000));
    EXPECT_TRUE(std::filesystem::exists(home.AccountFolder() + "/Renamed session.kdw"));
    EXPECT_FALSE(std::filesystem::exists(home.AccountFolder() + "/First session.kdw"));

    // Esc ends a new recording without opening it: the take is kept in the Library.
    Key(Qt::Key_R);
    ASSERT_TRUE(test::WaitUntil([&] { return studio.Recording(); }, 2000));
    ASSERT_TRUE(test::WaitUntil([&] { return studio.RecordedBytes() > 0; }, 5000));
    sink.ScriptText("Kept take");
    Key(Qt::Key_Escape);
    ASSERT_TRUE(test::WaitUntil([&] { return !studio.Recording(); }, 3000));
    EXPECT_TRUE(std::filesystem::exists(home.AccountFolder() + "/Kept take.kdw"));
    EXPECT_NE(studio.ActivePath(), home.AccountFolder() + "/Kept take.kdw");
    // Only the three names were asked for; nothing went wrong on the way.
    EXPECT_EQ(sink.Messages().size(), 3u);
    for (const auto& message : sink.Messages()) EXPECT_NE(message.title, kErrorTitle) << message.text;
}

#endif

} // namespace
} // namespace tandrel::app
