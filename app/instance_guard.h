#pragma once
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

#include "app/program_requests.h"

class QLocalSocket;

namespace tandrel::app {

/** One running copy per user: the first copy listens on a local socket; a later copy finds
    it there, asks it to come to the front and leaves. Other programs send their typed
    requests over the same socket. */
class InstanceGuard : public QObject
{
    Q_OBJECT
public:
    /** The socket's path: $XDG_RUNTIME_DIR/tandrel.socket, or one per user in the temporary
        folder when that is not set. */
    static QString SocketPath();

    /** True when a running copy answered and was asked to come to the front. */
    static bool ActivateRunningCopy();
    /** Sends one request to the running copy and waits for its answer (kAnswerTaken,
        kAnswerQueued or kAnswerRefused). 0 when no copy answers. */
    static char SendRequest(uint32_t type, const std::vector<uint8_t>& data);

    /** Starts listening (taking over a socket a crashed copy left behind). False when
        another copy listens after all. */
    bool Listen();

    /** What the running copy does with a request, and what it answers; set by the program.
        Without a handler other programs' requests are refused. */
    std::function<void()> activate;
    std::function<char(const ProgramRequest&)> request;

private:
    void Serve(QLocalSocket* socket);

    QLocalServer server_;
};

/** Brings `window` to the front, restoring it when minimised; when a modal dialog is open
    over it, that dialog instead. */
void RaiseProgramWindow(QWidget* window);

} // namespace tandrel::app
