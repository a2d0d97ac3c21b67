#include "assistant/SlashKeyHandling.h"
#include "assistant/SlashSuggestions.h"

#include <QSignalSpy>
#include <QTest>

using namespace notchora;

// What the question fields suggest for a slash word, and how their keys move through it.
class SlashSuggestionsTest : public QObject {
    Q_OBJECT

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
        for (const SlashSuggestions::Item& item : SlashSuggestions::matches(text)) {
            QVERIFY(SlashSuggestions::table().contains(item));
            found.append(item.command);
        }
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
        pressed("large index, down", "/", 7, "D", true, {1}, "/");
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
        const QHash<QChar, int> codes{{'U', Qt::Key_Up},
                                      {'D', Qt::Key_Down},
                                      {'T', Qt::Key_Tab},
                                      {'R', Qt::Key_Return},
                                      {'L', Qt::Key_Left}};
        SlashKeyHandling handling;
        handling.setText(text);
        handling.setIndex(start);
        QSignalSpy completed(&handling, &SlashKeyHandling::completed);
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(handling.handleKey(codes.value(keys[i])), consumed);
            QCOMPARE(handling.index(), indexes.at(i));
        }
        QCOMPARE(handling.text(), finalText);
        const bool tabbed = consumed && keys.contains('T');
        QCOMPARE(completed.size(), tabbed ? 1 : 0);
        if (tabbed) {
            QCOMPARE(completed.first().at(0).toString(), finalText);
            QCOMPARE(handling.count(), 0); // the list closes on a whole command
        }
    }
    void textChangeStartsOver() {
        SlashKeyHandling handling;
        handling.setText("/");
        QCOMPARE(handling.items().at(1).toMap().value("detail").toString(),
                 QStringLiteral("Mulai percakapan baru"));
        // Another text with the same suggestion: the highlight still starts over.
        handling.setText("/c");
        handling.setIndex(1);
        handling.setText("/co");
        QCOMPARE(handling.index(), 0);
        handling.handleKey(Qt::Key_Down);
        handling.setText("/x");
        QCOMPARE(handling.index(), 0);
        QCOMPARE(handling.count(), 0);
    }
};

QTEST_GUILESS_MAIN(SlashSuggestionsTest)
#include "tst_slashsuggestions.moc"
