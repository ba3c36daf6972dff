// Key sequences sent to the waveform view drive the real transport and editing commands:
// Space plays and stops, keypad keys and the dedicated keys do different things, repeats are
// swallowed, Shift and Ctrl change an arrow scrub under a held arrow, shortcuts leave no Ctrl
// held, Master view refuses the editing keys with its box, and two digits address a cart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include "app/waveform/key_commands.h"
#include "app/waveform/transport_panel.h"
#include "app/waveform/waveform_view.h"
#include "audio/audio_devices.h"
#include "engine/service_loop.h"
#include "engine/transport.h"
#include "base/recording_sink.h"
#include "editing/editor.h"
#include "editing/markers.h"
#include "editing/selection.h"
#include "settings/user.h"
#include "waveform_test_support.h"

namespace tandrel::test {
namespace {

using namespace waveform;
using Key = ScrubKeyTracker::Key;

constexpr Format kStereo{2, 8000, 16};
constexpr uint64_t kColumn = 320; // bytes in 10 ms

class KeyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.resize(800, 200 + WaveformView::kStatusHeight);
        view.SetStream(fixture.stream.get());
        panel.SetStream(fixture.stream.get());
        keys.SetStream(fixture.stream.get());
        fixture.shell.view = &view;
        fixture.shell.panel = &panel;
        ASSERT_TRUE(fixture.OpenTone(kStereo, 6000)); // 60 s
        ASSERT_EQ(Edit().SetCursor(1000 * kColumn, true), 0);
    }
    void TearDown() override { Transport() = TransportState{}; }

    EditView& Edit() { return fixture.View(); }
    AudioStream& Stream() { return *fixture.stream; }

    bool Send(int key, bool down, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
              bool repeat = false)
    {
        QKeyEvent event(down ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers, QString(),
                        repeat);
        QApplication::sendEvent(&view, &event);
        return event.isAccepted();
    }
    void Tap(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Send(key, true, modifiers);
        Send(key, false, modifiers);
    }
    // What the keys posted, once the event loop ran them.
    std::vector<int> Posted()
    {
        QApplication::processEvents();
        return std::exchange(posted, {});
    }

    StreamFixture fixture;
    WaveformView view;
    TransportPanel panel;
    std::vector<int> posted;
    std::vector<int> carts;
    bool cartsExist = true;
    KeyCommands keys{&view, &panel,
                     KeyHooks{[this](int command) { posted.push_back(command); },
                              {},
                              [this] { return cartsExist; },
                              [this](int index) { carts.push_back(index); },
                              {}}};
};

TEST_F(KeyTest, SpacePlaysAndStopsAndItsRepeatsChangeNothing)
{
    const std::string out = fixture.dir.File("out.wav");
    SoundDevice* device = fixture.UseFileDevice(kStereo, out);
    ASSERT_NE(device, nullptr);
    auto run = [&](int ms) {
        for (int i = 0; i < ms; ++i, device->Pump(kStereo.rate / 1000)) ServiceAudio(false);
    };

    const uint64_t start = Edit().cursor;
    Send(Qt::Key_Space, true);
    EXPECT_EQ(Stream().State(), kStatePlaying);
    EXPECT_TRUE(panel.ButtonDown(TransportButton::Play)) << "drawn pressed while the key is down";
    // The key repeats while it is held: nothing toggles.
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(Send(Qt::Key_Space, false, Qt::NoModifier, true));
        EXPECT_TRUE(Send(Qt::Key_Space, true, Qt::NoModifier, true));
        EXPECT_EQ(Stream().State(), kStatePlaying);
    }
    Send(Qt::Key_Space, false);
    EXPECT_FALSE(panel.ButtonDown(TransportButton::Play));
    run(500);
    EXPECT_EQ(Stream().State(), kStatePlaying);
    EXPECT_GT(Stream().HeardPosition(), start + 300 * kStereo.BlockAlign() * 8)
        << "half a second of play moves the cue";
    EXPECT_EQ(panel.PositionText().toStdString(), MarkerTimeText(Stream().HeardPosition(), 32000));

    Tap(Qt::Key_Space);
    EXPECT_EQ(Stream().State(), kStateStandby);
    const uint64_t stoppedAt = Edit().cursor;
    run(100);
    EXPECT_EQ(Edit().cursor, stoppedAt) << "stopped";
}

TEST_F(KeyTest, KeypadKeysAndDedicatedKeysAreNeverConfused)
{
    SetMarks(Edit(), 2000 * kColumn, 2100 * kColumn);
    using B = TransportButton;
    // Scrub keys held while down, the state after the key went down, the cue after it
    // (columns; -1 unchanged) and the button drawn pressed (-1 none).
    struct Case { const char* name; int key; bool keypad; uint32_t scrub; int state; int64_t cue; int button; };
    const Case cases[] = {
        {"keypad 4 plays the selection", Qt::Key_Left, true, 0, kStatePlaying, 2000, int(B::PlaySelection)},
        {"Left arrow scrubs back", Qt::Key_Left, false, Key::kFastBack, kStateStandby, -1, int(B::FastReverse)},
        {"keypad 6 scrubs forward", Qt::Key_Right, true, Key::kNormalForward, kStateStandby, -1, int(B::Forward)},
        {"Right arrow scrubs fast forward", Qt::Key_Right, false, Key::kFastForward, kStateStandby, -1, int(B::FastForward)},
        {"keypad 8 scrubs fast back", Qt::Key_Up, true, Key::kFastBack, kStateStandby, -1, int(B::FastReverse)},
        {"keypad 2 scrubs slow back", Qt::Key_Down, true, Key::kSlowBack, kStateStandby, -1, int(B::SlowReverse)},
        {"keypad 9 scrubs fast forward", Qt::Key_PageUp, true, Key::kFastForward, kStateStandby, -1, int(B::FastForward)},
        {"Page Up pages left", Qt::Key_PageUp, false, 0, kStateStandby, 1000 - 800, -1},
        {"keypad 3 scrubs slow forward", Qt::Key_PageDown, true, Key::kSlowForward, kStateStandby, -1, int(B::SlowForward)},
        {"Page Down pages right", Qt::Key_PageDown, false, 0, kStateStandby, 1000 + 800, -1},
        {"keypad 5 (Clear) scrubs back", Qt::Key_Clear, true, Key::kNormalBack, kStateStandby, -1, int(B::Reverse)},
        {"keypad 7 plays from the beginning", Qt::Key_Home, true, 0, kStatePlaying, 0, int(B::PlayFromStart)},
        {"Home goes to the beginning", Qt::Key_Home, false, 0, kStateStandby, 0, int(B::GoToStart)},
        {"keypad 1 does nothing", Qt::Key_End, true, 0, kStateStandby, -1, -1},
        {"End goes to the end", Qt::Key_End, false, 0, kStateStandby, 6000, int(B::GoToEnd)},
        {"keypad 7 with NumLock on", Qt::Key_7, true, 0, kStatePlaying, 0, int(B::PlayFromStart)},
        {"keypad 4 with NumLock on", Qt::Key_4, true, 0, kStatePlaying, 2000, int(B::PlaySelection)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Edit().SetCursor(1000 * kColumn, true), 0);
        const Qt::KeyboardModifiers modifiers = c.keypad ? Qt::KeypadModifier : Qt::NoModifier;
        Send(c.key, true, modifiers);
        EXPECT_EQ(keys.ScrubKeys(), c.scrub);
        EXPECT_EQ(Transport().rewindHeld, (c.scrub & ScrubKeyTracker::kBackKeys) != 0);
        EXPECT_EQ(Stream().State(), c.state);
        if (c.cue >= 0 || c.scrub == 0) {
            EXPECT_EQ(Edit().cursor, uint64_t(c.cue >= 0 ? c.cue : 1000) * kColumn);
        }
        EXPECT_TRUE(c.button < 0 || panel.ButtonDown(TransportButton(c.button)));
        Send(c.key, false, modifiers);
        EXPECT_EQ(keys.ScrubKeys(), 0u);
        EXPECT_FALSE(Transport().rewindHeld || Transport().forwardHeld);
        EXPECT_TRUE(c.button < 0 || !panel.ButtonDown(TransportButton(c.button)));
        StopKey(Stream());
    }
    // The dedicated Up and Down keys stop; their repeats keep stopping.
    for (const auto& [key, repeat] : {std::pair{Qt::Key_Up, false}, {Qt::Key_Up, true}, {Qt::Key_Down, true}}) {
        TransportCommand(Stream(), kTransportPlay, false);
        Send(key, true, Qt::NoModifier, repeat);
        EXPECT_EQ(Stream().State(), kStateStandby) << key << (repeat ? " repeated" : "");
        EXPECT_TRUE(repeat || panel.ButtonDown(TransportButton::Stop));
        Send(key, false);
    }
}

TEST_F(KeyTest, ShiftAndCtrlChangeTheArrowScrubWithoutReleasingTheArrow)
{
    Send(Qt::Key_Right, true);
    EXPECT_EQ(keys.ScrubKeys(), uint32_t(Key::kFastForward));
    EXPECT_EQ(Transport().keyboardScrubState, 1);
    Send(Qt::Key_Shift, true, Qt::ShiftModifier);
    EXPECT_EQ(keys.ScrubKeys(), uint32_t(Key::kNormalForward));
    EXPECT_TRUE(Transport().forwardHeld) << "the switch never lets go of the scrub";
    EXPECT_TRUE(Transport().tracker.AnyHeld());
    EXPECT_TRUE(panel.ButtonDown(TransportButton::Forward));
    EXPECT_FALSE(panel.ButtonDown(TransportButton::FastForward));

    // At normal speed the service plays the scrub audibly.
    ServiceAudio(false);
    EXPECT_EQ(Stream().State(), kStateScrubbing);
    EXPECT_EQ(Stream().targetFrequency, kStereo.rate);
    Send(Qt::Key_Shift, false, Qt::ShiftModifier);
    EXPECT_EQ(keys.ScrubKeys(), uint32_t(Key::kFastForward)) << "back to fast";
    Send(Qt::Key_Control, true, Qt::ControlModifier);
    EXPECT_EQ(keys.ScrubKeys(), uint32_t(Key::kSlowForward));
    EXPECT_EQ(Transport().keyboardScrubState, -1);
    ServiceAudio(false);
    EXPECT_EQ(Stream().targetFrequency, kStereo.rate * 2 / 3) << "slow";
    // A held arrow's own repeats (a release and a press each) change nothing.
    EXPECT_TRUE(Send(Qt::Key_Right, false, Qt::ControlModifier, true));
    EXPECT_TRUE(Send(Qt::Key_Right, true, Qt::ControlModifier, true));
    EXPECT_EQ(keys.ScrubKeys(), uint32_t(Key::kSlowForward));
    EXPECT_EQ(Stream().State(), kStateScrubbing);
    Send(Qt::Key_Right, false, Qt::ControlModifier);
    EXPECT_EQ(keys.ScrubKeys(), 0u);
    EXPECT_EQ(Stream().State(), kStateStandby) << "the last key up ends the scrub";
    Send(Qt::Key_Control, false, Qt::ControlModifier);
}

TEST_F(KeyTest, ShortcutsLeaveNoCtrlHeld)
{
    Send(Qt::Key_Control, true, Qt::ControlModifier);
    EXPECT_TRUE(keys.ControlHeld());
    Send(Qt::Key_O, true, Qt::ControlModifier);
    Send(Qt::Key_O, false, Qt::ControlModifier);
    EXPECT_EQ(Posted(), std::vector<int>{key_command::kOpenFromLibrary});
    // The Ctrl release went to the dialog the shortcut opened. The next key comes without it.
    Send(Qt::Key_Right, true);
    EXPECT_FALSE(keys.ControlHeld());
    EXPECT_EQ(keys.ScrubKeys(), uint32_t(Key::kFastForward)) << "fast, not slow";
    Send(Qt::Key_Right, false);

    // Ctrl+A reaches the key map as the menu's shortcut, not as the plain A of Select All.
    Tap(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Posted(), std::vector<int>{key_command::kSelectAll});
    EXPECT_EQ(Edit().leftMark, kNoPosition);

    // Losing the keyboard lets go of everything held.
    Send(Qt::Key_Control, true, Qt::ControlModifier);
    Send(Qt::Key_Left, true, Qt::ControlModifier);
    EXPECT_EQ(keys.ScrubKeys(), uint32_t(Key::kSlowBack));
    keys.ReleaseAll();
    EXPECT_FALSE(keys.ControlHeld());
    EXPECT_EQ(keys.ScrubKeys(), 0u);
    EXPECT_FALSE(Transport().rewindHeld);
    EXPECT_FALSE(panel.ButtonDown(TransportButton::SlowReverse));
}

TEST_F(KeyTest, MasterViewRefusesTheKeysThatWouldChangeTheFile)
{
    SetMarks(Edit(), 100 * kColumn, 200 * kColumn);
    Send(Qt::Key_Tab, true);
    Send(Qt::Key_Tab, false);
    ASSERT_TRUE(Edit().master) << "Tab switches to Master view in standby";
    SetMarks(Edit(), 100 * kColumn, 200 * kColumn);
    const uint64_t length = Edit().length;
    const size_t steps = Edit().edit.undo.size();
    ScopedRecordingSink sink;
    struct Case { const char* name; int key; Qt::KeyboardModifiers modifiers; };
    const Case cases[] = {{"Delete", Qt::Key_Delete, {}}, {"Backspace", Qt::Key_Backspace, {}},
                          {"keypad point", Qt::Key_Period, Qt::KeypadModifier},
                          {"X", Qt::Key_X, {}}, {"V", Qt::Key_V, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sink.Clear();
        Tap(c.key, c.modifiers);
        const auto messages = sink.Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].title, "Master View");
        EXPECT_EQ(messages[0].text,
                  "Editing operations which would change the file are not allowed in Master mode.");
    }
    EXPECT_EQ(Edit().length, length);
    EXPECT_EQ(Edit().edit.undo.size(), steps);
    sink.Clear();
    Tap(Qt::Key_C);
    Tap(Qt::Key_Z);
    EXPECT_TRUE(sink.Messages().empty()) << "copy and undo say nothing";

    // While playing, Tab does not switch back.
    TransportCommand(Stream(), kTransportPlay, false);
    Tap(Qt::Key_Tab);
    EXPECT_TRUE(Edit().master);
    StopKey(Stream());
    Tap(Qt::Key_Tab);
    EXPECT_FALSE(Edit().master);
}

TEST_F(KeyTest, TwoDigitsAddressACartWhateverComesBetween)
{
    Tap(Qt::Key_3);
    Tap(Qt::Key_9); // no such cart: the pair is spent all the same
    Tap(Qt::Key_2);
    EXPECT_EQ(keys.PendingCartDigit(), 2);
    Tap(Qt::Key_Q);                         // other keys do not end the pair
    Tap(Qt::Key_3, Qt::KeypadModifier);     // the keypad's 3 is a scrub key, not a digit
    Tap(Qt::Key_5);
    EXPECT_EQ(carts, std::vector<int>{11}) << "column 2, row 5";
    EXPECT_EQ(keys.PendingCartDigit(), 0);

    cartsExist = false;
    carts.clear();
    EXPECT_FALSE(Send(Qt::Key_1, true)) << "without carts the digits are not keys of the map";
    Send(Qt::Key_1, false);
    Tap(Qt::Key_1);
    EXPECT_TRUE(carts.empty());
}

TEST_F(KeyTest, LetterKeysEditInTheEditingState)
{
    const uint64_t length = Edit().length;
    Tap(Qt::Key_A);
    EXPECT_EQ(Edit().leftMark, 0u);
    EXPECT_EQ(Edit().rightMark, length);
    Tap(Qt::Key_K);
    EXPECT_FALSE(Edit().HasSelection());

    // Marks at the cue, copy, paste at the cue, undo and redo.
    ASSERT_EQ(Edit().SetCursor(100 * kColumn, true), 0);
    Tap(Qt::Key_BracketLeft);
    ASSERT_EQ(Edit().SetCursor(150 * kColumn, true), 0);
    Tap(Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_EQ(Edit().leftMark, 100 * kColumn);
    EXPECT_EQ(Edit().rightMark, 150 * kColumn);
    Tap(Qt::Key_C);
    ASSERT_EQ(Edit().SetCursor(300 * kColumn, true), 0);
    Tap(Qt::Key_V);
    EXPECT_EQ(Edit().length, length + 50 * kColumn);
    Tap(Qt::Key_Z);
    EXPECT_EQ(Edit().length, length);
    Tap(Qt::Key_Y);
    EXPECT_EQ(Edit().length, length + 50 * kColumn);
    Tap(Qt::Key_Z);
    Tap(Qt::Key_Z); // only the base step is left: nothing happens
    EXPECT_EQ(Edit().length, length);
    EXPECT_EQ(Edit().edit.undo.size(), 1u);

    Tap(Qt::Key_Q);
    EXPECT_TRUE(Edit().fineStep) << "Q zooms";
    Tap(Qt::Key_Q);
    EXPECT_FALSE(Edit().fineStep);

    // Commands of other windows are posted, in the editing state only.
    for (int key : {Qt::Key_E, Qt::Key_N, Qt::Key_O, Qt::Key_T, Qt::Key_M, Qt::Key_B}) Tap(key);
    EXPECT_EQ(Posted(), (std::vector<int>{110, 40074, 40064, 40065, 40096, 3}));
    TransportCommand(Stream(), kTransportPlay, false);
    for (int key : {Qt::Key_E, Qt::Key_N, Qt::Key_O, Qt::Key_T, Qt::Key_A}) Tap(key);
    EXPECT_TRUE(Posted().empty());
    EXPECT_FALSE(Edit().HasSelection()) << "A selects only in the editing state";
    StopKey(Stream());

    // Record and insert record, by letter and on the keypad.
    Tap(Qt::Key_R);
    Tap(Qt::Key_Plus, Qt::KeypadModifier);
    Tap(Qt::Key_I);
    Tap(Qt::Key_Insert, Qt::KeypadModifier);
    Tap(Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(Posted(), (std::vector<int>{40091, 40091, 124, 124, 124}));
    EXPECT_FALSE(Send(Qt::Key_Insert, true)) << "the dedicated Insert key is not in the map";
    EXPECT_FALSE(Send(Qt::Key_Plus, true)) << "nor the main keyboard's plus";
}

TEST_F(KeyTest, TheEndKeysFollowTheDirectionAndShiftGoesToTheMarks)
{
    SetMarks(Edit(), 2000 * kColumn, 2500 * kColumn);
    Tap(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(Edit().cursor, Edit().length) << "keypad minus: the right end";
    Tap(Qt::Key_NumLock);
    EXPECT_EQ(Edit().cursor, 0u) << "Num Lock: the left end";
    Tap(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(Edit().cursor, 2500 * kColumn);
    Tap(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(Edit().cursor, 2000 * kColumn);

    UserFlags flags = ReadUserFlags();
    flags.Set(UserFlags::kPlayForward, false);
    ASSERT_TRUE(WriteUserFlags(flags));
    view.ReloadDirection();
    Tap(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(Edit().cursor, 0u) << "reversed: the right end is the beginning";
    Tap(Qt::Key_NumLock);
    EXPECT_EQ(Edit().cursor, Edit().length);
    ASSERT_EQ(Edit().SetCursor(3000 * kColumn, true), 0);
    Tap(Qt::Key_PageUp);
    EXPECT_EQ(Edit().cursor, 2200 * kColumn) << "Page Up pages back whichever way the display runs";
}

TEST_F(KeyTest, ClickingATransportButtonRunsItsKey)
{
    panel.resize(panel.sizeHint());
    panel.show();
    const QPoint play = panel.ButtonRect(TransportButton::Play).center();
    ASSERT_EQ(panel.ButtonAt(play), int(TransportButton::Play));
    QTest::mousePress(&panel, Qt::LeftButton, {}, play);
    EXPECT_EQ(Stream().State(), kStatePlaying);
    EXPECT_TRUE(panel.ButtonDown(TransportButton::Play));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, play);
    EXPECT_FALSE(panel.ButtonDown(TransportButton::Play));
    QTest::mouseClick(&panel, Qt::LeftButton, {}, panel.ButtonRect(TransportButton::Stop).center());
    EXPECT_EQ(Stream().State(), kStateStandby);
    const QPoint fast = panel.ButtonRect(TransportButton::FastForward).center();
    QTest::mousePress(&panel, Qt::LeftButton, {}, fast);
    EXPECT_EQ(keys.ScrubKeys(), uint32_t(Key::kFastForward));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, fast);
    EXPECT_EQ(keys.ScrubKeys(), 0u);
}

TEST(KeyCommandsLifetimeTest, TheWidgetsMayGoBeforeTheHandler)
{
    StreamFixture fixture;
    auto* view = new waveform::WaveformView;
    auto* panel = new waveform::TransportPanel;
    waveform::KeyCommands keys(view, panel);
    keys.SetStream(fixture.stream.get());
    delete view;
    delete panel;
    keys.ReleaseAll(); // nothing left to draw on
    EXPECT_TRUE(keys.HandleKey(Qt::Key_Space, Qt::NoModifier, false, true));
    EXPECT_EQ(fixture.stream->State(), kStateStandby) << "without an Edit Space does nothing";
}

} // namespace
} // namespace tandrel::test
