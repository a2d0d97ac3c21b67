#include "characters/CharacterEffects.h"
#include "characters/CharacterExpression.h"
#include "characters/CharacterMetrics.h"
#include "characters/CharacterPainter.h"
#include "characters/GhostPainter.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTimeZone>
#include <cmath>
#include <numbers>

using namespace notchora;

Q_DECLARE_METATYPE(notchora::CharacterState)

namespace {

CharacterState state(double t, CharacterMood mood, double moodAge, double near = 0,
                     QPointF look = {}) {
    return {t, look, near, mood, moodAge};
}

constexpr double degree = std::numbers::pi / 180;

} // namespace

class CharacterDrawingTest : public QObject {
    Q_OBJECT
private slots:
    void pose_data();
    void pose();
    void speedZeroFreezesOnlyTheAnimation();
    void heartsRiseAndFade_data();
    void heartsRiseAndFade();
    void tearFallsEveryCycle_data();
    void tearFallsEveryCycle();
    void sparkleNeedsAClosePointer_data();
    void sparkleNeedsAClosePointer();
    void expressionRules_data();
    void expressionRules();
    void ghostSaysBoo_data();
    void ghostSaysBoo();
    void paintersStayWithinTheirExtent_data();
    void paintersStayWithinTheirExtent();
};

void CharacterDrawingTest::pose_data() {
    QTest::addColumn<CharacterState>("state");
    QTest::addColumn<double>("dy");
    QTest::addColumn<double>("scaleX");
    QTest::addColumn<double>("scaleY");
    QTest::addColumn<double>("rotation");

    // sin(9t) = 1 at t = pi/18.
    const double hopPeak = std::numbers::pi / 18;
    QTest::newRow("idle, far") << state(12.3, CharacterMood::Idle, 5) << 0.0 << 1.0 << 1.0 << 0.0;
    QTest::newRow("idle, barely near")
        << state(hopPeak, CharacterMood::Idle, 5, 0.05) << 0.0 << 1.0 << 1.0 << 0.0;
    QTest::newRow("idle, pointer on it") << state(hopPeak, CharacterMood::Idle, 5, 1) << -1.6 << 1.0
                                         << 1 + 0.03 * std::sin(18 * hopPeak) << 0.0;
    QTest::newRow("thinking tilts") << state(std::numbers::pi / 3.2, CharacterMood::Thinking, 1)
                                    << 0.0 << 1.0 << 1.0 << 3.5 * degree;
    QTest::newRow("happy at its start")
        << state(0, CharacterMood::Happy, 0) << 0.0 << 0.94 << 1.1 << 0.0;
    QTest::newRow("happy has died away")
        << state(0, CharacterMood::Happy, 3.4) << 0.0 << 1.0 << 1.0 << 0.0;
    QTest::newRow("sad sinks") << state(7, CharacterMood::Sad, 1) << 1.2 << 1.0 << 0.94 << -0.0436;
    QTest::newRow("sad replaces the excited squash")
        << state(hopPeak, CharacterMood::Sad, 1, 1) << -1.6 + 1.2 << 1.0 << 0.94 << -0.0436;
}

void CharacterDrawingTest::pose() {
    QFETCH(CharacterState, state);
    QFETCH(double, dy);
    QFETCH(double, scaleX);
    QFETCH(double, scaleY);
    QFETCH(double, rotation);
    const auto pose = CharacterEffects::pose(state);
    QVERIFY2(std::abs(pose.dy - dy) < 1e-9, qPrintable(QString::number(pose.dy)));
    QVERIFY(std::abs(pose.scaleX - scaleX) < 1e-9);
    QVERIFY2(std::abs(pose.scaleY - scaleY) < 1e-9, qPrintable(QString::number(pose.scaleY)));
    QVERIFY2(std::abs(pose.rotation - rotation) < 1e-4, qPrintable(QString::number(pose.rotation)));
}

void CharacterDrawingTest::speedZeroFreezesOnlyTheAnimation() {
    const QDateTime since(QDate(2024, 5, 1), QTime(9, 0), QTimeZone::utc());
    CharacterReaction reaction{{0.5, 0}, 0.4, CharacterMood::Happy, since};
    const auto a = CharacterState::at(since.addMSecs(1500), 0, reaction);
    const auto b = CharacterState::at(since.addMSecs(2500), 0, reaction);
    QCOMPARE(a.t, 0.0);
    QCOMPARE(b.t, 0.0);
    QCOMPARE(a.moodAge, 1.5);
    QCOMPARE(b.moodAge, 2.5);
    QCOMPARE(a.look, QPointF(0.5, 0));
    // Double speed doubles the clock.
    const auto fast = CharacterState::at(since, 2, reaction);
    const auto normal = CharacterState::at(since, 1, reaction);
    QCOMPARE(fast.t, 2 * normal.t);
    // A reaction without a start has no effect running.
    QVERIFY(CharacterState::at(since, 1, {}).moodAge > 1e6);
}

void CharacterDrawingTest::heartsRiseAndFade_data() {
    QTest::addColumn<int>("glyph");
    QTest::addColumn<double>("moodAge");
    QTest::addColumn<double>("phase");
    QTest::addColumn<double>("opacity");
    QTest::newRow("first heart at the start") << 0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("star fading in") << 1 << 0.125 << 0.4425 << 0.5 * (1 - 0.4425);
    QTest::newRow("first heart half way up") << 0 << 0.5 / 0.9 << 0.5 << 0.5;
    QTest::newRow("last heart wraps round") << 2 << 0.5 << 0.11 << 0.89;
    QTest::newRow("gone at the end") << 0 << 3.4 << 0.0 << 0.0;
}

void CharacterDrawingTest::heartsRiseAndFade() {
    QFETCH(int, glyph);
    QFETCH(double, moodAge);
    QFETCH(double, phase);
    QFETCH(double, opacity);
    const auto g = CharacterEffects::heart(glyph, moodAge);
    QVERIFY2(std::abs(g.opacity - opacity) < 1e-9, qPrintable(QString::number(g.opacity)));
    if (opacity <= 0)
        return;
    // Each glyph rises 14 points over its phase from the same starting height.
    const double refAge = 0.01;
    const double refPhase = std::fmod(0.9 * refAge + 0.33 * glyph, 1.0);
    const double start = CharacterEffects::heart(glyph, refAge).position.y() + 14 * refPhase;
    QVERIFY2(std::abs(g.position.y() + 14 * phase - start) < 1e-9,
             qPrintable(QString::number(g.position.y())));
}

void CharacterDrawingTest::tearFallsEveryCycle_data() {
    QTest::addColumn<double>("moodAge");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("opacity");
    QTest::newRow("forming") << 0.0 << 14.3 << 1.0;
    QTest::newRow("half way") << 0.7 << 14.3 + 7.7 << 0.5;
    QTest::newRow("next drop") << 1.4 << 14.3 << 1.0;
    QTest::newRow("third drop falling") << 3.15 << 14.3 + 11 * 0.35 << 0.75;
}

void CharacterDrawingTest::tearFallsEveryCycle() {
    QFETCH(double, moodAge);
    QFETCH(double, top);
    QFETCH(double, opacity);
    const QRectF tear = CharacterEffects::tearRect(moodAge);
    QCOMPARE(tear.left(), -4.9);
    QVERIFY(std::abs(tear.top() - top) < 1e-9);
    QCOMPARE(tear.size(), QSizeF(2.2, 3.4));
    QVERIFY(std::abs(CharacterEffects::tearOpacity(moodAge) - opacity) < 1e-9);
}

void CharacterDrawingTest::sparkleNeedsAClosePointer_data() {
    QTest::addColumn<double>("near");
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("second");
    const double peak = std::numbers::pi / 6; // sin(3t) = 1
    QTest::newRow("not close enough") << 0.55 << peak << 0.0 << 0.0;
    QTest::newRow("half strength")
        << 0.775 << peak << 0.5 << 0.5 * std::max(0.0, std::sin(3 * peak + 2.1));
    QTest::newRow("on it, they alternate") << 1.0 << -1.0 / 3 << 0.0 << std::sin(1.1);
}

void CharacterDrawingTest::sparkleNeedsAClosePointer() {
    QFETCH(double, near);
    QFETCH(double, t);
    QFETCH(double, first);
    QFETCH(double, second);
    QVERIFY(std::abs(CharacterEffects::sparkle(0, t, near).opacity - first) < 1e-9);
    QVERIFY(std::abs(CharacterEffects::sparkle(1, t, near).opacity - second) < 1e-9);
}

void CharacterDrawingTest::expressionRules_data() {
    QTest::addColumn<CharacterState>("state");
    QTest::addColumn<bool>("happyEyes");
    QTest::addColumn<bool>("blinking");
    QTest::addColumn<int>("arm");
    const int rest = int(CharacterExpression::Arm::Rest),
              wave = int(CharacterExpression::Arm::Wave),
              scratch = int(CharacterExpression::Arm::Scratch);
    QTest::newRow("calm") << state(1, CharacterMood::Idle, 9) << false << false << rest;
    QTest::newRow("blink at the start of a cycle")
        << state(3.7 * 20 + 0.1, CharacterMood::Idle, 9) << false << true << rest;
    QTest::newRow("blink is over")
        << state(3.7 * 20 + 0.15, CharacterMood::Idle, 9) << false << false << rest;
    QTest::newRow("waves when the pointer comes")
        << state(1, CharacterMood::Idle, 9, 0.46) << false << false << wave;
    QTest::newRow("happy eyes when close")
        << state(1, CharacterMood::Idle, 9, 0.51) << true << false << wave;
    QTest::newRow("happy mood is full excitement")
        << state(1, CharacterMood::Happy, 9) << true << false << wave;
    QTest::newRow("scratches while thinking")
        << state(1, CharacterMood::Thinking, 9) << false << false << scratch;
    QTest::newRow("scratches in its idle cycle")
        << state(9 * 4 + 6.1, CharacterMood::Idle, 9) << false << false << scratch;
    QTest::newRow("scratch cycle over")
        << state(9 * 4 + 7.61, CharacterMood::Idle, 9) << false << false << rest;
    QTest::newRow("negative clock")
        << state(-3.65, CharacterMood::Idle, 9) << false << true << rest;
}

void CharacterDrawingTest::expressionRules() {
    QFETCH(CharacterState, state);
    QFETCH(bool, happyEyes);
    QFETCH(bool, blinking);
    QFETCH(int, arm);
    QCOMPARE(CharacterExpression::happyEyes(state), happyEyes);
    QCOMPARE(CharacterExpression::isBlinking(state.t), blinking);
    QCOMPARE(int(CharacterExpression::arm(state)), arm);
}

void CharacterDrawingTest::ghostSaysBoo_data() {
    QTest::addColumn<CharacterState>("state");
    QTest::addColumn<double>("opacity");
    const double cycle = 9 * 50;
    QTest::newRow("before") << state(cycle + 5.9, CharacterMood::Idle, 9) << 0.0;
    QTest::newRow("fading in") << state(cycle + 6.125, CharacterMood::Idle, 9) << 0.5;
    QTest::newRow("shown") << state(cycle + 7, CharacterMood::Idle, 9) << 1.0;
    QTest::newRow("fading out") << state(cycle + 8.25, CharacterMood::Idle, 9) << 0.5;
    QTest::newRow("after") << state(cycle + 8.4, CharacterMood::Idle, 9) << 0.0;
    QTest::newRow("any mood") << state(cycle + 7, CharacterMood::Sad, 9) << 1.0;
    QTest::newRow("pointer close") << state(cycle + 1, CharacterMood::Idle, 9, 0.65) << 0.5;
    QTest::newRow("pointer very close") << state(cycle + 1, CharacterMood::Idle, 9, 0.8) << 1.0;
    QTest::newRow("close but thinking") << state(cycle + 1, CharacterMood::Thinking, 9, 1) << 0.0;
}

void CharacterDrawingTest::ghostSaysBoo() {
    QFETCH(CharacterState, state);
    QFETCH(double, opacity);
    QVERIFY2(std::abs(GhostPainter::booOpacity(state) - opacity) < 1e-6,
             qPrintable(QString::number(GhostPainter::booOpacity(state))));
}

void CharacterDrawingTest::paintersStayWithinTheirExtent_data() {
    QTest::addColumn<CharacterKind>("kind");
    QTest::addColumn<CharacterMood>("mood");
    for (CharacterKind kind : characters::allKinds())
        for (CharacterMood mood : {CharacterMood::Idle, CharacterMood::Thinking,
                                   CharacterMood::Happy, CharacterMood::Sad})
            QTest::addRow("%s %d", qPrintable(characters::rawValue(kind)), int(mood))
                << kind << mood;
}

// Every pose of the drawing itself (mood effects and speech aside) stays inside the kind's
// vertical extent and inside the canvas.
void CharacterDrawingTest::paintersStayWithinTheirExtent() {
    QFETCH(CharacterKind, kind);
    QFETCH(CharacterMood, mood);
    const auto metrics = CharacterMetrics::forKind(kind);
    const auto painter = CharacterPainter::forKind(kind);
    constexpr int scale = 2;
    const QSize size(160 * scale, 160 * scale);
    const QPointF origin(80, 80);
    // Half a point of antialiasing is allowed at each edge.
    const double slack = 0.5;

    // Blinking, resting, scratching and the swing of the arms and tails.
    const QList<double> times{0.05, 1.3, 2.2, 6.3, 6.9, 7.4, 4.49, 13.1};
    const QList<QPointF> looks{{0, 0}, {1, 0}, {-0.7, 0.7}, {0, -1}};
    for (double t : times) {
        for (double near : {0.0, 1.0}) {
            for (const QPointF& look : looks) {
                for (int facing : {1, -1}) {
                    QImage image(size, QImage::Format_ARGB32_Premultiplied);
                    image.fill(Qt::transparent);
                    {
                        QPainter p(&image);
                        p.scale(scale, scale);
                        p.translate(origin);
                        p.scale(facing, 1);
                        painter.body(p, state(t, mood, 0.3, near, look * facing));
                    }
                    int minY = size.height(), maxY = -1, minX = size.width(), maxX = -1;
                    for (int y = 0; y < size.height(); ++y) {
                        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
                        for (int x = 0; x < size.width(); ++x) {
                            if (qAlpha(line[x]) > 16) {
                                minY = std::min(minY, y);
                                maxY = std::max(maxY, y);
                                minX = std::min(minX, x);
                                maxX = std::max(maxX, x);
                            }
                        }
                    }
                    const QString where = QStringLiteral("t %1 near %2 look (%3, %4) facing %5")
                                              .arg(t)
                                              .arg(near)
                                              .arg(look.x())
                                              .arg(look.y())
                                              .arg(facing);
                    QVERIFY2(maxY >= 0, qPrintable("nothing drawn at " + where));
                    const double top = double(minY) / scale - origin.y();
                    const double bottom = double(maxY + 1) / scale - origin.y();
                    const double left = double(minX) / scale - origin.x();
                    const double right = double(maxX + 1) / scale - origin.x();
                    QVERIFY2(top >= metrics.top - slack,
                             qPrintable(QStringLiteral("top %1 at ").arg(top) + where));
                    QVERIFY2(bottom <= metrics.bottom + slack,
                             qPrintable(QStringLiteral("bottom %1 at ").arg(bottom) + where));
                    QVERIFY2(
                        left >= -CharacterMetrics::originX &&
                            right <= CharacterMetrics::canvasWidth - CharacterMetrics::originX,
                        qPrintable(QStringLiteral("x %1..%2 at ").arg(left).arg(right) + where));
                }
            }
        }
    }
}

QTEST_MAIN(CharacterDrawingTest)
#include "tst_characterdrawing.moc"
