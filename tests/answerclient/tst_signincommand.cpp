#include "AnswerdProcess.h"
#include "ProgramRun.h"
#include "TestEnvironment.h"
#include "answer/KeychainStore.h"
#include "platform/Defaults.h"

#include <QProcess>
#include <QTest>

using namespace notchora;

namespace {

// The real program, with the test's folders, the file secret store and the stand-in browser.
QProcessEnvironment environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NOTCHORA_SECRET_STORE", "file");
    env.insert("BROWSER", NOTCHORA_FAKE_BROWSER);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("NOTCHORA_TEST_CALLBACK_FILE");
    return env;
}

test::ProgramRun runNotchora(const QStringList& args) {
    return test::runProgram(test::TestEnvironment::binary("notchora"), args, environment());
}

std::optional<QString> storedRefreshToken(const test::TestEnvironment& env) {
    KeychainStore store(env.dataHome() + "/Notchora/secrets.json", KeychainStore::Backend::File);
    QObject context;
    std::optional<QString> value;
    bool done = false;
    store.load(KeychainStore::refreshTokenAccount, &context, [&](std::optional<QString> v) {
        value = v;
        done = true;
    });
    [&] { QTRY_VERIFY(done); }();
    return value;
}

} // namespace

class SignInCommandTest : public QObject {
    Q_OBJECT
private slots:
    void signInOutAndStatus_data();
    void signInOutAndStatus();
    void secondSignInJoinsTheWaitingOne();
    void deniedSignInFails();
    void strayRedirectIsRefused();
};

void SignInCommandTest::signInOutAndStatus_data() {
    QTest::addColumn<bool>("programRunning");
    QTest::newRow("no program running") << false;
    QTest::newRow("handed to the running program") << true;
}

void SignInCommandTest::signInOutAndStatus() {
    QFETCH(bool, programRunning);
    test::TestEnvironment env;
    test::AnswerdProcess answerd;
    QVERIFY(answerd.start());
    Defaults(Defaults::pathForDomain("defaults")).setString("ai.baseURL", answerd.base());

    QProcess program;
    if (programRunning) {
        program.setProcessEnvironment(environment());
        // Its output joins the test's, where the secrets check reads it.
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(test::TestEnvironment::binary("notchora"));
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY(QFile::exists(env.runtimeDir() + "/notchora.sock"));
    }

    QCOMPARE(runNotchora({"status"}).out, QStringLiteral("Belum masuk"));
    const test::ProgramRun signin = runNotchora({"signin"});
    QCOMPARE(signin.out, QStringLiteral("Sudah masuk"));
    QCOMPARE(signin.exitCode, 0);
    const auto token = storedRefreshToken(env);
    QVERIFY(token.has_value() && !token->isEmpty());
    QCOMPARE(runNotchora({"status"}).out, QStringLiteral("Sudah masuk"));

    const test::ProgramRun signout = runNotchora({"signout"});
    QCOMPARE(signout.out, QStringLiteral("Belum masuk"));
    QCOMPARE(signout.exitCode, 0);
    QCOMPARE(storedRefreshToken(env), std::nullopt);
    QCOMPARE(program.state() == QProcess::Running, programRunning); // still there, still one
    program.terminate();
    program.waitForFinished(5000);
}

void SignInCommandTest::secondSignInJoinsTheWaitingOne() {
    test::TestEnvironment env;
    test::AnswerdProcess answerd;
    QVERIFY(answerd.start());
    Defaults(Defaults::pathForDomain("defaults")).setString("ai.baseURL", answerd.base());
    QProcessEnvironment slowBrowser = environment();
    slowBrowser.insert("NOTCHORA_TEST_BROWSER_DELAY", "1");
    QProcess program;
    program.setProcessEnvironment(slowBrowser);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(test::TestEnvironment::binary("notchora"));
    QTRY_VERIFY(QFile::exists(env.runtimeDir() + "/notchora.sock"));

    // Two terminals ask while the browser is still open: both see the one sign-in succeed.
    QProcess first;
    QProcess second;
    for (QProcess* signin : {&first, &second}) {
        signin->setProcessEnvironment(slowBrowser);
        signin->start(test::TestEnvironment::binary("notchora"), {"signin"});
        QVERIFY(signin->waitForStarted());
    }
    for (QProcess* signin : {&first, &second}) {
        QVERIFY(signin->waitForFinished(20000));
        QCOMPARE(QString::fromUtf8(signin->readAllStandardOutput()).trimmed(),
                 QStringLiteral("Sudah masuk"));
        QCOMPARE(signin->exitCode(), 0);
    }
    test::AnswerdClient client(answerd);
    QCOMPARE(client.get(answerd.url("/dev/stats")).json().value("token_code").toInt(), 1);
    program.terminate();
    program.waitForFinished(5000);
}

void SignInCommandTest::deniedSignInFails() {
    test::TestEnvironment env;
    test::AnswerdProcess answerd;
    QVERIFY(answerd.start({"--deny"}));
    Defaults(Defaults::pathForDomain("defaults")).setString("ai.baseURL", answerd.base());
    const test::ProgramRun signin = runNotchora({"signin"});
    QCOMPARE(signin.out, QStringLiteral("Belum masuk"));
    QCOMPARE(signin.exitCode, 1);
    QCOMPARE(storedRefreshToken(env), std::nullopt);
}

void SignInCommandTest::strayRedirectIsRefused() {
    test::TestEnvironment env;
    const test::ProgramRun stray = runNotchora({"soalika-answer://callback?code=abc&state=xyz"});
    QCOMPARE(stray.exitCode, 1);
    QVERIFY(!stray.err.isEmpty());
}

QTEST_GUILESS_MAIN(SignInCommandTest)
#include "tst_signincommand.moc"
