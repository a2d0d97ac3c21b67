#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace notchora {

// The running program's answer to one handed-over request. It stays open until
// `finish()`, so a request can report the outcome of work that takes a while (a sign-in).
class SingleInstanceReply : public QObject {
    Q_OBJECT
public:
    SingleInstanceReply(QLocalSocket* socket, QObject* parent);
    ~SingleInstanceReply() override;
    // Sends the exit code and text the second start should end with; once only.
    void finish(int exitCode = 0, const QString& output = QString());
    // Sends text for the second start to print at once, before the outcome.
    void send(const QString& text);
    bool isFinished() const { return m_finished; }
    // The handler will call finish() later; otherwise the request is answered with 0 as
    // soon as control returns to the event loop.
    void defer() { m_deferred = true; }
    bool isDeferred() const { return m_deferred; }

private:
    QPointer<QLocalSocket> m_socket;
    bool m_finished = false;
    bool m_deferred = false;
};

// Keeps one running program per user session. A second start hands its request (its
// command line, reduced to a command word and arguments) to the running one over a local
// socket in the runtime folder and exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/notchora.sock, or one in our private folder under the temporary
    // folder; empty when no private folder can be had.
    static QString defaultSocketPath();
    // Whether the other end of `socket` runs as this user.
    static bool peerIsUs(const QLocalSocket& socket);
    QString socketPath() const { return m_path; }

    struct Response {
        int exitCode = 0;
        QString output;
    };
    // Gives `request` to a running instance and waits for its answer: at most `timeoutMs`
    // to connect and hand over, then `replyTimeoutMs` (-1: as long as it takes) for the
    // outcome. None when no instance took it. Blocks: this runs before the program has
    // anything else to do.
    // Text sent before the outcome goes to `progress` as it arrives.
    std::optional<Response> ask(const QStringList& request, int timeoutMs = 3000,
                                int replyTimeoutMs = 10000,
                                const std::function<void(const QString&)>& progress = {}) const;
    // True when a running instance took `request`.
    bool handOver(const QStringList& request, int timeoutMs = 3000) const {
        return ask(request, timeoutMs).has_value();
    }
    // Becomes the running instance; a socket left behind by a crashed run is replaced.
    bool listen();

signals:
    // The handler answers through `reply` (see SingleInstanceReply::defer()).
    void requestReceived(const QStringList& request, notchora::SingleInstanceReply* reply);

private:
    void accept();

    QString m_path;
    QLocalServer* m_server = nullptr;
};

} // namespace notchora
