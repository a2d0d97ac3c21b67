// The inline Markdown renderer on any text: the first byte picks whether the rest is read as
// UTF-8 or as raw UTF-16 (which may hold cut surrogate pairs). The rich text that comes out
// may hold only the markup the renderer makes itself, properly nested, with every other
// character escaped, and links only to http, https and mailto addresses.
#include "FuzzSupport.h"
#include "assistant/MarkdownText.h"

#include <QList>
#include <QStringView>
#include <cstring>

using notchora::MarkdownText;
using namespace notchora::fuzz;

namespace {

const QString wrapOpen = QStringLiteral("<span style=\"white-space: pre-wrap;\">");
const QString wrapClose = QStringLiteral("</span>");
const QString linkOpen = QStringLiteral("<a href=\"");
const QString linkStyle = QStringLiteral("\" style=\"color: #64d2ff;\">");

bool hasAllowedScheme(QStringView href) {
    for (const char* scheme : {"http://", "https://", "mailto:"}) {
        if (href.startsWith(QLatin1String(scheme)))
            return true;
    }
    return false;
}

// Walks the body between the outer span's tags.
void checkBody(QStringView body) {
    static const QStringList entities{QStringLiteral("&amp;"), QStringLiteral("&lt;"),
                                      QStringLiteral("&gt;"), QStringLiteral("&quot;")};
    QList<QChar> open;
    bool inLink = false;
    for (qsizetype i = 0; i < body.size();) {
        const QStringView rest = body.mid(i);
        if (rest.front() == u'&') {
            qsizetype length = 0;
            for (const QString& entity : entities) {
                if (rest.startsWith(entity))
                    length = entity.size();
            }
            require(length > 0, "a bare & in the output");
            i += length;
            continue;
        }
        require(rest.front() != u'>' && rest.front() != u'"', "an unescaped > or \" in the output");
        if (rest.front() != u'<') {
            ++i;
            continue;
        }
        if (rest.startsWith(u"<br/>")) {
            i += 5;
            continue;
        }
        if (rest.startsWith(linkOpen)) {
            require(!inLink, "a link inside a link");
            const qsizetype hrefEnd = rest.indexOf(u'"', linkOpen.size());
            require(hrefEnd > 0, "a link address without its end");
            const QStringView href = rest.mid(linkOpen.size(), hrefEnd - linkOpen.size());
            require(hasAllowedScheme(href), "a link to something other than http, https or mailto");
            require(!href.contains(u'<') && !href.contains(u'>') && !href.contains(u' '),
                    "markup or blanks inside a link address");
            require(rest.mid(hrefEnd).startsWith(linkStyle), "a link tag with other attributes");
            open.append(u'a');
            inLink = true;
            i += hrefEnd + linkStyle.size();
            continue;
        }
        // The simple tags: <b>, <i>, <s>, <code> and their ends.
        const bool closing = rest.startsWith(u"</");
        const QStringView name = rest.mid(closing ? 2 : 1);
        QChar tag;
        qsizetype length = 0;
        for (const char* candidate : {"b>", "i>", "s>", "code>", "a>"}) {
            if (name.startsWith(QLatin1String(candidate))) {
                tag = QLatin1Char(candidate[0]);
                length = (closing ? 2 : 1) + qsizetype(qstrlen(candidate));
            }
        }
        require(length > 0, "a tag the renderer does not make");
        require(tag != u'a' || closing, "a bare <a> tag");
        if (closing) {
            require(!open.isEmpty() && open.last() == tag, "tags closed out of order");
            open.removeLast();
            if (tag == u'a')
                inLink = false;
        } else if (tag == u'c') {
            // Code spans hold only text: their end must come before any other tag.
            const qsizetype end = rest.indexOf(u"</code>");
            require(end > 0, "a code span without its end");
            const QString inside =
                rest.mid(length, end - length).toString().remove(QStringLiteral("<br/>"));
            require(!inside.contains(u'<') && !inside.contains(u'>') && !inside.contains(u'"'),
                    "markup inside a code span");
            i += end + 7;
            continue;
        } else {
            open.append(tag);
        }
        i += length;
    }
    require(open.isEmpty(), "a tag left open");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const char* rest = reinterpret_cast<const char*>(data) + 1;
    const qsizetype restSize = qsizetype(size - 1);
    QString text;
    if (data[0] & 1) {
        text.resize(restSize / 2);
        std::memcpy(text.data(), rest, size_t(text.size()) * sizeof(QChar));
    } else {
        text = QString::fromUtf8(rest, restSize);
    }
    const QString html = MarkdownText::renderMarkdown(text);
    require(html.startsWith(wrapOpen) && html.endsWith(wrapClose),
            "the output is not wrapped in its one span");
    checkBody(
        QStringView(html).mid(wrapOpen.size(), html.size() - wrapOpen.size() - wrapClose.size()));
    return 0;
}
