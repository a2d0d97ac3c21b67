#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace notchora::answerd {

// Reads an OpenAI-style chat-completions event stream as its bytes arrive, in whatever
// pieces the network hands over, and gives back the text deltas in order.
class StreamTranslator {
public:
    // A reply longer than this is cut off as failed: a model that never stops must not
    // fill the service's memory.
    static constexpr qsizetype maxTextLength = 1024 * 1024;

    // The non-empty text deltas completed by these bytes.
    QStringList feed(const QByteArray& bytes);

    // "[DONE]" or a finish reason was seen: the answer is whole.
    bool finished() const { return m_finished; }
    // The upstream reported an error inside the stream; its message.
    const QString& error() const { return m_error; }
    bool failed() const { return m_failed; }
    // Every delta so far, joined.
    const QString& text() const { return m_text; }

private:
    void readLine(QByteArray line, QStringList& deltas);

    QByteArray m_pending; // an incomplete line, possibly ending mid-character
    QString m_text;
    QString m_error;
    bool m_finished = false;
    bool m_failed = false;
};

} // namespace notchora::answerd
