#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <algorithm>

namespace notchora {

// The rows of a list model whose values have a stable key. `sync` turns the current rows
// into the next ones with few row signals (removals, then moves and insertions, then
// changes in place), so views keep their delegates and their scroll position; a list with
// nothing in common with the current one replaces it in one reset. The model makes this
// class a friend so it can announce the changes.
template <typename Row, typename Key> class KeyedRows {
public:
    using KeyOf = Key (*)(const Row&);

    explicit KeyedRows(KeyOf keyOf) : m_keyOf(keyOf) {}

    const QList<Row>& list() const { return m_rows; }
    int size() const { return int(m_rows.size()); }
    const Row* at(const QModelIndex& index) const {
        if (!index.isValid() || index.parent().isValid() || index.row() >= m_rows.size())
            return nullptr;
        return &m_rows.at(index.row());
    }

    template <typename Model> void sync(Model& model, const QList<Row>& next) {
        QHash<Key, qsizetype> wanted;
        for (qsizetype i = 0; i < next.size(); ++i)
            wanted.insert(m_keyOf(next.at(i)), i);
        const bool disjoint = std::none_of(m_rows.begin(), m_rows.end(), [&](const Row& row) {
            return wanted.contains(m_keyOf(row));
        });
        if (disjoint && !m_rows.isEmpty() && !next.isEmpty()) {
            model.beginResetModel();
            m_rows = next;
            model.endResetModel();
            return;
        }
        for (qsizetype i = m_rows.size() - 1; i >= 0; --i) {
            if (wanted.contains(m_keyOf(m_rows.at(i))))
                continue;
            model.beginRemoveRows({}, int(i), int(i));
            m_rows.removeAt(i);
            model.endRemoveRows();
        }
        for (qsizetype target = 0; target < next.size(); ++target) {
            const Key key = m_keyOf(next.at(target));
            qsizetype from = target;
            while (from < m_rows.size() && m_keyOf(m_rows.at(from)) != key)
                ++from;
            if (from == m_rows.size()) {
                model.beginInsertRows({}, int(target), int(target));
                m_rows.insert(target, next.at(target));
                model.endInsertRows();
                continue;
            }
            if (from != target) {
                model.beginMoveRows({}, int(from), int(from), {}, int(target));
                m_rows.move(from, target);
                model.endMoveRows();
            }
            if (m_rows.at(target) != next.at(target)) {
                m_rows[target] = next.at(target);
                const QModelIndex index = model.index(int(target), 0);
                emit model.dataChanged(index, index);
            }
        }
    }

private:
    KeyOf m_keyOf;
    QList<Row> m_rows;
};

} // namespace notchora
