#include "screenshot/ScreenshotAction.h"

#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Folders.h"
#include "screenshot/AnnotationWindowController.h"
#include "screenshot/CaptureBracket.h"
#include "screenshot/Logging.h"
#include "screenshot/ScreenCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QUuid>

namespace notchora {

ScreenshotAction::ScreenshotAction(Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock), m_destination(clock) {}

ScreenshotAction& ScreenshotAction::shared() {
    static ScreenshotAction instance(Clock::system());
    return instance;
}

ScreenshotAction* ScreenshotAction::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

QStringList ScreenshotAction::desktopScreenshotCommand() {
    struct Tool {
        const char* desktop;
        const char* program;
        QStringList arguments;
    };
    const Tool tools[] = {
        {"gnome", "gnome-screenshot", {QStringLiteral("--interactive")}},
        {"kde", "spectacle", {}},
        {"xfce", "xfce4-screenshooter", {}},
        {"", "flameshot", {QStringLiteral("gui")}},
    };
    const QString current = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower();
    QStringList found;
    for (int pass = 0; pass < 2 && found.isEmpty(); ++pass) {
        for (const Tool& tool : tools) {
            const bool ofThisDesktop = *tool.desktop && current.contains(tool.desktop);
            if (pass == 0 && !ofThisDesktop)
                continue;
            const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool.program));
            if (!path.isEmpty()) {
                found = QStringList{path} + tool.arguments;
                break;
            }
        }
    }
    return found;
}

bool ScreenshotAction::startAreaTool(const QString& path, bool silent) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QStringList args{QStringLiteral("-i"), QStringLiteral("-s")};
    if (silent)
        args << QStringLiteral("-x");
    args << path;
    if (QProcess::startDetached(ScreenCapture::toolPath(), args))
        return true;
    qCWarning(lcScreenshot) << "cannot start" << ScreenCapture::toolPath();
    return false;
}

void ScreenshotAction::openScreenshotPanel() {
    const QStringList command = desktopScreenshotCommand();
    if (!command.isEmpty()) {
        if (QProcess::startDetached(command.first(), command.mid(1)))
            return;
        qCWarning(lcScreenshot) << "cannot start" << command.first();
    }
    startAreaTool(m_destination.destinationPath(), false);
}

void ScreenshotAction::captureArea() {
    if (Defaults::shared().read(redframeSetting)) {
        captureForAnnotation();
        return;
    }
    // Nothing waits for the tool: it saves the picture itself, Escape leaves no file.
    startAreaTool(m_destination.destinationPath(), false);
}

void ScreenshotAction::captureForAnnotation() {
    const QString temp = Folders::privateTempPath(QStringLiteral("shot-"), QStringLiteral(".png"));
    if (temp.isEmpty()) {
        qCWarning(lcScreenshot) << "no private folder for the capture";
        emit annotationCaptureEnded(false);
        return;
    }
    auto* bracket = new CaptureBracket(m_clock, this);
    bracket->begin([this, bracket, temp] {
        auto* process = new QProcess(bracket);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        auto ended = [this, bracket, temp] {
            bracket->end();
            bracket->deleteLater();
            bool shown = false;
            if (QFileInfo::exists(temp)) {
                AnnotationWindowController* annotator =
                    m_annotator ? m_annotator.data() : &AnnotationWindowController::shared();
                shown = annotator->show(temp);
                // A file the editor could not read is ours to clean up.
                if (!shown)
                    QFile::remove(temp);
            }
            emit annotationCaptureEnded(shown);
        };
        connect(process, &QProcess::finished, this, ended);
        connect(process, &QProcess::errorOccurred, this, [ended](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            qCWarning(lcScreenshot) << "cannot start" << ScreenCapture::toolPath();
            ended();
        });
        process->start(ScreenCapture::toolPath(),
                       {QStringLiteral("-i"), QStringLiteral("-s"), QStringLiteral("-x"), temp});
    });
}

} // namespace notchora
