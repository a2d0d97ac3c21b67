// What one frame of each character costs to paint into its 64 x 72 canvas image, the work
// the collapsed character does up to 30 times a second.
#include "characters/CharacterFrame.h"
#include "characters/CharacterMetrics.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace notchora;

Q_DECLARE_METATYPE(notchora::CharacterMood)

class BenchCharacterFrame : public QObject {
    Q_OBJECT
private slots:
    void paintFrame_data();
    void paintFrame();
};

void BenchCharacterFrame::paintFrame_data() {
    QTest::addColumn<CharacterKind>("kind");
    QTest::addColumn<CharacterMood>("mood");
    for (CharacterKind kind : characters::allKinds()) {
        QTest::addRow("%s idle", qPrintable(characters::rawValue(kind)))
            << kind << CharacterMood::Idle;
        QTest::addRow("%s happy", qPrintable(characters::rawValue(kind)))
            << kind << CharacterMood::Happy;
    }
}

void BenchCharacterFrame::paintFrame() {
    QFETCH(CharacterKind, kind);
    QFETCH(CharacterMood, mood);
    QImage image(64, 72, QImage::Format_ARGB32_Premultiplied);
    double t = 1000;
    QBENCHMARK {
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.translate(CharacterMetrics::originX, CharacterMetrics::originY);
        CharacterFrame::paint(p, kind, CharacterState{t, {0.3, 0.2}, 0.3, mood, 1.0});
        t += 1.0 / 30;
    }
}

QTEST_MAIN(BenchCharacterFrame)
#include "bench_characterframe.moc"
