#include "app/StatusBarController.h"

#include "core/WidgetStore.h"
#include "notch/NotchPanelController.h"
#include "platform/SymbolIcons.h"
#include "screenshot/ScreenshotShortcuts.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace notchora {

namespace {

// A symbol drawn from the icon font. The tray glyph gets a dark rim so it reads on light
// and dark panels alike.
QIcon symbolIcon(const QString& symbol, bool rimmed) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont font(SymbolIcons::fontFamily());
        font.setPixelSize(int(size * (rimmed ? 0.86 : 0.92)));
        painter.setFont(font);
        const QString glyph = SymbolIcons::ligature(symbol);
        const QRect box(0, 0, size, size);
        if (rimmed) {
            painter.setPen(QColor(0, 0, 0, 150));
            const int d = std::max(1, size / 24);
            for (const QPoint offset : {QPoint(-d, 0), QPoint(d, 0), QPoint(0, -d), QPoint(0, d)})
                painter.drawText(box.translated(offset), Qt::AlignCenter, glyph);
            painter.setPen(Qt::white);
        } else {
            painter.setPen(QApplication::palette().color(QPalette::WindowText));
        }
        painter.drawText(box, Qt::AlignCenter, glyph);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

StatusBarController::StatusBarController(WidgetStore& store, NotchPanelController& panelController,
                                         Actions actions, QObject* parent)
    : QObject(parent), m_store(store), m_panelController(panelController),
      m_actions(std::move(actions)), m_menu(std::make_unique<QMenu>()),
      m_statusItem(std::make_unique<QSystemTrayIcon>()) {
    m_statusItem->setIcon(symbolIcon(QStringLiteral("sparkles"), true));
    m_statusItem->setToolTip(QStringLiteral("Notchora"));
    connect(m_menu.get(), &QMenu::aboutToShow, this, &StatusBarController::rebuildMenu);
    rebuildMenu();
    m_statusItem->setContextMenu(m_menu.get());
    // Some trays only report a left click ("activated") and show no menu of their own.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && !m_menu->isVisible())
                    m_menu->popup(QCursor::pos());
            });
    // Without a tray host nothing shows; the icon appears if one starts later.
    m_statusItem->show();
}

StatusBarController::~StatusBarController() {
    m_statusItem->hide();
}

void StatusBarController::rebuildMenu() {
    if (m_moduleMenu)
        delete m_moduleMenu.data();
    m_menu->clear();

    m_menu->addAction(m_panelController.isPanelVisible() ? QStringLiteral("Sembunyikan Widget")
                                                         : QStringLiteral("Tampilkan Widget"),
                      this, &StatusBarController::toggleWidget);

    m_moduleMenu = new QMenu(QStringLiteral("Pilih Modul"), m_menu.get());
    // One module is active at a time: a radio group, where choosing the checked one again
    // keeps it checked.
    auto* choices = new QActionGroup(m_moduleMenu);
    choices->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    const auto active = m_store.activeModule();
    for (const auto& module : m_store.enabledModules()) {
        QAction* item =
            m_moduleMenu->addAction(symbolIcon(module.iconSystemName(), false), module.name());
        item->setData(module.id());
        item->setToolTip(module.name());
        item->setCheckable(true);
        item->setActionGroup(choices);
        item->setChecked(active && active->id() == module.id());
        connect(item, &QAction::triggered, this, [this, item] { selectModule(item); });
    }
    m_menu->addMenu(m_moduleMenu);

    // The global keys, when they are ours, are named in the titles.
    const auto hinted = [](const QString& title, const QString& hint) {
        return hint.isEmpty() ? title : title + QStringLiteral(" (") + hint + QLatin1Char(')');
    };
    const ScreenshotShortcuts& keys = ScreenshotShortcuts::shared();
    m_menu->addAction(hinted(QStringLiteral("Screenshot"), keys.panelHint()), this,
                      &StatusBarController::openScreenshotPanel);
    m_menu->addAction(hinted(QStringLiteral("Screenshot Area"), keys.areaHint()), this,
                      &StatusBarController::captureArea);
    m_menu->addSeparator();
    QAction* settings =
        m_menu->addAction(QStringLiteral("Pengaturan…"), this, &StatusBarController::showSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_menu->addSeparator();
    QAction* quitItem =
        m_menu->addAction(QStringLiteral("Quit Notchora"), this, &StatusBarController::quit);
    quitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void StatusBarController::toggleWidget() {
    m_panelController.toggle();
}

void StatusBarController::selectModule(QAction* item) {
    if (!item)
        return;
    const QVariant id = item->data();
    if (id.typeId() == QMetaType::QString)
        m_store.select(id.toString());
}

void StatusBarController::openScreenshotPanel() {
    if (m_actions.openScreenshotPanel)
        m_actions.openScreenshotPanel();
}

void StatusBarController::captureArea() {
    if (m_actions.captureArea)
        m_actions.captureArea();
}

void StatusBarController::showSettings() {
    if (m_actions.openSettings)
        m_actions.openSettings();
}

void StatusBarController::quit() {
    QCoreApplication::quit();
}

} // namespace notchora
