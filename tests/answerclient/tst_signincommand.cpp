#include "AnswerStack.h"
#include "AnswerdProcess.h"
#include "ProgramRun.h"

#include <QProcess>
#include <QTest>

using namespace notchora;

namespace {

// The real program with the stand-in browser.
QProcessEnvironment environment(const QString& browserDelay = QString()) {
    QProcessEnvironment env = test::notchoraEnvironment();
    env.insert("BROWSER", NOTCHORA_FAKE_BROWSER);
    if (!browserDelay.isEmpty())
        env.insert("NOTCHORA_TEST_BROWSER_DELAY", browserDelay);
    return env;
}

// A temporary profile pointing at a development service, and the program when it is started.
struct Profile : test::AnswerStack {
    explicit Profile(const QStringList& arguments = {}) {
        started = answerd.start(arguments);
        setBase(QUrl(answerd.base()));
    }
    ~Profile() {
        program.terminate();
        program.waitForFinished(5000);
    }
    bool startProgram(const QProcessEnvironment& environment) {
        // Its output joins the test's, where the secrets check reads it.
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        return test::startNotchora(program, environment);
    }
    test::AnswerdProcess answerd;
    QProcess program;
    bool started = false;
};

} // namespace

class SignInCommandTest : public QObject {
    Q_OBJECT
private slots:
    void signInOutAndStatus_data() {
        QTest::addColumn<bool>("programRunning");
        QTest::addColumn<bool>("denied");
        QTest::newRow("no program running") << false << false;
        QTest::newRow("handed to the running program") << true << false;
        QTest::newRow("denied") << false << true;
    }
    void signInOutAndStatus() {
        QFETCH(bool, programRunning);
        QFETCH(bool, denied);
        Profile profile(denied ? QStringList{"--deny"} : QStringList());
        QVERIFY(profile.started);
        if (programRunning)
            QVERIFY(profile.startProgram(environment()));
        const auto run = [](const QString& command) {
            const test::ProgramRun result = test::runNotchora({command}, environment());
            return QStringLiteral("%1 %2").arg(result.exitCode).arg(result.out);
        };
        QCOMPARE(run("status"), "0 Belum masuk");
        QCOMPARE(run("signin"), denied ? "1 Belum masuk" : "0 Sudah masuk");
        QCOMPARE(profile.storedRefreshToken().has_value(), !denied);
        if (denied)
            return;
        QCOMPARE(run("status"), "0 Sudah masuk");
        QCOMPARE(run("signout"), "0 Belum masuk");
        QCOMPARE(profile.storedRefreshToken(), std::nullopt);
        // Still there, still one.
        QCOMPARE(profile.program.state() == QProcess::Running, programRunning);
    }
    // Two terminals ask while the browser is still open: both see the one sign-in succeed.
    void secondSignInJoinsTheWaitingOne() {
        Profile profile;
        QVERIFY(profile.started);
        QVERIFY(profile.startProgram(environment("1")));
        QProcess signins[2];
        for (QProcess& signin : signins) {
            signin.setProcessEnvironment(environment("1"));
            signin.start(test::TestEnvironment::binary("notchora"), {"signin"});
            QVERIFY(signin.waitForStarted());
        }
        for (QProcess& signin : signins) {
            QVERIFY(signin.waitForFinished(20000));
            QCOMPARE(signin.readAllStandardOutput().trimmed(), "Sudah masuk");
            QCOMPARE(signin.exitCode(), 0);
        }
        const QUrl stats = profile.answerd.url("/dev/stats");
        QCOMPARE(test::AnswerdClient(profile.answerd).get(stats).json().value("token_code"), 1);
    }
};

QTEST_GUILESS_MAIN(SignInCommandTest)
#include "tst_signincommand.moc"
