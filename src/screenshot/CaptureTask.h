#pragma once

#include "screenshot/ScreenCapture.h"

#include <QObject>
#include <QProcess>

namespace notchora {

class CaptureBracket;
class Clock;

// One assistant capture, from raising the capture flag to the encoded JPEG. Created by
// ScreenCapture::capture(); destroying it cancels the capture, stops the tool and removes
// the temporary file.
class CaptureTask : public QObject {
    Q_OBJECT
public:
    CaptureTask(qint64 maxBytes, Clock& clock, QObject* parent = nullptr);
    ~CaptureTask() override;

    void start();
    bool isFinished() const { return m_finished; }
    // Where the tool writes its JPEG; removed whatever the outcome.
    QString tempPath() const { return m_tempPath; }

signals:
    // Reported once, after the capture flag is lowered again. The receiver may delete the
    // task.
    void finished(const notchora::ScreenCapture::Result& result);

private:
    void runTool();
    void toolExited();
    void finish(const ScreenCapture::Result& result);
    void releaseProcess();
    void removeTempFile();

    qint64 m_maxBytes;
    CaptureBracket* m_bracket;
    QProcess* m_process = nullptr;
    QString m_tempPath;
    bool m_started = false;
    bool m_finished = false;
};

} // namespace notchora
