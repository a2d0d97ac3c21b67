#pragma once

#include <QQuickView>

namespace notchora {

class WindowSystem;

// The borderless, transparent window over the notch. It takes the keyboard only while
// `allowsKeyFocus` is on, and then only when clicked, without raising or activating the
// program.
class NotchPanel : public QQuickView {
    Q_OBJECT
    Q_PROPERTY(double alpha READ alpha WRITE setAlpha NOTIFY alphaChanged FINAL)
public:
    NotchPanel(QQmlEngine* engine, WindowSystem& windows);

    bool allowsKeyFocus() const { return m_allowsKeyFocus; }
    void setAllowsKeyFocus(bool allows) { m_allowsKeyFocus = allows; }

    // Opacity of everything the panel draws (desktop-switch fades).
    double alpha() const;
    void setAlpha(double alpha);

signals:
    void alphaChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    WindowSystem& m_windows;
    bool m_allowsKeyFocus = false;
};

} // namespace notchora
