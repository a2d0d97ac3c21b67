#pragma once

#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// Every size of the notch tray and the collapsed module's slot, for one moment of the open
// and hit animations. The root view draws from it and the panel window takes its shape from
// it, so both always agree. Window coordinates: origin at the panel's top left, y down.
struct TrayLayout {
    Q_GADGET
    QML_VALUE_TYPE(trayLayout)
    Q_PROPERTY(double notchWidth READ notchWidth FINAL)
    Q_PROPERTY(double notchHeight READ notchHeight FINAL)
    Q_PROPERTY(double collapsedWidth READ collapsedWidth FINAL)
    Q_PROPERTY(double collapsedHeight READ collapsedHeight FINAL)
    Q_PROPERTY(double expandedWidth READ expandedWidth FINAL)
    Q_PROPERTY(double expandedHeight READ expandedHeight FINAL)
    Q_PROPERTY(double trayWidth READ trayWidth FINAL)
    Q_PROPERTY(double trayHeight READ trayHeight FINAL)
    Q_PROPERTY(double cornerRadius READ cornerRadius FINAL)
    Q_PROPERTY(double viewScale READ viewScale FINAL)
    Q_PROPERTY(QRectF trayRect READ trayRect FINAL)
    Q_PROPERTY(double trayRadius READ trayRadius FINAL)
    Q_PROPERTY(QRectF slotItemRect READ slotItemRect FINAL)
    Q_PROPERTY(QRectF slotRect READ slotRect FINAL)
public:
    // The open tray's content below the notch.
    static constexpr double contentWidth = 460;
    static constexpr double contentHeight = 148;
    static constexpr double collapsedRadius = 10;
    static constexpr double expandedRadius = 26;
    // The collapsed module's slot: its right edge `slotInset` inside the notch's right end,
    // hanging `slotOverhang` below the collapsed tray.
    static constexpr double slotWidth = 64;
    static constexpr double slotInset = 8;
    static constexpr double slotOverhang = 50;
    // How far a collapsed view may reach towards the notch's outer edge.
    static constexpr double slotToNotchEdge = 40;

    struct Inputs {
        QSizeF notch{190, 32};
        double lipHeight = 0;
        double widgetScale = 1;
        // 0 collapsed, 1 open; springs may overshoot either end.
        double openness = 0;
        // The hit bump: 1 at rest.
        double bump = 1;
        double windowWidth = 720;
        bool hasSlot = false;

        bool operator==(const Inputs&) const = default;
    };

    TrayLayout() = default;
    explicit TrayLayout(const Inputs& inputs) : m_in(inputs) {}

    const Inputs& inputs() const { return m_in; }

    double notchWidth() const { return m_in.notch.width(); }
    double notchHeight() const { return m_in.notch.height(); }
    double collapsedWidth() const { return m_in.notch.width(); }
    double collapsedHeight() const { return m_in.notch.height() + m_in.lipHeight; }
    double expandedWidth() const;
    double expandedHeight() const { return m_in.notch.height() + contentHeight; }
    double trayWidth() const;
    double trayHeight() const;
    double cornerRadius() const;
    // The scale of everything the panel draws about its top centre.
    double viewScale() const;

    // The tray as it appears, scaled.
    QRectF trayRect() const;
    double trayRadius() const { return cornerRadius() * viewScale(); }
    // The slot item before the view's scale.
    QRectF slotItemRect() const;
    // The slot as it appears, scaled; empty without a collapsed module.
    QRectF slotRect() const;

    bool operator==(const TrayLayout& other) const { return m_in == other.m_in; }

private:
    QRectF scaled(const QRectF& rect) const;

    Inputs m_in;
};

} // namespace notchora
