#include "assistant/SlashKeyHandling.h"
#include "assistant/SlashSuggestions.h"

#include <QSignalSpy>
#include <QTest>

using namespace notchora;

// What the question fields suggest for a slash word, and how their keys move through it.
class SlashSuggestionsTest : public QObject {
    Q_OBJECT
private slots:
    void matches_data();
    void matches();
    void keys_data();
    void keys();
    void textChangeStartsOver();
};

void SlashSuggestionsTest::matches_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("lone slash") << "/" << QStringList{"/compact", "/new"};
    QTest::newRow("/c") << "/c" << QStringList{"/compact"};
    QTest::newRow("/NE in capitals") << "/NE" << QStringList{"/new"};
    QTest::newRow("/x") << "/x" << QStringList{};
    QTest::newRow("/COMPACT whole") << "/COMPACT" << QStringList{};
    QTest::newRow("/compact with argument") << "/compact now" << QStringList{};
    QTest::newRow("/compac and a blank") << "/compac " << QStringList{};
    QTest::newRow("/cl is not in the table") << "/cl" << QStringList{};
    QTest::newRow("longer than a command") << "/compactx" << QStringList{};
    QTest::newRow("leading blank") << " /c" << QStringList{};
    QTest::newRow("no slash") << "compact" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
}

void SlashSuggestionsTest::matches() {
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
void SlashSuggestionsTest::keys_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("consumed");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<QString>("finalText");

    QTest::newRow("down, down stays, up, tab")
        << "/" << 0 << "DDUT" << true << QList<int>{1, 1, 0, 0} << "/compact";
    QTest::newRow("up on the first row stays") << "/" << 0 << "U" << true << QList<int>{0} << "/";
    QTest::newRow("tab on the second row")
        << "/" << 0 << "DT" << true << QList<int>{1, 0} << "/new";
    QTest::newRow("capitals complete in lower case")
        << "/N" << 0 << "T" << true << QList<int>{0} << "/new";
    // An index left past the end by a list that shrank counts as the last row.
    QTest::newRow("large index, up") << "/" << 7 << "U" << true << QList<int>{0} << "/";
    QTest::newRow("large index, down") << "/" << 7 << "D" << true << QList<int>{1} << "/";
    QTest::newRow("large index on one row, tab")
        << "/n" << 3 << "T" << true << QList<int>{0} << "/new";
    // Keys the list does not use, or no list: the field gets them.
    QTest::newRow("return and left with a list")
        << "/" << 1 << "RL" << false << QList<int>{1, 1} << "/";
    QTest::newRow("plain text") << "hello" << 0 << "UDT" << false << QList<int>{0, 0, 0} << "hello";
    QTest::newRow("whole command")
        << "/compact" << 0 << "TD" << false << QList<int>{0, 0} << "/compact";
}

void SlashSuggestionsTest::keys() {
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

void SlashSuggestionsTest::textChangeStartsOver() {
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

QTEST_GUILESS_MAIN(SlashSuggestionsTest)
#include "tst_slashsuggestions.moc"
