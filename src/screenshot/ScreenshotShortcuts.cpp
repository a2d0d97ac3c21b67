#include "screenshot/ScreenshotShortcuts.h"

#include "platform/Defaults.h"
#include "platform/GlobalShortcuts.h"
#include "platform/Platform.h"
#include "screenshot/ScreenshotAction.h"

#include <QQmlEngine>
#include <QSignalBlocker>

namespace notchora {

ScreenshotShortcuts::ScreenshotShortcuts(GlobalShortcuts& shortcuts, Defaults& defaults,
                                         ScreenshotAction& action, QObject* parent)
    : QObject(parent), m_shortcuts(shortcuts), m_defaults(defaults), m_action(action) {
    connect(&m_shortcuts, &GlobalShortcuts::activated, this, [this](QKeyCombination key) {
        if (key == panelKey)
            m_action.openScreenshotPanel();
        else if (key == areaKey)
            m_action.captureArea();
    });
    connect(&m_defaults, &Defaults::changed, this, [this](const QString& key) {
        if (key == globalSetting.name())
            apply();
    });
    apply();
}

ScreenshotShortcuts::~ScreenshotShortcuts() {
    // This can run at process exit (Xlib exits when the display goes away), when whoever
    // shows the hints may already be gone: let go of the keys without telling anyone.
    const QSignalBlocker quiet(this);
    releaseAll();
}

ScreenshotShortcuts& ScreenshotShortcuts::shared() {
    static ScreenshotShortcuts instance(Platform::shared().shortcuts(), Defaults::shared(),
                                        ScreenshotAction::shared());
    return instance;
}

ScreenshotShortcuts* ScreenshotShortcuts::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

QString ScreenshotShortcuts::hint(QKeyCombination key) {
    const QString keyName = QKeySequence(key.key()).toString(QKeySequence::PortableText);
    const bool kde = qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("KDE"));
    QStringList parts;
    if (kde && key.keyboardModifiers() & Qt::MetaModifier)
        parts << QStringLiteral("Meta");
    if (key.keyboardModifiers() & Qt::ControlModifier)
        parts << QStringLiteral("Ctrl");
    if (key.keyboardModifiers() & Qt::AltModifier)
        parts << QStringLiteral("Alt");
    if (key.keyboardModifiers() & Qt::ShiftModifier)
        parts << QStringLiteral("Shift");
    if (!kde && key.keyboardModifiers() & Qt::MetaModifier)
        parts << QStringLiteral("Super");
    parts << keyName;
    return parts.join(QLatin1Char('+'));
}

void ScreenshotShortcuts::apply() {
    const bool wanted = m_defaults.read(globalSetting);
    if (!wanted) {
        releaseAll();
        return;
    }
    const bool panel = m_panelHeld || m_shortcuts.grab(panelKey);
    const bool area = m_areaHeld || m_shortcuts.grab(areaKey);
    if (panel == m_panelHeld && area == m_areaHeld)
        return;
    m_panelHeld = panel;
    m_areaHeld = area;
    emit hintsChanged();
}

void ScreenshotShortcuts::releaseAll() {
    if (!m_panelHeld && !m_areaHeld)
        return;
    m_shortcuts.release(panelKey);
    m_shortcuts.release(areaKey);
    m_panelHeld = m_areaHeld = false;
    emit hintsChanged();
}

} // namespace notchora
