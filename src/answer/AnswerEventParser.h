#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace notchora {

// Reads the answer service's event stream from bytes in whatever pieces the network hands
// over, and turns it into answer tokens, the final answer, or the failure that ends the
// attempt. It knows nothing about the network, so it can be tested and fuzzed alone.
//
// Lines end with "\n", "\r\n" or "\r". A line starting with "event:" names the event for
// the next "data:" line; every "data:" line is handled on its own and then the name falls
// back to "message". Blank lines, comments (":") and other fields are ignored.
class AnswerEventParser {
public:
    struct Event {
        enum class Type { Token, Done, Failure };
        // Why a failure ended the stream, for callers that map it themselves.
        enum class Reason { None, Broken, ServiceError, NoAnswers, Undecodable };

        Type type = Type::Token;
        QString text;       // Token: the piece of answer; Failure: the user-facing message
        QJsonObject result; // Done: the first element of "answers"
        int status = 0;     // Failure: the status the error carries (0 when none applies)
        Reason reason = Reason::None;

        static Event token(QString text) { return {Type::Token, std::move(text), {}, 0}; }
        static Event done(QJsonObject result) { return {Type::Done, {}, std::move(result), 0}; }
        static Event failure(Reason reason, int status, QString message) {
            return {Type::Failure, std::move(message), {}, status, reason};
        }
        bool operator==(const Event& o) const {
            return type == o.type && text == o.text && result == o.result && status == o.status &&
                   reason == o.reason;
        }
    };

    // A longer line ends the stream rather than growing the buffer without bound.
    static constexpr qsizetype maxLineLength = 1024 * 1024;

    static inline const QString brokenMessage =
        QStringLiteral("Koneksi terputus sebelum jawaban selesai. Coba lagi.");
    static inline const QString noAnswersMessage =
        QStringLiteral("Server tidak mengembalikan jawaban.");
    static inline const QString undecodableMessage =
        QStringLiteral("Respons server tidak dikenali.");
    static inline const QString serviceErrorPrefix =
        QStringLiteral("Layanan AI gagal di tengah jawaban: ");
    static inline const QString serviceErrorFallback = QStringLiteral("Model gagal menjawab.");

    // Parses the next piece of the body; returns the events it completed, in order. After a
    // "done" or a failure the stream is over and further bytes are ignored.
    QList<Event> feed(QByteArrayView bytes);
    // The body has ended. A stream that never reached "done" fails as broken; a last line
    // without a line ending is still read first.
    QList<Event> finish();
    bool isFinished() const { return m_finished; }

    // The token text of a data payload: a JSON object with a "text" string. Absent when the
    // payload does not decode that way.
    static std::optional<QString> tokenText(QByteArrayView payload);

private:
    enum class Name { Other, Token, Done, Error };

    void handleLine(QByteArrayView line, QList<Event>& events);
    void handleData(QByteArrayView payload, QList<Event>& events);
    void end(Event event, QList<Event>& events);
    void endBroken(QList<Event>& events);

    QByteArray m_partial; // the start of a line whose end has not arrived yet
    Name m_name = Name::Other;
    bool m_skipLineFeed = false; // the last piece ended in "\r"; a "\n" next belongs to it
    bool m_firstLine = true;
    bool m_finished = false;
};

} // namespace notchora
