#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// How the confidence ring shows a confidence between 0 and 1: the whole percentage, the
// arc's length and its colour (green from 0.75, yellow from 0.5, orange below). The colour
// follows the value itself, not the rounded percentage, so 0.746 reads "75%" in yellow.
class ConfidenceStyle : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    static constexpr double greenFrom = 0.75;
    static constexpr double yellowFrom = 0.5;

    // The value held to 0...1 (a service sending more, less or no number at all must not
    // draw a ring that runs round twice or backwards).
    Q_INVOKABLE static double fraction(double value);
    Q_INVOKABLE static int percent(double value);
    Q_INVOKABLE static QString percentText(double value);
    Q_INVOKABLE static QString accessibleName(double value);
    Q_INVOKABLE static QColor color(double value);

    static QColor green() { return QColor(0x30, 0xD1, 0x58); }
    static QColor yellow() { return QColor(0xFF, 0xD6, 0x0A); }
    static QColor orange() { return QColor(0xFF, 0x9F, 0x0A); }
};

} // namespace notchora
