#include "AnswerStack.h"
#include "ManualClock.h"
#include "QuickTextures.h"
#include "TableRows.h"
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
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QtQuickTest/quicktest.h>
#include <atomic>
#include <httplib.h>
#include <thread>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_CharactersPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AppPlugin)

using namespace notchora;

struct UpdateRow {
    const char* name;
    int status;
    const char* body;
    const char* text;
    const char* symbol;
    const char* notes;
};
Q_DECLARE_METATYPE(UpdateRow)

class SettingsWindowTest : public QObject {
    Q_OBJECT
    QQuickWindow* window() const { return m_p->controller->window(); }
    // Items by objectName, through the visual tree (delegates included).
    static QQuickItem* find(QQuickItem* from, const QString& name) {
        if (from->objectName() == name)
            return from;
        for (QQuickItem* child : from->childItems())
            if (QQuickItem* found = find(child, name))
                return found;
        return nullptr;
    }
    QQuickItem* item(const QString& name) const { return find(window()->contentItem(), name); }
    QQuickItem* switchOf(const QString& row) const {
        return item(row) ? item(row)->property("toggle").value<QQuickItem*>() : nullptr;
    }
    void click(QQuickItem* target) {
        const QPointF centre(target->width() / 2, target->height() / 2);
        QTest::mouseClick(window(), Qt::LeftButton, {}, target->mapToScene(centre).toPoint());
    }
    // Another process editing the settings file, as `notchora defaults write` does.
    void writeOutside(const QString& key, const QJsonValue& value) {
        Defaults other(m_p->stack.defaults.filePath());
        QVERIFY(other.setValue(key, value));
    }
    QString entryPath() const { return m_p->loginItem.entryPath(); }
    void makeWindow() {
        // The old window goes before the sign-in it shows is made anew.
        m_p->controller.reset();
        m_p->controller = std::make_unique<SettingsWindowController>(
            SettingsViewModel::Services{m_p->stack.defaults, m_p->store, m_p->director,
                                        m_p->stack.makeAuth(), m_p->history, *m_p->updates,
                                        m_p->loginItem},
            m_p->engine);
        m_p->controller->show();
        QVERIFY(window());
        // Tall enough that every section is on screen without scrolling.
        window()->resize(480, 3000);
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        QVERIFY(QQuickTest::qWaitForPolish(window()));
    }
    // A temporary profile and every source the window shows, each its own instance; the
    // window goes first.
    struct Profile {
        Profile(Clock& clock, QNetworkAccessManager& network)
            : store(ModuleRegistry::shared(), stack.defaults), director(stack.defaults, clock),
              history(stack.env.dataHome() + "/history.json", stack.defaults, clock),
              // Nothing listens on the discard port; the update rows bring their own server.
              updates(std::make_unique<UpdateChecker>(stack.defaults, clock, network,
                                                      QUrl("http://127.0.0.1:9"), "1.2.0")),
              loginItem(stack.env.configHome() + "/autostart/notchora.desktop",
                        "/opt/Notchora/notchora") {}
        test::AnswerStack stack;
        WidgetStore store;
        CharacterDirector director;
        ChatHistoryStore history;
        std::unique_ptr<UpdateChecker> updates;
        LoginItem loginItem;
        QQmlEngine engine;
        std::unique_ptr<SettingsWindowController> controller;
    };
    QNetworkAccessManager m_network;
    ManualClock m_clock;
    std::unique_ptr<Profile> m_p;

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    void cleanupTestCase() { QVERIFY(test::releaseQuickTextures()); }
    void init() {
        m_p = std::make_unique<Profile>(m_clock, m_network);
        makeWindow();
    }
    void cleanup() { m_p.reset(); }
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
        QCOMPARE(m_p->stack.defaults.value(key), QJsonValue(storedAfterClick));
        QCOMPARE(toggle->property("checked").toBool(), !shownAtFirst);
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
        const auto at = [&](double fraction) {
            const double left = slider->property("leftPadding").toDouble();
            const double width = slider->property("availableWidth").toDouble();
            return slider->mapToScene({left + fraction * width, slider->height() / 2}).toPoint();
        };
        QSignalSpy writes(&m_p->stack.defaults, &Defaults::changed);
        QTest::mousePress(window(), Qt::LeftButton, {}, at(0.1));
        for (double fraction = 0.15; fraction <= 0.9; fraction += 0.05)
            QTest::mouseMove(window(), at(fraction));
        QCOMPARE(writes.size(), 0);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at(0.9));
        QCOMPARE(writes.size(), 1);
        QCOMPARE(writes.first().first().toString(), key);
        const double stored = m_p->stack.defaults.doubleValue(key, -1);
        QVERIFY2(stored > from + 0.6 * (to - from) && stored <= to,
                 qPrintable(QString::number(stored)));
        if (!unit.isEmpty())
            QCOMPARE(stored, std::round(stored));
        QCOMPARE(find(rowItem, "valueLabel")->property("text").toString(),
                 unit.isEmpty() ? QString() : QString::number(int(stored)) + " " + unit);
        writeOutside(key, from);
        QTRY_COMPARE(slider->property("value").toDouble(), from);
    }
    void moduleSwitches() {
        QVERIFY(switchOf("module-assistant") && switchOf("module-characters"));
        click(switchOf("module-assistant"));
        QVERIFY(!m_p->store.isEnabled("assistant"));
        // "Tampilkan karakter" is the same setting as the characters module's switch.
        click(switchOf("showCharacters"));
        QVERIFY(!m_p->store.isEnabled("characters"));
        QVERIFY(!switchOf("module-characters")->property("checked").toBool());
        // The last module stays on (the store's rule), and its switch shows it.
        click(switchOf("module-shortcuts"));
        QVERIFY(switchOf("module-shortcuts")->property("checked").toBool());
        writeOutside(WidgetStore::enabledModuleIDsKey, QJsonArray{"shortcuts", "assistant"});
        QTRY_VERIFY(switchOf("module-assistant")->property("checked").toBool());
    }
    void pickerTurnsRandomOffThenSwitches() {
        m_p->director.setRandom(true);
        QQuickItem* picker = item("characterPicker");
        QVERIFY(picker);
        const int cat = int(characters::allKinds().indexOf(CharacterKind::Cat));
        QVERIFY(QMetaObject::invokeMethod(picker, "activated", Q_ARG(int, cat)));
        QCOMPARE((QVariantList{m_p->director.isRandom(), int(m_p->director.current()),
                               picker->property("currentIndex"),
                               switchOf("randomCharacter")->property("checked")}),
                 (QVariantList{false, int(CharacterKind::Cat), cat, false}));
        writeOutside(CharacterDirector::selectedKey, "ghost");
        QTRY_COMPARE(picker->property("currentIndex").toInt(),
                     int(characters::allKinds().indexOf(CharacterKind::Ghost)));
    }
    void assistantFields() {
        QQuickItem* position = item("popupPosition");
        QVERIFY(position);
        QCOMPARE(position->property("currentIndex").toInt(), 0);
        QVERIFY(QMetaObject::invokeMethod(position, "activated", Q_ARG(int, 1)));
        QCOMPARE(m_p->stack.defaults.value("ai.popupPosition"), QJsonValue("left"));
        writeOutside("ai.popupPosition", "free");
        QTRY_COMPARE(position->property("currentIndex").toInt(), 2);
        QQuickItem* field = item("baseURL");
        QQuickItem* problem = item("baseURLProblem");
        QVERIFY(field && problem);
        const auto enter = [&](const QString& text) {
            field->forceActiveFocus();
            field->setProperty("text", text);
            QTest::keyClick(window(), Qt::Key_Return);
        };
        enter("ftp://files.example");
        QCOMPARE(m_p->stack.defaults.value("ai.baseURL"), QJsonValue("ftp://files.example"));
        QVERIFY(problem->isVisible());
        enter(" https://answers.example ");
        QCOMPARE(m_p->stack.defaults.value("ai.baseURL"), QJsonValue("https://answers.example"));
        QVERIFY(!problem->isVisible());
        // Emptied: the production service, and nothing stored.
        enter("");
        QVERIFY(!m_p->stack.defaults.contains("ai.baseURL"));
        writeOutside("ai.baseURL", "http://10.0.0.2:8080");
        QTRY_COMPARE(field->property("text").toString(), QStringLiteral("http://10.0.0.2:8080"));
    }
    // The saving switch is a row of the toggles above; the store drops the file itself.
    void clearHistoryButton() {
        m_p->history.append(ChatMessage::make(ChatMessage::Role::User, "Apa ini?", m_clock.now()));
        click(item("clearHistory"));
        QVERIFY(m_p->history.threads().isEmpty());
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
    }
    void loginItemWritesTheEntry() {
        QQuickItem* toggle = switchOf("launchAtLogin");
        QVERIFY(toggle);
        click(toggle);
        const QString entry = QString::fromUtf8(test::readFile(entryPath()));
        QVERIFY2(entry.startsWith("[Desktop Entry]\n") &&
                     entry.contains("\nExec=/opt/Notchora/notchora\n"),
                 qPrintable(entry));
        QVERIFY(toggle->property("checked").toBool() && !item("launchError")->isVisible());
        click(toggle);
        QVERIFY(!QFile::exists(entryPath()) && !toggle->property("checked").toBool());
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
        QVERIFY(test::writeFile(entryPath(), contents));
        QCOMPARE(m_p->loginItem.isEnabled(), enabled);
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
                QVERIFY(m_p->loginItem.setEnabled(true).isEmpty());
            QDir().mkpath(folder);
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        } else {
            QVERIFY(test::writeFile(folder, "not a folder"));
        }
        // The window reads the state when it is made.
        makeWindow();
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
        QCOMPARE(m_p->loginItem.isEnabled(), startEnabled);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void updateStatusRows_data() {
        const char* offered = "arrow.down.circle.fill";
        test::addRows<UpdateRow>({
            {"newer release", 200, R"({"version":"1.3.0","notes":"Karakter baru"})",
             "Update 1.3.0 tersedia", offered, "Karakter baru"},
            {"newer release without notes", 200, R"({"version":"2"})", "Update 2 tersedia", offered,
             ""},
            {"same version", 200, R"({"version":"1.2"})", "Notchora sudah versi terbaru",
             "checkmark.circle.fill", ""},
            {"server error", 500, "{}",
             "Tidak bisa memeriksa (offline atau website belum tersedia)", "wifi.slash", ""},
        });
    }
    void updateStatusRows() {
        QFETCH(UpdateRow, row);
        const QString notes = row.notes;
        std::atomic_bool answer = false; // the reply waits until the progress has been seen
        test::TestHttpServer server;
        server.server().Get(R"(/.*)", [&](const httplib::Request&, httplib::Response& response) {
            while (!answer)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            response.status = row.status;
            response.set_content(row.body, "application/json");
        });
        QVERIFY(server.start());
        const auto letItAnswer = qScopeGuard([&] { answer = true; });
        m_p->controller.reset(); // before the checker it shows
        m_p->updates = std::make_unique<UpdateChecker>(m_p->stack.defaults, m_clock, m_network,
                                                       server.url(), "1.2.0");
        makeWindow();
        QQuickItem* line = item("updateStatus");
        QQuickItem* button = item("checkNow");
        QVERIFY(line && button && !line->isVisible()); // no status line before any check
        click(button);
        QCOMPARE(line->property("text").toString(), QStringLiteral("Memeriksa…"));
        QVERIFY(!button->isEnabled());
        answer = true;
        QTRY_COMPARE(line->property("text").toString(), QString(row.text));
        const bool available = QString(row.symbol) == "arrow.down.circle.fill";
        QCOMPARE(
            (QVariantList{line->property("symbol"), line->isVisible(), button->isEnabled(),
                          item("updateOffer")->isVisible(), item("releaseNotes")->isVisible()}),
            (QVariantList{QString(row.symbol), true, true, available, !notes.isEmpty()}));
        if (!available)
            return;
        QCOMPARE((QVariantList{item("releaseNotes")->property("text"),
                               item("installCommand")->property("text")}),
                 (QVariantList{notes, m_p->updates->installCommand()}));
        click(item("copyInstallCommand"));
        QCOMPARE(QGuiApplication::clipboard()->text(), m_p->updates->installCommand());
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "tst_settingswindow.moc"
