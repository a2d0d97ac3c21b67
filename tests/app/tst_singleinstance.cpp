#include "TestEnvironment.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace notchora;

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void socketLivesInTheRuntimeFolder() {
        test::TestEnvironment env;
        QCOMPARE(SingleInstance::defaultSocketPath(), env.runtimeDir() + "/notchora.sock");
    }

    void nobodyRunningMeansNoHandOver() {
        test::TestEnvironment env;
        SingleInstance instance;
        QVERIFY(!instance.handOver({"reopen"}, 500));
    }

    void secondStartHandsOverAndExits() {
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

    void staleSocketIsReplaced() {
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

    void withoutRuntimeDirOnlyAPrivateFolder_data() {
        QTest::addColumn<QString>("prepared"); // what is at <temp>/notchora-<uid> beforehand
        QTest::addColumn<bool>("used");
        QTest::newRow("nothing yet") << "" << true;
        QTest::newRow("our private folder") << "0700" << true;
        QTest::newRow("a folder others can enter") << "0777" << false;
        QTest::newRow("a symbolic link") << "link" << false;
        QTest::newRow("another user's folder") << "other" << false;
    }

    // Without a runtime dir the socket goes into a per-user folder in the shared temporary
    // folder, which another user may have made first.
    void withoutRuntimeDirOnlyAPrivateFolder() {
        QFETCH(QString, prepared);
        QFETCH(bool, used);
        test::TestEnvironment env;
        qunsetenv("XDG_RUNTIME_DIR");
        const QString temp = env.root() + "/tmp";
        QVERIFY(QDir().mkpath(temp));
        qputenv("TMPDIR", QFile::encodeName(temp));
        const QString folder = temp + "/notchora-" + QString::number(::getuid());
        const QByteArray name = QFile::encodeName(folder);
        if (prepared == "0700" || prepared == "0777" || prepared == "other") {
            QVERIFY(::mkdir(name.constData(), 0700) == 0);
            QVERIFY(::chmod(name.constData(), prepared == "0777" ? 0777 : 0700) == 0);
        } else if (prepared == "link") {
            QVERIFY(QDir().mkpath(env.root() + "/elsewhere"));
            QVERIFY(QFile::link(env.root() + "/elsewhere", folder));
        }
        if (prepared == "other") {
            if (::getuid() != 0)
                QSKIP("making a folder of another user needs root");
            QVERIFY(::chown(name.constData(), 65534, 65534) == 0);
        }
        if (!used)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a private folder"));
        const QString path = SingleInstance::defaultSocketPath();
        QCOMPARE(path, used ? folder + "/notchora.sock" : QString());
        SingleInstance instance(path);
        if (!used)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot listen"));
        QCOMPARE(instance.listen(), used);
        qunsetenv("TMPDIR");
    }

    // A program of another user can neither hand us a request nor answer ours.
    void anotherUserIsRefused() {
        if (::getuid() != 0)
            QSKIP("connecting as another user needs root");
        test::TestEnvironment env;
        const QString path = env.root() + "/shared.sock";
        SingleInstance instance(path);
        QVERIFY(instance.listen());
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0777) == 0);
        QVERIFY(::chmod(QFile::encodeName(env.root()).constData(), 0755) == 0);
        QSignalSpy requests(&instance, &SingleInstance::requestReceived);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("another user"));
        // As nobody: connect, send a request, and report whether any answer came back. The child
        // only makes system calls (other threads may hold the allocator's lock).
        const QByteArray socketPath = QFile::encodeName(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path - 1);
        // The outcome comes back through a pipe, read as soon as it is there.
        int outcome[2];
        QVERIFY(::pipe(outcome) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            char result = 'x'; // could not become nobody or connect
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            const char request[] = "[\"reopen\"]\n";
            char answer[64];
            if (::setgid(65534) == 0 && ::setuid(65534) == 0 &&
                ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::write(fd, request, sizeof request - 1) > 0)
                result = ::read(fd, answer, sizeof answer) > 0 ? 'a' : '-';
            [[maybe_unused]] const auto written = ::write(outcome[1], &result, 1);
            ::_exit(0);
        }
        QVERIFY(child > 0);
        ::close(outcome[1]);
        ::fcntl(outcome[0], F_SETFL, O_NONBLOCK);
        char result = 0;
        // Keep serving while the child waits for its answer.
        bool received = false;
        const auto poll = [&] {
            return received = received || ::read(outcome[0], &result, 1) == 1;
        };
        QTRY_VERIFY(poll());
        ::close(outcome[0]);
        QCOMPARE(result, '-'); // connected, asked, and got nothing back
        QCOMPARE(requests.count(), 0);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
