#pragma once

#include "core/WidgetStore.h"
#include "notch/NotchGeometry.h"

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
    Q_PROPERTY(NotchGeometry geometry READ geometry NOTIFY geometryChanged FINAL)
    Q_PROPERTY(bool isExpanded READ isExpanded NOTIFY isExpandedChanged FINAL)
    Q_PROPERTY(bool isHit READ isHit WRITE setIsHit NOTIFY isHitChanged FINAL)
    Q_PROPERTY(bool keepsExpanded READ keepsExpanded WRITE setKeepsExpanded NOTIFY
                   keepsExpandedChanged FINAL)
    Q_PROPERTY(WidgetStore* store READ store CONSTANT FINAL)
    Q_PROPERTY(double slotWidth READ slotWidth CONSTANT FINAL)
    Q_PROPERTY(double slotInset READ slotInset CONSTANT FINAL)
    Q_PROPERTY(QSizeF expandedContentSize READ expandedContentSize CONSTANT FINAL)
    Q_PROPERTY(QSizeF collapsedSize READ collapsedSize NOTIFY collapsedSizeChanged FINAL)
    Q_PROPERTY(double notchWidth READ notchWidth NOTIFY geometryChanged FINAL)
    Q_PROPERTY(double notchHeight READ notchHeight NOTIFY geometryChanged FINAL)
public:
    NotchViewModel(const NotchGeometry& geometry, WidgetStore& store, QObject* parent = nullptr);

    NotchGeometry geometry() const { return m_geometry; }
    void setGeometry(const NotchGeometry& geometry);
    bool isExpanded() const { return m_isExpanded; }
    // Written by the panel controller only.
    void setIsExpanded(bool expanded);
    bool isHit() const { return m_isHit; }
    void setIsHit(bool hit);
    bool keepsExpanded() const { return m_keepsExpanded; }
    // Writing false, changed or not, lets the controller collapse a panel the pointer left.
    void setKeepsExpanded(bool keeps);

    WidgetStore* store() const { return &m_store; }
    double slotWidth() const { return 64; }
    double slotInset() const { return 8; }
    QSizeF expandedContentSize() const {
        return {NotchGeometry::expandedContentWidth, NotchGeometry::expandedContentHeight};
    }
    // The notch plus the user's lip below it.
    QSizeF collapsedSize() const;
    double notchWidth() const { return m_geometry.notchRect.width(); }
    double notchHeight() const { return m_geometry.notchRect.height(); }

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
    void isHitChanged();
    void keepsExpandedChanged();
    void collapsedSizeChanged();

private:
    NotchGeometry m_geometry;
    WidgetStore& m_store;
    bool m_isExpanded = false;
    bool m_isHit = false;
    bool m_keepsExpanded = false;
    std::function<void()> m_onKeepExpandedReleased;
    std::function<void()> m_openSettings;
};

} // namespace notchora
