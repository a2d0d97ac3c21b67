#include "core/ModuleRegistry.h"

#include <QStringList>

namespace notchora {

namespace {

QUrl page(const char* module, const char* file) {
    return QUrl(QStringLiteral("qrc:/qt/qml/Notchora/%1/%2")
                    .arg(QLatin1String(module), QLatin1String(file)));
}

} // namespace

const ModuleRegistry& ModuleRegistry::shared() {
    static const ModuleRegistry registry(defaultModules());
    return registry;
}

QUrl ModuleRegistry::emptyView() {
    return page("Core", "EmptyView.qml");
}

QList<WidgetModule> ModuleRegistry::defaultModules() {
    return {
        WidgetModule(QStringLiteral("shortcuts"), QStringLiteral("Pintasan"),
                     QStringLiteral("square.grid.2x2.fill"), true, false, emptyView(),
                     page("Screenshot", "ShortcutsExpandedView.qml")),
        WidgetModule(QStringLiteral("assistant"), QStringLiteral("AI Assistant"),
                     QStringLiteral("sparkles"), true, false, emptyView(),
                     page("Assistant", "AIAssistantExpandedView.qml")),
        WidgetModule(QStringLiteral("characters"), QStringLiteral("Karakter"),
                     QStringLiteral("pawprint.fill"), true, true,
                     page("Characters", "CharacterCollapsedView.qml"),
                     page("Characters", "CharacterExpandedView.qml")),
    };
}

QStringList ModuleRegistry::ids() const {
    QStringList ids;
    for (const auto& m : m_modules)
        ids << m.id();
    return ids;
}

std::optional<WidgetModule> ModuleRegistry::module(const QString& id) const {
    for (const auto& m : m_modules)
        if (m.id() == id)
            return m;
    return std::nullopt;
}

} // namespace notchora
