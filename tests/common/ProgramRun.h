#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace notchora::test {

// How a program run to its end went; `finished` is false when it did not start or end in time.
struct ProgramRun {
    bool finished = false;
    int exitCode = -1;
    QString out; // trimmed
    QString err; // trimmed
};

// Runs `program` to its end with `environment` (the test's own by default).
ProgramRun
runProgram(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
           const QString& workingDirectory = QString(), int timeoutMs = 30000);

// The environment notchora runs with in tests: the test's own folders, offscreen, the file
// secret store.
QProcessEnvironment notchoraEnvironment();
ProgramRun runNotchora(const QStringList& arguments,
                       const QProcessEnvironment& environment = notchoraEnvironment());
// Starts notchora in `process` and waits for its single-instance socket; false when it did not
// come up.
bool startNotchora(QProcess& process,
                   const QProcessEnvironment& environment = notchoraEnvironment());

} // namespace notchora::test
