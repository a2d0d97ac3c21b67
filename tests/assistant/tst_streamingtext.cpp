#include "assistant/StreamingText.h"

#include <QTest>

using namespace notchora;

namespace {
void shows(const char* tag, const QString& raw, const QString& shown) {
    QTest::newRow(tag) << raw << shown;
}
} // namespace

class StreamingTextTest : public QObject {
    Q_OBJECT
private slots:
    void display_data();
    void display() {
        QFETCH(QString, raw);
        QFETCH(QString, shown);
        QCOMPARE(StreamingText::display(raw), shown);
    }

    void everyPrefixShowsWhatTheWholeTextWould_data();
    void everyPrefixShowsWhatTheWholeTextWould() {
        QFETCH(QString, raw);
        // One character at a time, and in uneven pieces.
        for (const int step : {1, 3}) {
            StreamingText text;
            QString lastShown;
            for (qsizetype end = 0; end < raw.size();) {
                const qsizetype next = std::min(raw.size(), end + step);
                const bool changed = text.append(QStringView(raw).mid(end, next - end));
                end = next;
                const QString expected = StreamingText::display(raw.left(end));
                QCOMPARE(text.displayText(), expected);
                QCOMPARE(changed, !expected.isEmpty() && expected != lastShown);
                if (!expected.isEmpty())
                    lastShown = expected;
                QCOMPARE(text.shown(), lastShown);
            }
        }
    }

    void shownKeepsTheLastTextWhenAFenceHidesIt() {
        StreamingText text;
        QVERIFY(text.append(u"``"));
        // The fence completes: the display is empty now, the view keeps what it showed.
        QVERIFY(!text.append(u"`json{\"te"));
        QCOMPARE(text.displayText(), QString());
        QCOMPARE(text.shown(), QStringLiteral("``"));
        QVERIFY(!text.append(u"xt\":\""));
        // The field now shows the same text: nothing changes for the view.
        QVERIFY(!text.append(u"``"));
        QCOMPARE(text.displayText(), QStringLiteral("``"));
        QVERIFY(text.append(u"!"));
        QCOMPARE(text.shown(), QStringLiteral("``!"));
    }
};

// Raw strings the meta-object compiler cannot read stay below the class.
void StreamingTextTest::display_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("shown");
    shows("partial JSON with an escape, cut off before the closing quote",
          R"({"text": "Hal\u006f dunia)", "Halo dunia");
    shows("plain text keeps its leading blanks", "  Halo", "  Halo");
    shows("only blanks", " \n\t ", "");
    shows("JSON without a text key", R"({"answer": "x", "n": 1})", "");
    shows("array, key after blanks around the colon", "[{\"id\":1, \"text\" \n:\t \"a\"}]", "a");
    shows("fenced JSON", "\n```json\n{\"text\":\"b\\nc\\td\\re\"}", "b\nc\tde");
    shows("a fence of another language is plain", "```js {\"text\":\"x\"}",
          "```js {\"text\":\"x\"}");
    shows("escaped quote, backslash and slash", R"({"text":"a\"b\\c\/d" , "text":"no"})",
          R"(a"b\c/d)");
    shows("an unfinished escape drops nothing before it", R"({"text":"ab\)", "ab");
    shows("an unfinished \\u escape", R"({"text":"ab\u00)", "ab");
    shows("an invalid \\u escape adds nothing", R"({"text":"a\u12G4b)", "ab");
    shows("half a surrogate pair adds nothing", R"({"text":"a\uD83Db)", "ab");
    shows("the first key that matches wins", R"({"context":"t", "text":"first", "text":"second"})",
          "first");
    shows("a key closing quote that opens the real key", R"({""text":"x"})", "x");
    shows("no-break space is not a blank of the key pattern",
          QString::fromUtf8("{\"text\"\u00a0:\"x\"}"), "");
}

void StreamingTextTest::everyPrefixShowsWhatTheWholeTextWould_data() {
    QTest::addColumn<QString>("raw");
    // Texts whose interest lies between their characters.
    int row = 0;
    for (const char* raw : {
             R"(  {"text": "Hal\u006f dunia)",
             "  Halo\n dunia",
             "  ``",
             "\t```json\n{\"text\" : \"ok\\\"\\\\\"} tail \"text\":\"x\"",
             R"({"text"text": "te"text"  :"v\u00e9\uD800!")",
             R"({"tex "text"x":"no", "text"   :   "yes\u0021\u00)",
             R"([1, {"t":"text", "text":"\\\u0041\n"}])",
             "{\"text\"\x0b:\f\"vt\"}",
         })
        QTest::addRow("%d", row++) << QString::fromUtf8(raw);
}

QTEST_GUILESS_MAIN(StreamingTextTest)
#include "tst_streamingtext.moc"
