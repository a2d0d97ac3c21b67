#include "assistant/MarkdownText.h"

#include <QUrl>
#include <algorithm>
#include <array>
#include <limits>

namespace notchora {

namespace {

// Deeper nesting than any answer has is taken for garbage, shown plain.
constexpr int maxDepth = 32;

bool isSpace(QChar c) {
    return c.isSpace();
}

bool isAsciiPunctuation(QChar c) {
    return c.unicode() < 128 && (c.isPunct() || c.isSymbol());
}

QString escaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\n':
            out += QLatin1String("<br/>");
            break;
        case '\r':
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Rich text collapses runs of blanks unless told otherwise.
QString wrapped(const QString& body) {
    return QStringLiteral("<span style=\"white-space: pre-wrap;\">") + body +
           QStringLiteral("</span>");
}

// Only addresses a browser or mail program opens; anything else stays text.
bool isLinkable(const QUrl& url) {
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme();
    if (scheme == u"mailto")
        return !url.path().isEmpty();
    return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

// Links in the light cyan of the dark card, not the palette's dark blue.
QString anchor(const QUrl& url) {
    return QStringLiteral("<a href=\"") + escaped(url.toString(QUrl::FullyEncoded)) +
           QStringLiteral("\" style=\"color: #64d2ff;\">");
}

// Inline Markdown over one text, a simplified CommonMark: emphasis needs a non-blank next
// to its delimiters, underscores never work inside words, code spans and backslash
// escapes take their content literally, and a delimiter without a partner is plain text.
class InlineParser {
public:
    explicit InlineParser(const QString& text) : s(text) {}

    bool failed = false;

    QString parse(qsizetype begin, qsizetype end, int depth, bool inLink) {
        if (depth > maxDepth) {
            failed = true;
            return {};
        }
        QString out;
        qsizetype i = begin;
        while (i < end && !failed) {
            const QChar c = s[i];
            if (c == u'\\' && i + 1 < end && isAsciiPunctuation(s[i + 1])) {
                out += escaped(QStringView(s).mid(i + 1, 1));
                i += 2;
            } else if (c == u'`') {
                i = codeSpan(i, end, out);
            } else if (c == u'*' || c == u'_' || c == u'~') {
                i = emphasis(i, end, depth, inLink, out);
            } else if (c == u'[' && !inLink) {
                i = link(i, end, depth, out);
            } else if (c == u'<' && !inLink) {
                i = autolink(i, end, out);
            } else {
                out += escaped(QStringView(s).mid(i, 1));
                ++i;
            }
        }
        return out;
    }

private:
    qsizetype runLength(qsizetype i, qsizetype end) const {
        qsizetype n = 0;
        while (i + n < end && s[i + n] == s[i])
            ++n;
        return n;
    }

    // Past the code span that starts at `i`, or -1 when it is never closed.
    qsizetype codeSpanEnd(qsizetype i, qsizetype end) const {
        const qsizetype n = runLength(i, end);
        for (qsizetype j = i + n; j < end;) {
            if (s[j] != u'`') {
                ++j;
                continue;
            }
            const qsizetype m = runLength(j, end);
            if (m == n)
                return j + m;
            j += m;
        }
        return -1;
    }

    qsizetype codeSpan(qsizetype i, qsizetype end, QString& out) const {
        const qsizetype n = runLength(i, end);
        const qsizetype after = codeSpanEnd(i, end);
        if (after < 0) {
            out += QString(n, u'`');
            return i + n;
        }
        QStringView content = QStringView(s).mid(i + n, after - n - (i + n));
        if (content.size() >= 2 && content.front() == u' ' && content.back() == u' ' &&
            !content.trimmed().isEmpty())
            content = content.mid(1, content.size() - 2);
        out += QStringLiteral("<code>") + escaped(content) + QStringLiteral("</code>");
        return after;
    }

    bool canOpen(qsizetype i, qsizetype width, qsizetype end) const {
        if (i + width >= end || isSpace(s[i + width]))
            return false;
        return s[i] != u'_' || i == 0 || !s[i - 1].isLetterOrNumber();
    }

    // Where a delimiter `width` long made of `mark` closes, searching from `from`; -1 if not.
    qsizetype findCloser(QChar mark, qsizetype width, qsizetype from, qsizetype end) {
        const int slot = memoSlot(mark, width);
        if (from >= m_noCloserFrom[slot])
            return -1;
        for (qsizetype j = from; j < end;) {
            const QChar c = s[j];
            if (c == u'\\') {
                j += 2;
                continue;
            }
            if (c == u'`') {
                const qsizetype after = codeSpanEnd(j, end);
                j = after < 0 ? j + runLength(j, end) : after;
                continue;
            }
            if (c != mark) {
                ++j;
                continue;
            }
            const qsizetype run = runLength(j, end);
            // A run as long as needed (or an odd mix) closes with its last characters.
            const bool fits = width == 1 ? run != 2 : run >= 2;
            const qsizetype at = j + run - width;
            const bool afterText = at >= from && !isSpace(s[at - 1]);
            const bool wordEnd =
                mark != u'_' || at + width >= end || !s[at + width].isLetterOrNumber();
            if (fits && afterText && wordEnd)
                return at;
            j += run;
        }
        if (end == s.size())
            m_noCloserFrom[slot] = std::min(m_noCloserFrom[slot], from);
        return -1;
    }

    qsizetype emphasis(qsizetype i, qsizetype end, int depth, bool inLink, QString& out) {
        const QChar mark = s[i];
        const qsizetype run = runLength(i, end);
        for (const qsizetype width : {qsizetype(2), qsizetype(1)}) {
            if (run < width || (mark == u'~' && width == 1))
                continue;
            if (!canOpen(i, width, end))
                continue;
            const qsizetype closer = findCloser(mark, width, i + width + 1, end);
            if (closer < 0)
                continue;
            const char* tag = mark == u'~' ? "s" : width == 2 ? "b" : "i";
            out += QStringLiteral("<%1>").arg(QLatin1String(tag));
            out += parse(i + width, closer, depth + 1, inLink);
            out += QStringLiteral("</%1>").arg(QLatin1String(tag));
            return closer + width;
        }
        // No partner: the first character is text, the rest may still open.
        out += escaped(QStringView(s).mid(i, 1));
        return i + 1;
    }

    qsizetype link(qsizetype i, qsizetype end, int depth, QString& out) {
        // The label: brackets balance, code spans and escapes are skipped.
        int nesting = 0;
        qsizetype close = -1;
        for (qsizetype j = i; j < end && close < 0;) {
            const QChar c = s[j];
            if (c == u'\\') {
                j += 2;
            } else if (c == u'`') {
                const qsizetype after = codeSpanEnd(j, end);
                j = after < 0 ? j + runLength(j, end) : after;
            } else {
                if (c == u'[')
                    ++nesting;
                else if (c == u']' && --nesting == 0)
                    close = j;
                ++j;
            }
        }
        if (close < 0 || close + 1 >= end || s[close + 1] != u'(') {
            out += QStringLiteral("[");
            return i + 1;
        }
        qsizetype j = close + 2;
        int parens = 0;
        for (; j < end; ++j) {
            if (isSpace(s[j]))
                break;
            if (s[j] == u'(')
                ++parens;
            else if (s[j] == u')' && parens-- == 0)
                break;
        }
        if (j >= end || s[j] != u')') {
            out += QStringLiteral("[");
            return i + 1;
        }
        const QUrl url(s.mid(close + 2, j - close - 2), QUrl::StrictMode);
        if (!isLinkable(url)) {
            out += QStringLiteral("[");
            return i + 1;
        }
        out += anchor(url) + parse(i + 1, close, depth + 1, true) + QStringLiteral("</a>");
        return j + 1;
    }

    qsizetype autolink(qsizetype i, qsizetype end, QString& out) const {
        qsizetype j = i + 1;
        while (j < end && s[j] != u'>' && s[j] != u'<' && !isSpace(s[j]))
            ++j;
        if (j < end && s[j] == u'>') {
            const QString target = s.mid(i + 1, j - i - 1);
            const QUrl url(target, QUrl::StrictMode);
            if (target.contains(u':') && isLinkable(url)) {
                out += anchor(url) + escaped(target) + QStringLiteral("</a>");
                return j + 1;
            }
        }
        out += QStringLiteral("&lt;");
        return i + 1;
    }

    static int memoSlot(QChar mark, qsizetype width) {
        const int base = mark == u'*' ? 0 : mark == u'_' ? 2 : 4;
        return base + int(width) - 1;
    }

    static constexpr qsizetype maxIndex = std::numeric_limits<qsizetype>::max();
    const QString& s;
    std::array<qsizetype, 6> m_noCloserFrom{
        {maxIndex, maxIndex, maxIndex, maxIndex, maxIndex, maxIndex}};
};

// A cut surrogate pair (a stream split mid-character) shows as a replacement character.
QString withoutBrokenPairs(const QString& text) {
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

} // namespace

QString MarkdownText::plain(const QString& text) {
    return wrapped(escaped(text));
}

QString MarkdownText::renderMarkdown(const QString& text) {
    if (!QStringView(text).isValidUtf16())
        return plain(withoutBrokenPairs(text));
    InlineParser parser(text);
    const QString body = parser.parse(0, text.size(), 0, false);
    return parser.failed ? plain(text) : wrapped(body);
}

} // namespace notchora
