#include "platform/SymbolIcons.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QTest>

using namespace notchora;

class SymbolIconsTest : public QObject {
    Q_OBJECT
private slots:
    // A ligature the font does not know would be drawn as its letters, several icons wide.
    void everySymbolIsOneGlyph() {
        QFont font(SymbolIcons::fontFamily());
        font.setPixelSize(24);
        QVERIFY2(QFontInfo(font).family() == SymbolIcons::fontFamily(), "icon font not installed");
        const QFontMetricsF metrics(font);
        // Control: a name the font has no ligature for really is wider than one icon.
        QVERIFY(metrics.horizontalAdvance(QStringLiteral("not_an_icon_name")) > 40);
        QStringList symbols = SymbolIcons::knownSymbols();
        symbols << QStringLiteral("no.such.symbol");
        for (const QString& symbol : symbols) {
            const double width = metrics.horizontalAdvance(SymbolIcons::ligature(symbol));
            QVERIFY2(width > 12 && width <= 25,
                     qPrintable(symbol + " -> " + SymbolIcons::ligature(symbol) + " width " +
                                QString::number(width)));
        }
    }
};

QTEST_MAIN(SymbolIconsTest)
#include "tst_symbolicons.moc"
