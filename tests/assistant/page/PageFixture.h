#pragma once

#include <QObject>
#include <QString>

namespace notchora {
class NotchViewModel;
}

namespace notchora::test {

// What the page's QML tests reach outside the page: the stand-in screenshot tool's log and
// its hold, the clipboard, and a notch view model to host the page.
class PageFixture : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // One line per run of the screenshot tool: its arguments.
    Q_INVOKABLE QString toolLog() const;
    Q_INVOKABLE void clearToolLog();
    // While held, a started capture waits until released.
    Q_INVOKABLE void holdCaptures();
    Q_INVOKABLE void releaseCaptures();
    Q_INVOKABLE void putImageOnClipboard();
    Q_INVOKABLE void clearAttachments();
    // An open notch, as the tray that hosts the page has.
    Q_INVOKABLE notchora::NotchViewModel* notchViewModel() const;
    Q_INVOKABLE void selectModule(const QString& id);
    Q_INVOKABLE bool storedAttachScreen() const;
    // Where to keep a picture of the page for `name`, when NOTCHORA_SHOT_DIR asks for them.
    Q_INVOKABLE QString shotPath(const QString& name) const;
    Q_INVOKABLE void setStoredAttachScreen(bool on);
};

} // namespace notchora::test
