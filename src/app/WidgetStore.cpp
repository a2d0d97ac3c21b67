#include "WidgetStore.h"

#include "Defaults.h"

#include <QJsonArray>
#include <algorithm>

namespace notchora {

namespace {

QString key(const char* k) {
    return QString::fromLatin1(k);
}

QStringList sorted(const QSet<QString>& set) {
    QStringList list(set.begin(), set.end());
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

WidgetStore::WidgetStore(const ModuleRegistry& registry, Defaults& defaults, QObject* parent)
    : QObject(parent), m_registry(registry), m_defaults(defaults) {
    load();
    connect(&m_defaults, &Defaults::changed, this, &WidgetStore::applyExternalChange);
    for (auto signal : {&WidgetStore::enabledModuleIDsChanged, &WidgetStore::moduleOrderChanged,
                        &WidgetStore::activeModuleIDChanged})
        connect(this, signal, this, &WidgetStore::modulesChanged);
}

void WidgetStore::load() {
    const QStringList registryIDs = m_registry.ids();

    // Enabled set: stored IDs the registry still knows, plus default-on modules that did
    // not exist when the order was last saved.
    if (const auto stored = m_defaults.stringListValue(key(enabledModuleIDsKey))) {
        for (const QString& id : *stored)
            if (registryIDs.contains(id))
                m_enabledModuleIDs.insert(id);
        const QStringList knownOrder =
            m_defaults.stringListValue(key(moduleOrderKey)).value_or(QStringList());
        for (const auto& module : m_registry.modules())
            if (!knownOrder.contains(module.id()) && module.isEnabledByDefault())
                m_enabledModuleIDs.insert(module.id());
    } else {
        for (const auto& module : m_registry.modules())
            if (module.isEnabledByDefault())
                m_enabledModuleIDs.insert(module.id());
    }

    // Order: only trusted once written under the current revision.
    const qint64 revision = m_defaults.integerValue(key(orderRevisionKey)).value_or(0);
    const bool current = revision == currentOrderRevision;
    if (current)
        for (const QString& id :
             m_defaults.stringListValue(key(moduleOrderKey)).value_or(QStringList()))
            if (registryIDs.contains(id) && !m_moduleOrder.contains(id))
                m_moduleOrder << id;
    for (const QString& id : registryIDs)
        if (!m_moduleOrder.contains(id))
            m_moduleOrder << id;

    const QString firstID = registryIDs.value(0);
    m_activeModuleID =
        current ? m_defaults.stringValue(key(activeModuleIDKey)).value_or(firstID) : firstID;

    if (!current) {
        m_defaults.setValue(key(orderRevisionKey), currentOrderRevision);
        persist(moduleOrderKey, QJsonArray::fromStringList(m_moduleOrder));
        persist(activeModuleIDKey, m_activeModuleID);
    }

    m_animationSpeed = m_defaults.doubleValue(key(animationSpeedKey), 1.0);
    m_widgetScale = m_defaults.doubleValue(key(widgetScaleKey), 1.0);
    m_hoverSensitivity = m_defaults.doubleValue(key(hoverSensitivityKey), 0.3);
    m_lipHeight = m_defaults.doubleValue(key(lipHeightKey), 0.0);
    m_hideFromCapture = m_defaults.boolValue(key(hideFromCaptureKey), true);
    m_moveWithSpaces = m_defaults.boolValue(key(moveWithSpacesKey), true);
}

// Another process (or the command line) changed a key: take the new value without writing it
// back, using the same fallbacks as loading.
void WidgetStore::applyExternalChange(const QString& changedKey) {
    if (m_persisting)
        return;
    const QStringList registryIDs = m_registry.ids();
    if (changedKey == key(enabledModuleIDsKey)) {
        QSet<QString> ids;
        if (const auto stored = m_defaults.stringListValue(changedKey)) {
            for (const QString& id : *stored)
                if (registryIDs.contains(id))
                    ids.insert(id);
        } else {
            for (const auto& module : m_registry.modules())
                if (module.isEnabledByDefault())
                    ids.insert(module.id());
        }
        change(m_enabledModuleIDs, ids, &WidgetStore::enabledModuleIDsChanged);
    } else if (changedKey == key(moduleOrderKey)) {
        QStringList order;
        for (const QString& id : m_defaults.stringListValue(changedKey).value_or(QStringList()))
            if (registryIDs.contains(id) && !order.contains(id))
                order << id;
        for (const QString& id : registryIDs)
            if (!order.contains(id))
                order << id;
        change(m_moduleOrder, order, &WidgetStore::moduleOrderChanged);
    } else if (changedKey == key(activeModuleIDKey)) {
        change(m_activeModuleID, m_defaults.stringValue(changedKey).value_or(registryIDs.value(0)),
               &WidgetStore::activeModuleIDChanged);
    } else if (changedKey == key(animationSpeedKey)) {
        change(m_animationSpeed, m_defaults.doubleValue(changedKey, 1.0),
               &WidgetStore::animationSpeedChanged);
    } else if (changedKey == key(widgetScaleKey)) {
        change(m_widgetScale, m_defaults.doubleValue(changedKey, 1.0),
               &WidgetStore::widgetScaleChanged);
    } else if (changedKey == key(hoverSensitivityKey)) {
        change(m_hoverSensitivity, m_defaults.doubleValue(changedKey, 0.3),
               &WidgetStore::hoverSensitivityChanged);
    } else if (changedKey == key(lipHeightKey)) {
        change(m_lipHeight, m_defaults.doubleValue(changedKey, 0.0),
               &WidgetStore::lipHeightChanged);
    } else if (changedKey == key(hideFromCaptureKey)) {
        change(m_hideFromCapture, m_defaults.boolValue(changedKey, true),
               &WidgetStore::hideFromCaptureChanged);
    } else if (changedKey == key(moveWithSpacesKey)) {
        change(m_moveWithSpaces, m_defaults.boolValue(changedKey, true),
               &WidgetStore::moveWithSpacesChanged);
    }
}

QStringList WidgetStore::enabledModuleIDList() const {
    return sorted(m_enabledModuleIDs);
}

void WidgetStore::setEnabledModuleIDs(const QSet<QString>& ids) {
    if (change(m_enabledModuleIDs, ids, &WidgetStore::enabledModuleIDsChanged))
        persist(enabledModuleIDsKey, QJsonArray::fromStringList(sorted(ids)));
}

void WidgetStore::setModuleOrder(const QStringList& order) {
    if (change(m_moduleOrder, order, &WidgetStore::moduleOrderChanged))
        persist(moduleOrderKey, QJsonArray::fromStringList(order));
}

void WidgetStore::setActiveModuleID(const QString& id) {
    if (change(m_activeModuleID, id, &WidgetStore::activeModuleIDChanged))
        persist(activeModuleIDKey, id);
}

void WidgetStore::persist(const char* keyName, const QJsonValue& value) {
    // Our own write comes back as a change notification; it must not be re-read as an edit
    // from outside (which would, for one, drop IDs the registry does not know).
    m_persisting = true;
    m_defaults.setValue(key(keyName), value);
    m_persisting = false;
}

void WidgetStore::setAnimationSpeed(double value) {
    if (change(m_animationSpeed, value, &WidgetStore::animationSpeedChanged))
        persist(animationSpeedKey, value);
}

void WidgetStore::setWidgetScale(double value) {
    if (change(m_widgetScale, value, &WidgetStore::widgetScaleChanged))
        persist(widgetScaleKey, value);
}

void WidgetStore::setHoverSensitivity(double value) {
    if (change(m_hoverSensitivity, value, &WidgetStore::hoverSensitivityChanged))
        persist(hoverSensitivityKey, value);
}

void WidgetStore::setLipHeight(double value) {
    if (change(m_lipHeight, value, &WidgetStore::lipHeightChanged))
        persist(lipHeightKey, value);
}

void WidgetStore::setHideFromCapture(bool value) {
    if (change(m_hideFromCapture, value, &WidgetStore::hideFromCaptureChanged))
        persist(hideFromCaptureKey, value);
}

void WidgetStore::setMoveWithSpaces(bool value) {
    if (change(m_moveWithSpaces, value, &WidgetStore::moveWithSpacesChanged))
        persist(moveWithSpacesKey, value);
}

QList<WidgetModule> WidgetStore::orderedModules() const {
    QList<WidgetModule> modules;
    for (const QString& id : m_moduleOrder)
        if (auto module = m_registry.module(id))
            modules << *module;
    return modules;
}

QList<WidgetModule> WidgetStore::enabledModules() const {
    QList<WidgetModule> modules;
    for (const auto& module : orderedModules())
        if (m_enabledModuleIDs.contains(module.id()))
            modules << module;
    return modules;
}

std::optional<WidgetModule> WidgetStore::activeModule() const {
    const auto enabled = enabledModules();
    for (const auto& module : enabled)
        if (module.id() == m_activeModuleID)
            return module;
    if (enabled.isEmpty())
        return std::nullopt;
    return enabled.first();
}

std::optional<WidgetModule> WidgetStore::collapsedModule() const {
    if (auto active = activeModule(); active && active->hasCollapsedView())
        return active;
    for (const auto& module : enabledModules())
        if (module.hasCollapsedView())
            return module;
    return std::nullopt;
}

void WidgetStore::select(const QString& id) {
    if (m_enabledModuleIDs.contains(id))
        setActiveModuleID(id);
}

void WidgetStore::setEnabled(bool on, const QString& id) {
    QSet<QString> ids = m_enabledModuleIDs;
    if (on)
        ids.insert(id);
    else if (ids.size() >= 2)
        ids.remove(id);
    setEnabledModuleIDs(ids);
}

QVariantList WidgetStore::enabledModuleValues() const {
    QVariantList list;
    for (const auto& module : enabledModules())
        list << QVariant::fromValue(module);
    return list;
}

QVariant WidgetStore::activeModuleValue() const {
    auto module = activeModule();
    return module ? QVariant::fromValue(*module) : QVariant();
}

QVariant WidgetStore::collapsedModuleValue() const {
    auto module = collapsedModule();
    return module ? QVariant::fromValue(*module) : QVariant();
}

} // namespace notchora
