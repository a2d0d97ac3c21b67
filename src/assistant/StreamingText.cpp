#include "assistant/StreamingText.h"

#include <QRegularExpression>

namespace notchora {

namespace {

const QString jsonFence = QStringLiteral("```json");
constexpr char16_t key[] = u"text";

// What `\s` matches in the key pattern: ASCII white space only.
bool isPatternSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The character of a four-digit escape, or none when it is not hexadecimal or names half
// of a surrogate pair (not a character on its own).
std::optional<QChar> unicodeEscape(QStringView digits) {
    char16_t code = 0;
    for (QChar c : digits) {
        const int value = hexDigit(c);
        if (value < 0)
            return std::nullopt;
        code = char16_t(code * 16 + value);
    }
    if (QChar::isSurrogate(code))
        return std::nullopt;
    return QChar(code);
}

bool opensJson(QStringView rest) {
    return rest.startsWith(u'{') || rest.startsWith(u'[') || rest.startsWith(jsonFence);
}

} // namespace

QString StreamingText::display(const QString& raw) {
    qsizetype start = 0;
    while (start < raw.size() && raw[start].isSpace())
        ++start;
    if (start == raw.size())
        return QString();
    const QString rest = raw.mid(start);
    if (opensJson(rest))
        return extractTextField(rest).value_or(QString());
    return raw;
}

std::optional<QString> StreamingText::extractTextField(const QString& raw) {
    static const QRegularExpression keyPattern(QStringLiteral(R"("text"\s*:\s*")"));
    // The expression engine may refuse text that ends between the halves of a surrogate
    // pair (a piece can end there). The key is ASCII, so it matches at the same place in a
    // copy without surrogates.
    QString searchable = raw;
    for (QChar& c : searchable)
        if (c.isSurrogate())
            c = QChar::ReplacementCharacter;
    const QRegularExpressionMatch match = keyPattern.match(searchable);
    if (!match.hasMatch())
        return std::nullopt;
    QString value;
    qsizetype i = match.capturedEnd();
    while (i < raw.size()) {
        const QChar c = raw[i++];
        if (c == u'"')
            return value;
        if (c != u'\\') {
            value += c;
            continue;
        }
        if (i == raw.size())
            break;
        const QChar escaped = raw[i++];
        if (escaped == u'n') {
            value += u'\n';
        } else if (escaped == u't') {
            value += u'\t';
        } else if (escaped == u'u') {
            if (raw.size() - i < 4)
                break;
            if (const auto character = unicodeEscape(QStringView(raw).mid(i, 4)))
                value += *character;
            i += 4;
        } else if (escaped != u'r') {
            value += escaped;
        }
    }
    return value;
}

bool StreamingText::append(QStringView piece) {
    if (piece.isEmpty())
        return false;
    const Source sourceBefore = source();
    const qsizetype sizeBefore = shownSize();
    const Layout layoutBefore = m_layout;

    m_raw += piece;
    if (m_layout == Layout::Blank || m_layout == Layout::Undecided)
        decide();
    if (m_layout == Layout::Json) {
        if (layoutBefore == Layout::Undecided)
            m_held = m_raw.left(sizeBefore);
        for (qsizetype i = std::max(m_fed, m_start); i < m_raw.size(); ++i)
            feed(m_raw[i]);
        m_fed = m_raw.size();
    }
    // Each source only ever grows, so its size tells whether the text changed. The held
    // text is the raw text it replaces, character for character.
    const Source sourceAfter = source();
    if (sourceBefore == Source::Held && sourceAfter == Source::Field) {
        const bool changed = m_field != m_held;
        m_held.clear();
        return changed;
    }
    const bool sameText =
        sourceAfter == sourceBefore || (sourceBefore == Source::Raw && sourceAfter == Source::Held);
    return !sameText || shownSize() != sizeBefore;
}

QString StreamingText::displayText() const {
    switch (m_layout) {
    case Layout::Blank:
        return QString();
    case Layout::Undecided:
    case Layout::Plain:
        return m_raw;
    case Layout::Json:
        return m_value == Value::Searching ? QString() : m_field;
    }
    return QString();
}

StreamingText::Source StreamingText::source() const {
    switch (m_layout) {
    case Layout::Blank:
        return Source::None;
    case Layout::Undecided:
    case Layout::Plain:
        return Source::Raw;
    case Layout::Json:
        if (!m_field.isEmpty())
            return Source::Field;
        return m_held.isEmpty() ? Source::None : Source::Held;
    }
    return Source::None;
}

qsizetype StreamingText::shownSize() const {
    switch (source()) {
    case Source::None:
        return 0;
    case Source::Raw:
        return m_raw.size();
    case Source::Field:
        return m_field.size();
    case Source::Held:
        return m_held.size();
    }
    return 0;
}

QString StreamingText::shown() const {
    switch (source()) {
    case Source::None:
        return QString();
    case Source::Raw:
        return m_raw;
    case Source::Field:
        return m_field;
    case Source::Held:
        return m_held;
    }
    return QString();
}

void StreamingText::decide() {
    if (m_layout == Layout::Blank) {
        qsizetype i = m_fed;
        while (i < m_raw.size() && m_raw[i].isSpace())
            ++i;
        m_fed = i;
        if (i == m_raw.size())
            return;
        m_start = i;
    }
    const QStringView rest = QStringView(m_raw).mid(m_start);
    if (opensJson(rest))
        m_layout = Layout::Json;
    else if (QStringView(jsonFence).startsWith(rest))
        m_layout = Layout::Undecided; // plain for now, unless the fence completes
    else
        m_layout = Layout::Plain;
}

void StreamingText::feed(QChar c) {
    if (m_value == Value::Searching)
        search(c);
    else
        read(c);
}

void StreamingText::search(QChar c) {
    const int restart = c == u'"' ? 1 : 0;
    if (m_stage == 0) {
        m_stage = restart;
    } else if (m_stage <= 4) {
        m_stage = c == QChar(key[m_stage - 1]) ? m_stage + 1 : restart;
    } else if (m_stage == 5) {
        m_stage = c == u'"' ? 6 : 0;
        m_blankAfterKey = false;
    } else if (m_stage == 6) {
        if (isPatternSpace(c)) {
            m_blankAfterKey = true;
        } else if (c == u':') {
            m_stage = 7;
        } else if (!m_blankAfterKey && c == u't') {
            // The key's closing quote may open the key that really follows.
            m_stage = 2;
        } else {
            m_stage = restart;
        }
    } else if (!isPatternSpace(c)) {
        if (c == u'"')
            m_value = Value::Reading;
        else
            m_stage = 0;
    }
}

void StreamingText::read(QChar c) {
    switch (m_value) {
    case Value::Reading:
        if (c == u'"')
            m_value = Value::Ended;
        else if (c == u'\\')
            m_value = Value::Escape;
        else
            m_field += c;
        break;
    case Value::Escape:
        m_value = Value::Reading;
        if (c == u'n')
            m_field += u'\n';
        else if (c == u't')
            m_field += u'\t';
        else if (c == u'u')
            m_value = Value::Unicode;
        else if (c != u'r')
            m_field += c;
        m_hex.clear();
        break;
    case Value::Unicode:
        m_hex += c;
        if (m_hex.size() == 4) {
            if (const auto character = unicodeEscape(m_hex))
                m_field += *character;
            m_value = Value::Reading;
        }
        break;
    case Value::Searching:
    case Value::Ended:
        break;
    }
}

} // namespace notchora
