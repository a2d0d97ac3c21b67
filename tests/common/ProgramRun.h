#pragma once

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

} // namespace notchora::test
