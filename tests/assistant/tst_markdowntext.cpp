#include "assistant/ConfidenceStyle.h"
#include "assistant/MarkdownText.h"

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace notchora;

namespace {

// What a rich-text view makes of the rendered answer.
struct Shown {
    QString text;
    QTextCharFormat formatAt(int position) const { return formats.value(position); }
    QList<QTextCharFormat> formats;
    int headingLevels = 0;
    int lists = 0;
};

Shown show(const QString& markdown) {
    QTextDocument document;
    document.setHtml(MarkdownText::renderMarkdown(markdown));
    Shown shown;
    shown.text = document.toPlainText();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        shown.headingLevels += block.blockFormat().headingLevel();
        if (block.textList())
            ++shown.lists;
    }
    // The format of each character is the one a cursor just after it reports.
    QTextCursor cursor(&document);
    for (int i = 0; i < document.characterCount() - 1; ++i) {
        cursor.setPosition(i + 1);
        shown.formats.append(cursor.charFormat());
    }
    return shown;
}

enum Style { Plain = 0, Bold = 1, Italic = 2, Code = 4, Strike = 8, Link = 16 };

int styleOf(const QTextCharFormat& format) {
    int style = Plain;
    if (format.fontWeight() >= QFont::Bold)
        style |= Bold;
    if (format.fontItalic())
        style |= Italic;
    if (format.fontFixedPitch() || format.fontFamilies().toStringList().contains("monospace") ||
        format.fontFamilies().toStringList().contains("Courier New,courier"))
        style |= Code;
    if (format.fontStrikeOut())
        style |= Strike;
    if (format.isAnchor())
        style |= Link;
    return style;
}

} // namespace

class MarkdownTextTest : public QObject {
    Q_OBJECT
private slots:
    void rendering_data();
    void rendering();
    void linksOnlyToWhatABrowserOpens_data();
    void linksOnlyToWhatABrowserOpens();
    void confidence_data();
    void confidence();
};

void MarkdownTextTest::rendering_data() {
    QTest::addColumn<QString>("markdown");
    QTest::addColumn<QString>("shown");
    // The style of each shown character, as a string of Style values in hex.
    QTest::addColumn<QString>("styles");

    QTest::newRow("bold") << "a **big** b"
                          << "a big b"
                          << "00111"
                             "00";
    QTest::newRow("italic with either mark") << "*one* _two_"
                                             << "one two"
                                             << "2220222";
    QTest::newRow("bold italic") << "***x***"
                                 << "x"
                                 << "3";
    QTest::newRow("inline code keeps its stars") << "run `a*b*c` now"
                                                 << "run a*b*c now"
                                                 << "0000444440000";
    QTest::newRow("strikethrough") << "~~old~~ new"
                                   << "old new"
                                   << "8880000";
    QTest::newRow("bold inside italic") << "*a **b** c*"
                                        << "a b c"
                                        << "22322";
    QTest::newRow("link") << "see [docs](https://example.org/x)"
                          << "see docs"
                          << "0000"
                             "gggg";
    QTest::newRow("autolink") << "<https://a.io>"
                              << "https://a.io"
                              << "gggggggggggg";
    QTest::newRow("heading marker stays as typed") << "# Title\nbody"
                                                   << "# Title\nbody"
                                                   << "000000000000";
    QTest::newRow("list and quote markers stay")
        << "- item\n1. first\n> quoted"
        << "- item\n1. first\n> quoted" << QString(24, u'0');
    QTest::newRow("blanks and line breaks as written") << "a   b\n\n  c"
                                                       << "a   b\n\n  c" << QString(10, u'0');
    QTest::newRow("underscores inside words are text") << "snake_case_name"
                                                       << "snake_case_name" << QString(15, u'0');
    QTest::newRow("unclosed markers stay plain")
        << "**unclosed and `tick and *half"
        << "**unclosed and `tick and *half" << QString(30, u'0');
    QTest::newRow("a star next to a blank opens nothing") << "2 * 3 * 4"
                                                          << "2 * 3 * 4" << QString(9, u'0');
    QTest::newRow("escaped marks") << "\\*not\\*"
                                   << "*not*"
                                   << "00000";
    QTest::newRow("markup in the answer is text")
        << "<b>x</b> <img src=\"a.png\"> &amp;"
        << "<b>x</b> <img src=\"a.png\"> &amp;" << QString(32, u'0');
    QTest::newRow("markup inside styling is text too") << "**<i>x</i>**"
                                                       << "<i>x</i>"
                                                       << "11111111";
    QTest::newRow("broken UTF-16 is shown plain")
        << QStringLiteral("**a** ") + QChar(0xD800) << QStringLiteral("**a** ") + QChar(0xFFFD) << "0000000";
}

void MarkdownTextTest::rendering() {
    QFETCH(QString, markdown);
    QFETCH(QString, shown);
    QFETCH(QString, styles);
    const Shown result = show(markdown);
    QCOMPARE(result.text, shown);
    QCOMPARE(result.headingLevels, 0);
    QCOMPARE(result.lists, 0);
    QString actual;
    for (const QTextCharFormat& format : result.formats)
        actual += QString::number(styleOf(format), 32);
    QCOMPARE(actual, styles);
}

void MarkdownTextTest::linksOnlyToWhatABrowserOpens_data() {
    QTest::addColumn<QString>("markdown");
    QTest::addColumn<QString>("href");

    QTest::newRow("https") << "[a](https://x.org/p?q=1)"
                           << "https://x.org/p?q=1";
    QTest::newRow("mailto") << "[a](mailto:me@x.org)"
                            << "mailto:me@x.org";
    QTest::newRow("an ampersand in the address survives")
        << "[a](https://x.org/?a=1&b=2)" << "https://x.org/?a=1&b=2";
    QTest::newRow("a quote in the address stays text") << "[a](https://x.org/\"onclick=\")"
                                                       << "";
    QTest::newRow("javascript stays text") << "[a](javascript:alert(1))"
                                           << "";
    QTest::newRow("file stays text") << "[a](file:///etc/passwd)"
                                     << "";
    QTest::newRow("no scheme stays text") << "[a](x.org)"
                                          << "";
}

void MarkdownTextTest::linksOnlyToWhatABrowserOpens() {
    QFETCH(QString, markdown);
    QFETCH(QString, href);
    QTextDocument document;
    document.setHtml(MarkdownText::renderMarkdown(markdown));
    QTextCursor cursor(&document);
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().anchorHref(), href);
    if (href.isEmpty())
        QCOMPARE(document.toPlainText(), markdown);
}

void MarkdownTextTest::confidence_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<double>("arc");

    // The colour follows the value, not the rounded number.
    QTest::newRow("0.746") << 0.746 << "75%" << ConfidenceStyle::yellow() << 0.746;
    QTest::newRow("0.75") << 0.75 << "75%" << ConfidenceStyle::green() << 0.75;
    QTest::newRow("0.3") << 0.3 << "30%" << ConfidenceStyle::orange() << 0.3;
    QTest::newRow("0.5 is yellow") << 0.5 << "50%" << ConfidenceStyle::yellow() << 0.5;
    QTest::newRow("0.499") << 0.499 << "50%" << ConfidenceStyle::orange() << 0.499;
    QTest::newRow("above one is full") << 1.4 << "100%" << ConfidenceStyle::green() << 1.0;
    QTest::newRow("below zero is empty") << -0.2 << "0%" << ConfidenceStyle::orange() << 0.0;
    QTest::newRow("not a number") << qQNaN() << "0%" << ConfidenceStyle::orange() << 0.0;
}

void MarkdownTextTest::confidence() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    QFETCH(double, arc);
    QCOMPARE(ConfidenceStyle::percentText(value), text);
    QCOMPARE(ConfidenceStyle::accessibleName(value), "Keyakinan " + text.chopped(1) + " persen");
    QCOMPARE(ConfidenceStyle::color(value), color);
    QCOMPARE(ConfidenceStyle::fraction(value), arc);
}

QTEST_MAIN(MarkdownTextTest)
#include "tst_markdowntext.moc"
