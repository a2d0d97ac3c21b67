#include "platform/Platform.h"

#include "platform/Clock.h"
#include "platform/GlobalShortcuts.h"
#include "platform/HeadlessPointerSource.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/X11GlobalShortcuts.h"
#include "platform/X11PointerSource.h"
#include "platform/X11WindowSystem.h"

#include <QGuiApplication>

namespace notchora {

namespace {

Display* x11Display() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

} // namespace

Platform::Platform() {
    const QByteArray forced = qgetenv("NOTCHORA_PLATFORM").toLower();
    Display* display = forced == "headless" ? nullptr : x11Display();
    if (display) {
        m_kind = Kind::X11;
        m_pointer = std::make_unique<X11PointerSource>(display, Clock::system());
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        m_windows = std::make_unique<X11WindowSystem>(display, x11->connection());
        m_shortcuts = std::make_unique<X11GlobalShortcuts>(display, x11->connection());
    } else {
        m_kind = Kind::Headless;
        m_pointer = std::make_unique<HeadlessPointerSource>();
        m_windows = std::make_unique<HeadlessWindowSystem>();
        m_shortcuts = std::make_unique<HeadlessGlobalShortcuts>();
    }
}

Platform::~Platform() = default;

Platform& Platform::shared() {
    static Platform platform;
    return platform;
}

} // namespace notchora
