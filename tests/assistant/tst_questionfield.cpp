#include "TestEnvironment.h"
#include "assistant/ClipboardImage.h"
#include "assistant/SlashKeyHandling.h"
#include "assistant/SlashSuggestions.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

using namespace notchora;

namespace {
const QByteArray pngBytes = "\x89PNG fake png bytes";
const QByteArray tiffBytes = "II*\0 fake tiff bytes";
const QByteArray fileBytes = "\x89PNG bytes of the copied file";

// The formats on the clipboard (file names relative to the test's folder) and the bytes a
// paste should take (empty: none).
void offered(const char* tag, const QStringList& files, const char* text, bool png, bool tiff,
             const QByteArray& expected) {
    QTest::newRow(tag) << files << QString(text) << png << tiff << expected;
}
} // namespace

class QuestionFieldTest : public QObject {
    Q_OBJECT
    test::TestEnvironment m_env;

    static void pressed(const char* tag, const char* text, int start, const char* keys,
                        bool consumed, const QList<int>& indexes, const char* finalText) {
        QTest::newRow(tag) << QString(text) << start << QString(keys) << consumed << indexes
                           << QString(finalText);
    }

private slots:
    void matches_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("lone slash") << "/" << QStringList{"/compact", "/new"};
        QTest::newRow("/c") << "/c" << QStringList{"/compact"};
        QTest::newRow("/NE in capitals") << "/NE" << QStringList{"/new"};
        for (const char* none : {"/x", "/COMPACT", "/compact now", "/compac ", "/cl", "/compactx",
                                 " /c", "compact", ""})
            QTest::addRow("\"%s\"", none) << QString(none) << QStringList();
    }
    void matches() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QStringList found;
        for (const SlashSuggestions::Item& item : SlashSuggestions::matches(text))
            found.append(item.command);
        QCOMPARE(found, expected);
    }
    // Keys U(p), D(own), T(ab), R(eturn), L(eft) pressed in turn on a field holding `text`
    // with the highlight at `start`: the index after each, and the text at the end.
    void keys_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("consumed");
        QTest::addColumn<QList<int>>("indexes");
        QTest::addColumn<QString>("finalText");
        pressed("down, down stays, up, tab", "/", 0, "DDUT", true, {1, 1, 0, 0}, "/compact");
        pressed("up on the first row stays", "/", 0, "U", true, {0}, "/");
        pressed("tab on the second row", "/", 0, "DT", true, {1, 0}, "/new");
        pressed("capitals complete in lower case", "/N", 0, "T", true, {0}, "/new");
        // An index left past the end by a list that shrank counts as the last row.
        pressed("large index, up", "/", 7, "U", true, {0}, "/");
        pressed("large index on one row, tab", "/n", 3, "T", true, {0}, "/new");
        // Keys the list does not use, or no list: the field gets them.
        pressed("return and left with a list", "/", 1, "RL", false, {1, 1}, "/");
        pressed("plain text", "hello", 0, "UDT", false, {0, 0, 0}, "hello");
        pressed("whole command", "/compact", 0, "TD", false, {0, 0}, "/compact");
    }
    void keys() {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(QString, keys);
        QFETCH(bool, consumed);
        QFETCH(QList<int>, indexes);
        QFETCH(QString, finalText);
        const int codes[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Return, Qt::Key_Left};
        SlashKeyHandling handling;
        handling.setText(text);
        handling.setIndex(start);
        QSignalSpy completed(&handling, &SlashKeyHandling::completed);
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(handling.handleKey(codes[QStringLiteral("UDTRL").indexOf(keys[i])]), consumed);
            QCOMPARE(handling.index(), indexes.at(i));
        }
        QCOMPARE(handling.text(), finalText);
        const bool tabbed = consumed && keys.contains('T');
        QCOMPARE(completed.size(), tabbed ? 1 : 0);
        if (tabbed) // the list closes on a whole command
            QCOMPARE((std::pair{completed.first().at(0).toString(), handling.count()}),
                     (std::pair{finalText, 0}));
    }
    void pastedBytes_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("png");
        QTest::addColumn<bool>("tiff");
        QTest::addColumn<QByteArray>("expected");
        const QStringList shot{"shot.png"}, notes{"notes.txt"};
        offered("nothing", {}, "", false, false, {});
        offered("png only", {}, "", true, false, pngBytes);
        offered("png before tiff", {}, "", true, true, pngBytes);
        offered("text with png is a text paste", {}, "hello", true, false, {});
        offered("png file", shot, "", false, false, fileBytes);
        // File managers put the path as text beside the URL: the file still wins.
        offered("png file with its path as text", shot, "shot.png", false, false, fileBytes);
        offered("file name in capitals", {"SHOT.JPG"}, "", false, false, fileBytes);
        offered("png file before png data", shot, "", true, false, fileBytes);
        offered("text file with its path as text", notes, "notes.txt", false, false, {});
        offered("text file then png data", notes, "", true, false, pngBytes);
        offered("only the first file counts", notes + shot, "", false, false, {});
        offered("unreadable image file falls through", {"missing.png"}, "", true, false, pngBytes);
        offered("folder named like an image falls through", {"folder.png"}, "", false, true,
                tiffBytes);
        offered("oversized image file falls through", {"huge.png"}, "", true, false, pngBytes);
        offered("web address is not a file", {"https://example.com/a.png"}, "", false, false, {});
    }
    void pastedBytes() {
        QFETCH(QStringList, files);
        QFETCH(QString, text);
        QFETCH(bool, png);
        QFETCH(bool, tiff);
        QFETCH(QByteArray, expected);
        const QString root = m_env.root();
        QVERIFY(test::writeFile(root + "/shot.png", fileBytes));
        QVERIFY(test::writeFile(root + "/SHOT.JPG", fileBytes));
        QVERIFY(test::writeFile(root + "/notes.txt", "just some notes"));
        QVERIFY(QDir(root).mkpath("folder.png"));
        QVERIFY(test::writeFile(root + "/huge.png", ""));
        QVERIFY(QFile::resize(root + "/huge.png", ClipboardImage::maxFileBytes + 1));
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& file : files)
            urls.append(file.contains("://") ? QUrl(file) : QUrl::fromLocalFile(root + "/" + file));
        if (!urls.isEmpty())
            data.setUrls(urls);
        if (png)
            data.setData("image/png", pngBytes);
        if (tiff)
            data.setData("image/tiff", tiffBytes);
        data.setText(text); // empty text does not count
        QCOMPARE(ClipboardImage::imageData(data).value_or("(none)"),
                 expected.isEmpty() ? "(none)" : expected);
    }
};

QTEST_MAIN(QuestionFieldTest)
#include "tst_questionfield.moc"
