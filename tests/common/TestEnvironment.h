#pragma once

#include <QString>
#include <QTemporaryDir>

namespace notchora::test {

// Points HOME and the XDG folders at a fresh temporary tree for as long as it lives, so a
// test never touches the real profile.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    QString root() const { return m_dir.path(); }
    QString home() const { return m_dir.path() + QStringLiteral("/home"); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString runtimeDir() const { return m_dir.path() + QStringLiteral("/runtime"); }

    // Path of an executable built into <build>/bin.
    static QString binary(const QString& name);

private:
    QTemporaryDir m_dir;
};

// Reads a whole file; empty when it cannot be read.
QByteArray readFile(const QString& path);
// Writes a whole file, creating parent folders.
bool writeFile(const QString& path, const QByteArray& data);
// The permission bits of a file (0600 for a private one), or -1 when it does not exist.
int fileMode(const QString& path);

} // namespace notchora::test
