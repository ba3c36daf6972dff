#include "app/instance_guard.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QWidget>
#include <memory>
#include <unistd.h>

namespace tandrel::app {

namespace {

constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 3000;

} // namespace

QString InstanceGuard::SocketPath()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) return QString::fromLocal8Bit(runtime) + "/tandrel.socket";
    return QDir::tempPath() + QString("/tandrel-%1.socket").arg(::getuid());
}

char InstanceGuard::SendRequest(uint32_t type, const std::vector<uint8_t>& data)
{
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    if (!socket.waitForConnected(kConnectMs)) return 0;
    const std::vector<uint8_t> bytes = EncodeRequest(type, data);
    socket.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    if (!socket.waitForBytesWritten(kAnswerMs)) return 0;
    // The running copy answers once it has the whole message.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(kAnswerMs)) return 0;
    char answer = 0;
    return socket.read(&answer, 1) == 1 ? answer : 0;
}

bool InstanceGuard::ActivateRunningCopy()
{
    return SendRequest(kRequestActivate, {}) == kAnswerTaken;
}

bool InstanceGuard::Listen()
{
    const QString path = SocketPath();
    // A socket file there is either a copy that listens, or what a crashed copy left. The
    // server would replace either without a word, so look first.
    if (QFileInfo::exists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(200)) return false;
        QLocalServer::removeServer(path);
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(path)) return false;
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection())
            Serve(socket);
    });
    return true;
}

void InstanceGuard::Serve(QLocalSocket* socket)
{
    auto reader = std::make_shared<RequestReader>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto take = [this, socket, reader] {
        const QByteArray bytes = socket->readAll();
        reader->Feed(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
        while (std::optional<ProgramRequest> next = reader->Next()) {
            char answer = kAnswerRefused;
            if (next->type == kRequestActivate) {
                if (activate) activate();
                answer = kAnswerTaken;
            } else if (request) {
                answer = request(*next);
            }
            socket->write(&answer, 1);
            socket->flush();
        }
        if (reader->Broken()) socket->abort();
    };
    connect(socket, &QLocalSocket::readyRead, this, take);
    if (socket->bytesAvailable() > 0) take();
}

void RaiseProgramWindow(QWidget* window)
{
    if (!window) return;
    QWidget* target = window;
    if (QWidget* modal = QApplication::activeModalWidget()) target = modal;
    if (window->isMinimized()) window->showNormal();
    if (target->isMinimized()) target->showNormal();
    target->raise();
    target->activateWindow();
}

} // namespace tandrel::app
