#include "core/ModuleListModel.h"

namespace notchora {

ModuleListModel::ModuleListModel(QObject* parent) : QAbstractListModel(parent) {
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(this, signal, this, &ModuleListModel::countChanged);
    connect(this, &QAbstractItemModel::modelReset, this, &ModuleListModel::countChanged);
}

QVariant ModuleListModel::data(const QModelIndex& index, int role) const {
    const WidgetModule* module = m_rows.at(index);
    if (!module)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return module->name();
    case IdRole:
        return module->id();
    case IconSystemNameRole:
        return module->iconSystemName();
    case HasCollapsedViewRole:
        return module->hasCollapsedView();
    case CollapsedViewRole:
        return module->collapsedView();
    case ExpandedViewRole:
        return module->expandedView();
    default:
        return {};
    }
}

QHash<int, QByteArray> ModuleListModel::roleNames() const {
    return {{IdRole, "moduleID"},
            {NameRole, "name"},
            {IconSystemNameRole, "iconSystemName"},
            {HasCollapsedViewRole, "hasCollapsedView"},
            {CollapsedViewRole, "collapsedView"},
            {ExpandedViewRole, "expandedView"}};
}

int ModuleListModel::indexOf(const QString& id) const {
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        if (m_rows.list().at(i).id() == id)
            return int(i);
    return -1;
}

QString ModuleListModel::idAt(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.list().at(row).id() : QString();
}

} // namespace notchora
