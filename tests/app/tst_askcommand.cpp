#include "AnswerStack.h"
#include "AnswerdProcess.h"
#include "ProgramRun.h"

#include <QProcess>
#include <QTest>

using namespace notchora;
using test::runNotchora;

class AskCommandTest : public QObject {
    Q_OBJECT
    test::AnswerdPool m_services; // one service for every row; each row signs in anew

private slots:
    void askFromTheCommandLine_data() {
        QTest::addColumn<bool>("programRunning");
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("result"); // exit code, standard output, standard error
        QTest::addColumn<QString>("listing");    // `notchora history` afterwards
        const QString answer = "Jawaban uji untuk \u201CHalo, apa kabar?\u201D. Riwayat: 0 pesan.";
        const QString listed = "* Halo, apa kabar? (2 pesan)";
        const QString none = "Belum ada percakapan.";
        // clang-format off
        QTest::newRow("answered in this process") << false << true
            << QStringList{"Halo,", "apa kabar?"} << QStringList{"0", answer, ""} << listed;
        QTest::newRow("answered by the running program") << true << true
            << QStringList{"--mode", "ask", "Halo, apa kabar?"} << QStringList{"0", answer, ""}
            << listed;
        QTest::newRow("not signed in") << false << false << QStringList{"Halo"} << QStringList{"1",
            "", "Belum masuk. Masuk dulu lewat Pengaturan \u2192 AI Assistant \u2192 Masuk."} << none;
        QTest::newRow("a slash command prints its notice") << true << true
            << QStringList{"/compact"}
            << QStringList{"0", "Percakapan masih terlalu pendek untuk diringkas.", ""} << none;
        QTest::newRow("an unknown mode") << false << true << QStringList{"--mode", "jawab", "Halo"}
            << QStringList{"2", "", "Mode tidak dikenal: \"jawab\""} << none;
        // clang-format on
    }
    void askFromTheCommandLine() {
        QFETCH(bool, programRunning);
        QFETCH(bool, signedIn);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, result);
        QFETCH(QString, listing);
        test::AnswerdProcess* answerd = m_services.get();
        QVERIFY(answerd);
        test::AnswerStack profile(QUrl(answerd->base()));
        if (signedIn)
            profile.storeRefreshToken(
                test::AnswerdClient(*answerd).signIn().value("refresh_token").toString());
        QProcess program;
        if (programRunning)
            QVERIFY(test::startNotchora(program));
        const test::ProgramRun run = runNotchora(QStringList{"ask"} + arguments);
        QVERIFY(run.finished);
        // After a usage error the usage follows.
        const QString err = run.exitCode == 2 ? run.err.left(result[2].size()) : run.err;
        QCOMPARE((QStringList{QString::number(run.exitCode), run.out, err}), result);
        QCOMPARE(runNotchora({"history"}).out, listing);
        // Another process reads them: the question and the answer are on disk.
        if (listing.startsWith("*"))
            QCOMPARE(runNotchora({"history", "show"}).out,
                     "Halo, apa kabar?\n\nKamu: Halo, apa kabar?\n\nAsisten: " + result[1]);
        program.terminate();
        QVERIFY(!programRunning || program.waitForFinished(10000));
    }
};

QTEST_MAIN(AskCommandTest)
#include "tst_askcommand.moc"
