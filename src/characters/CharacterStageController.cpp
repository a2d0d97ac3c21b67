#include "characters/CharacterStageController.h"

#include "characters/CharacterDirector.h"
#include "characters/CharacterStageShow.h"
#include "notch/NotchViewModel.h"
#include "platform/Clock.h"
#include "platform/Platform.h"

#include <QQmlEngine>
#include <QRandomGenerator>

namespace notchora {

CharacterStageController::CharacterStageController(Clock& clock, CharacterDirector& director,
                                                   WindowSystem* windows, QObject* parent)
    : QObject(parent), m_clock(clock), m_director(director), m_windows(windows) {}

CharacterStageController::~CharacterStageController() = default;

CharacterStageController& CharacterStageController::shared() {
    static CharacterStageController controller(Clock::system(), CharacterDirector::shared(),
                                               &Platform::shared().windows());
    return controller;
}

CharacterStageController* CharacterStageController::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

bool CharacterStageController::isScheduled() const {
    return m_scheduler && m_scheduler->isActive();
}

QQuickWindow* CharacterStageController::panel() const {
    return m_show ? m_show->panel() : nullptr;
}

void CharacterStageController::setActive(bool active) {
    if (m_scheduler) {
        m_scheduler->cancel();
        m_scheduler->deleteLater();
    }
    m_scheduler.clear();
    if (active)
        scheduleNext();
}

void CharacterStageController::scheduleNext() {
    const double wait =
        minWait + QRandomGenerator::global()->generateDouble() * (maxWait - minWait);
    m_scheduler = m_clock.schedule(wait, this, [this] {
        m_scheduler.clear();
        scheduleNext();
        runNow(0);
    });
}

void CharacterStageController::runNow(double delay) {
    if (m_isRunning || !m_viewModel)
        return;
    CharacterStageShow::Setup setup{m_clock, m_windows, m_viewModel,
                                    [this] { return m_director.current(); },
                                    QRandomGenerator::global()->bounded(2) ? 1 : -1};
    m_show = new CharacterStageShow(std::move(setup), this);
    connect(m_show, &CharacterStageShow::finished, this, [this] {
        if (m_show)
            m_show->deleteLater();
        m_show.clear();
        setRunning(false);
    });
    setRunning(true);
    m_show->start(delay);
}

void CharacterStageController::setRunning(bool running) {
    if (running == m_isRunning)
        return;
    m_isRunning = running;
    emit isRunningChanged();
}

} // namespace notchora
