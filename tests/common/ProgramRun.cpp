#include "ProgramRun.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

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

} // namespace notchora::test
