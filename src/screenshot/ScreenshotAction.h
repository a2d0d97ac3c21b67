#pragma once

#include "screenshot/AnnotationWindowController.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace notchora {

class Clock;

// The user's screenshot commands, as the status menu and the shortcut tiles call them, and
// where new screenshots are saved. Captures run in notchora-screencapture; nothing here
// blocks the interface while the user selects an area.
class ScreenshotAction : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    static constexpr auto redframeKey = "shot.redframe";
    static constexpr auto locationKey = "location";

    explicit ScreenshotAction(Clock& clock, QObject* parent = nullptr);
    static ScreenshotAction& shared();
    static ScreenshotAction* create(QQmlEngine*, QJSEngine*);

    // The desktop's own screenshot tool when one is installed, else ours in area mode.
    Q_INVOKABLE void openScreenshotPanel();
    // An area straight into the screenshot folder, or into the red-box editor when
    // "shot.redframe" is on. Returns at once.
    Q_INVOKABLE void captureArea();
    // An area into a temporary PNG, then the editor on it. Returns at once.
    void captureForAnnotation();

    // Path for a screenshot taken now; never names a file that already exists.
    QString destinationURL() const;
    static QString destinationURL(const QDateTime& now);
    // The "location" of the screenshot tool's settings (a leading ~ is the home folder),
    // else the desktop folder, else home.
    static QString screenshotFolder();
    // Program and arguments of the desktop's own screenshot tool, preferring the one of
    // the running desktop; empty when none is installed.
    static QStringList desktopScreenshotCommand();

    // Who opens the editor after an annotation capture; the shared controller by default.
    void setAnnotator(AnnotationWindowController* annotator) { m_annotator = annotator; }

signals:
    // An annotation capture ended; `shown` tells whether the editor opened.
    void annotationCaptureEnded(bool shown);

private:
    bool startAreaTool(const QString& path, bool silent);

    Clock& m_clock;
    QPointer<AnnotationWindowController> m_annotator;
};

} // namespace notchora
