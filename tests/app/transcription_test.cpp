// The transcription actions reaching the running program from outside it: the real keyboard
// hook's global keys pressed on a virtual X server while another window has the keyboard,
// and the command a desktop shortcut runs.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include "app/startup.h"
#include "app/studio.h"
#include "app/transcription/keyboard_hook.h"
#include "app_test_support.h"
#include "engine/audio_stream.h"
#include "base/recording_sink.h"
#include "library/library_moves.h"
#include "settings/settings_store.h"

// Last: Xlib's macros (Status, None, KeyPress) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace tandrel::app {
namespace {

constexpr int kWaitMs = 20000;

// An Edit of a minute open in the running program, the cue at 20 s.
EditView& OpenInterview(Program& program)
{
    test::MakeLibraryEdit("Interview", 60, test::Format{2, 44100, 16});
    Account account;
    EXPECT_TRUE(ActiveAccount(account));
    EXPECT_TRUE(LoadEdit(program.GetStudio(), account, "Interview", true));
    EditView& view = *program.GetStudio().View();
    view.SetCursor(20 * uint64_t(view.bytesPerSecond), true);
    return view;
}

bool Finished(QProcess& process)
{
    return test::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, kWaitMs);
}

TEST(TranscriptionCommand, BackReachesTheRunningCopyAndFailsWithoutOne)
{
    test::TempHome home;
    setenv("TANDREL_AUDIO", "null", 1);
    QProcess alone;
    alone.start(TANDREL_BINARY, {"--transcription", "back"});
    ASSERT_TRUE(Finished(alone));
    EXPECT_NE(alone.exitCode(), 0);
    EXPECT_FALSE(alone.readAllStandardError().isEmpty());

    ScopedRecordingSink sink;
    std::unique_ptr<Program> program;
    ASSERT_NO_FATAL_FAILURE(test::StartProgram(program));
    EditView& view = OpenInterview(*program);
    QProcess shortcut;
    shortcut.start(TANDREL_BINARY, {"--transcription", "back"});
    ASSERT_TRUE(Finished(shortcut));
    EXPECT_EQ(shortcut.exitCode(), 0) << shortcut.readAllStandardError().toStdString();
    EXPECT_EQ(view.cursor, 17 * uint64_t(view.bytesPerSecond)); // the default 3 s back
    EXPECT_EQ(program->GetStudio().TransportState(), kStateStandby);
    program->Shutdown();
}

// A private X server; the display it chose is known once it is ready for clients.
class VirtualDisplay
{
public:
    ~VirtualDisplay()
    {
        server_.terminate();
        server_.waitForFinished(kWaitMs);
    }
    bool Start(const QString& program)
    {
        server_.start(program,
                      {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        if (!test::WaitUntil(
                [&] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; },
                kWaitMs) ||
            !server_.canReadLine())
            return false;
        name_ = ":" + server_.readLine().trimmed().toStdString();
        return true;
    }
    const std::string& Name() const { return name_; }

private:
    QProcess server_;
    std::string name_;
};

// The window someone types a transcript into: it has the keyboard focus, and keys are sent
// to the server as if typed.
class TypistWindow
{
public:
    explicit TypistWindow(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
    ~TypistWindow()
    {
        if (display_) XCloseDisplay(display_);
    }
    bool Open()
    {
        int event, error, major, minor;
        if (!display_ || !XTestQueryExtension(display_, &event, &error, &major, &minor))
            return false;
        window_ =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 200, 100, 0, 0, 0);
        XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        XFlush(display_);
        bool mapped = false;
        if (!test::WaitUntil(
                [&] {
                    for (XEvent e; XPending(display_);)
                        if (XNextEvent(display_, &e), e.type == MapNotify) mapped = true;
                    return mapped;
                },
                kWaitMs))
            return false;
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
        return true;
    }
    /** Types `key` and then a plain letter. True once the letter reached the window but the
        key did not, so a grab took it; false while waiting, or when the key reached the
        window (typed before the grab was in place: call again to type it again). */
    bool TypeTaken(KeySym key)
    {
        const KeyCode code = XKeysymToKeycode(display_, key);
        const KeyCode letter = XKeysymToKeycode(display_, XK_a);
        if (!typing_) {
            for (KeyCode c : {code, letter}) {
                XTestFakeKeyEvent(display_, c, True, CurrentTime);
                XTestFakeKeyEvent(display_, c, False, CurrentTime);
            }
            XFlush(display_);
            typing_ = true;
            keyArrived_ = false;
        }
        for (XEvent e; XPending(display_);) {
            XNextEvent(display_, &e);
            if (e.type != KeyPress) continue;
            if (e.xkey.keycode == code) keyArrived_ = true;
            if (e.xkey.keycode == letter) {
                typing_ = false;
                return !keyArrived_;
            }
        }
        return false;
    }

private:
    Display* display_;
    Window window_ = 0;
    bool typing_ = false;
    bool keyArrived_ = false;
};

// Types `key` until a grab takes it (WaitUntil asks once more after its condition held).
bool TypeUntilTaken(TypistWindow& typist, KeySym key)
{
    bool taken = false;
    return test::WaitUntil([&] { return taken = taken || typist.TypeTaken(key); }, kWaitMs);
}

TEST(TranscriptionKeys, TheHooksKeysPlayAndStepBackWhileAnotherWindowHasTheKeyboard)
{
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty()) GTEST_SKIP() << "needs Xvfb";
    VirtualDisplay server;
    ASSERT_TRUE(server.Start(xvfb));
    setenv("DISPLAY", server.Name().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    test::TempHome home;
    setenv("TANDREL_AUDIO", "null", 1);
    // The default keys (F9 play/pause, F8 back), stepping back 10 s.
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "EnableTranscription", 1));
    ASSERT_TRUE(
        WriteSettingNumber(kSettingTwoAttempts, kProductKey, "TranscriptionBackSeconds", 10));

    ScopedRecordingSink sink;
    std::unique_ptr<Program> program;
    ASSERT_NO_FATAL_FAILURE(test::StartProgram(program, false, TANDREL_HOOK_FOLDER));
    ASSERT_TRUE(program->Hook().On());
    EditView& view = OpenInterview(*program);
    const uint64_t second = view.bytesPerSecond;
    AudioStream& stream = *program->GetStudio().Stream();
    TypistWindow typist(server.Name());
    ASSERT_TRUE(typist.Open());

    ASSERT_TRUE(TypeUntilTaken(typist, XK_F9));
    ASSERT_TRUE(test::WaitUntil([&] { return stream.State() == kStatePlaying; }, kWaitMs));
    ASSERT_TRUE(test::WaitUntil([&] { return stream.HeardPosition() > 21 * second; }, kWaitMs));
    const uint64_t before = stream.HeardPosition();
    ASSERT_TRUE(TypeUntilTaken(typist, XK_F8));
    EXPECT_TRUE(
        test::WaitUntil([&] { return stream.HeardPosition() + 5 * second < before; }, kWaitMs));
    EXPECT_EQ(stream.State(), kStatePlaying);
    EXPECT_TRUE(sink.Texts().empty());
    program->Shutdown();
    unsetenv("DISPLAY");
}

} // namespace
} // namespace tandrel::app
