#include "TestEnvironment.h"
#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void socketLivesInTheRuntimeFolder();
    void nobodyRunningMeansNoHandOver();
    void secondStartHandsOverAndExits();
    void staleSocketIsReplaced();
};

void SingleInstanceTest::socketLivesInTheRuntimeFolder() {
    test::TestEnvironment env;
    QCOMPARE(SingleInstance::defaultSocketPath(), env.runtimeDir() + "/notchora.sock");
}

void SingleInstanceTest::nobodyRunningMeansNoHandOver() {
    test::TestEnvironment env;
    SingleInstance instance;
    QVERIFY(!instance.handOver({"reopen"}, 500));
}

void SingleInstanceTest::secondStartHandsOverAndExits() {
    test::TestEnvironment env;
    SingleInstance running;
    QVERIFY(running.listen());
    QSignalSpy requests(&running, &SingleInstance::requestReceived);

    // The real program, started a second time, hands its request over and ends with 0.
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    second.start(test::TestEnvironment::binary("notchora"), {"--toggle-widget"});
    QVERIFY(second.waitForStarted());
    QTRY_COMPARE(requests.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(requests.first().first().toStringList(), QStringList{"toggle-widget"});

    QProcess third;
    third.setProcessEnvironment(environment);
    third.start(test::TestEnvironment::binary("notchora"));
    QTRY_COMPARE(requests.count(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(third.state(), QProcess::NotRunning, 10000);
    QCOMPARE(third.exitCode(), 0);
    QCOMPARE(requests.last().first().toStringList(), QStringList{"reopen"});
}

void SingleInstanceTest::staleSocketIsReplaced() {
    test::TestEnvironment env;
    const QString path = SingleInstance::defaultSocketPath();
    // A socket file nobody serves, as a crashed run leaves behind.
    QVERIFY(test::writeFile(path, {}));
    SingleInstance instance;
    QVERIFY(!instance.handOver({"reopen"}, 500));
    QVERIFY(instance.listen());
    QSignalSpy requests(&instance, &SingleInstance::requestReceived);
    QLocalSocket client;
    client.connectToServer(path);
    QVERIFY(client.waitForConnected(1000));
    client.write("[\"reopen\"]\n");
    QTRY_COMPARE(requests.count(), 1);
    QTRY_VERIFY(client.canReadLine());
    QCOMPARE(client.readLine(), QByteArray("{\"exitCode\":0,\"output\":\"\"}\n"));
}

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
