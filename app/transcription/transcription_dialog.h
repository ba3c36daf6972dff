#pragma once

class QWidget;

namespace tandrel::app {

class KeyboardHook;

/** The Transcription dialog: whether the keyboard hook takes its keys (the check box
    installs or uninstalls it at once), the play/pause and back keys, how far back steps,
    and the commands a desktop shortcut runs where no global keys can be had. OK stores it
    all and installs the hook afresh with the keys; Cancel puts the hook back as it was and
    stores nothing. UI thread. True when OK was chosen. */
bool RunTranscriptionDialog(QWidget* parent, KeyboardHook& hook);

} // namespace tandrel::app
