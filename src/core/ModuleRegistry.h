#pragma once

#include "core/WidgetModule.h"

#include <QList>
#include <optional>

namespace notchora {

// The catalogue of modules compiled into the program, in registry order.
class ModuleRegistry {
public:
    explicit ModuleRegistry(QList<WidgetModule> modules) : m_modules(std::move(modules)) {}

    static const ModuleRegistry& shared();
    static QList<WidgetModule> defaultModules();
    // The empty component, for modules that have nothing to show in a place.
    static QUrl emptyView();

    const QList<WidgetModule>& modules() const { return m_modules; }
    QStringList ids() const;
    // Exact, case-sensitive match; the first match wins.
    std::optional<WidgetModule> module(const QString& id) const;

private:
    QList<WidgetModule> m_modules;
};

} // namespace notchora
