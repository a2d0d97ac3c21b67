#pragma once

#include "notch/NotchGeometry.h"
#include "platform/Clock.h"

#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

class QPropertyAnimation;
class QQmlEngine;

namespace notchora {

class HoverMonitor;
class NotchPanel;
class NotchViewModel;
class PointerSource;
class WidgetStore;
class WindowSystem;

// Owns the notch panel and decides where it is, whether it takes the pointer and whether
// it is expanded. Follows screen changes, settings, our own captures and desktop switches.
class NotchPanelController : public QObject {
    Q_OBJECT
public:
    static constexpr double openDelay = 0.07;
    static constexpr double collapseDelay = 0.4;
    static constexpr double spaceFadeDelay = 0.45;
    static constexpr double spaceFadeDuration = 0.35;

    struct Services {
        Clock& clock;
        PointerSource& pointer;
        WindowSystem& windows;
    };

    NotchPanelController(WidgetStore& store, QQmlEngine& engine, Services services,
                         QObject* parent = nullptr);
    ~NotchPanelController() override;

    NotchViewModel& viewModel() const { return *m_viewModel; }
    NotchPanel& panel() const { return *m_panel; }
    HoverMonitor& hoverMonitor() const { return *m_hoverMonitor; }
    bool isShown() const { return m_isShown; }
    void setShown(bool shown) { m_isShown = shown; }
    // What the status menu reads: is the widget on screen (a capture hiding it a moment
    // still counts as shown)?
    bool isPanelVisible() const;

    // Shows the widget on screen (from the start-up sequence).
    void orderFront();
    // Shows or hides the widget ("Tampilkan Widget" / "Sembunyikan Widget").
    void toggle();
    // Re-measures the screen and moves the panel over the notch.
    void repositionPanel();
    // The only writer of the view model's isExpanded; refuses to collapse while a page
    // holds the panel open.
    void setExpanded(bool expanded);
    QRectF hotZone() const;

    // The hover zone: the collapsed notch or the scaled expanded tray, centred on the notch
    // and hanging from the screen top, grown by sensitivity x 36 + 4 on every side and made
    // 2 points taller above the top edge.
    static QRectF hotZone(const NotchGeometry& geometry, bool expanded, double lipHeight,
                          double widgetScale, double hoverSensitivity);

    bool isOnAllDesktops() const { return m_onAllDesktops.value_or(true); }
    bool isFadingIn() const;

private:
    void updateShape();
    void applyCaptureRule();
    void applyDesktopRule();
    void handleDesktopSwitch();
    void placePanel();

    WidgetStore& m_store;
    Services m_services;
    std::unique_ptr<NotchViewModel> m_viewModel;
    std::unique_ptr<NotchPanel> m_panel;
    std::unique_ptr<HoverMonitor> m_hoverMonitor;
    QPointer<ClockTimer> m_spaceFadeTask;
    QPointer<QPropertyAnimation> m_fade;
    std::optional<bool> m_onAllDesktops;
    bool m_isShown = false;
    bool m_hiddenForCapture = false;
};

} // namespace notchora
