#include "notch/NotchPanelController.h"

#include "core/CaptureVisibility.h"
#include "core/WidgetStore.h"
#include "notch/CursorTracker.h"
#include "notch/HoverMonitor.h"
#include "notch/Logging.h"
#include "notch/NotchPanel.h"
#include "notch/NotchViewModel.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/PointerSource.h"
#include "platform/Screens.h"
#include "platform/WindowSystem.h"

#include <QCoreApplication>
#include <QPropertyAnimation>
#include <QQmlEngine>
#include <algorithm>

namespace notchora {

namespace {

NotchGeometry initialGeometry() {
    if (auto screen = NotchGeometry::targetScreen())
        return NotchGeometry(*screen, Screens::statusBarThickness);
    const auto screens = Screens::shared().screens();
    if (!screens.isEmpty())
        return NotchGeometry(screens.first(), Screens::statusBarThickness);
    ScreenInfo fallback;
    fallback.frame = fallback.visibleFrame = QRectF(0, 0, 1440, 900);
    return NotchGeometry(fallback, Screens::statusBarThickness);
}

} // namespace

NotchPanelController::NotchPanelController(WidgetStore& store, QQmlEngine& engine,
                                           Services services, QObject* parent)
    : QObject(parent), m_store(store), m_services(services) {
    m_viewModel = std::make_unique<NotchViewModel>(initialGeometry(), m_store);

    // Our QML modules keep their qmldir files under qrc:/<URI path>.
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_panel = std::make_unique<NotchPanel>(&engine, m_services.windows);
    placePanel();
    m_services.windows.preparePanel(m_panel.get());
    m_panel->setInitialProperties({{"viewModel", QVariant::fromValue(m_viewModel.get())},
                                   {"store", QVariant::fromValue(&m_store)}});
    m_panel->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Notchora/Notch/NotchRootView.qml")));
    for (const QQmlError& error : m_panel->errors())
        qCWarning(lcNotch) << "cannot load the notch view:" << error.toString();
    m_panel->watchPopups();
    connect(m_viewModel.get(), &NotchViewModel::layoutChanged, this,
            &NotchPanelController::updateShape);
    connect(m_viewModel.get(), &NotchViewModel::isExpandedChanged, this,
            &NotchPanelController::updateShape);
    connect(&engine, &QQmlEngine::quit, QCoreApplication::instance(), &QCoreApplication::quit,
            Qt::QueuedConnection);

    QPointer<NotchPanelController> self(this);
    HoverMonitor::Callbacks callbacks;
    callbacks.hotZone = [self] { return self ? self->hotZone() : QRectF(); };
    callbacks.onChange = [self](bool inside) {
        if (self)
            self->setExpanded(inside);
    };
    callbacks.onMove = [self](QPointF pointer) {
        if (self)
            CursorTracker::shared().setLocation(
                CursorTracker::relativeLocation(pointer, self->m_viewModel->geometry()));
    };
    m_hoverMonitor = std::make_unique<HoverMonitor>(m_services.clock, m_services.pointer,
                                                    std::move(callbacks), openDelay, collapseDelay);

    m_viewModel->setOnKeepExpandedReleased([self] {
        if (self && !self->hotZone().contains(self->m_services.pointer.position()))
            self->setExpanded(false);
    });

    applyCaptureRule();
    applyDesktopRule();
    updateShape();
    connect(&Screens::shared(), &Screens::changed, this, &NotchPanelController::repositionPanel);
    connect(&m_store.defaults(), &Defaults::changed, this, [this] {
        applyCaptureRule();
        applyDesktopRule();
    });
    connect(&CaptureVisibility::shared(), &CaptureVisibility::didChange, this, [this] {
        applyCaptureRule();
        applyDesktopRule();
    });
    connect(&m_services.windows, &WindowSystem::currentDesktopChanged, this,
            &NotchPanelController::handleDesktopSwitch);
    connect(&m_store, &WidgetStore::moveWithSpacesChanged, this,
            &NotchPanelController::applyDesktopRule);
}

NotchPanelController::~NotchPanelController() {
    // The monitor reports nothing on destruction; the panel goes with us.
    m_hoverMonitor.reset();
}

bool NotchPanelController::isPanelVisible() const {
    return m_panel->isVisible() || m_hiddenForCapture;
}

void NotchPanelController::placePanel() {
    const QRectF frame = Screens::shared().toQt(m_viewModel->geometry().panelFrame());
    m_panel->setGeometry(frame.toAlignedRect());
}

void NotchPanelController::orderFront() {
    if (m_hiddenForCapture)
        return;
    m_services.windows.orderFront(m_panel.get());
    m_panel->applyShape();
}

void NotchPanelController::toggle() {
    if (!isPanelVisible()) {
        m_isShown = true;
        repositionPanel();
        // During our own capture the panel appears once the capture is done, so that it
        // is not in the picture.
        m_hiddenForCapture = CaptureVisibility::shared().isAICaptureInProgress();
        orderFront();
        m_hoverMonitor->start();
    } else {
        m_isShown = false;
        m_hoverMonitor->stop();
        setExpanded(false);
        m_hiddenForCapture = false;
        m_panel->setVisible(false);
    }
}

void NotchPanelController::repositionPanel() {
    const auto screen = NotchGeometry::targetScreen();
    if (!screen)
        return;
    m_viewModel->setGeometry(NotchGeometry(*screen, Screens::statusBarThickness));
    placePanel();
}

void NotchPanelController::setExpanded(bool expanded) {
    if (!expanded && m_viewModel->keepsExpanded())
        return;
    if (expanded == m_viewModel->isExpanded())
        return;
    m_panel->setAllowsKeyFocus(expanded);
    m_viewModel->setIsExpanded(expanded);
}

QRectF NotchPanelController::hotZone() const {
    return hotZone(m_viewModel->geometry(), m_viewModel->isExpanded(), m_store.lipHeight(),
                   m_store.widgetScale(), m_store.hoverSensitivity());
}

QRectF NotchPanelController::hotZone(const NotchGeometry& geometry, bool expanded, double lipHeight,
                                     double widgetScale, double hoverSensitivity) {
    const QRectF& notch = geometry.notchRect;
    double width = notch.width();
    double height = notch.height() + lipHeight;
    if (expanded) {
        width = std::max(TrayLayout::contentWidth, width) * widgetScale;
        height = (notch.height() + TrayLayout::contentHeight) * widgetScale;
    }
    const double midX = notch.x() + notch.width() / 2;
    const double top = geometry.screenFrame.y() + geometry.screenFrame.height();
    const double margin = hoverSensitivity * 36 + 4;
    QRectF zone(midX - width / 2, top - height, width, height);
    zone.adjust(-margin, -margin, margin, margin);
    // Two more points above the top edge (y grows upwards).
    zone.setHeight(zone.height() + 2);
    return zone;
}

void NotchPanelController::applyCaptureRule() {
    // X11 cannot keep a window out of other programs' captures; during our own captures
    // the panel steps aside instead.
    const bool hide = CaptureVisibility::shared().isAICaptureInProgress();
    if (hide == m_hiddenForCapture)
        return;
    if (hide) {
        if (!m_panel->isVisible())
            return;
        m_hiddenForCapture = true;
        m_panel->setVisible(false);
    } else {
        m_hiddenForCapture = false;
        if (m_isShown)
            orderFront();
    }
}

void NotchPanelController::applyDesktopRule() {
    const bool all = !m_store.moveWithSpaces();
    if (m_onAllDesktops == all)
        return;
    m_onAllDesktops = all;
    m_services.windows.setOnAllDesktops(m_panel.get(), all);
}

void NotchPanelController::handleDesktopSwitch() {
    if (!m_isShown || !m_store.moveWithSpaces())
        return;
    if (m_spaceFadeTask) {
        m_spaceFadeTask->cancel();
        m_spaceFadeTask->deleteLater();
    }
    if (m_fade)
        m_fade->stop();
    m_panel->setAlpha(0);
    orderFront();
    m_spaceFadeTask = m_services.clock.schedule(spaceFadeDelay, this, [this] {
        if (m_spaceFadeTask)
            m_spaceFadeTask->deleteLater();
        m_spaceFadeTask = nullptr;
        if (!m_fade) {
            m_fade = new QPropertyAnimation(m_panel.get(), "alpha", this);
            m_fade->setDuration(int(spaceFadeDuration * 1000));
            m_fade->setEndValue(1.0);
        }
        m_fade->setStartValue(m_panel->alpha());
        m_fade->start();
    });
}

bool NotchPanelController::isFadingIn() const {
    return m_fade && m_fade->state() == QAbstractAnimation::Running;
}

void NotchPanelController::updateShape() {
    const TrayLayout& layout = m_viewModel->layout();
    m_panel->setShape(
        {layout.trayRect(), layout.trayRadius(), layout.slotRect(), m_viewModel->isExpanded()});
}

} // namespace notchora
