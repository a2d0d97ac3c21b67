#pragma once

#include "app/SettingsViewModel.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QQmlEngine;
class QQuickWindow;

namespace notchora {

// The settings window: made on the first show(), hidden (never destroyed) when the user
// closes it, and brought back, raised and focused by every later show().
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr auto windowTitle = "Pengaturan Notchora";
    static constexpr int windowWidth = 480;
    static constexpr int windowHeight = 800;

    SettingsWindowController(SettingsViewModel::Services services, QQmlEngine& engine,
                             QObject* parent = nullptr);
    ~SettingsWindowController() override;

    // The program's own sources: the shared instances, this store and login item.
    static SettingsViewModel::Services sharedServices(WidgetStore& store, LoginItem& loginItem);

    void show();

    // Absent until the first show().
    QQuickWindow* window() const { return m_window.get(); }
    SettingsViewModel* viewModel() const { return m_viewModel.get(); }

private:
    bool create();

    SettingsViewModel::Services m_services;
    QQmlEngine& m_engine;
    // The view model outlives the window that binds to it.
    std::unique_ptr<SettingsViewModel> m_viewModel;
    std::unique_ptr<QQuickWindow> m_window;
};

} // namespace notchora
