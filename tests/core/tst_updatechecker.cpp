#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "core/UpdateChecker.h"
#include "platform/Defaults.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>
#include <httplib.h>
#include <mutex>

using namespace notchora;
using Status = UpdateChecker::Status;

class UpdateCheckerTest : public QObject {
    Q_OBJECT

    struct Served {
        int status = 200;
        std::string body;
        int requests = 0;
        std::string path;
        std::string cacheControl;
    };
    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<test::TestHttpServer> m_server;
    QNetworkAccessManager m_network;
    ManualClock m_clock;
    std::mutex m_mutex;
    Served m_served;

    std::unique_ptr<UpdateChecker> makeChecker() {
        return std::make_unique<UpdateChecker>(*m_defaults, m_clock, m_network,
                                               m_server->url("/site"), "1.2.0");
    }
    void serve(int status, std::string body) {
        std::lock_guard lock(m_mutex);
        m_served.status = status;
        m_served.body = std::move(body);
    }
    Served served() {
        std::lock_guard lock(m_mutex);
        return m_served;
    }

private slots:
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_server = std::make_unique<test::TestHttpServer>();
        m_served = {};
        m_server->server().Get(
            R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
                std::lock_guard lock(m_mutex);
                ++m_served.requests;
                m_served.path = request.path;
                m_served.cacheControl = request.get_header_value("Cache-Control");
                response.status = m_served.status;
                response.set_content(m_served.body, "application/json");
            });
        QVERIFY(m_server->start());
    }
    void cleanup() { m_server.reset(); }

    void isNewer_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("newer");
        // A suffix counts as 0.
        const std::tuple<const char*, const char*, bool> rows[] = {
            {"1.10", "1.9", true},  {"1.2", "1.2.0", false},   {"1.2.1", "1.2", true},
            {"2", "1.99.99", true}, {"1.3", "1.3-beta", true}, {"1.3-beta", "1.3", false},
            {"1..2", "1.1", true},  {"", "0", false},          {"1.2.0", "1.2", false}};
        for (const auto& [a, b, newer] : rows)
            QTest::addRow("'%s' vs '%s'", a, b) << QString(a) << QString(b) << newer;
    }
    void isNewer() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, newer);
        QCOMPARE(UpdateChecker::isNewer(a, b), newer);
    }
    void installCommand() {
        QCOMPARE(makeChecker()->installCommand(),
                 "curl -fsSL " + m_server->url("/site").toString() + "/install.sh | bash");
    }
    void check_data() {
        QTest::addColumn<int>("status"); // 0: nothing listens
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Status>("expected");
        QTest::newRow("200 newer")
            << 200
            << QByteArray(R"({"version":"1.4.2","notes":"Lebih cepat","released":"2026-12-01"})")
            << Status::Available;
        QTest::newRow("200 same") << 200 << QByteArray(R"({"version":"1.2"})") << Status::UpToDate;
        QTest::newRow("304") << 304 << QByteArray() << Status::Failed;
        QTest::newRow("500") << 500 << QByteArray(R"({"version":"9"})") << Status::Failed;
        QTest::newRow("no version") << 200 << QByteArray(R"({"notes":"x"})") << Status::Failed;
        QTest::newRow("version not text")
            << 200 << QByteArray(R"({"version":2})") << Status::Failed;
        QTest::newRow("not json") << 200 << QByteArray("<html>") << Status::Failed;
        // A newer release, but in a body past the cap a release record ever needs.
        QTest::newRow("oversized")
            << 200 << QByteArray(R"({"version":"1.4.2")") + QByteArray(70'000, ' ') + "}"
            << Status::Failed;
        QTest::newRow("unreachable") << 0 << QByteArray() << Status::Failed;
    }
    void check() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(Status, expected);
        serve(status, body.toStdString());
        auto checker = makeChecker();
        if (status == 0)
            m_server.reset();
        QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
        checker->check();
        QVERIFY(finished.wait(5000));
        QCOMPARE(checker->status(), expected);
        QCOMPARE(checker->lastChecked(), std::optional(m_clock.now()));
        const auto release = checker->release();
        QCOMPARE(release ? QStringList({release->version, release->notes.value_or("-"),
                                        release->released.value_or("-")})
                         : QStringList(),
                 expected == Status::Available ? QStringList({"1.4.2", "Lebih cepat", "2026-12-01"})
                                               : QStringList());
        if (status != 0) {
            QCOMPARE(served().path, std::string("/site/version.json"));
            QVERIFY(served().cacheControl.find("no-cache") != std::string::npos);
        }
    }
    // Every six hours, through failures, waking but not checking while switched off;
    // restarting replaces the loop, and none is left once the checker is gone.
    void automaticChecks() {
        serve(200, R"({"version":"1.2.0"})");
        auto checker = makeChecker();
        QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
        checker->startAutomaticChecks(); // checks right away
        QVERIFY(finished.wait(5000));
        m_clock.advance(UpdateChecker::loopInterval - 1);
        QCOMPARE(served().requests, 1);
        serve(500, "");
        m_clock.advance(1);
        QVERIFY(finished.wait(5000));
        QCOMPARE(checker->status(), Status::Failed);
        m_defaults->setBool(UpdateChecker::autoCheckSetting.key, false);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(m_clock.nextDueIn(), UpdateChecker::loopInterval);
            m_clock.advance(UpdateChecker::loopInterval);
        }
        // Back on (a value that is not a Boolean counts as on): the next wake-up checks.
        serve(200, R"({"version":"1.3.0"})");
        m_defaults->setValue(UpdateChecker::autoCheckSetting.key, "no");
        QCOMPARE(served().requests, 2);
        m_clock.advance(UpdateChecker::loopInterval);
        QVERIFY(finished.wait(5000));
        QCOMPARE(checker->status(), Status::Available);
        checker->startAutomaticChecks();
        QVERIFY(finished.wait(5000));
        QCOMPARE(m_clock.pendingCount(), 1);
        checker.reset();
        QCOMPARE(m_clock.pendingCount(), 0);
    }
};

QTEST_GUILESS_MAIN(UpdateCheckerTest)
#include "tst_updatechecker.moc"
