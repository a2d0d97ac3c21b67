#pragma once

#include <QTest>
#include <initializer_list>

namespace notchora::test {

// Data rows as one struct each: a single column "row" (fetch it with QFETCH(Row, row)), every
// row named by its `name` member. Row needs Q_DECLARE_METATYPE.
template <class Row> void addRows(std::initializer_list<Row> rows) {
    QTest::addColumn<Row>("row");
    for (const Row& row : rows)
        QTest::newRow(row.name) << row;
}

} // namespace notchora::test
