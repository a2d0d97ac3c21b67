#include "core/WidgetStore.h"

#include "platform/Defaults.h"

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
    m_enabledModuleModel.setModules(enabledModules());
    for (auto signal : {&WidgetStore::enabledModuleIDsChanged, &WidgetStore::moduleOrderChanged})
        connect(this, signal, this, [this] { m_enabledModuleModel.setModules(enabledModules()); });
}

// Enabled set: stored IDs the registry still knows; on load also the default-on modules that
// did not exist when the order was last saved (a module the user switched off stays off).
QSet<QString> WidgetStore::storedEnabledIDs(bool addNewModules) const {
    QSet<QString> ids;
    const auto stored = m_defaults.stringListValue(key(enabledModuleIDsKey));
    const QStringList knownOrder =
        m_defaults.stringListValue(key(moduleOrderKey)).value_or(QStringList());
    for (const auto& module : m_registry.modules()) {
        const bool isNew = !stored || (addNewModules && !knownOrder.contains(module.id()));
        if (stored ? stored->contains(module.id()) || (isNew && module.isEnabledByDefault())
                   : module.isEnabledByDefault())
            ids.insert(module.id());
    }
    return ids;
}

// Order: the stored one (only when trusted), known IDs only, then every missing module in
// registry order.
QStringList WidgetStore::storedOrder(bool trusted) const {
    QStringList order;
    const QStringList registryIDs = m_registry.ids();
    if (trusted)
        for (const QString& id :
             m_defaults.stringListValue(key(moduleOrderKey)).value_or(QStringList()))
            if (registryIDs.contains(id) && !order.contains(id))
                order << id;
    for (const QString& id : registryIDs)
        if (!order.contains(id))
            order << id;
    return order;
}

QString WidgetStore::storedActiveID(bool trusted) const {
    const QString firstID = m_registry.ids().value(0);
    return trusted ? m_defaults.stringValue(key(activeModuleIDKey)).value_or(firstID) : firstID;
}

void WidgetStore::load() {
    m_enabledModuleIDs = storedEnabledIDs(true);
    const bool trusted =
        m_defaults.integerValue(key(orderRevisionKey)).value_or(0) == currentOrderRevision;
    m_moduleOrder = storedOrder(trusted);
    m_activeModuleID = storedActiveID(trusted);
    if (!trusted) {
        // From now on a stored order is trusted.
        m_defaults.setValue(key(orderRevisionKey), currentOrderRevision);
        persist(moduleOrderKey, QJsonArray::fromStringList(m_moduleOrder));
        persist(activeModuleIDKey, m_activeModuleID);
    }
    for (const char* k :
         {animationSpeedSetting.key, widgetScaleSetting.key, hoverSensitivitySetting.key,
          lipHeightSetting.key, hideFromCaptureSetting.key, moveWithSpacesSetting.key})
        loadSetting(key(k));
}

template <typename T>
void WidgetStore::loadSetting(const Setting<T>& setting, T& field, void (WidgetStore::*signal)()) {
    change(field, m_defaults.read(setting), signal);
}

// Reads one of the six settings, falling back to its default.
void WidgetStore::loadSetting(const QString& k) {
    if (k == animationSpeedSetting.name())
        loadSetting(animationSpeedSetting, m_animationSpeed, &WidgetStore::animationSpeedChanged);
    else if (k == widgetScaleSetting.name())
        loadSetting(widgetScaleSetting, m_widgetScale, &WidgetStore::widgetScaleChanged);
    else if (k == hoverSensitivitySetting.name())
        loadSetting(hoverSensitivitySetting, m_hoverSensitivity,
                    &WidgetStore::hoverSensitivityChanged);
    else if (k == lipHeightSetting.name())
        loadSetting(lipHeightSetting, m_lipHeight, &WidgetStore::lipHeightChanged);
    else if (k == hideFromCaptureSetting.name())
        loadSetting(hideFromCaptureSetting, m_hideFromCapture,
                    &WidgetStore::hideFromCaptureChanged);
    else if (k == moveWithSpacesSetting.name())
        loadSetting(moveWithSpacesSetting, m_moveWithSpaces, &WidgetStore::moveWithSpacesChanged);
}

// Another process (or the command line) changed a key: take the new value without writing it
// back, using the same fallbacks as loading.
void WidgetStore::applyExternalChange(const QString& changedKey) {
    if (m_persisting)
        return;
    if (changedKey == key(enabledModuleIDsKey))
        change(m_enabledModuleIDs, storedEnabledIDs(false), &WidgetStore::enabledModuleIDsChanged);
    else if (changedKey == key(moduleOrderKey))
        change(m_moduleOrder, storedOrder(true), &WidgetStore::moduleOrderChanged);
    else if (changedKey == key(activeModuleIDKey))
        change(m_activeModuleID, storedActiveID(true), &WidgetStore::activeModuleIDChanged);
    else
        loadSetting(changedKey);
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
        persist(animationSpeedSetting.key, value);
}

void WidgetStore::setWidgetScale(double value) {
    if (change(m_widgetScale, value, &WidgetStore::widgetScaleChanged))
        persist(widgetScaleSetting.key, value);
}

void WidgetStore::setHoverSensitivity(double value) {
    if (change(m_hoverSensitivity, value, &WidgetStore::hoverSensitivityChanged))
        persist(hoverSensitivitySetting.key, value);
}

void WidgetStore::setLipHeight(double value) {
    if (change(m_lipHeight, value, &WidgetStore::lipHeightChanged))
        persist(lipHeightSetting.key, value);
}

void WidgetStore::setHideFromCapture(bool value) {
    if (change(m_hideFromCapture, value, &WidgetStore::hideFromCaptureChanged))
        persist(hideFromCaptureSetting.key, value);
}

void WidgetStore::setMoveWithSpaces(bool value) {
    if (change(m_moveWithSpaces, value, &WidgetStore::moveWithSpacesChanged))
        persist(moveWithSpacesSetting.key, value);
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

QVariant WidgetStore::activeModuleValue() const {
    auto module = activeModule();
    return module ? QVariant::fromValue(*module) : QVariant();
}

QVariant WidgetStore::collapsedModuleValue() const {
    auto module = collapsedModule();
    return module ? QVariant::fromValue(*module) : QVariant();
}

} // namespace notchora
