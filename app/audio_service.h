#pragma once
#include <QObject>
#include <QTimer>

namespace tandrel::app {

class Studio;

/** Keeps audio running from the event loop: a precise timer runs the audio service every
    millisecond while anything plays or records and every 10 ms in standby. Menus, modal
    dialogs and file choosers run nested event loops on this thread, which keep firing the
    timer; while one is open the service runs as a dialog's would (the recording is drained
    from it). */
class AudioService : public QObject
{
    Q_OBJECT
public:
    explicit AudioService(Studio& studio, QObject* parent = nullptr);

    void Start();
    void Stop();
    /** One pass, as the timer runs it. */
    void Pass();
    /** Passes so far (tests look at it to know the loop turns). */
    uint64_t Passes() const { return passes_; }

private:
    Studio& studio_;
    QTimer timer_;
    uint64_t passes_ = 0;
};

/** True while a menu, a modal dialog or a file chooser has the input. */
bool NestedLoopOpen();

} // namespace tandrel::app
