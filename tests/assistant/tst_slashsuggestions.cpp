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
    void keysWithoutSuggestionsGoToTheField_data();
    void keysWithoutSuggestionsGoToTheField();
};

namespace {
QStringList commands(const QList<SlashSuggestions::Item>& items) {
    QStringList list;
    for (const SlashSuggestions::Item& item : items)
        list.append(item.command);
    return list;
}
} // namespace

void SlashSuggestionsTest::matches_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    const QStringList both{"/compact", "/new"};
    QTest::newRow("lone slash") << "/" << both;
    QTest::newRow("/c") << "/c" << QStringList{"/compact"};
    QTest::newRow("/n") << "/n" << QStringList{"/new"};
    QTest::newRow("/ne in capitals") << "/NE" << QStringList{"/new"};
    QTest::newRow("/x") << "/x" << QStringList{};
    QTest::newRow("/compact whole") << "/compact" << QStringList{};
    QTest::newRow("/COMPACT whole") << "/COMPACT" << QStringList{};
    QTest::newRow("/compact with argument") << "/compact now" << QStringList{};
    QTest::newRow("slash then blank") << "/ " << QStringList{};
    QTest::newRow("/compac trailing blank") << "/compac " << QStringList{};
    QTest::newRow("/cl is not in the table") << "/cl" << QStringList{};
    QTest::newRow("/clear is not in the table") << "/clear" << QStringList{};
    QTest::newRow("longer than a command") << "/compactx" << QStringList{};
    QTest::newRow("leading blank") << " /c" << QStringList{};
    QTest::newRow("no slash") << "compact" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("slash later in the text") << "a/c" << QStringList{};
}

void SlashSuggestionsTest::matches() {
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    const QList<SlashSuggestions::Item> found = SlashSuggestions::matches(text);
    QCOMPARE(commands(found), expected);
    for (const SlashSuggestions::Item& item : found)
        QVERIFY(SlashSuggestions::table().contains(item));
}

// Keys: U(p), D(own), T(ab); after each the expected index, whether the key was consumed,
// and the text at the end.
void SlashSuggestionsTest::keys_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("startIndex");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<QString>("finalText");
    QTest::addColumn<int>("finalCount");

    QTest::newRow("down, down stays, up, tab")
        << "/" << 0 << "DDUT" << QList<int>{1, 1, 0, 0} << "/compact" << 0;
    QTest::newRow("up on the first row stays") << "/" << 0 << "U" << QList<int>{0} << "/" << 2;
    QTest::newRow("tab on the second row") << "/" << 0 << "DT" << QList<int>{1, 0} << "/new" << 0;
    QTest::newRow("one row: down stays") << "/c" << 0 << "DD" << QList<int>{0, 0} << "/c" << 1;
    QTest::newRow("capitals complete in lower case")
        << "/N" << 0 << "T" << QList<int>{0} << "/new" << 0;
    // An index left past the end by a list that shrank counts as the last row.
    QTest::newRow("large index, up") << "/" << 7 << "U" << QList<int>{0} << "/" << 2;
    QTest::newRow("large index, down") << "/" << 7 << "D" << QList<int>{1} << "/" << 2;
    QTest::newRow("large index, tab") << "/" << 7 << "T" << QList<int>{0} << "/new" << 0;
    QTest::newRow("large index on one row, tab")
        << "/n" << 3 << "T" << QList<int>{0} << "/new" << 0;
}

void SlashSuggestionsTest::keys() {
    QFETCH(QString, text);
    QFETCH(int, startIndex);
    QFETCH(QString, keys);
    QFETCH(QList<int>, indexes);
    QFETCH(QString, finalText);
    QFETCH(int, finalCount);

    SlashKeyHandling handling;
    handling.setText(text);
    handling.setIndex(startIndex);
    QSignalSpy completed(&handling, &SlashKeyHandling::completed);
    for (int i = 0; i < keys.size(); ++i) {
        const int key = keys[i] == 'U' ? Qt::Key_Up : keys[i] == 'D' ? Qt::Key_Down : Qt::Key_Tab;
        QVERIFY2(handling.handleKey(key), qPrintable(QString("key %1").arg(i)));
        QCOMPARE(handling.index(), indexes.at(i));
    }
    QCOMPARE(handling.text(), finalText);
    QCOMPARE(handling.count(), finalCount);
    QCOMPARE(completed.size(), int(keys.count('T')));
    if (!completed.isEmpty())
        QCOMPARE(completed.last().at(0).toString(), finalText);
}

void SlashSuggestionsTest::textChangeStartsOver() {
    SlashKeyHandling handling;
    QSignalSpy items(&handling, &SlashKeyHandling::itemsChanged);
    handling.setText("/");
    QCOMPARE(handling.items().size(), 2);
    QCOMPARE(handling.items().at(1).toMap().value("detail").toString(),
             QStringLiteral("Mulai percakapan baru"));
    handling.handleKey(Qt::Key_Down);
    QCOMPARE(handling.index(), 1);
    // Back to a text with the same suggestions: the highlight still starts over.
    handling.setText("/c");
    handling.setText("/");
    QCOMPARE(handling.index(), 0);
    QCOMPARE(items.size(), 3);
    handling.handleKey(Qt::Key_Down);
    handling.setText("/x");
    QCOMPARE(handling.index(), 0);
    QCOMPARE(handling.count(), 0);
}

void SlashSuggestionsTest::keysWithoutSuggestionsGoToTheField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::newRow("up on plain text") << "hello" << int(Qt::Key_Up);
    QTest::newRow("down on plain text") << "hello" << int(Qt::Key_Down);
    QTest::newRow("tab on plain text") << "hello" << int(Qt::Key_Tab);
    QTest::newRow("tab on a whole command") << "/compact" << int(Qt::Key_Tab);
    QTest::newRow("down on an argument") << "/compact now" << int(Qt::Key_Down);
    QTest::newRow("return with suggestions") << "/" << int(Qt::Key_Return);
    QTest::newRow("escape with suggestions") << "/" << int(Qt::Key_Escape);
    QTest::newRow("left with suggestions") << "/" << int(Qt::Key_Left);
}

void SlashSuggestionsTest::keysWithoutSuggestionsGoToTheField() {
    QFETCH(QString, text);
    QFETCH(int, key);
    SlashKeyHandling handling;
    handling.setText(text);
    QSignalSpy index(&handling, &SlashKeyHandling::indexChanged);
    QVERIFY(!handling.handleKey(key));
    QCOMPARE(handling.text(), text);
    QCOMPARE(index.size(), 0);
}

QTEST_GUILESS_MAIN(SlashSuggestionsTest)
#include "tst_slashsuggestions.moc"
