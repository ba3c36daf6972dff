#include "app/transcription/transcription_actions.h"

#include <QKeyEvent>

#include "app/main_window.h"
#include "app/studio.h"
#include "engine/transport.h"
#include "settings/setting_defaults.h"

namespace tandrel::app {

void CarryOutTranscription(MainWindow& window, Studio& studio, TranscriptionAction action)
{
    if (action == TranscriptionAction::Back) {
        if (AudioStream* stream = studio.Stream())
            StepBack(*stream, ReadNumberSetting("TranscriptionBackSeconds"));
        return;
    }
    // The Space key's own press and release, so that play/pause keeps every rule of the key
    // (recording, a paused recording, the end of the Edit).
    if (!window.keyHandler) return;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    window.keyHandler(&press, true);
    window.keyHandler(&release, false);
}

} // namespace tandrel::app
