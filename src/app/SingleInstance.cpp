#include "app/SingleInstance.h"

#include "app/Logging.h"
#include "platform/Folders.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <sys/socket.h>
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
    // Never a guessable name in the shared temporary folder: another user could listen there
    // first and be handed the sign-in redirect.
    const QString folder = Folders::privateRuntimeDir();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/notchora.sock");
}

bool SingleInstance::peerIsUs(const QLocalSocket& socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials,
                        &size) == 0 &&
           credentials.uid == ::getuid();
}

SingleInstanceReply::SingleInstanceReply(QLocalSocket* socket, QObject* parent)
    : QObject(parent), m_socket(socket) {}

SingleInstanceReply::~SingleInstanceReply() {
    if (m_socket)
        m_socket->deleteLater();
}

void SingleInstanceReply::finish(int exitCode, const QString& output) {
    if (m_finished)
        return;
    m_finished = true;
    if (m_socket) {
        const QJsonObject response{{QStringLiteral("exitCode"), exitCode},
                                   {QStringLiteral("output"), output}};
        m_socket->write(QJsonDocument(response).toJson(QJsonDocument::Compact) + '\n');
        m_socket->flush();
        m_socket->disconnectFromServer();
    }
    deleteLater();
}

void SingleInstanceReply::send(const QString& text) {
    if (m_finished || !m_socket)
        return;
    const QJsonObject progress{{QStringLiteral("progress"), text}};
    m_socket->write(QJsonDocument(progress).toJson(QJsonDocument::Compact) + '\n');
    m_socket->flush();
}

std::optional<SingleInstance::Response>
SingleInstance::ask(const QStringList& request, int timeoutMs, int replyTimeoutMs,
                    const std::function<void(const QString&)>& progress) const {
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    // Only a program of the same user gets the request (it may carry a sign-in code).
    if (!peerIsUs(socket)) {
        qCWarning(lcApp) << m_path << "is served by another user; not handing over";
        return std::nullopt;
    }
    socket.write(QJsonDocument(QJsonArray::fromStringList(request)).toJson(QJsonDocument::Compact) +
                 '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return std::nullopt;
    // The running instance answers once it has done what was asked, perhaps with text to
    // show on the way.
    for (;;) {
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(replyTimeoutMs))
                return std::nullopt;
        }
        const QJsonObject answer = QJsonDocument::fromJson(socket.readLine()).object();
        if (const QJsonValue text = answer.value(QLatin1String("progress")); text.isString()) {
            if (progress)
                progress(text.toString());
            continue;
        }
        return Response{answer.value(QLatin1String("exitCode")).toInt(),
                        answer.value(QLatin1String("output")).toString()};
    }
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
            qCWarning(lcApp) << "cannot listen on" << m_path << ":" << server->errorString();
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
        if (!peerIsUs(*socket)) {
            qCWarning(lcApp) << "refusing a request from another user";
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
            guard->disconnect(this);
            auto* reply = new SingleInstanceReply(guard, this);
            if (!request.isEmpty())
                emit requestReceived(request, reply);
            // Whoever took the request answers when done; an unanswered one ends well.
            QMetaObject::invokeMethod(
                reply,
                [reply] {
                    if (!reply->isDeferred())
                        reply->finish();
                },
                Qt::QueuedConnection);
        });
    }
}

} // namespace notchora
