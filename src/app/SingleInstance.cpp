#include "app/SingleInstance.h"

#include "app/Logging.h"
#include "app/SingleInstanceRequest.h"
#include "platform/Folders.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

namespace notchora {

SingleInstance::SingleInstance(QString socketPath, Clock& clock, QObject* parent)
    : QObject(parent), m_path(std::move(socketPath)), m_clock(clock) {}

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
        m_socket->write(SingleInstanceRequest::encodeReply({exitCode, output}));
        m_socket->flush();
        m_socket->disconnectFromServer();
    }
    deleteLater();
}

void SingleInstanceReply::send(const QString& text) {
    if (m_finished || !m_socket)
        return;
    m_socket->write(SingleInstanceRequest::encodeProgress(text));
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
    // From here on an instance runs: whatever happens, the caller must not start another.
    const Response noAnswer{SingleInstanceRequest::badRequestExitCode,
                            QStringLiteral("Notchora yang sedang berjalan tidak menjawab.")};
    socket.write(SingleInstanceRequest::encode(request));
    // A refused request may be answered before all of it was taken.
    if (!socket.waitForBytesWritten(timeoutMs) && !socket.canReadLine() &&
        socket.state() == QLocalSocket::ConnectedState)
        return noAnswer;
    // The running instance answers once it has done what was asked, perhaps with text to
    // show on the way.
    for (;;) {
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(replyTimeoutMs))
                break;
        }
        if (!socket.canReadLine())
            return noAnswer;
        const QByteArray line = socket.readLine();
        if (const auto text = SingleInstanceRequest::parseProgress(line)) {
            if (progress)
                progress(*text);
            continue;
        }
        const auto reply = SingleInstanceRequest::parseReply(line);
        return Response{reply.exitCode, reply.output};
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

int SingleInstance::waitingConnections() const {
    return int(
        std::count_if(m_waiting.begin(), m_waiting.end(),
                      [](const QPointer<QLocalSocket>& socket) { return !socket.isNull(); }));
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
        waitForRequest(socket);
    }
}

void SingleInstance::waitForRequest(QLocalSocket* socket) {
    // Idle connections must not pile up: each waits a limited time, and the oldest makes
    // room for a newer one.
    m_waiting.removeIf([](const QPointer<QLocalSocket>& waiting) { return waiting.isNull(); });
    m_waiting.append(socket);
    while (m_waiting.size() > maxWaitingConnections) {
        if (QLocalSocket* oldest = m_waiting.takeFirst()) {
            qCWarning(lcApp) << "too many connections wait to send a request; closing the oldest";
            oldest->abort();
        }
    }
    // More than a request's worth is never buffered.
    socket->setReadBufferSize(SingleInstanceRequest::maxBytes + 1);
    const QPointer<QLocalSocket> guard(socket);
    m_clock.schedule(requestWaitSeconds, socket, [this, guard] {
        if (guard && m_waiting.contains(guard)) {
            qCWarning(lcApp) << "a connection sent no request in time; closing it";
            m_waiting.removeAll(guard);
            guard->abort();
        }
    });
    connect(socket, &QLocalSocket::readyRead, this, [this, guard] {
        if (guard)
            readRequest(guard);
    });
    // Bytes may have arrived with the connection.
    if (socket->bytesAvailable() > 0)
        readRequest(socket);
}

void SingleInstance::readRequest(QLocalSocket* socket) {
    const bool tooLong =
        !socket->canReadLine() && socket->bytesAvailable() > SingleInstanceRequest::maxBytes;
    if (!socket->canReadLine() && !tooLong)
        return;
    m_waiting.removeAll(QPointer<QLocalSocket>(socket));
    socket->disconnect(this);
    auto* reply = new SingleInstanceReply(socket, this);
    const auto parsed = tooLong
                            ? SingleInstanceRequest::Error{SingleInstanceRequest::tooLongMessage}
                            : SingleInstanceRequest::parse(socket->readLine());
    if (const auto* error = std::get_if<SingleInstanceRequest::Error>(&parsed)) {
        qCWarning(lcApp) << "refusing a request:" << error->message;
        reply->finish(SingleInstanceRequest::badRequestExitCode, error->message);
        return;
    }
    emit requestReceived(std::get<QStringList>(parsed), reply);
    // Whoever took the request answers when done; an unanswered one ends well.
    QMetaObject::invokeMethod(
        reply,
        [reply] {
            if (!reply->isDeferred())
                reply->finish();
        },
        Qt::QueuedConnection);
}

} // namespace notchora
