#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace notchora {

// The wire format between a second start and the running program: the request is one line
// holding a JSON array of strings (a command word, then its arguments), the reply one line
// holding {"exitCode": n, "output": "..."}, after any number of progress lines. Both ends check what they read; anything else is
// an error with a message, never a success.
struct SingleInstanceRequest {
    // A request longer than this is refused before it is read whole.
    static constexpr qsizetype maxBytes = 64 * 1024;
    static constexpr int maxWords = 64;
    // The exit code of a request the running program did not understand.
    static constexpr int badRequestExitCode = 2;

    struct Error {
        QString message;
        bool operator==(const Error&) const = default;
    };

    // The words of one request line (without or with its "\n").
    static std::variant<QStringList, Error> parse(QByteArrayView line);
    static QByteArray encode(const QStringList& request);

    struct Reply {
        int exitCode = 0;
        QString output;
        bool operator==(const Reply&) const = default;
    };
    // A reply line that is not the expected object reads as a failure with exit 2.
    static Reply parseReply(QByteArrayView line);
    static QByteArray encodeReply(const Reply& reply);

    // Text shown on the way, before the reply (a streamed answer): {"progress": "..."}.
    static std::optional<QString> parseProgress(QByteArrayView line);
    static QByteArray encodeProgress(const QString& text);

    static QString unknownCommandMessage(const QString& command);

    static inline const QString notUnderstoodMessage =
        QStringLiteral("Permintaan tidak dikenali oleh Notchora yang sedang berjalan.");
    static inline const QString tooLongMessage = QStringLiteral("Permintaan terlalu panjang.");
    static inline const QString badReplyMessage =
        QStringLiteral("Notchora yang sedang berjalan memberi jawaban yang tidak dikenali.");
};

} // namespace notchora
