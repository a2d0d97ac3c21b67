#include "answer/ChatHistoryFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace notchora {

namespace {

// A direct writer for the one shape we store: building QJsonObjects for thousands of
// messages costs several times more than the file write. Output is what QJsonDocument
// writes in compact form: keys sorted, text as UTF-8, the same escapes.
class Writer {
public:
    explicit Writer(qsizetype reserve) { m_out.reserve(reserve); }
    QByteArray take() { return std::move(m_out); }

    void raw(const char* text) { m_out.append(text); }
    void key(const char* name) { m_out.append('"').append(name).append("\":"); }
    void number(double value) {
        if (!std::isfinite(value))
            m_out.append("null");
        else if (value == std::trunc(value) && std::abs(value) < 9.0e15)
            m_out.append(QByteArray::number(qint64(value)));
        else
            m_out.append(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
    }
    void boolean(bool value) { m_out.append(value ? "true" : "false"); }
    void string(const QString& text) {
        m_out.append('"');
        if (text.isValidUtf16()) {
            // The common case: convert in one go, escape only the ASCII bytes that need it.
            const QByteArray utf8 = text.toUtf8();
            const char* begin = utf8.constData();
            const char* const end = begin + utf8.size();
            for (const char* p = begin; p != end; ++p) {
                const uchar c = uchar(*p);
                if (c >= 0x20 && c != '"' && c != '\\')
                    continue;
                m_out.append(begin, p - begin);
                escape(c);
                begin = p + 1;
            }
            m_out.append(begin, end - begin);
        } else {
            slowString(text);
        }
        m_out.append('"');
    }

private:
    static constexpr char hex[] = "0123456789abcdef";

    void escape(char16_t u) {
        m_out.append('\\');
        switch (u) {
        case '"':
            m_out.append('"');
            break;
        case '\\':
            m_out.append('\\');
            break;
        case '\b':
            m_out.append('b');
            break;
        case '\f':
            m_out.append('f');
            break;
        case '\n':
            m_out.append('n');
            break;
        case '\r':
            m_out.append('r');
            break;
        case '\t':
            m_out.append('t');
            break;
        default:
            m_out.append('u')
                .append(hex[u >> 12])
                .append(hex[(u >> 8) & 0xf])
                .append(hex[(u >> 4) & 0xf])
                .append(hex[u & 0xf]);
        }
    }

    // Text with a lone surrogate, which has no UTF-8 form: it is kept as an escape.
    void slowString(const QString& text) {
        const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
        const char16_t* const end = p + text.size();
        while (p != end) {
            const char16_t* run = p;
            while (p != end && !QChar::isSurrogate(*p) && *p >= 0x20 && *p != '"' && *p != '\\')
                ++p;
            m_out.append(QStringView(run, p).toUtf8());
            if (p == end)
                break;
            const char16_t u = *p++;
            if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
                m_out.append(QStringView(p - 1, 2).toUtf8());
                ++p;
            } else {
                escape(u);
            }
        }
    }

    QByteArray m_out;
};

void writeMessage(Writer& w, const ChatMessage& message) {
    w.raw("{");
    if (message.confidence) {
        w.key("confidence");
        w.number(*message.confidence);
        w.raw(",");
    }
    w.key("date");
    w.number(ReferenceDate::secondsFromDate(message.date));
    w.raw(",");
    w.key("hadImages");
    w.boolean(message.hadImages);
    w.raw(",");
    w.key("id");
    w.string(uuidString(message.id));
    w.raw(",");
    w.key("role");
    w.string(ChatMessage::toString(message.role));
    w.raw(",");
    w.key("text");
    w.string(message.text);
    w.raw("}");
}

void writeThread(Writer& w, const ChatThread& thread) {
    w.raw("{");
    w.key("id");
    w.string(uuidString(thread.id));
    w.raw(",");
    w.key("messages");
    w.raw("[");
    for (qsizetype i = 0; i < thread.messages.size(); ++i) {
        if (i > 0)
            w.raw(",");
        writeMessage(w, thread.messages[i]);
    }
    w.raw("],");
    if (thread.summary) {
        w.key("summary");
        w.string(*thread.summary);
        w.raw(",");
    }
    w.key("title");
    w.string(thread.title);
    w.raw(",");
    w.key("updatedAt");
    w.number(ReferenceDate::secondsFromDate(thread.updatedAt));
    w.raw("}");
}

} // namespace

QByteArray ChatHistoryFile::encode(const QList<ChatThread>& threads) {
    qsizetype estimate = 2;
    for (const ChatThread& thread : threads) {
        estimate += 160 + thread.title.size() * 3 + thread.summary.value_or(QString()).size() * 3;
        for (const ChatMessage& message : thread.messages)
            estimate += 140 + message.text.size() * 3;
    }
    Writer w(estimate);
    w.raw("[");
    for (qsizetype i = 0; i < threads.size(); ++i) {
        if (i > 0)
            w.raw(",");
        writeThread(w, threads[i]);
    }
    w.raw("]");
    return w.take();
}

std::optional<QList<ChatThread>> ChatHistoryFile::decode(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<ChatThread> threads;
    threads.reserve(array.size());
    for (const QJsonValue& item : array) {
        auto thread = ChatThread::fromJson(item);
        if (!thread)
            return std::nullopt;
        threads.append(std::move(*thread));
    }
    return threads;
}

ChatHistoryFile::LoadStatus ChatHistoryFile::load(QList<ChatThread>& threads) {
    const PrivateFile::Contents contents = m_file.read();
    if (contents.status == PrivateFile::Status::Missing)
        return LoadStatus::Missing;
    if (contents.status == PrivateFile::Status::Read) {
        if (auto decoded = decode(contents.data)) {
            threads = std::move(*decoded);
            return LoadStatus::Loaded;
        }
    }
    m_lastBackup = m_file.keepAside(PrivateFile::KeepAside::Move);
    return LoadStatus::KeptAside;
}

bool ChatHistoryFile::save(const QList<ChatThread>& threads) const {
    return m_file.write(encode(threads));
}

bool ChatHistoryFile::remove() const {
    return m_file.remove();
}

} // namespace notchora
