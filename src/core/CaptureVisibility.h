#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace notchora {

// Decides whether the program's own windows may show up in screenshots. They are kept out
// while "store.hideFromCapture" is on (the default) or while one of our own captures runs.
// Every change is announced through `didChange` ("Notchora.captureVisibilityDidChange").
class CaptureVisibility : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool isAICaptureInProgress READ isAICaptureInProgress NOTIFY didChange FINAL)
    Q_PROPERTY(bool excludesWindows READ excludesWindows NOTIFY didChange FINAL)
public:
    static constexpr auto didChangeName = "Notchora.captureVisibilityDidChange";

    static CaptureVisibility& shared();
    static CaptureVisibility* create(QQmlEngine*, QJSEngine*);

    bool isAICaptureInProgress() const { return m_inProgress; }
    // Sets the flag and announces the change.
    void setAICaptureInProgress(bool inProgress);
    // The widget store's "store.hideFromCapture", read from the standard defaults.
    static bool hideFromCapture();
    // The rule every window of ours applies.
    bool excludesWindows() const { return hideFromCapture() || m_inProgress; }

    // Announces a change without touching the flag (the setting itself changed).
    void post() { emit didChange(); }

signals:
    void didChange();

private:
    CaptureVisibility();
    bool m_inProgress = false;
};

} // namespace notchora
