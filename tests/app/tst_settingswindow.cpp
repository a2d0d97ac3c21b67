#include "AnswerStack.h"
#include "ManualClock.h"
#include "QuickTextures.h"
#include "TestHttpServer.h"
#include "answer/ChatHistoryStore.h"
#include "app/LoginItem.h"
#include "app/SettingsWindowController.h"
#include "characters/CharacterDirector.h"
#include "core/ModuleRegistry.h"
#include "core/UpdateChecker.h"
#include "core/WidgetStore.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QtQuickTest/quicktest.h>
#include <httplib.h>
#include <mutex>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_CharactersPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AppPlugin)

using namespace notchora;

// The settings window over a temporary profile, every source its own instance, driven
// through its real controls.
class SettingsWindowTest : public QObject {
    Q_OBJECT
    QQuickWindow* window() const { return m_controller->window(); }
    // Items by objectName, through the visual tree (delegates included).
    static void collect(QQuickItem* from, const QString& name, QList<QQuickItem*>& into) {
        if (from->objectName() == name)
            into << from;
        for (QQuickItem* child : from->childItems())
            collect(child, name, into);
    }
    static QQuickItem* find(QQuickItem* from, const QString& name) {
        QList<QQuickItem*> found;
        collect(from, name, found);
        return found.value(0);
    }
    QQuickItem* item(const QString& name) const {
        QQuickItem* found = find(window()->contentItem(), name);
        if (!found)
            qWarning() << "no item" << name;
        return found;
    }
    QQuickItem* switchOf(const QString& row) const {
        QQuickItem* found = item(row);
        return found ? found->property("toggle").value<QQuickItem*>() : nullptr;
    }
    void click(QQuickItem* target, QPointF at = QPointF(-1, -1)) {
        if (at.x() < 0)
            at = QPointF(target->width() / 2, target->height() / 2);
        QTest::mouseClick(window(), Qt::LeftButton, {}, target->mapToScene(at).toPoint());
    }
    // Another process editing the settings file, as `notchora defaults write` does.
    void writeOutside(const QString& key, const QJsonValue& value) {
        Defaults other(m_stack->defaults.filePath());
        QVERIFY(other.setValue(key, value));
    }
    QString entryPath() const { return m_stack->env.configHome() + "/autostart/notchora.desktop"; }
    void showTall() {
        m_controller->show();
        QVERIFY(window());
        // Tall enough that every section is on screen without scrolling.
        window()->resize(480, 3000);
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        QVERIFY(QQuickTest::qWaitForPolish(window()));
    }
    void makeController() {
        // The old window goes before the sign-in it shows is made anew.
        m_controller.reset();
        m_controller = std::make_unique<SettingsWindowController>(
            SettingsViewModel::Services{m_stack->defaults, *m_store, *m_director,
                                        m_stack->makeAuth(), *m_history, *m_updates, *m_loginItem},
            *m_engine);
    }
    std::unique_ptr<test::AnswerStack> m_stack;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<CharacterDirector> m_director;
    std::unique_ptr<ChatHistoryStore> m_history;
    std::unique_ptr<test::TestHttpServer> m_server;
    std::unique_ptr<UpdateChecker> m_updates;
    std::unique_ptr<LoginItem> m_loginItem;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<SettingsWindowController> m_controller;
    QNetworkAccessManager m_network;
    ManualClock m_clock;
    std::mutex m_mutex;
    int m_status = 200;
    std::string m_body;

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    void cleanupTestCase() { QVERIFY(test::releaseQuickTextures()); }

    void init() {
        m_stack = std::make_unique<test::AnswerStack>();
        Defaults& defaults = m_stack->defaults;
        m_store = std::make_unique<WidgetStore>(ModuleRegistry::shared(), defaults);
        m_director = std::make_unique<CharacterDirector>(defaults, m_clock);
        m_history = std::make_unique<ChatHistoryStore>(m_stack->env.dataHome() + "/history.json",
                                                       defaults, m_clock);
        m_server = std::make_unique<test::TestHttpServer>();
        m_server->server().Get(R"(/.*)",
                               [this](const httplib::Request&, httplib::Response& response) {
                                   std::lock_guard lock(m_mutex);
                                   response.status = m_status;
                                   response.set_content(m_body, "application/json");
                               });
        QVERIFY(m_server->start());
        m_updates = std::make_unique<UpdateChecker>(defaults, m_clock, m_network, m_server->url(),
                                                    QStringLiteral("1.2.0"));
        m_loginItem =
            std::make_unique<LoginItem>(entryPath(), QStringLiteral("/opt/Notchora/notchora"));
        m_engine = std::make_unique<QQmlEngine>();
        makeController();
        showTall();
    }
    void cleanup() {
        m_controller.reset();
        m_engine.reset();
        m_updates.reset();
        m_server.reset();
        m_history.reset();
        m_director.reset();
        m_store.reset();
        m_stack.reset();
    }
    void showMakesOneWindow() {
        QQuickWindow* first = window();
        const qsizetype windows = QGuiApplication::topLevelWindows().size();
        m_controller->show();
        QCOMPARE(window(), first);
        QCOMPARE(QGuiApplication::topLevelWindows().size(), windows);
        QCOMPARE(first->title(), QStringLiteral("Pengaturan Notchora"));
        first->close();
        QVERIFY(!first->isVisible());
        m_controller->show();
        QCOMPARE(window(), first);
        QVERIFY(first->isVisible());
        // A fresh controller makes its window at the size of the form.
        makeController();
        m_controller->show();
        QCOMPARE(window()->size(), QSize(480, 800));
    }
    void sectionsInOrder() {
        QList<QQuickItem*> titles;
        collect(window()->contentItem(), "sectionTitle", titles);
        std::sort(titles.begin(), titles.end(), [](QQuickItem* a, QQuickItem* b) {
            return a->mapToScene({}).y() < b->mapToScene({}).y();
        });
        QStringList texts;
        for (QQuickItem* title : titles)
            texts << title->property("text").toString();
        QCOMPARE(texts, (QStringList{"Modul", "Karakter", "Tampilan", "Screenshot",
                                     "Perekaman layar", "AI Assistant", "Umum", "Pembaruan"}));
    }
    void togglesWriteAndFollow_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("shownAtFirst");
        QTest::addColumn<bool>("storedAfterClick");
        // "showInCapture" shows the negation of the stored value.
        const std::tuple<const char*, const char*, bool, bool> rows[] = {
            {"redframe", "shot.redframe", false, true},
            {"globalShortcuts", "shortcuts.global", true, false},
            {"showInCapture", "store.hideFromCapture", false, false},
            {"attachScreen", "ai.attachScreen", false, true},
            {"saveHistory", "ai.saveHistory", true, false},
            {"randomCharacter", "characters.random", false, true},
            {"moveWithSpaces", "store.moveWithSpaces", true, false},
            {"autoCheck", "update.autoCheck", true, false}};
        for (const auto& [row, key, shown, stored] : rows)
            QTest::newRow(row) << QString(row) << QString(key) << shown << stored;
    }
    void togglesWriteAndFollow() {
        QFETCH(QString, row);
        QFETCH(QString, key);
        QFETCH(bool, shownAtFirst);
        QFETCH(bool, storedAfterClick);
        QQuickItem* toggle = switchOf(row);
        QVERIFY(toggle);
        QCOMPARE(toggle->property("checked").toBool(), shownAtFirst);
        click(toggle);
        QCOMPARE(m_stack->defaults.value(key), QJsonValue(storedAfterClick));
        QCOMPARE(toggle->property("checked").toBool(), !shownAtFirst);
        // Put back from outside: the switch follows.
        writeOutside(key, !storedAfterClick);
        QTRY_COMPARE(toggle->property("checked").toBool(), shownAtFirst);
    }
    void slidersWriteOnRelease_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QString>("unit"); // set for whole numbers
        const std::tuple<const char*, const char*, double, double, const char*> rows[] = {
            {"animationSpeed", "store.animationSpeed", 0.5, 2.0, ""},
            {"widgetScale", "store.widgetScale", 0.8, 1.3, ""},
            {"lipHeight", "store.lipHeight", 0.0, 40.0, "pt"},
            {"hoverSensitivity", "store.hoverSensitivity", 0.0, 1.0, ""},
            {"boxThickness", "shot.boxThickness", 1.0, 14.0, "pt"}};
        for (const auto& [row, key, from, to, unit] : rows)
            QTest::newRow(row) << QString(row) << QString(key) << from << to << QString(unit);
    }
    void slidersWriteOnRelease() {
        QFETCH(QString, row);
        QFETCH(QString, key);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(QString, unit);
        QQuickItem* rowItem = item(row);
        QVERIFY(rowItem);
        auto* slider = rowItem->property("slider").value<QQuickItem*>();
        QVERIFY(slider);
        QCOMPARE(slider->property("from").toDouble(), from);
        QCOMPARE(slider->property("to").toDouble(), to);
        const double y = slider->height() / 2;
        const auto at = [&](double fraction) {
            const double left = slider->property("leftPadding").toDouble();
            const double width = slider->property("availableWidth").toDouble();
            return slider->mapToScene({left + fraction * width, y}).toPoint();
        };
        QSignalSpy writes(&m_stack->defaults, &Defaults::changed);
        QTest::mousePress(window(), Qt::LeftButton, {}, at(0.1));
        for (double fraction = 0.15; fraction <= 0.9; fraction += 0.05)
            QTest::mouseMove(window(), at(fraction));
        QCOMPARE(writes.size(), 0);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at(0.9));
        QCOMPARE(writes.size(), 1);
        QCOMPARE(writes.first().first().toString(), key);
        const double stored = m_stack->defaults.doubleValue(key, -1);
        QVERIFY2(stored > from + 0.6 * (to - from) && stored <= to,
                 qPrintable(QString::number(stored)));
        if (!unit.isEmpty())
            QCOMPARE(stored, std::round(stored));
        QQuickItem* valueLabel = find(rowItem, "valueLabel");
        QVERIFY(valueLabel);
        QCOMPARE(valueLabel->property("text").toString(),
                 unit.isEmpty() ? QString() : QString::number(int(stored)) + " " + unit);
        writeOutside(key, from);
        QTRY_COMPARE(slider->property("value").toDouble(), from);
    }
    void moduleSwitches() {
        for (const QString id : {"shortcuts", "assistant", "characters"})
            QVERIFY2(switchOf("module-" + id), qPrintable(id));
        click(switchOf("module-assistant"));
        QVERIFY(!m_store->isEnabled("assistant"));
        QVERIFY(!m_stack->defaults.stringListValue(WidgetStore::enabledModuleIDsKey)
                     ->contains("assistant"));
        // "Tampilkan karakter" is the same setting as the characters module's switch.
        click(switchOf("showCharacters"));
        QVERIFY(!m_store->isEnabled("characters"));
        QVERIFY(!switchOf("module-characters")->property("checked").toBool());
        // The last module stays on, and its switch shows it.
        click(switchOf("module-shortcuts"));
        QVERIFY(m_store->isEnabled("shortcuts"));
        QVERIFY(switchOf("module-shortcuts")->property("checked").toBool());
        writeOutside(WidgetStore::enabledModuleIDsKey, QJsonArray{"shortcuts", "assistant"});
        QTRY_VERIFY(switchOf("module-assistant")->property("checked").toBool());
    }
    void pickerTurnsRandomOffThenSwitches() {
        m_director->setRandom(true);
        QQuickItem* picker = item("characterPicker");
        QVERIFY(picker);
        const int cat = int(characters::allKinds().indexOf(CharacterKind::Cat));
        QVERIFY(QMetaObject::invokeMethod(picker, "activated", Q_ARG(int, cat)));
        QVERIFY(!m_director->isRandom());
        QCOMPARE(m_stack->defaults.value(CharacterDirector::randomKey), QJsonValue(false));
        QCOMPARE(m_director->current(), CharacterKind::Cat);
        QCOMPARE(picker->property("currentIndex").toInt(), cat);
        QVERIFY(!switchOf("randomCharacter")->property("checked").toBool());
        writeOutside(CharacterDirector::selectedKey, "ghost");
        QTRY_COMPARE(picker->property("currentIndex").toInt(),
                     int(characters::allKinds().indexOf(CharacterKind::Ghost)));
        QCOMPARE(picker->property("displayText").toString(),
                 characters::displayName(CharacterKind::Ghost));
    }
    void assistantFields() {
        QQuickItem* position = item("popupPosition");
        QVERIFY(position);
        QCOMPARE(position->property("currentIndex").toInt(), 0);
        QVERIFY(QMetaObject::invokeMethod(position, "activated", Q_ARG(int, 1)));
        QCOMPARE(m_stack->defaults.value("ai.popupPosition"), QJsonValue("left"));
        writeOutside("ai.popupPosition", "free");
        QTRY_COMPARE(position->property("currentIndex").toInt(), 2);
        QQuickItem* field = item("baseURL");
        QQuickItem* problem = item("baseURLProblem");
        QVERIFY(field && problem);
        QCOMPARE(field->property("placeholderText").toString(),
                 QStringLiteral("https://answer.notchora.app"));
        const auto enter = [&](const QString& text) {
            field->forceActiveFocus();
            field->setProperty("text", text);
            QTest::keyClick(window(), Qt::Key_Return);
        };
        enter("ftp://files.example");
        QCOMPARE(m_stack->defaults.value("ai.baseURL"), QJsonValue("ftp://files.example"));
        QVERIFY(problem->isVisible());
        enter(" https://answers.example ");
        QCOMPARE(m_stack->defaults.value("ai.baseURL"), QJsonValue("https://answers.example"));
        QVERIFY(!problem->isVisible());
        // Emptied: the production service, and nothing stored.
        enter("");
        QVERIFY(!m_stack->defaults.contains("ai.baseURL"));
        writeOutside("ai.baseURL", "http://10.0.0.2:8080");
        QTRY_COMPARE(field->property("text").toString(), QStringLiteral("http://10.0.0.2:8080"));
    }
    // The saving switch is a row of the toggles above; the store drops the file itself.
    void clearHistoryButton() {
        m_history->append(ChatMessage::make(ChatMessage::Role::User, "Apa ini?", m_clock.now()));
        click(item("clearHistory"));
        QVERIFY(m_history->threads().isEmpty());
    }
    void accountRowFollowsSignIn() {
        QQuickItem* account = item("account");
        QQuickItem* button = item("accountButton");
        QVERIFY(account && button);
        const auto text = [&] { return find(account, "statusText")->property("text").toString(); };
        QTRY_COMPARE(text(), QStringLiteral("Belum masuk"));
        QCOMPARE(button->property("text").toString(), QStringLiteral("Masuk"));
        click(button);
        QTRY_COMPARE(text(), QStringLiteral("Menunggu persetujuan di browser…"));
        QCOMPARE(account->property("symbol").toString(), QStringLiteral("hourglass"));
    }
    void loginItemWritesTheEntry() {
        QQuickItem* toggle = switchOf("launchAtLogin");
        QVERIFY(toggle);
        QVERIFY(!toggle->property("checked").toBool());
        click(toggle);
        const QString entry = QString::fromUtf8(test::readFile(entryPath()));
        QVERIFY2(entry.contains("\nExec=/opt/Notchora/notchora\n"), qPrintable(entry));
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(toggle->property("checked").toBool());
        QVERIFY(!item("launchError")->isVisible());
        click(toggle);
        QVERIFY(!QFile::exists(entryPath()));
        QVERIFY(!toggle->property("checked").toBool());
    }
    void loginItemReadsTheEntry_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("enabled");
        const QByteArray head = "[Desktop Entry]\n";
        QTest::newRow("plain") << head + "Type=Application\nExec=notchora\n" << true;
        QTest::newRow("hidden") << head + "Exec=notchora\nHidden=true\n" << false;
        QTest::newRow("off in GNOME") << head + "X-GNOME-Autostart-enabled = false\n" << false;
        QTest::newRow("on in GNOME") << head + "X-GNOME-Autostart-enabled=true\nHidden=false\n"
                                     << true;
        // Keys of another group say nothing about the entry.
        QTest::newRow("hidden action") << head + "Exec=notchora\n[Desktop Action x]\nHidden=true\n"
                                       << true;
    }
    void loginItemReadsTheEntry() {
        QFETCH(QByteArray, contents);
        QFETCH(bool, enabled);
        QVERIFY(!m_loginItem->isEnabled());
        QVERIFY(test::writeFile(entryPath(), contents));
        QCOMPARE(m_loginItem->isEnabled(), enabled);
    }
    void execLineQuotes() {
        const std::pair<const char*, const char*> rows[] = {
            {"/usr/bin/notchora", "/usr/bin/notchora"},
            {"/opt/My Apps/notchora", "\"/opt/My Apps/notchora\""},
            {"/opt/a$b\"c/notchora", "\"/opt/a\\\\$b\\\\\"c/notchora\""},
            {"/opt/100%/notchora", "\"/opt/100%%/notchora\""}};
        for (const auto& [program, exec] : rows)
            QCOMPARE(LoginItem::execLine(program), QString(exec));
    }
    void loginItemFailure_data() {
        QTest::addColumn<bool>("startEnabled");
        QTest::addColumn<QString>("blocker");
        // A folder without write permission, or a file where the folder should be.
        QTest::newRow("read-only folder, on") << false << "read-only";
        QTest::newRow("read-only folder, off") << true << "read-only";
        QTest::newRow("file in the way") << false << "file";
    }
    void loginItemFailure() {
        QFETCH(bool, startEnabled);
        QFETCH(QString, blocker);
        const QString folder = QFileInfo(entryPath()).absolutePath();
        if (blocker == "read-only") {
            if (::geteuid() == 0)
                QSKIP("permissions do not bind the superuser");
            if (startEnabled)
                QVERIFY(m_loginItem->setEnabled(true).isEmpty());
            QDir().mkpath(folder);
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        } else {
            QVERIFY(test::writeFile(folder, "not a folder"));
        }
        // The window reads the state when it is made.
        makeController();
        showTall();
        QQuickItem* toggle = switchOf("launchAtLogin");
        QCOMPARE(toggle->property("checked").toBool(), startEnabled);
        click(toggle);
        QQuickItem* error = item("launchError");
        QVERIFY(error->isVisible());
        const QString message = error->property("text").toString();
        QVERIFY2(message.startsWith(QStringLiteral("Gagal mengubah pengaturan login: ")) &&
                     message.contains(folder),
                 qPrintable(message));
        // The switch snaps back to what is really there.
        QCOMPARE(toggle->property("checked").toBool(), startEnabled);
        QCOMPARE(m_loginItem->isEnabled(), startEnabled);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void updateStatusRows_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("notes");
        const QString offered = "arrow.down.circle.fill";
        // clang-format off
        QTest::newRow("newer release")
            << 200 << QByteArray(R"({"version":"1.3.0","notes":"Karakter baru"})")
            << "Update 1.3.0 tersedia" << offered << "Karakter baru";
        QTest::newRow("newer release without notes") << 200 << QByteArray(R"({"version":"2"})")
            << "Update 2 tersedia" << offered << QString();
        QTest::newRow("same version") << 200 << QByteArray(R"({"version":"1.2"})")
            << "Notchora sudah versi terbaru" << "checkmark.circle.fill" << QString();
        QTest::newRow("server error") << 500 << QByteArray("{}")
            << "Tidak bisa memeriksa (offline atau website belum tersedia)" << "wifi.slash"
            << QString();
        // clang-format on
    }
    void updateStatusRows() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QFETCH(QString, symbol);
        QFETCH(QString, notes);
        {
            std::lock_guard lock(m_mutex);
            m_status = status;
            m_body = body.toStdString();
        }
        QQuickItem* line = item("updateStatus");
        QQuickItem* offer = item("updateOffer");
        QQuickItem* button = item("checkNow");
        QVERIFY(line && offer && button);
        QCOMPARE(item("currentVersion")->property("text").toString(), QStringLiteral("1.2.0"));
        // Before any check there is no status line.
        QVERIFY(!line->isVisible());
        click(button);
        QCOMPARE(line->property("text").toString(), QStringLiteral("Memeriksa…"));
        QVERIFY(!button->isEnabled());
        QTRY_COMPARE(line->property("text").toString(), text);
        QCOMPARE(line->property("symbol").toString(), symbol);
        QVERIFY(line->isVisible());
        QVERIFY(button->isEnabled());
        const bool available = symbol == "arrow.down.circle.fill";
        QCOMPARE(offer->isVisible(), available);
        QCOMPARE(item("releaseNotes")->isVisible(), !notes.isEmpty() && available);
        if (!available)
            return;
        QCOMPARE(item("releaseNotes")->property("text").toString(), notes);
        QCOMPARE(item("installCommand")->property("text").toString(), m_updates->installCommand());
        QGuiApplication::clipboard()->setText("vorher");
        click(item("copyInstallCommand"));
        QCOMPARE(QGuiApplication::clipboard()->text(), m_updates->installCommand());
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "tst_settingswindow.moc"
