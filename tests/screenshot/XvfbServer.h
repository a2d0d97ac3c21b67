#pragma once

#include <QProcess>
#include <QSize>
#include <QString>

namespace notchora::test {

// A private X server for tests that need real pixels and real input, on the first free
// display number from :91 up. Stopped when destroyed.
class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // False with `why` set when Xvfb is not installed or no display could be started.
    bool start(QSize size, QString* why);
    QString display() const { return QStringLiteral(":%1").arg(m_number); }
    // The environment of a process that should talk to this server.
    QProcessEnvironment environment() const;
    // Runs a command on this display; returns its exit code (-1 when it could not run).
    int run(const QString& program, const QStringList& args, int timeoutMs = 10000) const;

private:
    QProcess m_process;
    int m_number = -1;
};

} // namespace notchora::test
