#include "ProgramRun.h"

#include "TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

namespace notchora::test {

ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment, const QString& workingDirectory,
                      int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    // The secrets check reads every output of the programs a test ran (not their arguments,
    // which may carry a sign-in code on purpose).
    if (const QString dir = qEnvironmentVariable("NOTCHORA_TEST_OUTPUT_DIR"); !dir.isEmpty()) {
        QFile log(dir + QStringLiteral("/programs.log"));
        if (log.open(QIODevice::Append)) {
            log.write("== " + QFileInfo(program).fileName().toUtf8() + "\n" + out + err + "\n");
        }
    }
    return {process.exitStatus() == QProcess::NormalExit, process.exitCode(),
            QString::fromUtf8(out).trimmed(), QString::fromUtf8(err).trimmed()};
}

QProcessEnvironment notchoraEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("NOTCHORA_SECRET_STORE"), QStringLiteral("file"));
    return environment;
}

ProgramRun runNotchora(const QStringList& arguments, const QProcessEnvironment& environment) {
    return runProgram(TestEnvironment::binary(QStringLiteral("notchora")), arguments, environment);
}

bool startNotchora(QProcess& process, const QProcessEnvironment& environment) {
    process.setProcessEnvironment(environment);
    process.start(TestEnvironment::binary(QStringLiteral("notchora")));
    const QString socket =
        environment.value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/notchora.sock");
    [&] { QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 20000); }();
    return QFile::exists(socket);
}

} // namespace notchora::test
