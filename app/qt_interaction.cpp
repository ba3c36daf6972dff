#include "app/qt_interaction.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

namespace tandrel::app {

namespace {

// Runs `work` on the UI thread and waits for it; worker threads report through the same
// boxes as the UI thread does.
template <typename Work>
void OnUiThread(Work&& work)
{
    if (QThread::currentThread() == qApp->thread())
        work();
    else
        QMetaObject::invokeMethod(qApp, std::forward<Work>(work), Qt::BlockingQueuedConnection);
}

QWidget* Owner()
{
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

class QtProgressView : public ProgressView
{
public:
    explicit QtProgressView(ProgressKind kind) : kind_(kind)
    {
        dialog_.setWindowTitle("Tandrel");
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setMinimumWidth(360);
        auto* layout = new QVBoxLayout(&dialog_);
        layout->addWidget(&caption_);
        bar_.setRange(0, 100);
        bar_.setValue(0);
        layout->addWidget(&bar_);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(&cancel_);
        layout->addLayout(buttons);
        cancel_.setText("Cancel");
        QObject::connect(&cancel_, &QPushButton::clicked, [this] { cancelled_ = true; });
        // Closing the window counts as Cancel where Cancel counts at all.
        QObject::connect(&dialog_, &QDialog::rejected, [this] { cancelled_ = true; });
    }

    void Show(bool cancellable) override
    {
        cancel_.setEnabled(cancellable);
        dialog_.adjustSize();
        if (kind_ == kProgressBackground) {
            // The bottom-right corner of the screen, 40 pixels above the bottom edge.
            if (QScreen* screen = QGuiApplication::primaryScreen()) {
                const QRect desk = screen->geometry();
                dialog_.move(desk.width() - dialog_.width(),
                             desk.height() - dialog_.height() - 40);
            }
            dialog_.setWindowModality(Qt::NonModal);
        }
        dialog_.show();
        Turn();
    }
    void SetText(const std::string& text) override
    {
        caption_.setText(QString::fromStdString(text));
        dialog_.setWindowTitle(QString::fromStdString(text));
        Turn();
    }
    void SetPercent(int percent) override
    {
        bar_.setValue(std::clamp(percent, 0, 100));
        Turn();
    }
    void ToFront() override
    {
        dialog_.raise();
        dialog_.activateWindow();
    }
    void Close() override { dialog_.hide(); }
    bool CancelPressed() override
    {
        Turn();
        return cancelled_;
    }

private:
    // Lets the event loop turn: the bar repaints, Cancel is taken and the audio timer fires.
    void Turn() { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }

    ProgressKind kind_;
    QDialog dialog_;
    QLabel caption_;
    QProgressBar bar_;
    QPushButton cancel_;
    bool cancelled_ = false;
};

} // namespace

QtInteractionSink::QtInteractionSink() : previous_(InstallInteractionSink(this)) {}
QtInteractionSink::~QtInteractionSink() { InstallInteractionSink(previous_); }

MessageAnswer QtInteractionSink::ShowMessage(const std::string& title, const std::string& text,
                                             MessageButtons buttons)
{
    MessageAnswer answer = MessageAnswer::Cancel;
    OnUiThread([&] {
        QMessageBox box(Owner());
        box.setWindowTitle(QString::fromStdString(title));
        box.setText(QString::fromStdString(text));
        box.setIcon(title == kErrorTitle ? QMessageBox::Critical : QMessageBox::Information);
        switch (buttons) {
        case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Ok: answer = MessageAnswer::Ok; break;
        case QMessageBox::Yes: answer = MessageAnswer::Yes; break;
        case QMessageBox::No: answer = MessageAnswer::No; break;
        default:
            // A box closed from its title bar: the cautious answer.
            answer = buttons == MessageButtons::Ok ? MessageAnswer::Ok
                     : buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                        : MessageAnswer::Cancel;
            break;
        }
    });
    return answer;
}

std::optional<std::string> QtInteractionSink::PromptText(const std::string& title,
                                                         const std::string& label,
                                                         const std::string& initial)
{
    std::optional<std::string> result;
    OnUiThread([&] {
        QInputDialog dialog(Owner());
        dialog.setWindowTitle(QString::fromStdString(title));
        dialog.setLabelText(QString::fromStdString(label));
        dialog.setTextValue(QString::fromStdString(initial));
        dialog.setMinimumWidth(360);
        if (dialog.exec() == QDialog::Accepted) result = dialog.textValue().toStdString();
    });
    return result;
}

QtProgressViews::QtProgressViews() : previous_(InstallProgressViews(this)) {}
QtProgressViews::~QtProgressViews() { InstallProgressViews(previous_); }

std::unique_ptr<ProgressView> QtProgressViews::MakeProgressView(ProgressKind kind)
{
    return std::make_unique<QtProgressView>(kind);
}

} // namespace tandrel::app
