#pragma once

#include "core/WidgetEnvironment.h"
#include "core/WidgetStore.h"
#include "notch/NotchGeometry.h"
#include "notch/TrayLayout.h"

#include <QObject>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace notchora {

// The notch panel's observable state, shared by the controller, the root view and the
// module pages. Every write notifies only when the value really changes.
class NotchViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The view model belongs to the notch panel controller")
    Q_PROPERTY(notchora::NotchGeometry geometry READ geometry NOTIFY geometryChanged FINAL)
    Q_PROPERTY(bool isExpanded READ isExpanded NOTIFY isExpandedChanged FINAL)
    Q_PROPERTY(bool isFlinching READ isFlinching WRITE setFlinching NOTIFY isFlinchingChanged FINAL)
    Q_PROPERTY(bool keepsExpanded READ keepsExpanded WRITE setKeepsExpanded NOTIFY
                   keepsExpandedChanged FINAL)
    Q_PROPERTY(notchora::WidgetStore* store READ store CONSTANT FINAL)
    Q_PROPERTY(QSizeF collapsedSize READ collapsedSize NOTIFY collapsedSizeChanged FINAL)
    // Where the root view's open and hit springs are; the layout follows them.
    Q_PROPERTY(double openness READ openness WRITE setOpenness NOTIFY layoutChanged FINAL)
    Q_PROPERTY(double hitBump READ hitBump WRITE setHitBump NOTIFY layoutChanged FINAL)
    Q_PROPERTY(notchora::TrayLayout layout READ layout NOTIFY layoutChanged FINAL)
    // What the collapsed slot's view and the tray's pages receive.
    Q_PROPERTY(notchora::WidgetEnvironment collapsedEnvironment READ collapsedEnvironment NOTIFY
                   environmentChanged FINAL)
    Q_PROPERTY(notchora::WidgetEnvironment expandedEnvironment READ expandedEnvironment NOTIFY
                   environmentChanged FINAL)
public:
    NotchViewModel(const NotchGeometry& geometry, WidgetStore& store, QObject* parent = nullptr);

    NotchGeometry geometry() const { return m_geometry; }
    void setGeometry(const NotchGeometry& geometry);
    bool isExpanded() const { return m_isExpanded; }
    // Written by the panel controller only.
    void setIsExpanded(bool expanded);
    // True while a strike on the notch makes it flinch (set by the character stage).
    bool isFlinching() const { return m_isFlinching; }
    void setFlinching(bool flinching);
    bool keepsExpanded() const { return m_keepsExpanded; }
    // Writing false, changed or not, lets the controller collapse a panel the pointer left.
    void setKeepsExpanded(bool keeps);

    WidgetStore* store() const { return &m_store; }
    // The notch plus the user's lip below it.
    QSizeF collapsedSize() const;

    double openness() const { return m_layout.inputs().openness; }
    void setOpenness(double openness);
    double hitBump() const { return m_layout.inputs().bump; }
    void setHitBump(double bump);
    const TrayLayout& layout() const { return m_layout; }

    WidgetEnvironment collapsedEnvironment() const { return m_collapsedEnvironment; }
    WidgetEnvironment expandedEnvironment() const;

    void setOnKeepExpandedReleased(std::function<void()> callback) {
        m_onKeepExpandedReleased = std::move(callback);
    }
    void setOpenSettings(std::function<void()> callback) { m_openSettings = std::move(callback); }
    // The gear button's action.
    Q_INVOKABLE void openSettings() const {
        if (m_openSettings)
            m_openSettings();
    }

signals:
    void geometryChanged();
    void isExpandedChanged();
    void isFlinchingChanged();
    void keepsExpandedChanged();
    void collapsedSizeChanged();
    void layoutChanged();
    void environmentChanged();

private:
    void updateLayout(TrayLayout::Inputs inputs);
    void updateLayout();
    void updateEnvironment();

    NotchGeometry m_geometry;
    WidgetStore& m_store;
    TrayLayout m_layout;
    WidgetEnvironment m_collapsedEnvironment;
    bool m_isExpanded = false;
    bool m_isFlinching = false;
    bool m_keepsExpanded = false;
    std::function<void()> m_onKeepExpandedReleased;
    std::function<void()> m_openSettings;
};

} // namespace notchora
