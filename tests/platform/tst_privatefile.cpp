#include "ManualClock.h"
#include "TestEnvironment.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>

using namespace notchora;
using notchora::test::readFile;
using notchora::test::writeFile;

namespace {

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class PrivateFileTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_env = std::make_unique<test::TestEnvironment>(); }
    void write_data() {
        QTest::addColumn<QByteArray>("existing"); // null: no file yet
        QTest::addColumn<int>("existingMode");
        QTest::addColumn<bool>("blocked"); // a plain file sits where the folder should be
        QTest::addColumn<bool>("written");
        QTest::newRow("new file and folder") << QByteArray() << 0 << false << true;
        QTest::newRow("replaces a world-readable file")
            << QByteArray("old") << 0644 << false << true;
        QTest::newRow("replaces an empty file") << QByteArray("") << 0600 << false << true;
        QTest::newRow("folder cannot be created") << QByteArray() << 0 << true << false;
    }
    void write() {
        QFETCH(QByteArray, existing);
        QFETCH(int, existingMode);
        QFETCH(bool, blocked);
        QFETCH(bool, written);
        if (!existing.isNull()) {
            QVERIFY(writeFile(path(), existing));
            QCOMPARE(::chmod(QFile::encodeName(path()).constData(), mode_t(existingMode)), 0);
        }
        if (blocked)
            QVERIFY(writeFile(folder(), "in the way"));

        // Even a permissive umask never lets the file be readable by others, not for a moment.
        const mode_t previous = ::umask(0);
        const ManualClock clock;
        const bool ok = PrivateFile(path(), clock).write("{\"a\":1}");
        ::umask(previous);

        QCOMPARE(ok, written);
        if (!written) {
            QCOMPARE(readFile(folder()), QByteArray("in the way"));
            return;
        }
        QCOMPARE(readFile(path()), QByteArray("{\"a\":1}"));
        QCOMPARE(modeOf(path()), 0600);
        if (existing.isNull())
            QCOMPARE(modeOf(folder()), 0700);
        // Replaced by a rename: nothing temporary is left beside it.
        QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"state.json"});
    }
    void keepAside_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<QStringList>("earlier"); // backups already there, suffixes after the path
        QTest::addColumn<QString>("expected");
        const QString stamp = QStringLiteral(".unreadable-20240309-140507");
        const int move = int(PrivateFile::KeepAside::Move);
        const int copy = int(PrivateFile::KeepAside::Copy);
        QTest::newRow("move") << move << QStringList() << stamp;
        QTest::newRow("copy") << copy << QStringList() << stamp;
        QTest::newRow("second in the same second")
            << move << QStringList{stamp} << stamp + QStringLiteral("-2");
        QTest::newRow("third, copied") << copy << QStringList{stamp, stamp + QStringLiteral("-2")}
                                       << stamp + QStringLiteral("-3");
        QTest::newRow("an earlier second does not count")
            << move << QStringList{QStringLiteral(".unreadable-20240309-140506")} << stamp;
    }
    void keepAside() {
        QFETCH(int, how);
        QFETCH(QStringList, earlier);
        QFETCH(QString, expected);
        QVERIFY(writeFile(path(), "{ broken"));
        for (const QString& suffix : earlier)
            QVERIFY(writeFile(path() + suffix, "earlier " + suffix.toUtf8()));

        // The backup name is the clock's local time, to the second.
        const ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7, 900), Qt::LocalTime));
        const PrivateFile file(path(), clock);
        const QString backup = file.keepAside(PrivateFile::KeepAside(how));

        QCOMPARE(backup, path() + expected);
        QCOMPARE(readFile(backup), QByteArray("{ broken"));
        for (const QString& suffix : earlier)
            QCOMPARE(readFile(path() + suffix), "earlier " + suffix.toUtf8());
        const bool moved = PrivateFile::KeepAside(how) == PrivateFile::KeepAside::Move;
        QCOMPARE(file.read().status,
                 moved ? PrivateFile::Status::Missing : PrivateFile::Status::Read);
    }

private:
    QString folder() const { return m_env->root() + QStringLiteral("/private"); }
    QString path() const { return folder() + QStringLiteral("/state.json"); }
    std::unique_ptr<test::TestEnvironment> m_env;
};

QTEST_GUILESS_MAIN(PrivateFileTest)
#include "tst_privatefile.moc"
