#pragma once

#include "platform/Setting.h"

#include <QKeyCombination>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace notchora {

class Defaults;
class GlobalShortcuts;
class ScreenshotAction;

// Shift+Super+5 and Shift+Super+4 anywhere on the desktop run the two screenshot commands,
// while "shortcuts.global" is on (the default). A hint is the key as this desktop writes it,
// and empty while the key is not ours (switched off, or held by the desktop), so no view
// offers a shortcut that does nothing.
class ScreenshotShortcuts : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString panelHint READ panelHint NOTIFY hintsChanged FINAL)
    Q_PROPERTY(QString areaHint READ areaHint NOTIFY hintsChanged FINAL)
public:
    static constexpr Setting<bool> globalSetting{"shortcuts.global", true};
    static constexpr QKeyCombination panelKey{Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_5};
    static constexpr QKeyCombination areaKey{Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_4};

    ScreenshotShortcuts(GlobalShortcuts& shortcuts, Defaults& defaults, ScreenshotAction& action,
                        QObject* parent = nullptr);
    ~ScreenshotShortcuts() override;
    static ScreenshotShortcuts& shared();
    static ScreenshotShortcuts* create(QQmlEngine*, QJSEngine*);

    QString panelHint() const { return m_panelHeld ? hint(panelKey) : QString(); }
    QString areaHint() const { return m_areaHeld ? hint(areaKey) : QString(); }
    // "Shift+Super+5"; KDE writes "Meta+Shift+5".
    static QString hint(QKeyCombination key);

signals:
    void hintsChanged();

private:
    void apply();
    void releaseAll();

    GlobalShortcuts& m_shortcuts;
    Defaults& m_defaults;
    ScreenshotAction& m_action;
    bool m_panelHeld = false;
    bool m_areaHeld = false;
};

} // namespace notchora
