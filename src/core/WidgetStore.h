#pragma once

#include "core/ModuleListModel.h"
#include "core/ModuleRegistry.h"
#include "platform/Setting.h"

#include <QJsonValue>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace notchora {

class Defaults;

// The user's widget preferences: which modules are on, their order, the active one, and six
// appearance settings. Every change is written to the defaults store at once under its
// "store." key; edits made to the store from outside (the command line) are picked up too.
class WidgetStore : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The widget store is owned by the application")
    Q_PROPERTY(
        QStringList enabledModuleIDs READ enabledModuleIDList NOTIFY enabledModuleIDsChanged FINAL)
    Q_PROPERTY(QStringList moduleOrder READ moduleOrder WRITE setModuleOrder NOTIFY
                   moduleOrderChanged FINAL)
    Q_PROPERTY(QString activeModuleID READ activeModuleID WRITE setActiveModuleID NOTIFY
                   activeModuleIDChanged FINAL)
    Q_PROPERTY(double animationSpeed READ animationSpeed WRITE setAnimationSpeed NOTIFY
                   animationSpeedChanged FINAL)
    Q_PROPERTY(
        double widgetScale READ widgetScale WRITE setWidgetScale NOTIFY widgetScaleChanged FINAL)
    Q_PROPERTY(double hoverSensitivity READ hoverSensitivity WRITE setHoverSensitivity NOTIFY
                   hoverSensitivityChanged FINAL)
    Q_PROPERTY(double lipHeight READ lipHeight WRITE setLipHeight NOTIFY lipHeightChanged FINAL)
    Q_PROPERTY(bool hideFromCapture READ hideFromCapture WRITE setHideFromCapture NOTIFY
                   hideFromCaptureChanged FINAL)
    Q_PROPERTY(bool moveWithSpaces READ moveWithSpaces WRITE setMoveWithSpaces NOTIFY
                   moveWithSpacesChanged FINAL)
    // The enabled modules in order, for views; it announces its own row changes.
    Q_PROPERTY(notchora::ModuleListModel* enabledModules READ enabledModuleModel CONSTANT FINAL)
    // Derived WidgetModule values (undefined when there is none).
    Q_PROPERTY(QVariant activeModule READ activeModuleValue NOTIFY modulesChanged FINAL)
    Q_PROPERTY(QVariant collapsedModule READ collapsedModuleValue NOTIFY modulesChanged FINAL)
public:
    static constexpr auto enabledModuleIDsKey = "store.enabledModuleIDs";
    static constexpr auto moduleOrderKey = "store.moduleOrder";
    static constexpr auto orderRevisionKey = "store.orderRevision";
    static constexpr auto activeModuleIDKey = "store.activeModuleID";
    // The appearance settings this store owns, with their defaults. The ranges are wider than
    // the settings window's sliders (a hand edit may go past those) but keep the panel
    // drawable: a lip a billion points high takes the renderer down at every start.
    static constexpr Setting<double> animationSpeedSetting{"store.animationSpeed", 1.0, 0.1, 10};
    static constexpr Setting<double> widgetScaleSetting{"store.widgetScale", 1.0, 0.5, 3};
    static constexpr Setting<double> hoverSensitivitySetting{"store.hoverSensitivity", 0.3, 0, 5};
    static constexpr Setting<double> lipHeightSetting{"store.lipHeight", 0.0, 0, 200};
    static constexpr Setting<bool> hideFromCaptureSetting{"store.hideFromCapture", true};
    static constexpr Setting<bool> moveWithSpacesSetting{"store.moveWithSpaces", true};
    static constexpr int currentOrderRevision = 2;

    WidgetStore(const ModuleRegistry& registry, Defaults& defaults, QObject* parent = nullptr);

    const ModuleRegistry& registry() const { return m_registry; }
    Defaults& defaults() const { return m_defaults; }

    QSet<QString> enabledModuleIDs() const { return m_enabledModuleIDs; }
    QStringList enabledModuleIDList() const;
    void setEnabledModuleIDs(const QSet<QString>& ids);
    QStringList moduleOrder() const { return m_moduleOrder; }
    void setModuleOrder(const QStringList& order);
    QString activeModuleID() const { return m_activeModuleID; }
    void setActiveModuleID(const QString& id);
    double animationSpeed() const { return m_animationSpeed; }
    void setAnimationSpeed(double value);
    double widgetScale() const { return m_widgetScale; }
    void setWidgetScale(double value);
    double hoverSensitivity() const { return m_hoverSensitivity; }
    void setHoverSensitivity(double value);
    double lipHeight() const { return m_lipHeight; }
    void setLipHeight(double value);
    bool hideFromCapture() const { return m_hideFromCapture; }
    void setHideFromCapture(bool value);
    bool moveWithSpaces() const { return m_moveWithSpaces; }
    void setMoveWithSpaces(bool value);

    QList<WidgetModule> orderedModules() const;
    QList<WidgetModule> enabledModules() const;
    ModuleListModel* enabledModuleModel() { return &m_enabledModuleModel; }
    std::optional<WidgetModule> activeModule() const;
    std::optional<WidgetModule> collapsedModule() const;

    // Makes `id` active when it is enabled; otherwise nothing changes.
    Q_INVOKABLE void select(const QString& id);
    // Switching off never leaves the user without an enabled module.
    Q_INVOKABLE void setEnabled(bool on, const QString& id);
    Q_INVOKABLE bool isEnabled(const QString& id) const { return m_enabledModuleIDs.contains(id); }

signals:
    void enabledModuleIDsChanged();
    void moduleOrderChanged();
    void activeModuleIDChanged();
    void animationSpeedChanged();
    void widgetScaleChanged();
    void hoverSensitivityChanged();
    void lipHeightChanged();
    void hideFromCaptureChanged();
    void moveWithSpacesChanged();
    // Any change that can alter the derived module lists.
    void modulesChanged();

private:
    template <typename T> bool change(T& field, const T& value, void (WidgetStore::*signal)()) {
        if (field == value)
            return false;
        field = value;
        emit(this->*signal)();
        return true;
    }
    void load();
    QSet<QString> storedEnabledIDs(bool addNewModules) const;
    QStringList storedOrder(bool trusted) const;
    QString storedActiveID(bool trusted) const;
    void loadSetting(const QString& key);
    template <typename T>
    void loadSetting(const Setting<T>& setting, T& field, void (WidgetStore::*signal)());
    void persist(const char* keyName, const QJsonValue& value);
    void applyExternalChange(const QString& key);
    QVariant activeModuleValue() const;
    QVariant collapsedModuleValue() const;

    const ModuleRegistry& m_registry;
    Defaults& m_defaults;
    QSet<QString> m_enabledModuleIDs;
    QStringList m_moduleOrder;
    QString m_activeModuleID;
    double m_animationSpeed = animationSpeedSetting.fallback;
    double m_widgetScale = widgetScaleSetting.fallback;
    double m_hoverSensitivity = hoverSensitivitySetting.fallback;
    double m_lipHeight = lipHeightSetting.fallback;
    bool m_hideFromCapture = hideFromCaptureSetting.fallback;
    bool m_moveWithSpaces = moveWithSpacesSetting.fallback;
    bool m_persisting = false;
    ModuleListModel m_enabledModuleModel;
};

} // namespace notchora
