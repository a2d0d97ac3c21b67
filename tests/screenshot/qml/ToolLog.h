#pragma once

#include <QObject>
#include <QString>

namespace notchora::test {

// What the stand-in capture tool was asked to do, for the QML tests of the shortcuts page.
class ToolLog : public QObject {
    Q_OBJECT
public:
    explicit ToolLog(QObject* parent = nullptr) : QObject(parent) {}
    Q_INVOKABLE QString text() const;
    Q_INVOKABLE void clear();
    Q_INVOKABLE QString shotsFolder() const;
};

} // namespace notchora::test
