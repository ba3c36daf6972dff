#include "app/transcription/transcription_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/program_requests.h"
#include "app/transcription/keyboard_hook.h"
#include "app/transcription/transcription_settings.h"

namespace tandrel::app {

namespace {

QString ShortcutCommands()
{
    QString program = QCoreApplication::applicationFilePath();
    if (program.contains(' ')) program = '"' + program + '"';
    QString lines;
    for (TranscriptionAction action : {TranscriptionAction::PlayPause, TranscriptionAction::Back})
        lines += program + " --transcription " + TranscriptionActionName(action) + "\n";
    return lines.trimmed();
}

} // namespace

bool RunTranscriptionDialog(QWidget* parent, KeyboardHook& hook)
{
    TranscriptionSettings settings = LoadTranscriptionSettings();
    const bool wasOn = hook.On();
    QDialog dialog(parent);
    dialog.setObjectName("Transcription");
    dialog.setWindowTitle("Transcription");
    auto* layout = new QVBoxLayout(&dialog);
    auto* enable = new QCheckBox("Enable transcription keys", &dialog);
    enable->setObjectName("enable");
    enable->setChecked(wasOn);
    layout->addWidget(enable);
    auto* form = new QFormLayout;
    auto* playPause = new QLineEdit(QString::fromStdString(settings.playPauseKey), &dialog);
    playPause->setObjectName("playPauseKey");
    auto* back = new QLineEdit(QString::fromStdString(settings.backKey), &dialog);
    back->setObjectName("backKey");
    auto* seconds = new QSpinBox(&dialog);
    seconds->setObjectName("backSeconds");
    seconds->setRange(1, 60);
    seconds->setValue(int(settings.backSeconds));
    seconds->setSuffix(" s");
    form->addRow("Play/pause key:", playPause);
    form->addRow("Back key:", back);
    form->addRow("Back steps:", seconds);
    layout->addLayout(form);

    const QString where =
        GlobalKeysAvailable()
            ? "Where the desktop gives programs no global keys (Wayland), a desktop shortcut can "
              "run:"
            : "This desktop gives programs no global keys (Wayland), so the keys above do nothing "
              "here. Give these commands desktop shortcuts instead:";
    auto* note = new QLabel(where + "\n\n" + ShortcutCommands(), &dialog);
    note->setObjectName("note");
    note->setWordWrap(true);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(enable, &QCheckBox::toggled, &dialog, [&hook](bool on) { hook.SetOn(on); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) {
        hook.SetOn(wasOn);
        return false;
    }
    settings.enabled = enable->isChecked();
    settings.playPauseKey = playPause->text().trimmed().toStdString();
    settings.backKey = back->text().trimmed().toStdString();
    settings.backSeconds = uint32_t(seconds->value());
    SaveTranscriptionSettings(settings);
    // The hook reads its keys when it is installed.
    hook.SetOn(settings.enabled);
    hook.Reinstall();
    return true;
}

} // namespace tandrel::app
