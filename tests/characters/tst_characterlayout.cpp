#include "characters/CharacterLayout.h"

#include <QTest>
#include <cmath>

using namespace notchora;

class CharacterLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void scaleAndPlacement_data() {
        QTest::addColumn<CharacterKind>("kind");
        QTest::addColumn<double>("notchHeight");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QPointF>("placement");
        // Slot 40 points from the notch's right end, notch 190 wide.
        const double s32 = 27.0 / 44;
        QTest::newRow("monkey in a 32-point notch")
            << CharacterKind::Monkey << 32.0 << s32 << QPointF(40 - 95, 16 - s32 * 20 - 28);
        QTest::newRow("monkey in a 10-point notch")
            << CharacterKind::Monkey << 10.0 << 0.3 << QPointF(-55, 5 - 0.3 * 20 - 28);
        QTest::newRow("bird in a tall notch")
            << CharacterKind::Bird << 80.0 << 1.0 << QPointF(-55, 40 + 12 - 28);
        QTest::newRow("cat sits in the slot at full size")
            << CharacterKind::Cat << 32.0 << 1.0 << QPointF(40, 0.6 * 32 - 28);
    }
    void scaleAndPlacement() {
        QFETCH(CharacterKind, kind);
        QFETCH(double, notchHeight);
        QFETCH(double, scale);
        QFETCH(QPointF, placement);
        const CharacterLayout layout(kind, 190, notchHeight, 40);
        QCOMPARE(layout.scale(), scale);
        QCOMPARE(layout.placement(), placement);
    }
    void lookAndNear_data() {
        QTest::addColumn<QPointF>("cursor");
        QTest::addColumn<int>("facing");
        QTest::addColumn<QPointF>("look");
        QTest::addColumn<double>("near");
        // The character stands at (10, 20).
        QTest::newRow("on the character") << QPointF(10, 20) << 1 << QPointF(0, 0) << 1.0;
        QTest::newRow("within half a point")
            << QPointF(10.3, 20.3) << 1 << QPointF(0, 0) << 1 - std::hypot(0.3, 0.3) / 120;
        QTest::newRow("35 to the right")
            << QPointF(45, 20) << 1 << QPointF(0.5, 0) << 1 - 35.0 / 120;
        QTest::newRow("70 below looks fully down")
            << QPointF(10, 90) << 1 << QPointF(0, 1) << 1 - 70.0 / 120;
        QTest::newRow("far up-left, facing right")
            << QPointF(-290, -380) << 1 << QPointF(-0.6, -0.8) << 0.0;
        QTest::newRow("facing left mirrors x")
            << QPointF(45, 20) << -1 << QPointF(-0.5, 0) << 1 - 35.0 / 120;
        QTest::newRow("120 away is not near") << QPointF(130, 20) << 1 << QPointF(1, 0) << 0.0;
    }
    void lookAndNear() {
        QFETCH(QPointF, cursor);
        QFETCH(int, facing);
        QFETCH(QPointF, look);
        QFETCH(double, near);
        QPointF actualLook;
        double actualNear = -1;
        CharacterLayout::lookAt(QPointF(10, 20), cursor, facing, actualLook, actualNear);
        QCOMPARE(actualLook, look);
        QCOMPARE(actualNear, near);
    }
    void pointFollowsThePacing_data() {
        QTest::addColumn<CharacterKind>("kind");
        QTest::addColumn<double>("t");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<int>("facing");
        const double s = 27.0 / 44, centreY = 16 - s * 20;
        QTest::newRow("monkey at the left end")
            << CharacterKind::Monkey << 0.0 << QPointF(-65, centreY + s * 14) << QPointF(-65, 0)
            << 1;
        // The bird's hop is limited to 2 points in the notch.
        const double sb = 27.0 / 34, centreB = 16 - sb * -12;
        QTest::newRow("bird mid hop") << CharacterKind::Bird << 2.5
                                      << QPointF(0, 2 + centreB + sb * -18) << QPointF(0, 2) << 1;
        QTest::newRow("cat beside the notch")
            << CharacterKind::Cat << 0.0 << QPointF(95 + 14, -5 + 0.6 * 32) << QPointF(0, -5) << 1;
    }
    void pointFollowsThePacing() {
        QFETCH(CharacterKind, kind);
        QFETCH(double, t);
        QFETCH(QPointF, point);
        QFETCH(QPointF, offset);
        QFETCH(int, facing);
        const CharacterLayout layout(kind, 190, 32, 40);
        const auto frame = layout.frame(t, QPointF(500, 500));
        QCOMPARE(frame.point, point);
        QCOMPARE(frame.offset, offset);
        QCOMPARE(frame.facing, facing);
    }
};

QTEST_GUILESS_MAIN(CharacterLayoutTest)
#include "tst_characterlayout.moc"
