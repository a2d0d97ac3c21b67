#include "SingleInstance.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <unistd.h>

namespace notchora {

namespace {

constexpr qint64 maxRequestBytes = 64 * 1024;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_path(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/notchora.sock");
    return QDir::tempPath() + QStringLiteral("/notchora-%1.sock").arg(getuid());
}

bool SingleInstance::handOver(const QStringList& request, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(QJsonDocument(QJsonArray::fromStringList(request)).toJson(QJsonDocument::Compact) +
                 '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running instance answers once it has taken the request.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine().trimmed() == "ok";
}

bool SingleInstance::listen() {
    if (m_server)
        return true;
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_path)) {
        // Nobody answered handOver, so whatever is there is left from an earlier run.
        QLocalServer::removeServer(m_path);
        if (!server->listen(m_path)) {
            delete server;
            return false;
        }
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard] {
            if (!guard)
                return;
            if (!guard->canReadLine()) {
                if (guard->bytesAvailable() > maxRequestBytes)
                    guard->abort();
                return;
            }
            const QJsonDocument doc = QJsonDocument::fromJson(guard->readLine());
            QStringList request;
            for (const auto& value : doc.array())
                if (value.isString())
                    request << value.toString();
            guard->write("ok\n");
            guard->flush();
            guard->disconnectFromServer();
            if (!request.isEmpty())
                emit requestReceived(request);
        });
    }
}

} // namespace notchora
