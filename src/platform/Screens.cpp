#include "platform/Screens.h"

#include <QGuiApplication>
#include <QScreen>

namespace notchora {

Screens::Screens() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        scheduleChanged();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &Screens::scheduleChanged);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &Screens::scheduleChanged);
}

Screens& Screens::shared() {
    static Screens instance;
    return instance;
}

void Screens::watch(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &Screens::scheduleChanged);
    connect(screen, &QScreen::availableGeometryChanged, this, &Screens::scheduleChanged);
}

void Screens::scheduleChanged() {
    if (m_pending)
        return;
    m_pending = true;
    // Let Qt finish updating every screen of the burst before anyone measures.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pending = false;
            emit changed();
        },
        Qt::QueuedConnection);
}

QRect Screens::primaryGeometry() const {
    QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry() : QRect();
}

QList<ScreenInfo> Screens::screens() const {
    const QRect primary = primaryGeometry();
    QList<ScreenInfo> list;
    for (QScreen* screen : QGuiApplication::screens())
        list << ScreenInfo::fromQt(screen->name(), screen->geometry(), screen->availableGeometry(),
                                   primary);
    return list;
}

std::optional<ScreenInfo> Screens::mainScreen() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return ScreenInfo::fromQt(screen->name(), screen->geometry(), screen->availableGeometry(),
                              screen->geometry());
}

QRectF Screens::toQt(const QRectF& rect) const {
    return GlobalCoordinates::toQt(rect, primaryGeometry());
}

QPointF Screens::fromQt(const QPointF& point) const {
    return GlobalCoordinates::fromQt(point, primaryGeometry());
}

} // namespace notchora
