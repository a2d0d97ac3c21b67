#include "TableRows.h"
#include "notch/NotchGeometry.h"
#include "notch/TrayLayout.h"
#include "platform/ScreenInfo.h"

#include <QTest>

using namespace notchora;

namespace {

ScreenInfo screen(QRectF frame, QRectF visible, double inset = 0, std::optional<QRectF> left = {},
                  std::optional<QRectF> right = {}, QString name = {}) {
    return ScreenInfo{std::move(name), frame, visible, inset, left, right};
}

struct Conversion {
    const char* name;
    QRect primary, geometry, available;
    QRectF frame, notch;
};

} // namespace

Q_DECLARE_METATYPE(Conversion)

class NotchGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void measuring_data() {
        QTest::addColumn<ScreenInfo>("screen");
        QTest::addColumn<QRectF>("notch");
        QTest::addColumn<bool>("hasNotch");
        QTest::addColumn<QRectF>("panel"); // empty: not checked
        const QRectF mac(0, 0, 1512, 982);
        QTest::newRow("cut-out between the two top areas")
            << screen(mac, QRectF(0, 0, 1512, 944), 38, QRectF(0, 944, 662, 38),
                      QRectF(850, 944, 662, 38))
            << QRectF(662, 944, 188, 38) << true << QRectF();
        QTest::newRow("inset without top areas: imaginary notch as tall as the menu bar")
            << screen(mac, QRectF(0, 0, 1512, 945), 38) << QRectF(661, 945, 190, 37) << false
            << QRectF();
        QTest::newRow("touching top areas: no notch")
            << screen(mac, QRectF(0, 0, 1512, 950), 38, QRectF(0, 944, 756, 38),
                      QRectF(756, 944, 756, 38))
            << QRectF(661, 950, 190, 32) << false << QRectF();
        QTest::newRow("overlapping top areas: no notch")
            << screen(mac, QRectF(0, 0, 1512, 950), 38, QRectF(0, 944, 800, 38),
                      QRectF(700, 944, 812, 38))
            << QRectF(661, 950, 190, 32) << false << QRectF();
        QTest::newRow("no panel: never shorter than the status bar")
            << screen(QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 900)) << QRectF(625, 876, 190, 24)
            << false << QRectF(360, 580, 720, 320);
        QTest::newRow("bottom panel only: status bar height")
            << screen(QRectF(0, 0, 1440, 900), QRectF(0, 48, 1440, 852))
            << QRectF(625, 876, 190, 24) << false << QRectF();
        QTest::newRow("top panel taller than the status bar")
            << screen(QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1044))
            << QRectF(865, 1044, 190, 36) << false << QRectF();
        QTest::newRow("secondary screen to the left and higher")
            << screen(QRectF(-2560, 200, 2560, 1440), QRectF(-2560, 200, 2560, 1412))
            << QRectF(-1280 - 95, 1612, 190, 28) << false << QRectF(-1280 - 360, 1320, 720, 320);
    }
    void measuring() {
        QFETCH(ScreenInfo, screen);
        QFETCH(QRectF, notch);
        QFETCH(bool, hasNotch);
        QFETCH(QRectF, panel);
        const NotchGeometry geometry(screen, 24);
        QCOMPARE(geometry.notchRect, notch);
        QCOMPARE(geometry.hasNotch, hasNotch);
        if (!panel.isEmpty())
            QCOMPARE(geometry.panelFrame(), panel);
    }
    void targetScreen_data() {
        QTest::addColumn<QList<ScreenInfo>>("screens");
        QTest::addColumn<bool>("hasMain");
        QTest::addColumn<QString>("expected");
        const ScreenInfo external =
            screen(QRectF(0, 0, 2560, 1440), QRectF(0, 0, 2560, 1410), 0, {}, {}, "external");
        const ScreenInfo laptop =
            screen(QRectF(-1512, 0, 1512, 982), QRectF(-1512, 0, 1512, 944), 38,
                   QRectF(-1512, 944, 662, 38), QRectF(-662, 944, 662, 38), "laptop");
        const ScreenInfo plain =
            screen(QRectF(2560, 0, 1920, 1080), QRectF(2560, 0, 1920, 1080), 0, {}, {}, "plain");
        QTest::newRow("cut-out screen wins over the main screen")
            << QList<ScreenInfo>{external, laptop} << true << "laptop";
        QTest::newRow("no cut-out: the main screen")
            << QList<ScreenInfo>{plain, external} << true << "external";
        QTest::newRow("no cut-out, no main: the first listed")
            << QList<ScreenInfo>{plain, external} << false << "plain";
        QTest::newRow("no screens at all") << QList<ScreenInfo>{} << false << "";
    }
    void targetScreen() {
        QFETCH(QList<ScreenInfo>, screens);
        QFETCH(bool, hasMain);
        QFETCH(QString, expected);
        const auto main = hasMain ? std::optional(screens.value(1)) : std::nullopt;
        const auto chosen = NotchGeometry::targetScreen(screens, main);
        QCOMPARE(chosen ? chosen->name : QString(), expected);
    }
    void qtScreensConvert_data() {
        const QRect primary(0, 0, 1440, 900);
        test::addRows<Conversion>({
            {"primary with a 30 px top panel", primary, primary, QRect(0, 30, 1440, 870),
             QRectF(0, 0, 1440, 900), QRectF(625, 870, 190, 30)},
            {"secondary right of the primary, tops aligned", primary, QRect(1440, 0, 1920, 1080),
             QRect(1440, 0, 1920, 1080), QRectF(1440, -180, 1920, 1080),
             QRectF(1440 + 960 - 95, 876, 190, 24)},
            {"secondary above the primary", primary, QRect(0, -1080, 1920, 1080),
             QRect(0, -1048, 1920, 1048), QRectF(0, 900, 1920, 1080), QRectF(865, 1948, 190, 32)},
            {"primary not at the Qt origin", QRect(1920, 0, 1440, 900), QRect(0, 0, 1920, 1080),
             QRect(0, 0, 1920, 1080), QRectF(-1920, -180, 1920, 1080),
             QRectF(-960 - 95, 876, 190, 24)},
            {"stale work area outside the screen is ignored", primary, primary,
             QRect(3000, 0, 100, 100), QRectF(0, 0, 1440, 900), QRectF(625, 876, 190, 24)},
        });
    }
    void qtScreensConvert() {
        QFETCH(Conversion, row);
        const ScreenInfo info = ScreenInfo::fromQt("s", row.geometry, row.available, row.primary);
        QCOMPARE(info.frame, row.frame);
        QCOMPARE(NotchGeometry(info).notchRect, row.notch);
        QCOMPARE(GlobalCoordinates::toQt(info.frame, row.primary), QRectF(row.geometry));
        const QPointF point(733.5, 4);
        QCOMPARE(
            GlobalCoordinates::toQt(GlobalCoordinates::fromQt(point, row.primary), row.primary),
            point);
    }
    void trayLayout_data() {
        QTest::addColumn<TrayLayout::Inputs>("inputs");
        QTest::addColumn<QRectF>("tray");
        QTest::addColumn<double>("radius");
        QTest::addColumn<QRectF>("slot");
        // Open or shut, scale, lip, slot, notch width, bump.
        const auto in = [](double openness, double scale = 1, double lip = 0, bool slot = true,
                           double notch = 190, double bump = 1) {
            return TrayLayout::Inputs{{notch, 30}, lip, scale, openness, bump, 720, slot};
        };
        QTest::newRow("collapsed: the notch, slot 8 inside its right end, 50 below")
            << in(0) << QRectF(265, 0, 190, 30) << 10.0 << QRectF(383, 0, 64, 80);
        QTest::newRow("collapsed with a lip ignores the scale")
            << in(0, 1.4, 6) << QRectF(265, 0, 190, 36) << 10.0 << QRectF(383, 0, 64, 86);
        QTest::newRow("open: 460 wide, 148 below the notch")
            << in(1) << QRectF(130, 0, 460, 178) << 26.0 << QRectF(383, 0, 64, 80);
        QTest::newRow("open at scale 1.5, no slot")
            << in(1, 1.5, 0, false) << QRectF(15, 0, 690, 267) << 39.0 << QRectF();
        QTest::newRow("never narrower than a wide notch")
            << in(1, 1, 0, true, 500) << QRectF(110, 0, 500, 178) << 26.0 << QRectF(538, 0, 64, 80);
        QTest::newRow("half open and bumped")
            << in(0.5, 1, 0, true, 190, 1.06)
            << QRectF(360 - 162.5 * 1.06, 0, 325 * 1.06, 104 * 1.06) << 18 * 1.06
            << QRectF(360 + 23 * 1.06, 0, 64 * 1.06, 80 * 1.06);
    }
    void trayLayout() {
        QFETCH(TrayLayout::Inputs, inputs);
        QFETCH(QRectF, tray);
        QFETCH(double, radius);
        QFETCH(QRectF, slot);
        const TrayLayout layout(inputs);
        QCOMPARE(layout.trayRect(), tray);
        QCOMPARE(layout.trayRadius(), radius);
        QCOMPARE(layout.slotRect(), slot);
    }
};

QTEST_GUILESS_MAIN(NotchGeometryTest)
#include "tst_notchgeometry.moc"
