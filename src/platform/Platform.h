#pragma once

#include <QString>
#include <memory>

namespace notchora {

class GlobalShortcuts;
class PointerSource;
class WindowSystem;

// The desktop services of this run, chosen once: X11 when Qt runs on an X server, the
// headless set otherwise. NOTCHORA_PLATFORM=headless (or x11) forces the choice.
class Platform {
public:
    enum class Kind { X11, Headless };

    static Platform& shared();

    Kind kind() const { return m_kind; }
    PointerSource& pointer() { return *m_pointer; }
    WindowSystem& windows() { return *m_windows; }
    GlobalShortcuts& shortcuts() { return *m_shortcuts; }

    ~Platform();

private:
    Platform();
    Kind m_kind = Kind::Headless;
    std::unique_ptr<PointerSource> m_pointer;
    std::unique_ptr<WindowSystem> m_windows;
    std::unique_ptr<GlobalShortcuts> m_shortcuts;
};

} // namespace notchora
