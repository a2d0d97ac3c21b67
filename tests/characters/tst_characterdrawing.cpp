#include "characters/CharacterEffects.h"
#include "characters/CharacterExpression.h"
#include "characters/CharacterMetrics.h"
#include "characters/CharacterPainter.h"
#include "characters/GhostPainter.h"

#include <QDebug>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTimeZone>
#include <cmath>
#include <numbers>

using namespace notchora;

Q_DECLARE_METATYPE(notchora::CharacterState)
Q_DECLARE_METATYPE(notchora::CharacterEffects::Pose)

namespace {

CharacterState state(double t, CharacterMood mood, double moodAge, double near = 0,
                     QPointF look = {}) {
    return {t, look, near, mood, moodAge};
}

constexpr double degree = std::numbers::pi / 180;

// The part of a 160-point canvas that `painter` covers (in points from the character's origin),
// drawn at twice the size; `facing` -1 mirrors it, as the views do.
QRectF drawnArea(const CharacterPainter& painter, const CharacterState& pose, int facing) {
    constexpr int scale = 2;
    const QPointF origin(80, 80);
    QImage image(160 * scale, 160 * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(scale, scale);
        p.translate(origin);
        p.scale(facing, 1);
        CharacterState mirrored = pose;
        mirrored.look.rx() *= facing;
        painter.body(p, mirrored);
    }
    QRect covered;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) > 16)
                covered |= QRect(x, y, 1, 1);
    }
    return QRectF(QPointF(covered.topLeft()) / scale - origin, QSizeF(covered.size()) / scale);
}

} // namespace

class CharacterDrawingTest : public QObject {
    Q_OBJECT
private slots:
    void pose_data() {
        QTest::addColumn<CharacterState>("state");
        QTest::addColumn<CharacterEffects::Pose>("pose"); // dy, scaleX, scaleY, rotation
        // sin(9t) = 1 at t = pi/18.
        const double hopPeak = std::numbers::pi / 18;
        using Pose = CharacterEffects::Pose;
        const Pose rest;
        QTest::newRow("idle, far") << state(12.3, CharacterMood::Idle, 5) << rest;
        QTest::newRow("idle, barely near") << state(hopPeak, CharacterMood::Idle, 5, 0.05) << rest;
        QTest::newRow("idle, pointer on it") << state(hopPeak, CharacterMood::Idle, 5, 1)
                                             << Pose{-1.6, 1, 1 + 0.03 * std::sin(18 * hopPeak)};
        QTest::newRow("thinking tilts") << state(std::numbers::pi / 3.2, CharacterMood::Thinking, 1)
                                        << Pose{0, 1, 1, 3.5 * degree};
        QTest::newRow("happy at its start")
            << state(0, CharacterMood::Happy, 0) << Pose{0, 0.94, 1.1};
        QTest::newRow("happy has died away") << state(0, CharacterMood::Happy, 3.4) << rest;
        QTest::newRow("sad sinks")
            << state(7, CharacterMood::Sad, 1) << Pose{1.2, 1, 0.94, -2.5 * degree};
        QTest::newRow("sad replaces the excited squash")
            << state(hopPeak, CharacterMood::Sad, 1, 1) << Pose{-1.6 + 1.2, 1, 0.94, -2.5 * degree};
    }
    void pose() {
        QFETCH(CharacterState, state);
        QFETCH(CharacterEffects::Pose, pose);
        const auto actual = CharacterEffects::pose(state);
        QCOMPARE(actual.dy, pose.dy);
        QCOMPARE(actual.scaleX, pose.scaleX);
        QCOMPARE(actual.scaleY, pose.scaleY);
        QCOMPARE(actual.rotation, pose.rotation);
    }
    void speedZeroFreezesOnlyTheAnimation() {
        const QDateTime since(QDate(2024, 5, 1), QTime(9, 0), QTimeZone::utc());
        CharacterReaction reaction{{0.5, 0}, 0.4, CharacterMood::Happy, since};
        for (const double age : {1.5, 2.5}) {
            const auto frozen = CharacterState::at(since.addMSecs(age * 1000), 0, reaction);
            QCOMPARE(frozen.t, 0.0);
            QCOMPARE(frozen.moodAge, age);
            QCOMPARE(frozen.look, QPointF(0.5, 0));
        }
        // Double speed doubles the clock.
        QCOMPARE(CharacterState::at(since, 2, reaction).t,
                 2 * CharacterState::at(since, 1, reaction).t);
        // A reaction without a start has no effect running.
        QVERIFY(CharacterState::at(since, 1, {}).moodAge > 1e6);
    }
    void heartsRiseAndFade_data() {
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
    void heartsRiseAndFade() {
        QFETCH(int, glyph);
        QFETCH(double, moodAge);
        QFETCH(double, phase);
        QFETCH(double, opacity);
        const auto g = CharacterEffects::heart(glyph, moodAge);
        QCOMPARE(g.opacity, opacity);
        if (opacity <= 0)
            return;
        // Each glyph rises 14 points over its phase from the same starting height.
        const double refAge = 0.01;
        const double refPhase = std::fmod(0.9 * refAge + 0.33 * glyph, 1.0);
        const double start = CharacterEffects::heart(glyph, refAge).position.y() + 14 * refPhase;
        QCOMPARE(g.position.y() + 14 * phase, start);
    }
    void tearFallsEveryCycle_data() {
        QTest::addColumn<double>("moodAge");
        QTest::addColumn<double>("top");
        QTest::addColumn<double>("opacity");
        QTest::newRow("forming") << 0.0 << 14.3 << 1.0;
        QTest::newRow("half way") << 0.7 << 14.3 + 7.7 << 0.5;
        QTest::newRow("next drop") << 1.4 << 14.3 << 1.0;
        QTest::newRow("third drop falling") << 3.15 << 14.3 + 11 * 0.35 << 0.75;
    }
    void tearFallsEveryCycle() {
        QFETCH(double, moodAge);
        QFETCH(double, top);
        QFETCH(double, opacity);
        QCOMPARE(CharacterEffects::tearRect(moodAge), QRectF(-4.9, top, 2.2, 3.4));
        QCOMPARE(CharacterEffects::tearOpacity(moodAge), opacity);
    }
    void sparkleNeedsAClosePointer_data() {
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
    void sparkleNeedsAClosePointer() {
        QFETCH(double, near);
        QFETCH(double, t);
        QFETCH(double, first);
        QFETCH(double, second);
        QCOMPARE(CharacterEffects::sparkle(0, t, near).opacity, first);
        QCOMPARE(CharacterEffects::sparkle(1, t, near).opacity, second);
    }
    void expressionRules_data() {
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
    void expressionRules() {
        QFETCH(CharacterState, state);
        QFETCH(bool, happyEyes);
        QFETCH(bool, blinking);
        QFETCH(int, arm);
        QCOMPARE(CharacterExpression::happyEyes(state), happyEyes);
        QCOMPARE(CharacterExpression::isBlinking(state.t), blinking);
        QCOMPARE(int(CharacterExpression::arm(state)), arm);
    }
    void ghostSaysBoo_data() {
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
        QTest::newRow("close but thinking")
            << state(cycle + 1, CharacterMood::Thinking, 9, 1) << 0.0;
    }
    void ghostSaysBoo() {
        QFETCH(CharacterState, state);
        QFETCH(double, opacity);
        QCOMPARE(GhostPainter::booOpacity(state), opacity);
    }
    void paintersStayWithinTheirExtent_data() {
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
    void paintersStayWithinTheirExtent() {
        QFETCH(CharacterKind, kind);
        QFETCH(CharacterMood, mood);
        const auto metrics = CharacterMetrics::forKind(kind);
        const auto painter = CharacterPainter::forKind(kind);
        // Half a point of antialiasing is allowed at the top and bottom.
        const double slack = 0.5;
        const QRectF allowed(-CharacterMetrics::originX, metrics.top - slack,
                             CharacterMetrics::canvasWidth,
                             metrics.bottom - metrics.top + 2 * slack);
        // Blinking, resting, scratching and the swing of the arms and tails.
        for (double t : {0.05, 1.3, 2.2, 6.3, 6.9, 7.4, 4.49, 13.1}) {
            for (double near : {0.0, 1.0}) {
                for (const QPointF& look : {QPointF(0, 0), {1, 0}, {-0.7, 0.7}, {0, -1}}) {
                    for (int facing : {1, -1}) {
                        const QRectF drawn =
                            drawnArea(painter, state(t, mood, 0.3, near, look), facing);
                        QString where;
                        QDebug(&where) << drawn << "t" << t << "near" << near << "look" << look
                                       << "facing" << facing;
                        QVERIFY2(allowed.contains(drawn), qPrintable(where));
                    }
                }
            }
        }
    }
};

QTEST_MAIN(CharacterDrawingTest)
#include "tst_characterdrawing.moc"
