#pragma once
// The key map of the editor: the numeric keypad is a transport pad, the arrows scrub, single
// letters run editing commands, and two digits in a row start a cart. Applied to the key
// presses and releases of the main window before and apart from the menu shortcuts.
#include <QPointer>
#include <Qt>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/waveform/transport_panel.h"
#include "editing/editor.h"

class QKeyEvent;

namespace tandrel {
class AudioStream;
}

namespace tandrel::waveform {

class WaveformView;

/** What a key does. */
enum class KeyAction
{
    None,
    DeleteSelection,
    ToggleMaster,
    PlayStop,
    ShiftKey,
    ControlKey,
    Cancel,
    PageLeft,
    PageRight,
    GoToEnd,
    GoToStart,
    PlayFromStart,
    LeftArrow,
    RightArrow,
    PlaySelection,
    StopPlaying,
    Scrub,       // argument: the scrub key code
    InsertRecord,
    CartDigit,   // argument: the digit
    SelectAll,
    Bleep,
    Copy,
    Export,
    ClearSelection,
    Marker,
    NewFromSelection,
    Open,
    Zoom,
    Record,
    DeleteFromLibrary,
    Paste,
    Cut,
    Redo,
    Undo,
    RightEnd,
    LeftEnd,
    MarkLeft,
    MarkRight,
    Accelerator, // argument: the menu command of a shortcut
};

/** One entry of the key map. */
struct KeyMapping
{
    KeyAction action = KeyAction::None;
    int argument = 0;
    int button = -1; // the TransportButton drawn pressed while the key is down, or -1
};

/** The key map: what `key` (a Qt::Key) does with `modifiers`. Keys of the numeric keypad
    carry Qt::KeypadModifier and are told apart from the dedicated navigation keys by it. */
KeyMapping MapKey(int key, Qt::KeyboardModifiers modifiers);

/** What the keys need from the rest of the program. Every member may be empty. */
struct KeyHooks
{
    /** Runs a menu command; the keys post it, so it runs after the key event. */
    std::function<void(int command)> command;
    /** The active Edit and its host; empty: the main stream's Edit with the plain host. */
    std::function<Editor()> editor;
    /** Whether the cart players exist, and the two-digit cart key (index 0 to 20); the
        player toggles when its cart holds a file. */
    std::function<bool()> cartsExist;
    std::function<void(int cartIndex)> cartKey;
    /** Ctrl+Space while recording: pause or resume. Empty: SetRecordingPaused. */
    std::function<void()> pauseRecording;
};

/** The menu commands the keys post. */
namespace key_command {
inline constexpr int kBleep = 3;
inline constexpr int kRenameActive = 105;
inline constexpr int kDeleteActive = 106;
inline constexpr int kImport = 109;
inline constexpr int kExport = 110;
inline constexpr int kUndo = 115;
inline constexpr int kRedo = 116;
inline constexpr int kCut = 117;
inline constexpr int kCopy = 118;
inline constexpr int kPaste = 119;
inline constexpr int kSelectAll = 121;
inline constexpr int kDeselect = 123;
inline constexpr int kInsertRecord = 124;
inline constexpr int kOpenFromLibrary = 40064;
inline constexpr int kDeleteFromLibrary = 40065;
inline constexpr int kNewFromSelection = 40074;
inline constexpr int kRecordNew = 40091;
inline constexpr int kInsertMarker = 40096;
inline constexpr int kCartDeckMode = 40123;
inline constexpr int kFadeIn = 40136;
inline constexpr int kFadeOut = 40137;
} // namespace key_command

/** The key handler of the main window, one for the program. It keeps the key state shared
    with the transport: Shift and Ctrl held, the arrows held, and the scrub keys down. UI
    thread. */
class KeyCommands
{
public:
    /** Keys and clicks of `view` and `panel` (either may be null) come here. */
    KeyCommands(WaveformView* view, TransportPanel* panel, KeyHooks hooks = {});
    ~KeyCommands();
    KeyCommands(const KeyCommands&) = delete;
    KeyCommands& operator=(const KeyCommands&) = delete;

    /** A key went down (`down`) or up. True when the key map consumed it. Automatic repeats
        are swallowed, except those of the Up and Down arrows. */
    bool HandleKey(QKeyEvent* event, bool down);
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat, bool down);

    /** A transport button was pressed or released with the mouse: the action of its key. */
    void ButtonAction(TransportButton button, bool down);

    /** Every held key comes up: scrub keys, arrows, Shift and Ctrl (the window lost the
        keyboard, so their releases go elsewhere). */
    void ReleaseAll();

    /** The stream the keys drive; null (the default) follows MainStream(). */
    void SetStream(AudioStream* stream) { stream_ = stream; }

    bool ShiftHeld() const { return shift_; }
    bool ControlHeld() const { return control_; }
    /** The scrub keys down (keypad and arrows together). */
    uint32_t ScrubKeys() const { return keypadScrub_ | arrowScrub_; }
    /** The first digit of a cart key waiting for its second; 0 when none. */
    int PendingCartDigit() const { return digits_.empty() ? 0 : digits_.front(); }

    KeyHooks hooks;

private:
    AudioStream* Stream() const;
    Editor CurrentEditor() const;
    bool EditingState() const;
    void Post(int command) const;
    void Run(const KeyMapping& mapping, bool down);
    void PlayStop(bool down);
    void SetScrubKeys(uint32_t keypad, uint32_t arrows);
    void ReevaluateArrows();
    void GoToEdge(bool end, bool toMark);
    void EditingDone();
    void SetButton(int button, bool down);

    // Either widget may go before the handler when the window is taken down.
    QPointer<WaveformView> view_;
    QPointer<TransportPanel> panel_;
    AudioStream* stream_ = nullptr;
    bool shift_ = false;
    bool control_ = false;
    bool leftArrow_ = false;
    bool rightArrow_ = false;
    uint32_t keypadScrub_ = 0;
    uint32_t arrowScrub_ = 0;
    std::vector<int> digits_;
};

} // namespace tandrel::waveform
