// The Qt views behind the seams: the progress window, and the keys reaching the waveform
// editor through the real window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest/QTest>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/qt_interaction.h"
#include "app/startup.h"
#include "app/studio.h"
#include "app_test_support.h"
#include "audio/audio_stream.h"
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
    // A nested operation shares the window; it closes with the last release.
    ProgressWindow* nested = AcquireProgress(kProgressForeground);
    EXPECT_EQ(nested, progress);
    ReleaseProgress(kProgressForeground);
    EXPECT_TRUE(dialog->isVisible());

    QPushButton* cancel = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == "Cancel") cancel = button;
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_FALSE(ProgressPercent(progress, 60));
    ReleaseProgress(kProgressForeground);
    EXPECT_EQ(ShownProgressDialog(), nullptr);
}

TEST(QtProgress, AWindowThatIsNotThreadedNeverCancels)
{
    QtProgressViews views;
    ProgressWindow* progress = AcquireProgress(kProgressForeground);
    ASSERT_TRUE(OpenProgress(progress, 1, false));
    QDialog* dialog = ShownProgressDialog();
    ASSERT_NE(dialog, nullptr);
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) button->click();
    EXPECT_TRUE(ProgressPercent(progress, 10));
    ReleaseProgress(kProgressForeground);
}

#ifdef TANDREL_HAVE_WAVEFORM

class KeysThroughTheWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TANDREL_AUDIO", "null", 1);
        ASSERT_NO_FATAL_FAILURE(test::StartProgram(program));
        test::MakeLibraryEdit("Keys", 3, test::Format{2, 44100, 16});
        Account account;
        ASSERT_TRUE(ActiveAccount(account));
        ASSERT_TRUE(LoadEdit(program->GetStudio(), account, "Keys", true));
        view = program->Window().WaveformArea();
        view->setFocus();
    }
    void TearDown() override { program.reset(); }

    test::TempHome home;
    ScopedRecordingSink sink;
    std::unique_ptr<Program> program;
    QWidget* view = nullptr;
};

TEST_F(KeysThroughTheWindow, SpacePlaysAndStops)
{
    AudioStream& stream = *program->GetStudio().Stream();
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_TRUE(test::WaitUntil([&] { return stream.State() == kStatePlaying; }, 2000));
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_TRUE(test::WaitUntil([&] { return stream.State() == kStateStandby; }, 2000));
}

TEST_F(KeysThroughTheWindow, AutoRepeatedSpaceIsSwallowed)
{
    AudioStream& stream = *program->GetStudio().Stream();
    auto send = [&](QEvent::Type type, bool repeat) {
        QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, " ", repeat);
        QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : view, &event);
    };
    send(QEvent::KeyPress, false);
    ASSERT_TRUE(test::WaitUntil([&] { return stream.State() == kStatePlaying; }, 2000));
    // A held key repeats: each repeat would toggle play and stop again if it got through.
    for (int i = 0; i < 5; ++i) {
        send(QEvent::KeyRelease, true);
        send(QEvent::KeyPress, true);
        test::WaitUntil([] { return false; }, 10);
        EXPECT_EQ(stream.State(), kStatePlaying) << "repeat " << i;
    }
    send(QEvent::KeyRelease, false);
    test::WaitUntil([] { return false; }, 20);
    EXPECT_EQ(stream.State(), kStatePlaying);
}

TEST_F(KeysThroughTheWindow, CtrlShortcutsRunTheirMenuCommand)
{
    EditView& edit = *program->GetStudio().View();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.HasSelection(); }, 2000));
    const uint64_t length = edit.length;
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.length == 0; }, 2000));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(test::WaitUntil([&] { return edit.length == length; }, 2000));
    EXPECT_TRUE(sink.Messages().empty());
}

#endif

} // namespace
} // namespace tandrel::app
