#include "AnswerdProcess.h"
#include "ProgramRun.h"
#include "TestEnvironment.h"
#include "answer/KeychainStore.h"
#include "platform/Defaults.h"

#include <QProcess>
#include <QTest>

using namespace notchora;

namespace {

QProcessEnvironment environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NOTCHORA_SECRET_STORE", "file");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

test::ProgramRun runNotchora(const QStringList& args) {
    return test::runProgram(test::TestEnvironment::binary("notchora"), args, environment());
}

void storeRefreshToken(const test::TestEnvironment& env, const QString& token) {
    KeychainStore store(env.dataHome() + "/Notchora/secrets.json", KeychainStore::Backend::File);
    QObject context;
    bool done = false;
    store.save(token, KeychainStore::refreshTokenAccount, &context, [&] { done = true; });
    [&] { QTRY_VERIFY(done); }();
}

} // namespace

class AskCommandTest : public QObject {
    Q_OBJECT
private slots:
    void askFromTheCommandLine_data();
    void askFromTheCommandLine();
};

void AskCommandTest::askFromTheCommandLine_data() {
    QTest::addColumn<bool>("programRunning");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("listing"); // `notchora history` afterwards

    const QString answer = "Jawaban uji untuk \u201CHalo, apa kabar?\u201D. Riwayat: 0 pesan.";
    QTest::newRow("answered in this process")
        << false << true << QStringList{"Halo,", "apa kabar?"} << 0 << answer << ""
        << "* Halo, apa kabar? (2 pesan)";
    QTest::newRow("answered by the running program")
        << true << true << QStringList{"--mode", "ask", "Halo, apa kabar?"} << 0 << answer << ""
        << "* Halo, apa kabar? (2 pesan)";
    QTest::newRow("not signed in")
        << false << false << QStringList{"Halo"} << 1 << ""
        << "Belum masuk. Masuk dulu lewat Pengaturan \u2192 AI Assistant \u2192 Masuk."
        << "Belum ada percakapan.";
    QTest::newRow("a slash command prints its notice")
        << true << true << QStringList{"/compact"} << 0
        << "Percakapan masih terlalu pendek untuk diringkas."
        << ""
        << "Belum ada percakapan.";
    QTest::newRow("an unknown mode")
        << false << true << QStringList{"--mode", "jawab", "Halo"} << 2 << ""
        << ""
        << "Belum ada percakapan.";
}

void AskCommandTest::askFromTheCommandLine() {
    QFETCH(bool, programRunning);
    QFETCH(bool, signedIn);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, listing);
    test::TestEnvironment env;
    test::AnswerdProcess answerd;
    QVERIFY(answerd.start());
    Defaults(Defaults::pathForDomain("defaults")).setString("ai.baseURL", answerd.base());
    if (signedIn)
        storeRefreshToken(env,
                          test::AnswerdClient(answerd).signIn().value("refresh_token").toString());

    QProcess program;
    if (programRunning) {
        program.setProcessEnvironment(environment());
        program.start(test::TestEnvironment::binary("notchora"));
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY(QFile::exists(env.runtimeDir() + "/notchora.sock"));
    }

    const test::ProgramRun run = runNotchora(QStringList{"ask"} + arguments);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    if (exitCode == 2)
        QVERIFY(run.err.startsWith("Mode tidak dikenal: \"jawab\""));
    else
        QCOMPARE(run.err, err);
    QCOMPARE(runNotchora({"history"}).out, listing);
    if (exitCode == 0 && !out.startsWith("Percakapan")) {
        QCOMPARE(runNotchora({"history", "show"}).out,
                 "Halo, apa kabar?\n\nKamu: Halo, apa kabar?\n\nAsisten: " + out);
        // The question and the answer are on disk, for the next start.
        const QByteArray file = test::readFile(env.dataHome() + "/Notchora/history.json");
        QVERIFY(file.contains("Halo, apa kabar?"));
        QVERIFY(file.contains(out.toUtf8()));
    }

    if (programRunning) {
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }
}

QTEST_MAIN(AskCommandTest)
#include "tst_askcommand.moc"
