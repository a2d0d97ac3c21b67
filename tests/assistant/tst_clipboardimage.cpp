#include "TestEnvironment.h"
#include "assistant/ClipboardImage.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QUrl>

using namespace notchora;

// Which bytes a paste takes from the clipboard, in the order the kinds of content count.
class ClipboardImageTest : public QObject {
    Q_OBJECT
private slots:
    void order_data();
    void order();
    void imageCopiedInThisProgram();

private:
    test::TestEnvironment m_env;
};

namespace {
const QByteArray pngBytes = "\x89PNG fake png bytes";
const QByteArray tiffBytes = "II*\0 fake tiff bytes";
const QByteArray fileBytes = "\x89PNG bytes of the copied file";
} // namespace

// Each row: the formats on the clipboard and the bytes a paste should take ("" for none).
// File names are relative to the test's temporary folder.
void ClipboardImageTest::order_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("png");
    QTest::addColumn<bool>("tiff");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray none;
    QTest::newRow("nothing") << QStringList{} << "" << false << false << none;
    QTest::newRow("png only") << QStringList{} << "" << true << false << pngBytes;
    QTest::newRow("tiff only") << QStringList{} << "" << false << true << tiffBytes;
    QTest::newRow("png before tiff") << QStringList{} << "" << true << true << pngBytes;
    QTest::newRow("text with png is a text paste")
        << QStringList{} << "hello" << true << false << none;
    QTest::newRow("text alone") << QStringList{} << "hello" << false << false << none;
    QTest::newRow("empty text does not count") << QStringList{} << "" << true << false << pngBytes;
    QTest::newRow("png file") << QStringList{"shot.png"} << "" << false << false << fileBytes;
    // File managers put the path as text beside the URL: the file still wins.
    QTest::newRow("png file with its path as text")
        << QStringList{"shot.png"} << "shot.png" << false << false << fileBytes;
    QTest::newRow("file name in capitals")
        << QStringList{"SHOT.JPG"} << "" << false << false << fileBytes;
    QTest::newRow("png file before png data")
        << QStringList{"shot.png"} << "" << true << false << fileBytes;
    QTest::newRow("text file with its path as text")
        << QStringList{"notes.txt"} << "notes.txt" << false << false << none;
    QTest::newRow("text file then png data")
        << QStringList{"notes.txt"} << "" << true << false << pngBytes;
    QTest::newRow("only the first file counts")
        << QStringList{"notes.txt", "shot.png"} << "" << false << false << none;
    QTest::newRow("unreadable image file falls through")
        << QStringList{"missing.png"} << "" << true << false << pngBytes;
    QTest::newRow("folder named like an image falls through")
        << QStringList{"folder.png"} << "" << false << true << tiffBytes;
    QTest::newRow("oversized image file falls through")
        << QStringList{"huge.png"} << "" << true << false << pngBytes;
    QTest::newRow("web address is not a file")
        << QStringList{"https://example.com/a.png"} << "" << false << false << none;
}

void ClipboardImageTest::order() {
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
    if (!text.isEmpty())
        data.setText(text);
    if (png)
        data.setData("image/png", pngBytes);
    if (tiff)
        data.setData("image/tiff", tiffBytes);

    const std::optional<QByteArray> found = ClipboardImage::imageData(data);
    if (expected.isEmpty())
        QVERIFY2(!found, found ? found->constData() : "");
    else
        QCOMPARE(found.value_or("(none)"), expected);
}

// The red-box editor copies a QImage; within this program that is what the clipboard holds.
void ClipboardImageTest::imageCopiedInThisProgram() {
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QMimeData data;
    data.setImageData(image);
    const std::optional<QByteArray> found = ClipboardImage::imageData(data);
    QVERIFY(found);
    QImage decoded;
    QVERIFY(decoded.loadFromData(*found, "PNG"));
    QCOMPARE(decoded.size(), image.size());
    QCOMPARE(decoded.pixelColor(3, 3), QColor(Qt::red));

    data.setText("caption");
    QVERIFY(!ClipboardImage::imageData(data));
}

QTEST_MAIN(ClipboardImageTest)
#include "tst_clipboardimage.moc"
