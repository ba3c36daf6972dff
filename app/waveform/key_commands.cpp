#include "app/waveform/key_commands.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMetaObject>

#include "app/waveform/waveform_math.h"
#include "app/waveform/waveform_view.h"
#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "engine/scrub.h"
#include "engine/service_loop.h"
#include "engine/transport.h"
#include "editing/edit_commands.h"
#include "editing/markers.h"
#include "editing/selection.h"
#include "recording/recorder.h"

namespace tandrel::waveform {

namespace {

using Key = ScrubKeyTracker::Key;

int ScrubButton(uint32_t key)
{
    switch (key) {
    case Key::kFastBack: return int(TransportButton::FastReverse);
    case Key::kFastForward: return int(TransportButton::FastForward);
    case Key::kNormalBack: return int(TransportButton::Reverse);
    case Key::kNormalForward: return int(TransportButton::Forward);
    case Key::kSlowBack: return int(TransportButton::SlowReverse);
    case Key::kSlowForward: return int(TransportButton::SlowForward);
    default: return -1;
    }
}

KeyMapping Button(KeyAction action, TransportButton button, int argument = 0)
{
    return {action, argument, int(button)};
}

KeyMapping ScrubKey(uint32_t key) { return {KeyAction::Scrub, int(key), ScrubButton(key)}; }

// The shortcuts of the menus, for when they reach the key map rather than a menu.
int ControlShortcut(int key)
{
    using namespace key_command;
    switch (key) {
    case Qt::Key_A: return kSelectAll;
    case Qt::Key_B: return kBleep;
    case Qt::Key_C: return kCopy;
    case Qt::Key_D: return kDeleteActive;
    case Qt::Key_E: return kExport;
    case Qt::Key_I: return kImport;
    case Qt::Key_K: return kDeselect;
    case Qt::Key_M: return kCartDeckMode;
    case Qt::Key_N: return kNewFromSelection;
    case Qt::Key_O: return kOpenFromLibrary;
    case Qt::Key_R: return kRenameActive;
    case Qt::Key_V: return kPaste;
    case Qt::Key_X: return kCut;
    case Qt::Key_Y: return kRedo;
    case Qt::Key_Z: return kUndo;
    default: return 0;
    }
}

} // namespace

KeyMapping MapKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool keypad = modifiers & Qt::KeypadModifier;
    const bool control = modifiers & Qt::ControlModifier;
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return {};
    switch (key) {
    case Qt::Key_Shift: return {KeyAction::ShiftKey};
    case Qt::Key_Control: return {KeyAction::ControlKey};
    case Qt::Key_Space: return Button(KeyAction::PlayStop, TransportButton::Play);
    case Qt::Key_Enter:
        return keypad ? Button(KeyAction::PlayStop, TransportButton::Play) : KeyMapping{};
    default: break;
    }
    if (control) {
        // Ctrl with a letter is a menu shortcut; the arrows and the pad keep their meaning.
        if (const int command = ControlShortcut(key)) return {KeyAction::Accelerator, command};
        if (key >= Qt::Key_A && key <= Qt::Key_Z) return {};
    }
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete: return {KeyAction::DeleteSelection};
    case Qt::Key_Period:
    case Qt::Key_Greater:
        if (keypad && key == Qt::Key_Period) return {KeyAction::DeleteSelection};
        return {KeyAction::Accelerator, key_command::kFadeOut};
    case Qt::Key_Comma:
    case Qt::Key_Less:
        // Some layouts give the keypad's decimal key a comma.
        if (keypad && key == Qt::Key_Comma) return {KeyAction::DeleteSelection};
        return {KeyAction::Accelerator, key_command::kFadeIn};
    case Qt::Key_Tab: return {KeyAction::ToggleMaster};
    case Qt::Key_Clear:
        return keypad ? ScrubKey(Key::kNormalBack) : KeyMapping{};
    case Qt::Key_Escape: return {KeyAction::Cancel};
    case Qt::Key_PageUp: return keypad ? ScrubKey(Key::kFastForward) : KeyMapping{KeyAction::PageLeft};
    case Qt::Key_PageDown:
        return keypad ? ScrubKey(Key::kSlowForward) : KeyMapping{KeyAction::PageRight};
    case Qt::Key_End:
        return keypad ? KeyMapping{} : Button(KeyAction::GoToEnd, TransportButton::GoToEnd);
    case Qt::Key_Home:
        return keypad ? Button(KeyAction::PlayFromStart, TransportButton::PlayFromStart)
                      : Button(KeyAction::GoToStart, TransportButton::GoToStart);
    case Qt::Key_Left:
        return keypad ? Button(KeyAction::PlaySelection, TransportButton::PlaySelection)
                      : KeyMapping{KeyAction::LeftArrow};
    case Qt::Key_Right: return keypad ? ScrubKey(Key::kNormalForward) : KeyMapping{KeyAction::RightArrow};
    case Qt::Key_Up:
        return keypad ? ScrubKey(Key::kFastBack) : Button(KeyAction::StopPlaying, TransportButton::Stop);
    case Qt::Key_Down:
        return keypad ? ScrubKey(Key::kSlowBack) : Button(KeyAction::StopPlaying, TransportButton::Stop);
    case Qt::Key_Insert:
        return keypad ? Button(KeyAction::InsertRecord, TransportButton::InsertRecord) : KeyMapping{};
    case Qt::Key_Plus:
        return keypad ? Button(KeyAction::Record, TransportButton::Record) : KeyMapping{};
    case Qt::Key_Minus:
        return keypad ? KeyMapping{KeyAction::RightEnd} : KeyMapping{};
    case Qt::Key_NumLock: return {KeyAction::LeftEnd};
    case Qt::Key_Slash:
        return keypad ? Button(KeyAction::MarkLeft, TransportButton::MarkLeft) : KeyMapping{};
    case Qt::Key_Asterisk:
        return keypad ? Button(KeyAction::MarkRight, TransportButton::MarkRight) : KeyMapping{};
    case Qt::Key_BracketLeft: return Button(KeyAction::MarkLeft, TransportButton::MarkLeft);
    case Qt::Key_BracketRight: return Button(KeyAction::MarkRight, TransportButton::MarkRight);
    default: break;
    }
    if (keypad) {
        // The keypad's digits with NumLock on: the same pad as with NumLock off.
        switch (key) {
        case Qt::Key_0: return Button(KeyAction::InsertRecord, TransportButton::InsertRecord);
        case Qt::Key_2: return ScrubKey(Key::kSlowBack);
        case Qt::Key_3: return ScrubKey(Key::kSlowForward);
        case Qt::Key_4: return Button(KeyAction::PlaySelection, TransportButton::PlaySelection);
        case Qt::Key_6: return ScrubKey(Key::kNormalForward);
        case Qt::Key_7: return Button(KeyAction::PlayFromStart, TransportButton::PlayFromStart);
        case Qt::Key_8: return ScrubKey(Key::kFastBack);
        case Qt::Key_9: return ScrubKey(Key::kFastForward);
        default: return {};
        }
    }
    if (key >= Qt::Key_1 && key <= Qt::Key_9) return {KeyAction::CartDigit, key - Qt::Key_0};
    switch (key) {
    case Qt::Key_A: return {KeyAction::SelectAll};
    case Qt::Key_B: return {KeyAction::Bleep};
    case Qt::Key_C: return {KeyAction::Copy};
    case Qt::Key_E: return {KeyAction::Export};
    case Qt::Key_I: return Button(KeyAction::InsertRecord, TransportButton::InsertRecord);
    case Qt::Key_K: return {KeyAction::ClearSelection};
    case Qt::Key_M: return {KeyAction::Marker};
    case Qt::Key_N: return {KeyAction::NewFromSelection};
    case Qt::Key_O: return {KeyAction::Open};
    case Qt::Key_P: return Button(KeyAction::PlayFromStart, TransportButton::PlayFromStart);
    case Qt::Key_Q: return {KeyAction::Zoom};
    case Qt::Key_R: return Button(KeyAction::Record, TransportButton::Record);
    case Qt::Key_T: return {KeyAction::DeleteFromLibrary};
    case Qt::Key_V: return {KeyAction::Paste};
    case Qt::Key_X: return {KeyAction::Cut};
    case Qt::Key_Y: return {KeyAction::Redo};
    case Qt::Key_Z: return {KeyAction::Undo};
    default: return {};
    }
}

KeyCommands::KeyCommands(WaveformView* view, TransportPanel* panel, KeyHooks keyHooks)
    : hooks(std::move(keyHooks)), view_(view), panel_(panel)
{
    if (view_) view_->SetKeyCommands(this);
    if (panel_) panel_->SetKeyCommands(this);
}

KeyCommands::~KeyCommands()
{
    if (view_) view_->SetKeyCommands(nullptr);
    if (panel_) panel_->SetKeyCommands(nullptr);
}

AudioStream* KeyCommands::Stream() const { return stream_ ? stream_ : MainStream(); }

Editor KeyCommands::CurrentEditor() const
{
    if (hooks.editor) return hooks.editor();
    AudioStream* stream = Stream();
    return Editor{stream ? stream->reader.get() : nullptr, nullptr};
}

bool KeyCommands::EditingState() const
{
    AudioStream* stream = Stream();
    return stream && stream->HasEdit() && stream->State() == kStateStandby;
}

void KeyCommands::Post(int command) const
{
    if (!hooks.command) return;
    // Posted, so that a dialog the command opens does not run inside the key event.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [run = hooks.command, command] { run(command); },
        Qt::QueuedConnection);
}

void KeyCommands::SetButton(int button, bool down)
{
    if (panel_ && button >= 0) panel_->SetButtonDown(TransportButton(button), down);
}

bool KeyCommands::HandleKey(QKeyEvent* event, bool down)
{
    return HandleKey(event->key(), event->modifiers(), event->isAutoRepeat(), down);
}

bool KeyCommands::HandleKey(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat, bool down)
{
    const KeyMapping mapping = MapKey(key, modifiers);
    if (autoRepeat) {
        // A held key repeats; only the Up and Down arrows act again (they keep stopping).
        // The releases between repeats are swallowed too, or a held scrub key would let go.
        if (down && mapping.action == KeyAction::StopPlaying) Run(mapping, true);
        return true;
    }
    // Shift and Ctrl follow each key's own modifiers, so a release that went to a dialog
    // (a shortcut that opened one) does not leave them held here.
    if (mapping.action != KeyAction::ShiftKey && mapping.action != KeyAction::ControlKey) {
        const bool shift = modifiers & Qt::ShiftModifier;
        const bool control = modifiers & Qt::ControlModifier;
        if (shift != shift_ || control != control_) {
            shift_ = shift;
            control_ = control;
            ReevaluateArrows();
        }
    }
    if (mapping.action == KeyAction::None) return false;
    if (mapping.action == KeyAction::CartDigit &&
        !(hooks.cartsExist && hooks.cartsExist()))
        return false;
    SetButton(mapping.button, down);
    Run(mapping, down);
    return true;
}

void KeyCommands::ButtonAction(TransportButton button, bool down)
{
    SetButton(int(button), down);
    KeyMapping mapping{KeyAction::None, 0, int(button)};
    switch (button) {
    case TransportButton::GoToStart: mapping.action = KeyAction::GoToStart; break;
    case TransportButton::GoToEnd: mapping.action = KeyAction::GoToEnd; break;
    case TransportButton::PlayFromStart: mapping.action = KeyAction::PlayFromStart; break;
    case TransportButton::Play: mapping.action = KeyAction::PlayStop; break;
    case TransportButton::Stop: mapping.action = KeyAction::StopPlaying; break;
    case TransportButton::PlaySelection: mapping.action = KeyAction::PlaySelection; break;
    case TransportButton::MarkLeft: mapping.action = KeyAction::MarkLeft; break;
    case TransportButton::MarkRight: mapping.action = KeyAction::MarkRight; break;
    case TransportButton::Record: mapping.action = KeyAction::Record; break;
    case TransportButton::InsertRecord: mapping.action = KeyAction::InsertRecord; break;
    case TransportButton::FastReverse: mapping = ScrubKey(Key::kFastBack); break;
    case TransportButton::Reverse: mapping = ScrubKey(Key::kNormalBack); break;
    case TransportButton::SlowReverse: mapping = ScrubKey(Key::kSlowBack); break;
    case TransportButton::SlowForward: mapping = ScrubKey(Key::kSlowForward); break;
    case TransportButton::Forward: mapping = ScrubKey(Key::kNormalForward); break;
    case TransportButton::FastForward: mapping = ScrubKey(Key::kFastForward); break;
    }
    Run(mapping, down);
}

void KeyCommands::ReleaseAll()
{
    shift_ = control_ = leftArrow_ = rightArrow_ = false;
    SetScrubKeys(0, 0);
    if (panel_)
        for (int b = 0; b < kTransportButtonCount; ++b) panel_->SetButtonDown(TransportButton(b), false);
}

void KeyCommands::SetScrubKeys(uint32_t keypad, uint32_t arrows)
{
    AudioStream* stream = Stream();
    const uint32_t before = keypadScrub_ | arrowScrub_;
    const uint32_t after = keypad | arrows;
    keypadScrub_ = keypad;
    arrowScrub_ = arrows;
    if (before == after || !stream) return;
    TransportState& transport = Transport();
    const uint64_t now = ServiceClockMs();
    const uint32_t pressed = after & ~before;
    const uint32_t released = before & ~after;
    // New keys go down before old ones come up, so a change of speed never passes through
    // "nothing held" (which would stop the scrub).
    for (uint32_t key = 1; key <= Key::kSlowForward; key <<= 1)
        if (pressed & key) ScrubKeyDown(*stream, key, now);
    for (uint32_t key = 1; key <= Key::kSlowForward; key <<= 1)
        if (released & key) ScrubKeyUp(*stream, key, now);
    transport.rewindHeld = after & ScrubKeyTracker::kBackKeys;
    transport.forwardHeld = after & ScrubKeyTracker::kForwardKeys;
    // The speed of the newest key, else of one still held.
    const uint32_t speedFrom = pressed ? pressed : after;
    if (speedFrom & (Key::kFastBack | Key::kFastForward))
        transport.keyboardScrubState = 1;
    else if (speedFrom & (Key::kSlowBack | Key::kSlowForward))
        transport.keyboardScrubState = -1;
    else
        transport.keyboardScrubState = 0;
    for (uint32_t key = 1; key <= Key::kSlowForward; key <<= 1)
        if ((before ^ after) & key) SetButton(ScrubButton(key), after & key);
}

void KeyCommands::ReevaluateArrows()
{
    SetScrubKeys(keypadScrub_, ArrowScrubKey(leftArrow_, rightArrow_, shift_, control_));
}

void KeyCommands::EditingDone()
{
    if (view_) view_->RequestRefresh();
    if (panel_) panel_->UpdatePosition();
}

void KeyCommands::GoToEdge(bool end, bool toMark)
{
    AudioStream* stream = Stream();
    if (!stream || !stream->HasEdit()) return;
    const EditView& view = *stream->reader;
    if (toMark && view.HasSelection()) {
        const uint64_t mark = end ? std::max(view.leftMark, view.rightMark)
                                  : std::min(view.leftMark, view.rightMark);
        const bool wasPlaying = stream->playing;
        if (wasPlaying) TransportCommand(*stream, kTransportStop, Transport().reverseDirection);
        PlaceCueLine(*stream->reader, mark);
        TheAudioShell().RedrawCueAndOverview();
        if (wasPlaying) TransportCommand(*stream, kTransportPlay, Transport().reverseDirection);
    } else if (end) {
        GoToEnd(*stream);
    } else {
        GoToStart(*stream);
    }
    EditingDone();
}

void KeyCommands::PlayStop(bool down)
{
    AudioStream* stream = Stream();
    if (!down || !stream) return;
    const TransportState& transport = Transport();
    const bool recording =
        stream->recording || (transport.isRecording && transport.isRecording());
    if (control_) {
        // Ctrl makes it the pause key.
        if (recording) {
            if (hooks.pauseRecording)
                hooks.pauseRecording();
            else
                SetRecordingPaused(!stream->recordPaused);
        } else if (stream->HasEdit()) {
            PlayPauseKey(*stream);
        }
        return;
    }
    if (stream->recordPaused) return;
    if (recording) {
        StopKey(*stream);
        return;
    }
    const int state = stream->State();
    if (state == kStateStandby) {
        if (stream->HasEdit() && stream->reader->cursor < stream->reader->length)
            PlayPauseKey(*stream);
    } else if (state == kStatePlaying || state == kStateScrubbing) {
        StopKey(*stream);
    }
}

void KeyCommands::Run(const KeyMapping& mapping, bool down)
{
    AudioStream* stream = Stream();
    const bool forwardDisplay = !(view_ && view_->ReversedDisplay());
    switch (mapping.action) {
    case KeyAction::ShiftKey:
        shift_ = down;
        ReevaluateArrows();
        return;
    case KeyAction::ControlKey:
        control_ = down;
        ReevaluateArrows();
        return;
    case KeyAction::LeftArrow:
        leftArrow_ = down;
        ReevaluateArrows();
        return;
    case KeyAction::RightArrow:
        rightArrow_ = down;
        ReevaluateArrows();
        return;
    case KeyAction::Scrub: {
        const uint32_t key = uint32_t(mapping.argument);
        SetScrubKeys(down ? keypadScrub_ | key : keypadScrub_ & ~key, arrowScrub_);
        return;
    }
    case KeyAction::PlayStop:
        PlayStop(down);
        return;
    default:
        break;
    }
    if (!down) return;

    Editor editor = CurrentEditor();
    const bool editing = EditingState();
    const TransportState& transport = Transport();
    const bool recording =
        stream && (stream->recording || (transport.isRecording && transport.isRecording()));
    switch (mapping.action) {
    case KeyAction::DeleteSelection:
        DeleteCommand(editor);
        EditingDone();
        break;
    case KeyAction::ToggleMaster:
        if (editing && ToggleMasterView(*stream)) EditingDone();
        break;
    case KeyAction::Cancel:
        if (!recording) break;
        if (CurrentRecordingKind() == 2)
            InsertRecord(true); // the appended audio is cut off again
        else
            Record(true); // a new recording is kept in the Library, not opened
        break;
    case KeyAction::PageLeft:
    case KeyAction::PageRight:
        if (stream && !recording) {
            const int64_t width = view_ ? std::max(1, view_->AreaWidth()) : 800;
            // Page Up always pages back and Page Down on, whichever way the display runs.
            StepCue(*stream, mapping.action == KeyAction::PageLeft ? -width : width);
            EditingDone();
        }
        break;
    case KeyAction::GoToEnd:
        if (!recording) GoToEdge(true, shift_);
        break;
    case KeyAction::GoToStart:
        if (!recording) GoToEdge(false, shift_);
        break;
    case KeyAction::RightEnd:
        if (!recording) GoToEdge(forwardDisplay, shift_);
        break;
    case KeyAction::LeftEnd:
        if (!recording) GoToEdge(!forwardDisplay, false);
        break;
    case KeyAction::PlayFromStart:
        if (stream && stream->HasEdit() && !recording) {
            GoToStart(*stream);
            if (!stream->playing) TransportCommand(*stream, kTransportPlay, transport.reverseDirection);
        }
        break;
    case KeyAction::PlaySelection:
        if (stream && !recording)
            TransportCommand(*stream, kTransportPlaySelection, transport.reverseDirection);
        break;
    case KeyAction::StopPlaying:
        if (stream && !recording && (stream->playing || stream->scrubbing)) StopKey(*stream);
        break;
    case KeyAction::InsertRecord:
        Post(key_command::kInsertRecord);
        break;
    case KeyAction::Record:
        Post(key_command::kRecordNew);
        break;
    case KeyAction::CartDigit:
        digits_.push_back(mapping.argument);
        if (digits_.size() == 2) {
            const int index = CartIndex(digits_[0], digits_[1]);
            digits_.clear();
            if (index >= 0 && hooks.cartKey) hooks.cartKey(index);
        }
        break;
    case KeyAction::SelectAll:
        if (editing) {
            SelectAllCommand(editor);
            EditingDone();
        }
        break;
    case KeyAction::ClearSelection:
        if (editing) {
            ClearSelectionCommand(editor);
            EditingDone();
        }
        break;
    case KeyAction::Bleep:
        if (editing) Post(key_command::kBleep);
        break;
    case KeyAction::Copy:
        CopyCommand(editor);
        break;
    case KeyAction::Export:
        if (editing) Post(key_command::kExport);
        break;
    case KeyAction::NewFromSelection:
        if (editing) Post(key_command::kNewFromSelection);
        break;
    case KeyAction::Open:
        if (editing) Post(key_command::kOpenFromLibrary);
        break;
    case KeyAction::DeleteFromLibrary:
        if (editing) Post(key_command::kDeleteFromLibrary);
        break;
    case KeyAction::Marker:
        if (!stream) break;
        if (recording || stream->playing || stream->scrubbing)
            DropMarker(editor);
        else if (stream->HasEdit())
            Post(key_command::kInsertMarker);
        break;
    case KeyAction::Zoom:
        if (stream) ToggleZoom(*stream);
        EditingDone();
        break;
    case KeyAction::Paste:
        PasteCommand(editor);
        EditingDone();
        break;
    case KeyAction::Cut:
        CutCommand(editor);
        EditingDone();
        break;
    case KeyAction::Undo:
        if (editing && CanUndo(editor)) {
            UndoCommand(editor);
            EditingDone();
        }
        break;
    case KeyAction::Redo:
        if (editing && CanRedo(editor)) {
            RedoCommand(editor);
            EditingDone();
        }
        break;
    case KeyAction::MarkLeft:
    case KeyAction::MarkRight:
        if (stream && stream->HasEdit() && !recording) {
            const uint64_t at = stream->HeardPosition();
            if (mapping.action == KeyAction::MarkLeft)
                SetLeftMark(*stream->reader, at);
            else
                SetRightMark(*stream->reader, at);
            EditingDone();
        }
        break;
    case KeyAction::Accelerator:
        Post(mapping.argument);
        break;
    default:
        break;
    }
}

} // namespace tandrel::waveform
