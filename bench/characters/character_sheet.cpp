// Renders every character in every mood to one PNG, to look at while drawing them:
//   character_sheet [out.png] [scale]
#include "characters/CharacterFrame.h"
#include "characters/CharacterKind.h"
#include "characters/CharacterMetrics.h"
#include "characters/CharacterStagePainter.h"
#include "characters/CharacterStageShow.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

using namespace notchora;

namespace {

struct Column {
    const char* label;
    CharacterState state;
    bool mirrored = false;
};

QList<Column> columns() {
    const double t = 1000.3; // eyes open, arm at rest
    return {
        {"idle", {t, {}, 0, CharacterMood::Idle, 100}},
        {"look left-up", {t, {-1, -0.6}, 0.3, CharacterMood::Idle, 100}},
        {"near", {t, {0.3, 0.2}, 0.9, CharacterMood::Idle, 100}},
        {"blink", {999.05, {}, 0, CharacterMood::Idle, 100}},
        {"scratch", {9 * 111 + 6.5, {}, 0, CharacterMood::Idle, 100}},
        {"thinking", {t, {}, 0, CharacterMood::Thinking, 1}},
        {"happy", {t, {}, 0, CharacterMood::Happy, 0.5}},
        {"sad", {t, {0, 0.5}, 0, CharacterMood::Sad, 0.4}},
        {"facing left", {t, {0.5, 0}, 0.2, CharacterMood::Idle, 100}, true},
    };
}

// Each kind on a 600-point stage strip at a few moments of its show.
QImage stageSheet(double scale) {
    const QList<double> moments{1.0, 1.9, 2.2, 2.75, 3.6};
    const QRectF screen(0, 0, 600, 400);
    const NotchGeometry geometry(screen, QRectF(300 - 95, 400 - 32, 190, 32), true);
    const double stripH = CharacterStageShow::stripFrame(geometry).height();
    const int rows = int(characters::allKinds().size() * moments.size());
    QImage image(QSize(int(600 * scale), int(rows * stripH * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 205, 215));
    QPainter p(&image);
    p.scale(scale, scale);
    int row = 0;
    for (CharacterKind kind : characters::allKinds()) {
        const auto scene = CharacterStageShow::sceneFor(geometry, kind, row % 2 ? -1 : 1);
        for (double t : moments) {
            p.save();
            p.translate(0, row * stripH);
            p.fillRect(QRectF(300 - 95, 0, 190, 32), Qt::black);
            p.setPen(QColor(120, 120, 130));
            p.drawLine(QPointF(0, stripH), QPointF(600, stripH));
            CharacterStagePainter::draw(p, scene, t);
            p.restore();
            ++row;
        }
    }
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("sheet.png");
    const double scale = argc > 2 ? QString::fromLocal8Bit(argv[2]).toDouble() : 3;
    const auto cols = columns();
    const double cellW = CharacterMetrics::canvasWidth, cellH = CharacterMetrics::canvasHeight;
    const double labelW = 50, labelH = 12;
    QImage image(QSize(int((labelW + cellW * cols.size()) * scale),
                       int((labelH + cellH * characters::allKinds().size()) * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(40, 40, 46));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QFont font = p.font();
    font.setPixelSize(7);
    p.setFont(font);
    p.setPen(Qt::white);
    for (int c = 0; c < cols.size(); ++c)
        p.drawText(QRectF(labelW + c * cellW, 0, cellW, labelH), Qt::AlignCenter,
                   QString::fromLatin1(cols[c].label));
    int row = 0;
    for (CharacterKind kind : characters::allKinds()) {
        const double y = labelH + row * cellH;
        p.setPen(Qt::white);
        p.drawText(QRectF(0, y, labelW, cellH), Qt::AlignCenter, characters::displayName(kind));
        for (int c = 0; c < cols.size(); ++c) {
            const QRectF cell(labelW + c * cellW, y, cellW, cellH);
            // The black of the notch behind alternate cells.
            p.fillRect(cell.adjusted(0.5, 0.5, -0.5, -0.5),
                       (row + c) % 2 ? QColor(0, 0, 0) : QColor(70, 70, 80));
            p.save();
            p.translate(cell.topLeft() +
                        QPointF(CharacterMetrics::originX, CharacterMetrics::originY));
            if (cols[c].mirrored)
                p.scale(-1, 1);
            CharacterFrame::paint(p, kind, cols[c].state);
            p.restore();
        }
        ++row;
    }
    p.end();
    if (!image.save(out)) {
        QTextStream(stderr) << "cannot write " << out << "\n";
        return 1;
    }
    QString stageOut = out;
    stageOut.replace(QStringLiteral(".png"), QStringLiteral("-stage.png"));
    if (!stageSheet(scale).save(stageOut)) {
        QTextStream(stderr) << "cannot write " << stageOut << "\n";
        return 1;
    }
    QTextStream(stdout) << out << "\n" << stageOut << "\n";
    return 0;
}
