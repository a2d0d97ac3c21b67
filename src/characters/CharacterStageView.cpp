#include "characters/CharacterStageView.h"

#include "characters/CharacterStagePainter.h"

namespace notchora {

CharacterStageView::CharacterStageView(CharacterScene scene, std::function<double()> elapsed,
                                       QQuickItem* parent)
    : QQuickPaintedItem(parent), m_scene(scene), m_elapsed(std::move(elapsed)) {
    setOpaquePainting(false);
    setAntialiasing(true);
    setAcceptedMouseButtons(Qt::NoButton);
    m_timer.start(16, Qt::PreciseTimer, this);
}

void CharacterStageView::paint(QPainter* painter) {
    CharacterStagePainter::draw(*painter, m_scene, m_elapsed());
}

void CharacterStageView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId())
        update();
    else
        QQuickPaintedItem::timerEvent(event);
}

} // namespace notchora
