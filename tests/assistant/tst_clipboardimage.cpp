#include "TestEnvironment.h"
#include "assistant/ClipboardImage.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
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

// Which bytes a paste takes from the clipboard, in the order the kinds of content count.
class ClipboardImageTest : public QObject {
    Q_OBJECT
    test::TestEnvironment m_env;

private slots:
    void order_data() {
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
        offered("text alone", {}, "hello", false, false, {});
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
    void order() {
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
        QFile huge(root + "/huge.png");
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(ClipboardImage::maxFileBytes + 1));
        huge.close();
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

QTEST_MAIN(ClipboardImageTest)
#include "tst_clipboardimage.moc"
