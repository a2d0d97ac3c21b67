#include "screenshot/CaptureTask.h"

#include "platform/Folders.h"
#include "screenshot/CaptureBracket.h"
#include "screenshot/Logging.h"

#include <QDir>
#include <QFile>
#include <QUuid>

namespace notchora {

CaptureTask::CaptureTask(qint64 maxBytes, Clock& clock, QObject* parent)
    : QObject(parent), m_maxBytes(maxBytes), m_bracket(new CaptureBracket(clock, this)),
      m_tempPath(Folders::privateTempPath(QStringLiteral("capture-"), QStringLiteral(".jpg"))) {}

CaptureTask::~CaptureTask() {
    if (m_process) {
        // Cancelled while the tool runs: stop it before its file can appear.
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(1000);
    }
    removeTempFile();
}

void CaptureTask::start() {
    if (m_started)
        return;
    m_started = true;
    // The permission check comes after the pause, inside the bracket.
    m_bracket->begin([this] {
        if (!ScreenCapture::preflightAccess()) {
            finish(ScreenCapture::Result::failure(ScreenCapture::CaptureError::permissionDenied));
            return;
        }
        runTool();
    });
}

void CaptureTask::runTool() {
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // a crash still ends in `finished`; the file decides
        const QString message = m_process->errorString();
        qCWarning(lcScreenshot) << "cannot start" << ScreenCapture::toolPath() << ":" << message;
        releaseProcess();
        removeTempFile();
        finish(ScreenCapture::Result::launchFailure(message));
    });
    connect(m_process, &QProcess::finished, this, &CaptureTask::toolExited);
    m_process->start(ScreenCapture::toolPath(), {QStringLiteral("-x"), QStringLiteral("-t"),
                                                 QStringLiteral("jpg"), m_tempPath});
}

void CaptureTask::toolExited() {
    releaseProcess();
    // The exit status says nothing: an empty or missing file means no capture.
    QFile file(m_tempPath);
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    removeTempFile();
    if (data.isEmpty()) {
        finish(ScreenCapture::Result::failure(ScreenCapture::CaptureError::captureFailed));
        return;
    }
    ScreenCapture::encode(data, m_maxBytes, this,
                          [this](const ScreenCapture::Result& result) { finish(result); });
}

void CaptureTask::finish(const ScreenCapture::Result& result) {
    if (m_finished)
        return;
    m_finished = true;
    m_bracket->end();
    emit finished(result);
}

// We are inside one of the process's signals: the receiver of `finished` may delete this
// task, and the process must not go with it while it is still emitting.
void CaptureTask::releaseProcess() {
    m_process->disconnect(this);
    m_process->setParent(nullptr);
    m_process->deleteLater();
    m_process = nullptr;
}

void CaptureTask::removeTempFile() {
    QFile::remove(m_tempPath);
}

} // namespace notchora
