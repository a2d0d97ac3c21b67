#include "core/WidgetModule.h"

namespace notchora {

WidgetModule::WidgetModule(QString id, QString name, QString iconSystemName,
                           bool isEnabledByDefault, bool hasCollapsedView, QUrl collapsedView,
                           QUrl expandedView)
    : m_id(std::move(id)), m_name(std::move(name)), m_iconSystemName(std::move(iconSystemName)),
      m_isEnabledByDefault(isEnabledByDefault), m_hasCollapsedView(hasCollapsedView),
      m_collapsedView(std::move(collapsedView)), m_expandedView(std::move(expandedView)) {}

} // namespace notchora
