#include "ManualClock.h"
#include "ProgramRun.h"
#include "TestEnvironment.h"
#include "app/MessageText.h"
#include "app/SingleInstance.h"
#include "app/SingleInstanceRequest.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace notchora;

namespace {

using Request = SingleInstanceRequest;

// Its reply arrives while the event loop runs.
std::unique_ptr<QLocalSocket> send(const QString& path, const QByteArray& bytes) {
    auto client = std::make_unique<QLocalSocket>();
    client->connectToServer(path);
    client->write(bytes);
    return client;
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("words"); // empty: refused as not understood
        QStringList many;
        for (int i = 0; i < Request::maxWords; ++i)
            many << "w";
        const QString url = "soalika-answer://callback?code=x";
        QTest::newRow("one word") << QByteArray("[\"reopen\"]\n") << QStringList{"reopen"};
        QTest::newRow("word and argument, no line end")
            << Request::encode({"open-url", url}).trimmed() << QStringList{"open-url", url};
        QTest::newRow("as many words as allowed") << Request::encode(many) << many;
        QTest::newRow("one word too many")
            << Request::encode(QStringList(many) << "w") << QStringList();
        int refused = 0;
        // clang-format off
        for (const char* line : {"reopen\n", "{\"0\":\"reopen\"}\n", "\"reopen\"\n", "[]\n", "\n",
                                 "[\"reopen\",1]\n", "[[\"reopen\"]]\n", "[\"\"]\n",
                                 "[\"reopen\"][\"signout\"]\n"})
            QTest::addRow("not understood %d", refused++) << QByteArray(line) << QStringList();
        // clang-format on
        QTest::newRow("binary") << QByteArray("\x00\xff[\"a\"]\n", 8) << QStringList();
    }
    void parse() {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, words);
        using Parsed = std::variant<QStringList, Request::Error>;
        QCOMPARE(Request::parse(line), words.isEmpty()
                                           ? Parsed(Request::Error{Request::notUnderstoodMessage})
                                           : Parsed(words));
        QCOMPARE(Request::parse(Request::encode({QString(Request::maxBytes, 'a')})),
                 Parsed(Request::Error{Request::tooLongMessage}));
    }
    void parseReply_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("success") << QByteArray("{\"exitCode\":0,\"output\":\"\"}\n") << 0 << "";
        QTest::newRow("failure with text")
            << QByteArray("{\"exitCode\":1,\"output\":\"Belum masuk\"}\n") << 1 << "Belum masuk";
        QTest::newRow("no output") << QByteArray("{\"exitCode\":3}") << 3 << "";
        int refused = 0;
        // clang-format off
        for (const char* line : {"ok\n", "\n", "{\"output\":\"x\"}\n", "{\"exitCode\":\"0\"}\n",
                                 "{\"exitCode\":0.5}\n", "{\"exitCode\":1e300}\n",
                                 "{\"exitCode\":-1}\n",
                                 "{\"exitCode\":0,\"output\":[1]}\n", "[0,\"\"]\n"})
            QTest::addRow("unreadable %d", refused++) << QByteArray(line) << 2
                                                      << Request::badReplyMessage;
        // clang-format on
    }
    void parseReply() {
        QFETCH(QByteArray, line);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QCOMPARE(Request::parseReply(line), (Request::Reply{exitCode, output}));
    }
    void echo_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        const QString ellipsis(QChar(0x2026));
        const QString sixty(MessageText::maxEchoCharacters, 'x');
        QTest::newRow("exactly the limit") << sixty << sixty;
        QTest::newRow("one over") << sixty + "y" << sixty + ellipsis;
        QTest::newRow("line breaks and escapes")
            << "a\nb\x1b[2J" << QString("a") + QChar(0xFFFD) + "b" + QChar(0xFFFD) + "[2J";
        // A character outside the basic plane straddling the cut is dropped whole.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("surrogate pair at the cut")
            << QString(MessageText::maxEchoCharacters - 1, 'x') + emoji + "tail"
            << QString(MessageText::maxEchoCharacters - 1, 'x') + ellipsis;
    }
    void echo() {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        QCOMPARE(MessageText::echo(value), shown);
    }
    void repliesToEveryRequest_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("reply");
        const int refused = Request::badRequestExitCode;
        QTest::newRow("a request")
            << QByteArray("[\"reopen\"]\n") << QByteArray("{\"exitCode\":0,\"output\":\"\"}\n");
        QTest::newRow("garbage") << QByteArray("hello there\n")
                                 << Request::encodeReply({refused, Request::notUnderstoodMessage});
        // Refused from its length, before any line end arrives.
        QTest::newRow("oversize without line end")
            << QByteArray(Request::maxBytes * 3, '[')
            << Request::encodeReply({refused, Request::tooLongMessage});
    }
    void repliesToEveryRequest() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, reply);
        test::TestEnvironment env;
        const QString path = SingleInstance::defaultSocketPath();
        // A socket file nobody serves, as a crashed run leaves behind, is replaced.
        QVERIFY(test::writeFile(path, {}));
        SingleInstance instance;
        QVERIFY(!instance.handOver({"reopen"}, 500) && instance.listen());
        QSignalSpy requests(&instance, &SingleInstance::requestReceived);
        const bool good = reply.startsWith("{\"exitCode\":0,");
        if (!good)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refusing a request"));
        const auto client = send(path, bytes);
        QTRY_VERIFY(client->canReadLine());
        QCOMPARE(client->readLine(), reply);
        QCOMPARE(requests.count(), good ? 1 : 0);
    }
    // Hundreds of connections that never send anything: a bounded number is kept, a real request
    // still gets through at once, and the rest are closed after the wait.
    void idleConnectionsAreBounded() {
        test::TestEnvironment env;
        ManualClock clock;
        SingleInstance instance(SingleInstance::defaultSocketPath(), clock);
        QVERIFY(instance.listen());
        QSignalSpy requests(&instance, &SingleInstance::requestReceived);
        constexpr int idleCount = 300;
        // The real request below makes room for itself too.
        for (int i = SingleInstance::maxWaitingConnections; i < idleCount + 1; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("too many connections"));
        std::vector<std::unique_ptr<QLocalSocket>> idle;
        for (int i = 0; i < idleCount; ++i) {
            idle.push_back(std::make_unique<QLocalSocket>());
            idle.back()->connectToServer(instance.socketPath());
        }
        const auto connected = [&] {
            return int(std::count_if(idle.begin(), idle.end(), [](const auto& socket) {
                return socket->state() == QLocalSocket::ConnectedState;
            }));
        };
        // Every idle client was accepted, and all but the newest few were closed again.
        QTRY_COMPARE(instance.waitingConnections(), SingleInstance::maxWaitingConnections);
        QTRY_COMPARE(connected(), SingleInstance::maxWaitingConnections);
        QLocalSocket real;
        real.connectToServer(instance.socketPath());
        QVERIFY(real.waitForConnected(2000));
        real.write(Request::encode({"toggle-widget"}));
        QTRY_COMPARE(requests.count(), 1);
        QTRY_VERIFY(real.canReadLine());
        QCOMPARE(Request::parseReply(real.readLine()), (Request::Reply{0, {}}));
        const int stillIdle = SingleInstance::maxWaitingConnections - 1;
        QCOMPARE(instance.waitingConnections(), stillIdle);
        clock.advance(SingleInstance::requestWaitSeconds - 0.5);
        QCOMPARE(instance.waitingConnections(), stillIdle);
        for (int i = 0; i < stillIdle; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("sent no request"));
        clock.advance(1);
        QCOMPARE(instance.waitingConnections(), 0);
        QTRY_COMPARE(connected(), 0);
    }
    void runningProgramRefusesUnknownCommands() {
        test::TestEnvironment env;
        QProcess running;
        QVERIFY(test::startNotchora(running));
        const auto stop = qScopeGuard([&] {
            running.kill();
            running.waitForFinished();
        });
        const QString command = "frobnicate-" + QString(500, 'q');
        const auto client =
            send(SingleInstance::defaultSocketPath(), Request::encode({command, "argument"}));
        QTRY_VERIFY(client->canReadLine());
        const QByteArray reply = client->readLine();
        QVERIFY(reply.size() < 200);
        QCOMPARE(
            Request::parseReply(reply),
            (Request::Reply{Request::badRequestExitCode, Request::unknownCommandMessage(command)}));
    }
    void secondStartHandsOver_data() {
        QTest::addColumn<QByteArray>("reply"); // what the running program sends back
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stderrText");
        QTest::newRow("done") << Request::encodeReply({0, {}}) << 0 << QString();
        QTest::newRow("refused with a message")
            << Request::encodeReply({2, Request::unknownCommandMessage("x")}) << 2
            << Request::unknownCommandMessage("x");
        QTest::newRow("an unreadable reply") << QByteArray("OK\n") << 2 << Request::badReplyMessage;
        QTest::newRow("no reply at all")
            << QByteArray() << 2 << QString("Notchora yang sedang berjalan tidak menjawab.");
    }
    void secondStartHandsOver() {
        QFETCH(QByteArray, reply);
        QFETCH(int, exitCode);
        QFETCH(QString, stderrText);
        test::TestEnvironment env;
        QLocalServer server;
        QVERIFY(server.listen(SingleInstance::defaultSocketPath()));
        std::unique_ptr<QLocalSocket> peer;
        QByteArray request;
        connect(&server, &QLocalServer::newConnection, &server, [&] {
            peer.reset(server.nextPendingConnection());
            while (!peer->canReadLine() && peer->waitForReadyRead(10000)) {
            }
            request = peer->readLine();
            peer->write(reply);
            peer->flush();
            peer->disconnectFromServer();
        });
        QProcessEnvironment environment = test::notchoraEnvironment();
        environment.insert("NOTCHORA_PLATFORM", "headless");
        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(test::TestEnvironment::binary("notchora"), {"--toggle-widget"});
        QVERIFY(second.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(request, Request::encode({"toggle-widget"}));
        QCOMPARE((QVariantList{second.exitStatus(), second.exitCode(),
                               QString::fromUtf8(second.readAllStandardError()).trimmed()}),
                 (QVariantList{QProcess::NormalExit, exitCode, stderrText}));
        // The running program keeps its socket: the failed start did not take over.
        QVERIFY(server.isListening() && QFileInfo(SingleInstance::defaultSocketPath()).exists());
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
        qputenv("TMPDIR", QFile::encodeName(env.root()));
        const QString folder = env.root() + "/notchora-" + QString::number(::getuid());
        const QByteArray name = QFile::encodeName(folder);
        if (prepared == "0700" || prepared == "0777" || prepared == "other") {
            QVERIFY(::mkdir(name.constData(), 0700) == 0 &&
                    ::chmod(name.constData(), prepared == "0777" ? 0777 : 0700) == 0);
        } else if (prepared == "link") {
            QVERIFY(QDir().mkpath(env.root() + "/elsewhere"));
            QVERIFY(QFile::link(env.root() + "/elsewhere", folder));
        }
        if (prepared == "other") {
            if (::getuid() != 0)
                QSKIP("making a folder of another user needs root");
            QVERIFY(::chown(name.constData(), 65534, 65534) == 0);
        }
        if (!used) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a private folder"));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot listen"));
        }
        const QString path = SingleInstance::defaultSocketPath();
        QCOMPARE(path, used ? folder + "/notchora.sock" : QString());
        QCOMPARE(SingleInstance(path).listen(), used);
        qunsetenv("TMPDIR");
    }
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
        QTRY_VERIFY(result != 0 || ::read(outcome[0], &result, 1) == 1);
        ::close(outcome[0]);
        // Connected, asked, and got nothing back.
        QCOMPARE((std::pair{result, requests.count()}), (std::pair{'-', qsizetype(0)}));
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
