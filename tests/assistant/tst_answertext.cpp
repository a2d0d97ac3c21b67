#include "assistant/ConfidenceStyle.h"
#include "assistant/MarkdownText.h"
#include "assistant/StreamingText.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace notchora;

namespace {
enum Style { Plain = 0, Bold = 1, Italic = 2, Code = 4, Strike = 8, Link = 16 };

int styleOf(const QTextCharFormat& format) {
    const QStringList families = format.fontFamilies().toStringList();
    return (format.fontWeight() >= QFont::Bold ? Bold : Plain) |
           (format.fontItalic() ? Italic : Plain) |
           (format.fontFixedPitch() || families.contains("monospace") ||
                    families.contains("Courier New,courier")
                ? Code
                : Plain) |
           (format.fontStrikeOut() ? Strike : Plain) | (format.isAnchor() ? Link : Plain);
}

void rendered(const char* tag, const QString& markdown, const QString& shown, const QString& styles,
              const QString& href = {}) {
    QTest::newRow(tag) << markdown << shown << styles << href;
}

// Text that comes out as it went in, every character plain.
void plain(const char* tag, const QString& text) {
    rendered(tag, text, text, QString(text.size(), u'0'));
}

void shows(const char* tag, const QString& raw, const QString& shown) {
    QTest::newRow(tag) << raw << shown;
}
} // namespace

class AnswerTextTest : public QObject {
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
    void rendering_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("shown");
        // The style of each shown character, as a string of Style values in base 32.
        QTest::addColumn<QString>("styles");
        QTest::addColumn<QString>("href"); // of the first link; only what a browser opens
        rendered("bold", "a **big** b", "a big b", "0011100");
        rendered("italic with either mark", "*one* _two_", "one two", "2220222");
        rendered("inline code keeps its stars", "run `a*b*c` now", "run a*b*c now",
                 "0000444440000");
        rendered("strikethrough", "~~old~~ new", "old new", "8880000");
        rendered("bold inside italic", "*a **b** c*", "a b c", "22322");
        rendered("link", "see [docs](https://example.org/x)", "see docs", "0000gggg",
                 "https://example.org/x");
        rendered("autolink", "<https://a.io>", "https://a.io", "gggggggggggg", "https://a.io");
        rendered("mailto", "[a](mailto:me@x.org)", "a", "g", "mailto:me@x.org");
        rendered("an ampersand in the address survives", "[a](https://x.org/?a=1&b=2)", "a", "g",
                 "https://x.org/?a=1&b=2");
        rendered("escaped marks", "\\*not\\*", "*not*", "00000");
        rendered("markup inside styling is text too", "**<i>x</i>**", "<i>x</i>", "11111111");
        rendered("broken UTF-16 is shown plain", QStringLiteral("**a** ") + QChar(0xD800),
                 QStringLiteral("**a** ") + QChar(0xFFFD), "0000000");
        plain("heading marker stays as typed", "# Title\nbody");
        plain("list and quote markers stay", "- item\n1. first\n> quoted");
        plain("blanks and line breaks as written", "a   b\n\n  c");
        plain("underscores inside words are text", "snake_case_name");
        plain("unclosed markers stay plain", "**unclosed and `tick and *half");
        plain("a star next to a blank opens nothing", "2 * 3 * 4");
        plain("markup in the answer is text", "<b>x</b> <img src=\"a.png\"> &amp;");
        plain("a quote in the address stays text", "[a](https://x.org/\"onclick=\")");
        plain("javascript stays text", "[a](javascript:alert(1))");
        plain("file stays text", "[a](file:///etc/passwd)");
    }
    void rendering() {
        QFETCH(QString, markdown);
        QFETCH(QString, shown);
        QFETCH(QString, styles);
        QFETCH(QString, href);
        QTextDocument document;
        document.setHtml(MarkdownText::renderMarkdown(markdown));
        QCOMPARE(document.toPlainText(), shown);
        // The format of each character is the one a cursor just after it reports.
        QTextCursor cursor(&document);
        QString actual, firstHref;
        for (int i = 1; i < document.characterCount(); ++i) {
            cursor.setPosition(i);
            actual += QString::number(styleOf(cursor.charFormat()), 32);
            if (firstHref.isEmpty())
                firstHref = cursor.charFormat().anchorHref();
        }
        QCOMPARE(actual, styles);
        QCOMPARE(firstHref, href);
    }
    // The value, then its text, colour and arc.
    void confidence_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QVariantList>("shown");
        // The colour follows the value, not the rounded number.
        const QColor green = ConfidenceStyle::green(), yellow = ConfidenceStyle::yellow(),
                     orange = ConfidenceStyle::orange();
        const auto row = [](const char* tag, double value, const char* text, QColor color,
                            double arc) {
            QTest::newRow(tag) << value << QVariantList{QString(text), color, arc};
        };
        row("0.746", 0.746, "75%", yellow, 0.746);
        row("0.75", 0.75, "75%", green, 0.75);
        row("0.5 is yellow", 0.5, "50%", yellow, 0.5);
        row("0.499", 0.499, "50%", orange, 0.499);
        row("above one is full", 1.4, "100%", green, 1.0);
        row("below zero is empty", -0.2, "0%", orange, 0.0);
        row("not a number", qQNaN(), "0%", orange, 0.0);
    }
    void confidence() {
        QFETCH(double, value);
        QFETCH(QVariantList, shown);
        QCOMPARE((QVariantList{ConfidenceStyle::percentText(value), ConfidenceStyle::color(value),
                               ConfidenceStyle::fraction(value)}),
                 shown);
        QCOMPARE(ConfidenceStyle::accessibleName(value),
                 "Keyakinan " + shown.first().toString().chopped(1) + " persen");
    }
};

// Raw strings the meta-object compiler cannot read stay below the class.
void AnswerTextTest::display_data() {
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

void AnswerTextTest::everyPrefixShowsWhatTheWholeTextWould_data() {
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
             // A piece may end between the halves of a surrogate pair.
             "{\"text\": \"a\xF0\x9F\x98\x80"
             "b\"}",
             "{\"text\": \"\xf2\xf2\x8e\x8e\x8e",
         })
        QTest::addRow("%d", row++) << QString::fromUtf8(raw);
}

QTEST_MAIN(AnswerTextTest)
#include "tst_answertext.moc"
