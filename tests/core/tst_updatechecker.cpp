#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "core/UpdateChecker.h"
#include "platform/Defaults.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <httplib.h>
#include <mutex>

using namespace notchora;

class UpdateCheckerTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void isNewer_data();
    void isNewer();
    void installCommand();
    void check_data();
    void check();
    void unreachableServerFails();
    void loopChecksEverySixHours();
    void loopSkipsChecksWhileSwitchedOff();
    void restartingTheLoopReplacesIt();

private:
    std::unique_ptr<UpdateChecker> makeChecker(const QString& version = "1.2.0");
    void serve(int status, std::string body);

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<test::TestHttpServer> m_server;
    QNetworkAccessManager m_network;
    ManualClock m_clock;
    std::mutex m_mutex;
    int m_status = 200;
    std::string m_body;
    std::atomic<int> m_requests{0};
    std::string m_cacheControl;
    std::string m_path;
};

void UpdateCheckerTest::init() {
    m_env = std::make_unique<test::TestEnvironment>();
    m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    m_server = std::make_unique<test::TestHttpServer>();
    m_requests = 0;
    m_server->server().Get(R"(/.*)",
                           [this](const httplib::Request& request, httplib::Response& response) {
                               std::lock_guard lock(m_mutex);
                               ++m_requests;
                               m_path = request.path;
                               m_cacheControl = request.get_header_value("Cache-Control");
                               response.status = m_status;
                               response.set_content(m_body, "application/json");
                           });
    QVERIFY(m_server->start());
}

void UpdateCheckerTest::cleanup() {
    m_server.reset();
}

std::unique_ptr<UpdateChecker> UpdateCheckerTest::makeChecker(const QString& version) {
    return std::make_unique<UpdateChecker>(*m_defaults, m_clock, m_network, m_server->url("/site"),
                                           version);
}

void UpdateCheckerTest::serve(int status, std::string body) {
    std::lock_guard lock(m_mutex);
    m_status = status;
    m_body = std::move(body);
}

void UpdateCheckerTest::isNewer_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("newer");
    const struct {
        const char* a;
        const char* b;
        bool newer;
    } rows[] = {{"1.10", "1.9", true},      {"1.9", "1.10", false},   {"1.2", "1.2.0", false},
                {"1.2.0", "1.2", false},    {"1.2.1", "1.2", true},   {"2", "1.99.99", true},
                {"1.3-beta", "1.3", false}, // a suffix counts as 0
                {"1.3", "1.3-beta", true},  {"1..2", "1.1", true},    {"", "0", false},
                {"0.0.1", "0", true},       {"3.1.4", "3.1.4", false}};
    for (const auto& row : rows)
        QTest::addRow("'%s' vs '%s'", row.a, row.b)
            << QString(row.a) << QString(row.b) << row.newer;
}

void UpdateCheckerTest::isNewer() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, newer);
    QCOMPARE(UpdateChecker::isNewer(a, b), newer);
}

void UpdateCheckerTest::installCommand() {
    auto checker = makeChecker();
    QCOMPARE(checker->installCommand(),
             "curl -fsSL " + m_server->url("/site").toString() + "/install.sh | bash");
    QVERIFY(UpdateChecker::defaultWebsiteURL().scheme() == "https");
    QVERIFY(!UpdateChecker::defaultWebsiteURL().toString().endsWith('/'));
    QCOMPARE(UpdateChecker(*m_defaults, m_clock, m_network, QUrl(), QString()).currentVersion(),
             QStringLiteral("0"));
}

void UpdateCheckerTest::check_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<UpdateChecker::Status>("expected");
    QTest::addColumn<QString>("notes");
    QTest::newRow("200 newer")
        << 200 << QByteArray(R"({"version":"1.4.2","notes":"Lebih cepat","released":"2026-12-01"})")
        << UpdateChecker::Status::Available << "Lebih cepat";
    QTest::newRow("200 same") << 200 << QByteArray(R"({"version":"1.2"})")
                              << UpdateChecker::Status::UpToDate << "";
    QTest::newRow("200 older") << 200 << QByteArray(R"({"version":"1.1.9"})")
                               << UpdateChecker::Status::UpToDate << "";
    QTest::newRow("304") << 304 << QByteArray() << UpdateChecker::Status::Failed << "";
    QTest::newRow("500") << 500 << QByteArray(R"({"version":"9"})") << UpdateChecker::Status::Failed
                         << "";
    QTest::newRow("no version") << 200 << QByteArray(R"({"notes":"x"})")
                                << UpdateChecker::Status::Failed << "";
    QTest::newRow("version not text")
        << 200 << QByteArray(R"({"version":2})") << UpdateChecker::Status::Failed << "";
    QTest::newRow("not json") << 200 << QByteArray("<html>") << UpdateChecker::Status::Failed << "";
    // A newer release, but in a body past the cap a release record ever needs.
    QTest::newRow("oversized") << 200
                               << QByteArray(R"({"version":"1.4.2")") + QByteArray(70'000, ' ') +
                                      "}"
                               << UpdateChecker::Status::Failed << "";
}

void UpdateCheckerTest::check() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(UpdateChecker::Status, expected);
    QFETCH(QString, notes);
    serve(status, body.toStdString());
    auto checker = makeChecker();
    QSignalSpy statusSpy(checker.get(), &UpdateChecker::statusChanged);
    QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
    QCOMPARE(checker->status(), UpdateChecker::Status::Idle);
    checker->check();
    QCOMPARE(checker->status(), UpdateChecker::Status::Checking);
    QVERIFY(finished.wait(5000));
    QCOMPARE(checker->status(), expected);
    QCOMPARE(statusSpy.count(), 2); // checking, then the outcome
    QCOMPARE(checker->lastChecked(), std::optional(m_clock.now()));
    QCOMPARE(checker->release().has_value(), expected == UpdateChecker::Status::Available);
    if (checker->release()) {
        QCOMPARE(checker->release()->version, QStringLiteral("1.4.2"));
        QCOMPARE(checker->release()->notes.value_or(QString()), notes);
        QCOMPARE(checker->release()->released, std::optional<QString>("2026-12-01"));
    }
    std::lock_guard lock(m_mutex);
    QCOMPARE(m_path, std::string("/site/version.json"));
    QVERIFY(m_cacheControl.find("no-cache") != std::string::npos);
}

void UpdateCheckerTest::unreachableServerFails() {
    const QUrl url = m_server->url();
    m_server.reset(); // nothing listens on the port any more
    UpdateChecker checker(*m_defaults, m_clock, m_network, url, "1.0");
    QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
    checker.check();
    QVERIFY(finished.wait(5000));
    QCOMPARE(checker.status(), UpdateChecker::Status::Failed);
    QVERIFY(checker.lastChecked().has_value());
}

void UpdateCheckerTest::loopChecksEverySixHours() {
    serve(200, R"({"version":"1.2.0"})");
    auto checker = makeChecker();
    QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
    checker->startAutomaticChecks(); // checks right away
    QVERIFY(finished.wait(5000));
    QCOMPARE(m_requests.load(), 1);
    m_clock.advance(UpdateChecker::loopInterval - 1);
    QCOMPARE(m_requests.load(), 1);
    serve(200, R"({"version":"1.3.0"})");
    m_clock.advance(1);
    QVERIFY(finished.wait(5000));
    QCOMPARE(m_requests.load(), 2);
    QCOMPARE(checker->status(), UpdateChecker::Status::Available);
    // A failure does not stop the loop.
    serve(500, "");
    m_clock.advance(UpdateChecker::loopInterval);
    QVERIFY(finished.wait(5000));
    QCOMPARE(checker->status(), UpdateChecker::Status::Failed);
    m_clock.advance(UpdateChecker::loopInterval);
    QVERIFY(finished.wait(5000));
    QCOMPARE(m_requests.load(), 4);
}

void UpdateCheckerTest::loopSkipsChecksWhileSwitchedOff() {
    m_defaults->setBool(UpdateChecker::autoCheckSetting.key, false);
    auto checker = makeChecker();
    checker->startAutomaticChecks();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(m_clock.nextDueIn(), UpdateChecker::loopInterval); // still sleeping and waking
        m_clock.advance(UpdateChecker::loopInterval);
    }
    QCOMPARE(m_requests.load(), 0);
    QCOMPARE(checker->status(), UpdateChecker::Status::Idle);
    // Switching back on takes effect at the next wake-up, not before.
    m_defaults->setBool(UpdateChecker::autoCheckSetting.key, true);
    QCOMPARE(m_requests.load(), 0);
    QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
    m_clock.advance(UpdateChecker::loopInterval);
    QVERIFY(finished.wait(5000));
    QCOMPARE(m_requests.load(), 1);
}

void UpdateCheckerTest::restartingTheLoopReplacesIt() {
    m_defaults->setValue(UpdateChecker::autoCheckSetting.key, "no"); // not a Boolean: counts as on
    serve(200, R"({"version":"1.0"})");
    auto checker = makeChecker();
    QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
    checker->startAutomaticChecks();
    QVERIFY(finished.wait(5000));
    checker->startAutomaticChecks();
    QVERIFY(finished.wait(5000));
    QCOMPARE(m_clock.pendingCount(), 1); // one loop sleeping, not two
    checker.reset();
    QCOMPARE(m_clock.pendingCount(), 0);
}

QTEST_GUILESS_MAIN(UpdateCheckerTest)
#include "tst_updatechecker.moc"
