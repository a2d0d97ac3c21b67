#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace notchora::answerd {

// Checks answer and compaction bodies and makes the service's deterministic replies: an
// answer echoes the question and counts what came with it, so tests can assert on it.
class AnswerComposer {
public:
    static constexpr int maxHistoryMessages = 40;
    static constexpr int maxMessageLength = 4000;
    static constexpr int maxSummaryLength = 6000;
    static constexpr int maxQuestionLength = 8000;

    struct Question {
        QString text;
        QString firstOptionId;
        int imageCount = 0;
        int historyCount = 0;
        bool hasSummary = false;
        // What a model is asked with.
        QStringList images; // data URLs
        QJsonArray options; // {"id", "text"} objects
        QJsonArray history; // {"role", "content"} objects, oldest first
        QString summary;    // trimmed
    };

    // The validation problems of a body, FastAPI style ({"loc", "msg", "type"} objects);
    // empty when the body is good. Fills `question` for an answer body.
    static QJsonArray checkAnswerBody(const QJsonObject& body, Question& question);
    static QJsonArray checkCompactBody(const QJsonObject& body, int& messageCount,
                                       QString& previousSummary);

    static QString answerText(const Question& question);
    // The answer text in small pieces (word by word) that join back to the whole.
    static QStringList tokens(const QString& text);
    // One `AnswerResult` of the reply.
    static QJsonObject result(const Question& question);
    static QString summary(int messageCount, const QString& previousSummary);

    // User-perceived characters.
    static int graphemeCount(const QString& text);
    // `text` cut to its first `limit` user-perceived characters.
    static QString clip(const QString& text, int limit);
};

} // namespace notchora::answerd
