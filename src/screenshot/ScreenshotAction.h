#pragma once

#include "platform/Setting.h"
#include "screenshot/AnnotationWindowController.h"
#include "screenshot/ScreenshotDestination.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace notchora {

class Clock;

// The user's screenshot commands, as the status menu and the shortcut tiles call them.
// Captures run in notchora-screencapture; nothing here blocks the interface while the user
// selects an area.
class ScreenshotAction : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    // Area captures go through the red-box editor first.
    static constexpr Setting<bool> redframeSetting{"shot.redframe", false};

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

    // Where captures are saved.
    const ScreenshotDestination& destination() const { return m_destination; }
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
    ScreenshotDestination m_destination;
    QPointer<AnnotationWindowController> m_annotator;
};

} // namespace notchora
