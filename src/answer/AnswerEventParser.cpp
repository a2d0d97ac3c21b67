#include "answer/AnswerEventParser.h"

#include "answer/AnswerHTTP.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstring>

namespace notchora {

namespace {

using Event = AnswerEventParser::Event;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimBlanks(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Prefix and equality tests with the length known at compile time, so they compile inline;
// they run on every line.
template <size_t N> bool startsWith(QByteArrayView text, const char (&prefix)[N]) {
    return text.size() >= qsizetype(N - 1) && std::memcmp(text.data(), prefix, N - 1) == 0;
}

template <size_t N> bool equals(QByteArrayView text, const char (&word)[N]) {
    return text.size() == qsizetype(N - 1) && std::memcmp(text.data(), word, N - 1) == 0;
}

bool isJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads four hex digits at `p`; -1 when they are not.
int hex4(const char* p, const char* end) {
    if (end - p < 4)
        return -1;
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(p[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

void appendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

// Reads the JSON string whose opening quote is just before `p` into UTF-8 and moves `p` past
// its closing quote. False for anything unusual (a lone surrogate, a control character), which
// the full parser then judges.
bool readString(const char*& p, const char* end, QByteArray& utf8, bool& ascii) {
    const char* run = p;
    ascii = true;
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '"') {
            utf8.append(run, p - run);
            ++p;
            return true;
        }
        if (c < 0x20)
            return false;
        if (c != '\\') {
            ascii = ascii && c < 0x80;
            ++p;
            continue;
        }
        utf8.append(run, p - run);
        if (++p == end)
            return false;
        switch (*p++) {
        case '"':
            utf8.append('"');
            break;
        case '\\':
            utf8.append('\\');
            break;
        case '/':
            utf8.append('/');
            break;
        case 'b':
            utf8.append('\b');
            break;
        case 'f':
            utf8.append('\f');
            break;
        case 'n':
            utf8.append('\n');
            break;
        case 'r':
            utf8.append('\r');
            break;
        case 't':
            utf8.append('\t');
            break;
        case 'u': {
            char32_t code = char32_t(hex4(p, end));
            if (int(code) < 0)
                return false;
            p += 4;
            if (code >= 0xDC00 && code <= 0xDFFF)
                return false;
            if (code >= 0xD800 && code <= 0xDBFF) {
                if (end - p < 6 || p[0] != '\\' || p[1] != 'u')
                    return false;
                const int low = hex4(p + 2, end);
                if (low < 0xDC00 || low > 0xDFFF)
                    return false;
                p += 6;
                code = 0x10000 + ((code - 0xD800) << 10) + (char32_t(low) - 0xDC00);
            }
            ascii = ascii && code < 0x80;
            appendUtf8(utf8, code);
            break;
        }
        default:
            return false;
        }
        run = p;
    }
    return false;
}

// Token events are nearly all {"text":"..."}; reading those by hand keeps the parser far
// ahead of the network. Anything else goes to the full JSON parser.
std::optional<QString> plainTokenText(QByteArrayView json) {
    const char* p = json.data();
    const char* const end = p + json.size();
    const auto skipSpace = [&] {
        while (p < end && isJsonSpace(*p))
            ++p;
    };
    const auto take = [&](char c) {
        skipSpace();
        if (p == end || *p != c)
            return false;
        ++p;
        return true;
    };
    static constexpr char key[] = "\"text\"";
    constexpr qsizetype keyLength = sizeof(key) - 1;
    if (!take('{'))
        return std::nullopt;
    skipSpace();
    if (end - p < keyLength || std::memcmp(p, key, keyLength) != 0)
        return std::nullopt;
    p += keyLength;
    if (!take(':') || !take('"'))
        return std::nullopt;
    // Most pieces hold no escapes and can be read in place.
    const char* close = p;
    bool ascii = true;
    for (; close < end; ++close) {
        const auto c = static_cast<unsigned char>(*close);
        if (c == '"' || c == '\\' || c < 0x20)
            break;
        ascii = ascii && c < 0x80;
    }
    QByteArray unescaped;
    QByteArrayView text;
    if (close < end && *close == '"') {
        text = QByteArrayView(p, close - p);
        p = close + 1;
    } else if (readString(p, end, unescaped, ascii)) {
        text = unescaped;
    } else {
        return std::nullopt;
    }
    if (!take('}'))
        return std::nullopt;
    skipSpace();
    if (p != end)
        return std::nullopt;
    if (ascii)
        return QString::fromLatin1(text);
    if (!text.isValidUtf8())
        return std::nullopt;
    return QString::fromUtf8(text);
}

std::optional<QJsonObject> jsonObject(QByteArrayView payload) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(payload.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

} // namespace

std::optional<QString> AnswerEventParser::tokenText(QByteArrayView payload) {
    if (auto text = plainTokenText(payload))
        return text;
    const auto object = jsonObject(payload);
    if (!object)
        return std::nullopt;
    const QJsonValue text = object->value(QLatin1String("text"));
    if (!text.isString())
        return std::nullopt;
    return text.toString();
}

QList<Event> AnswerEventParser::feed(QByteArrayView bytes) {
    QList<Event> events;
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    if (m_skipLineFeed && p < end) {
        m_skipLineFeed = false;
        if (*p == '\n')
            ++p;
    }
    // Streams rarely use "\r"; without one, memchr finds each line end much faster.
    const bool hasReturn = p < end && std::memchr(p, '\r', size_t(end - p)) != nullptr;
    while (p < end && !m_finished) {
        const char* eol = p;
        if (hasReturn) {
            while (eol < end && *eol != '\n' && *eol != '\r')
                ++eol;
        } else {
            eol = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            if (!eol)
                eol = end;
        }
        if (eol == end) {
            // Check before copying, so an endless line never costs more than the limit.
            if (m_partial.size() + (end - p) > maxLineLength) {
                endBroken(events);
                break;
            }
            m_partial.append(p, end - p);
            break;
        }
        if (m_partial.isEmpty()) {
            if (eol - p > maxLineLength)
                endBroken(events);
            else
                handleLine(QByteArrayView(p, eol - p), events);
        } else {
            if (m_partial.size() + (eol - p) > maxLineLength) {
                endBroken(events);
            } else {
                m_partial.append(p, eol - p);
                handleLine(m_partial, events);
            }
            m_partial.resize(0);
        }
        p = eol + 1;
        if (*eol == '\r') {
            if (p == end)
                m_skipLineFeed = true;
            else if (*p == '\n')
                ++p;
        }
    }
    return events;
}

QList<Event> AnswerEventParser::finish() {
    QList<Event> events;
    if (!m_finished && !m_partial.isEmpty()) {
        const QByteArray last = std::exchange(m_partial, {});
        handleLine(last, events);
    }
    if (!m_finished)
        endBroken(events);
    return events;
}

void AnswerEventParser::handleLine(QByteArrayView line, QList<Event>& events) {
    if (m_firstLine) {
        m_firstLine = false;
        // A byte-order mark may open the stream; it is not part of the first field.
        if (startsWith(line, "\xEF\xBB\xBF"))
            line = line.sliced(3);
    }
    if (startsWith(line, "data:")) {
        handleData(trimBlanks(line.sliced(5)), events);
        m_name = Name::Other;
    } else if (startsWith(line, "event:")) {
        const QByteArrayView name = trimBlanks(line.sliced(6));
        m_name = equals(name, "token")   ? Name::Token
                 : equals(name, "done")  ? Name::Done
                 : equals(name, "error") ? Name::Error
                                         : Name::Other;
    }
}

void AnswerEventParser::handleData(QByteArrayView payload, QList<Event>& events) {
    switch (m_name) {
    case Name::Other:
        return;
    case Name::Token:
        // A token that does not decode is dropped; the stream goes on.
        if (auto text = tokenText(payload))
            events.append(Event::token(std::move(*text)));
        return;
    case Name::Done: {
        const auto object = jsonObject(payload);
        const QJsonValue answers = object ? object->value(QLatin1String("answers")) : QJsonValue();
        bool decodes = answers.isArray();
        for (const QJsonValue& answer : answers.toArray())
            decodes = decodes && answer.isObject();
        if (!decodes)
            end(Event::failure(Event::Reason::Undecodable, 0, undecodableMessage), events);
        else if (answers.toArray().isEmpty())
            end(Event::failure(Event::Reason::NoAnswers, 200, noAnswersMessage), events);
        else
            end(Event::done(answers.toArray().first().toObject()), events);
        return;
    }
    case Name::Error: {
        const QString detail = AnswerHTTP::detailMessage(payload.toByteArray()).value_or(QString());
        end(Event::failure(Event::Reason::ServiceError, 502,
                           serviceErrorPrefix + (detail.isEmpty() ? serviceErrorFallback : detail)),
            events);
        return;
    }
    }
}

void AnswerEventParser::endBroken(QList<Event>& events) {
    end(Event::failure(Event::Reason::Broken, 0, brokenMessage), events);
}

void AnswerEventParser::end(Event event, QList<Event>& events) {
    m_finished = true;
    m_partial = QByteArray();
    events.append(std::move(event));
}

} // namespace notchora
