#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

namespace notchora {

// Keeps one running program per user session. A second start hands its request (its
// command line, reduced to a command word and arguments) to the running one over a local
// socket in the runtime folder and exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/notchora.sock, or a per-user name in the temporary folder.
    static QString defaultSocketPath();
    QString socketPath() const { return m_path; }

    // Gives `request` to a running instance; true when one took it. Blocks for at most
    // `timeoutMs` (this runs before the program has anything else to do).
    bool handOver(const QStringList& request, int timeoutMs = 3000) const;
    // Becomes the running instance; a socket left behind by a crashed run is replaced.
    bool listen();

signals:
    void requestReceived(const QStringList& request);

private:
    void accept();

    QString m_path;
    QLocalServer* m_server = nullptr;
};

} // namespace notchora
