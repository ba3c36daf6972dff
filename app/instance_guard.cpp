#include "app/instance_guard.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocalSocket>
#include <QWidget>
#include <memory>

#include "app/request_client.h"

namespace tandrel::app {

QString InstanceGuard::SocketPath()
{
    return QString::fromStdString(ProgramSocketPath());
}

char InstanceGuard::SendRequest(uint32_t type, const std::vector<uint8_t>& data)
{
    return SendProgramRequest(type, data);
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
