#pragma once

#include "characters/CharacterScene.h"

#include <QBasicTimer>
#include <QQuickPaintedItem>
#include <functional>

namespace notchora {

// Draws a running show across the strip panel. `elapsed` gives the seconds since the
// show began; the view repaints at display rate for as long as it exists.
class CharacterStageView : public QQuickPaintedItem {
    Q_OBJECT
public:
    CharacterStageView(CharacterScene scene, std::function<double()> elapsed,
                       QQuickItem* parent = nullptr);

    const CharacterScene& scene() const { return m_scene; }
    void paint(QPainter* painter) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    CharacterScene m_scene;
    std::function<double()> m_elapsed;
    QBasicTimer m_timer;
};

} // namespace notchora
