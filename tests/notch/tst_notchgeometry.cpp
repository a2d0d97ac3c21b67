#include "notch/CursorTracker.h"
#include "notch/NotchGeometry.h"
#include "notch/TrayLayout.h"
#include "platform/ScreenInfo.h"

#include <QTest>

using namespace notchora;

namespace {

ScreenInfo screen(QRectF frame, QRectF visible, double inset = 0,
                  std::optional<QRectF> left = std::nullopt,
                  std::optional<QRectF> right = std::nullopt, QString name = {}) {
    ScreenInfo s;
    s.name = std::move(name);
    s.frame = frame;
    s.visibleFrame = visible;
    s.safeAreaTop = inset;
    s.auxiliaryTopLeftArea = left;
    s.auxiliaryTopRightArea = right;
    return s;
}

} // namespace

class NotchGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void measuring_data();
    void measuring();
    void targetScreen_data();
    void targetScreen();
    void sameScreenMeasuresEqual();
    void panelFrame_data();
    void panelFrame();
    void qtScreensConvert_data();
    void qtScreensConvert();
    void conversionsRoundTrip();
    void cursorRelativeToNotch();
    void trayLayout_data();
    void trayLayout();
};

void NotchGeometryTest::measuring_data() {
    QTest::addColumn<ScreenInfo>("screen");
    QTest::addColumn<QRectF>("notch");
    QTest::addColumn<bool>("hasNotch");

    const QRectF mac(0, 0, 1512, 982);
    QTest::newRow("cut-out between the two top areas")
        << screen(mac, QRectF(0, 0, 1512, 944), 38, QRectF(0, 944, 662, 38),
                  QRectF(850, 944, 662, 38))
        << QRectF(662, 944, 188, 38) << true;
    QTest::newRow("inset without top areas: imaginary notch as tall as the menu bar")
        << screen(mac, QRectF(0, 0, 1512, 945), 38) << QRectF(661, 945, 190, 37) << false;
    QTest::newRow("touching top areas: no notch")
        << screen(mac, QRectF(0, 0, 1512, 950), 38, QRectF(0, 944, 756, 38),
                  QRectF(756, 944, 756, 38))
        << QRectF(661, 950, 190, 32) << false;
    QTest::newRow("overlapping top areas: no notch")
        << screen(mac, QRectF(0, 0, 1512, 950), 38, QRectF(0, 944, 800, 38),
                  QRectF(700, 944, 812, 38))
        << QRectF(661, 950, 190, 32) << false;
    QTest::newRow("no panel: never shorter than the status bar")
        << screen(QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 900)) << QRectF(625, 876, 190, 24)
        << false;
    QTest::newRow("bottom panel only: status bar height")
        << screen(QRectF(0, 0, 1440, 900), QRectF(0, 48, 1440, 852)) << QRectF(625, 876, 190, 24)
        << false;
    QTest::newRow("top panel taller than the status bar")
        << screen(QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1044)) << QRectF(865, 1044, 190, 36)
        << false;
    QTest::newRow("secondary screen to the right and higher")
        << screen(QRectF(1440, 200, 2560, 1440), QRectF(1440, 200, 2560, 1412))
        << QRectF(1440 + 1280 - 95, 1612, 190, 28) << false;
}

void NotchGeometryTest::measuring() {
    QFETCH(ScreenInfo, screen);
    QFETCH(QRectF, notch);
    QFETCH(bool, hasNotch);
    const NotchGeometry geometry(screen, 24);
    QCOMPARE(geometry.screenFrame, screen.frame);
    QCOMPARE(geometry.notchRect, notch);
    QCOMPARE(geometry.hasNotch, hasNotch);
    // The notch always hangs from the screen's top edge.
    QCOMPARE(geometry.notchRect.y() + geometry.notchRect.height(),
             screen.frame.y() + screen.frame.height());
}

void NotchGeometryTest::targetScreen_data() {
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

void NotchGeometryTest::targetScreen() {
    QFETCH(QList<ScreenInfo>, screens);
    QFETCH(bool, hasMain);
    QFETCH(QString, expected);
    std::optional<ScreenInfo> main;
    if (hasMain)
        main = screens.value(1);
    const auto chosen = NotchGeometry::targetScreen(screens, main);
    QCOMPARE(chosen.has_value(), !expected.isEmpty());
    if (chosen)
        QCOMPARE(chosen->name, expected);
}

void NotchGeometryTest::sameScreenMeasuresEqual() {
    const ScreenInfo s = screen(QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 870));
    QCOMPARE(NotchGeometry(s), NotchGeometry(s));
    ScreenInfo taller = s;
    taller.visibleFrame.setHeight(860);
    QVERIFY(!(NotchGeometry(s) == NotchGeometry(taller)));
}

void NotchGeometryTest::panelFrame_data() {
    QTest::addColumn<ScreenInfo>("screen");
    QTest::addColumn<QRectF>("frame");
    QTest::newRow("1440x900") << screen(QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 900))
                              << QRectF(360, 580, 720, 320);
    QTest::newRow("screen left of the primary")
        << screen(QRectF(-1920, -100, 1920, 1080), QRectF(-1920, -100, 1920, 1080))
        << QRectF(-960 - 360, 980 - 320, 720, 320);
}

void NotchGeometryTest::panelFrame() {
    QFETCH(ScreenInfo, screen);
    QFETCH(QRectF, frame);
    QCOMPARE(NotchGeometry(screen).panelFrame(), frame);
}

void NotchGeometryTest::qtScreensConvert_data() {
    QTest::addColumn<QRect>("primary");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QRectF>("notch");

    const QRect primary(0, 0, 1440, 900);
    QTest::newRow("primary with a 30 px top panel")
        << primary << primary << QRect(0, 30, 1440, 870) << QRectF(0, 0, 1440, 900)
        << QRectF(625, 870, 190, 30);
    QTest::newRow("secondary right of the primary, tops aligned")
        << primary << QRect(1440, 0, 1920, 1080) << QRect(1440, 0, 1920, 1080)
        << QRectF(1440, -180, 1920, 1080) << QRectF(1440 + 960 - 95, 876, 190, 24);
    QTest::newRow("secondary above the primary")
        << primary << QRect(0, -1080, 1920, 1080) << QRect(0, -1048, 1920, 1048)
        << QRectF(0, 900, 1920, 1080) << QRectF(865, 1948, 190, 32);
    QTest::newRow("primary not at the Qt origin")
        << QRect(1920, 0, 1440, 900) << QRect(0, 0, 1920, 1080) << QRect(0, 0, 1920, 1080)
        << QRectF(-1920, -180, 1920, 1080) << QRectF(-960 - 95, 876, 190, 24);
    QTest::newRow("stale work area outside the screen is ignored")
        << primary << primary << QRect(3000, 0, 100, 100) << QRectF(0, 0, 1440, 900)
        << QRectF(625, 876, 190, 24);
}

void NotchGeometryTest::qtScreensConvert() {
    QFETCH(QRect, primary);
    QFETCH(QRect, geometry);
    QFETCH(QRect, available);
    QFETCH(QRectF, frame);
    QFETCH(QRectF, notch);
    const ScreenInfo info = ScreenInfo::fromQt("s", geometry, available, primary);
    QCOMPARE(info.frame, frame);
    const NotchGeometry measured(info);
    QCOMPARE(measured.notchRect, notch);
    // Back in Qt coordinates the notch touches the screen's top row.
    const QRectF inQt = GlobalCoordinates::toQt(measured.notchRect, primary);
    QCOMPARE(inQt.y(), double(geometry.y()));
    QCOMPARE(inQt.center().x(), QRectF(geometry).center().x());
}

void NotchGeometryTest::conversionsRoundTrip() {
    const QRect primary(100, 50, 1440, 900);
    const QRectF rect(-300.5, 12, 720, 320);
    QCOMPARE(GlobalCoordinates::toQt(GlobalCoordinates::fromQt(rect, primary), primary), rect);
    const QPointF point(733, 4);
    QCOMPARE(GlobalCoordinates::toQt(GlobalCoordinates::fromQt(point, primary), primary), point);
    // The top-left pixel of the primary is at its top edge in our coordinates.
    QCOMPARE(GlobalCoordinates::fromQt(QPointF(100, 50), primary), QPointF(0, 900));
}

void NotchGeometryTest::cursorRelativeToNotch() {
    const NotchGeometry geometry(screen(QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 900)));
    QCOMPARE(CursorTracker::relativeLocation(QPointF(720, 900), geometry), QPointF(0, 0));
    QCOMPARE(CursorTracker::relativeLocation(QPointF(700, 880), geometry), QPointF(-20, 20));
    QCOMPARE(CursorTracker::relativeLocation(QPointF(1000, 450), geometry), QPointF(280, 450));
}

void NotchGeometryTest::trayLayout_data() {
    QTest::addColumn<TrayLayout::Inputs>("inputs");
    QTest::addColumn<QRectF>("tray");
    QTest::addColumn<double>("radius");
    QTest::addColumn<QRectF>("slot");

    TrayLayout::Inputs shut;
    shut.notch = QSizeF(190, 30);
    shut.hasSlot = true;
    QTest::newRow("collapsed: the notch, slot 8 inside its right end, 50 below")
        << shut << QRectF(265, 0, 190, 30) << 10.0 << QRectF(383, 0, 64, 80);
    TrayLayout::Inputs lip = shut;
    lip.lipHeight = 6;
    lip.widgetScale = 1.4;
    QTest::newRow("collapsed with a lip ignores the scale")
        << lip << QRectF(265, 0, 190, 36) << 10.0 << QRectF(383, 0, 64, 86);
    TrayLayout::Inputs open = shut;
    open.openness = 1;
    QTest::newRow("open: 460 wide, 148 below the notch")
        << open << QRectF(130, 0, 460, 178) << 26.0 << QRectF(383, 0, 64, 80);
    TrayLayout::Inputs scaled = open;
    scaled.widgetScale = 1.5;
    scaled.hasSlot = false;
    QTest::newRow("open at scale 1.5, no slot")
        << scaled << QRectF(15, 0, 690, 267) << 39.0 << QRectF();
    TrayLayout::Inputs wide = open;
    wide.notch = QSizeF(500, 30);
    QTest::newRow("never narrower than a wide notch")
        << wide << QRectF(110, 0, 500, 178) << 26.0 << QRectF(538, 0, 64, 80);
    TrayLayout::Inputs half = shut;
    half.openness = 0.5;
    half.bump = 1.06;
    QTest::newRow("half open and bumped")
        << half << QRectF(360 - 162.5 * 1.06, 0, 325 * 1.06, 104 * 1.06) << 18 * 1.06
        << QRectF(360 + 23 * 1.06, 0, 64 * 1.06, 80 * 1.06);
}

void NotchGeometryTest::trayLayout() {
    QFETCH(TrayLayout::Inputs, inputs);
    QFETCH(QRectF, tray);
    QFETCH(double, radius);
    QFETCH(QRectF, slot);
    const TrayLayout layout(inputs);
    QCOMPARE(layout.trayRect(), tray);
    QCOMPARE(layout.trayRadius(), radius);
    QCOMPARE(layout.slotRect(), slot);
}

QTEST_GUILESS_MAIN(NotchGeometryTest)
#include "tst_notchgeometry.moc"
