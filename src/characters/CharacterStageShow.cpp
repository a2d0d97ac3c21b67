#include "characters/CharacterStageShow.h"

#include "characters/CharacterLog.h"
#include "characters/CharacterStageView.h"
#include "core/CaptureVisibility.h"
#include "notch/NotchViewModel.h"
#include "platform/Clock.h"
#include "platform/Screens.h"
#include "platform/WindowSystem.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <algorithm>

namespace notchora {

namespace {

constexpr double leastNotchHeight = 24;
constexpr double stripBelowNotch = 6;

} // namespace

CharacterStageShow::CharacterStageShow(Setup setup, QObject* parent)
    : QObject(parent), m_setup(std::move(setup)) {}

CharacterStageShow::~CharacterStageShow() {
    // A show cut short leaves the notch at rest.
    if (m_setup.viewModel)
        m_setup.viewModel->setFlinching(false);
}

QRectF CharacterStageShow::stripFrame(const NotchGeometry& geometry) {
    const QRectF& screen = geometry.screenFrame;
    const double h = std::max(geometry.notchRect.height(), leastNotchHeight) + stripBelowNotch;
    return {screen.x(), screen.y() + screen.height() - h, screen.width(), h};
}

CharacterScene CharacterStageShow::sceneFor(const NotchGeometry& geometry, CharacterKind kind,
                                            int direction) {
    CharacterScene scene;
    scene.kind = kind;
    scene.direction = direction < 0 ? -1 : 1;
    scene.width = geometry.screenFrame.width();
    scene.notchX = geometry.notchRect.center().x() - geometry.screenFrame.x();
    scene.notchWidth = geometry.notchRect.width();
    scene.notchBottom = std::max(geometry.notchRect.height(), leastNotchHeight);
    return scene;
}

void CharacterStageShow::start(double delay) {
    if (delay > 0)
        m_setup.clock.schedule(delay, this, [this] { perform(); });
    else
        perform();
}

double CharacterStageShow::elapsed() const {
    return m_setup.clock.monotonic() - m_startInstant;
}

void CharacterStageShow::perform() {
    if (!m_setup.viewModel) {
        end();
        return;
    }
    const NotchGeometry geometry = m_setup.viewModel->geometry();
    m_scene = sceneFor(geometry, m_setup.performer(), m_setup.direction);
    m_startInstant = m_setup.clock.monotonic();

    if (m_setup.windows) {
        m_panel = std::make_unique<QQuickWindow>();
        m_panel->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
        m_panel->setColor(Qt::transparent);
        m_panel->setGeometry(Screens::shared().toQt(stripFrame(geometry)).toAlignedRect());
        m_setup.windows->preparePanel(m_panel.get());
        m_setup.windows->setOnAllDesktops(m_panel.get(), true);
        m_setup.windows->setInputRegion(m_panel.get(), QRegion());
        auto* view = new CharacterStageView(
            m_scene, [this] { return elapsed(); }, m_panel->contentItem());
        view->setSize(m_panel->size());
        // Our own screenshots must not show the stage: while one runs, the show plays
        // without its panel.
        if (CaptureVisibility::shared().isAICaptureInProgress())
            qCInfo(lcCharacters) << "stage panel kept hidden during a capture";
        else
            m_setup.windows->orderFront(m_panel.get());
    }

    scheduleHit(0);
    m_setup.clock.schedule(CharacterScene::duration, this, [this] { end(); });
}

void CharacterStageShow::scheduleHit(int index) {
    const auto hits = m_scene.hitTimes();
    if (index >= hits.size())
        return;
    const double wait = m_startInstant + hits[index] - m_setup.clock.monotonic();
    m_setup.clock.schedule(wait, this, [this, index] {
        flinch();
        scheduleHit(index + 1);
    });
}

void CharacterStageShow::flinch() {
    if (!m_setup.viewModel)
        return;
    m_setup.viewModel->setFlinching(true);
    QPointer<NotchViewModel> model = m_setup.viewModel;
    m_setup.clock.schedule(flinchLength, this, [model] {
        if (model)
            model->setFlinching(false);
    });
}

void CharacterStageShow::end() {
    if (m_panel)
        m_panel->hide();
    m_panel.reset();
    emit finished();
}

} // namespace notchora
