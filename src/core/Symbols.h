#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace notchora {

// QML access to the symbol-to-glyph table (see SymbolIcon.qml).
class Symbols : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT FINAL)
public:
    static Symbols* create(QQmlEngine*, QJSEngine*) { return new Symbols; }
    QString fontFamily() const;
    Q_INVOKABLE QString glyph(const QString& symbolName) const;
};

} // namespace notchora
