#pragma once

#include "core/WidgetModule.h"
#include "platform/KeyedRows.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// The enabled modules in the user's order, one row each. Enabling, disabling and reordering
// move single rows; choosing the active module changes none.
class ModuleListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The module list belongs to the widget store")
    Q_PROPERTY(int count READ count NOTIFY countChanged FINAL)
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        NameRole,
        IconSystemNameRole,
        HasCollapsedViewRole,
        CollapsedViewRole,
        ExpandedViewRole,
    };
    Q_ENUM(Role)

    explicit ModuleListModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows.size();
    }

    int count() const { return rowCount(); }
    // The row of a module, or -1 when it is not in the list.
    Q_INVOKABLE int indexOf(const QString& id) const;
    // The module ID of a row; empty outside the list.
    Q_INVOKABLE QString idAt(int row) const;

    void setModules(const QList<WidgetModule>& modules) { m_rows.sync(*this, modules); }

signals:
    void countChanged();

private:
    template <typename, typename> friend class KeyedRows;
    static QString keyOf(const WidgetModule& module) { return module.id(); }

    KeyedRows<WidgetModule, QString> m_rows{&keyOf};
};

} // namespace notchora
