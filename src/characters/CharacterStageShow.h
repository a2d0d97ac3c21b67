#pragma once

#include "characters/CharacterScene.h"
#include "notch/NotchGeometry.h"
#include "notch/NotchViewModel.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QQuickWindow;

namespace notchora {

class Clock;
class WindowSystem;

// One show from its optional delay to its end: opens the strip panel, makes the notch
// flinch at each hit time (all measured from one start instant, so late timers do not
// add up), then closes the panel and reports `finished`.
class CharacterStageShow : public QObject {
    Q_OBJECT
public:
    static constexpr double flinchLength = 0.11;

    struct Setup {
        Clock& clock;
        WindowSystem* windows = nullptr; // no panel without one (tests)
        QPointer<NotchViewModel> viewModel;
        std::function<CharacterKind()> performer;
        int direction = 1;
    };

    CharacterStageShow(Setup setup, QObject* parent = nullptr);
    ~CharacterStageShow() override;

    void start(double delay);
    // Geometry of the running show (empty until it performs).
    const CharacterScene& scene() const { return m_scene; }
    QQuickWindow* panel() const { return m_panel.get(); }

    // The panel's frame in global coordinates (bottom-left origin): the screen's top strip
    // down to 6 points below the notch.
    static QRectF stripFrame(const NotchGeometry& geometry);
    static CharacterScene sceneFor(const NotchGeometry& geometry, CharacterKind kind,
                                   int direction);

signals:
    void finished();

private:
    void perform();
    void scheduleHit(int index);
    void flinch();
    void end();
    double elapsed() const;

    Setup m_setup;
    CharacterScene m_scene;
    double m_startInstant = 0;
    std::unique_ptr<QQuickWindow> m_panel;
};

} // namespace notchora
