#pragma once

#include "platform/EncodedImage.h"

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

// The value types the assistant passes between its pieces, with their wire encodings.
namespace notchora {

// The kind of request the user made. The string values are what the service receives.
enum class AIMode { Ask, FollowUp, AnswerScreen, ExplainScreen, SummarizeScreen };

QList<AIMode> allAIModes();
QString stringValue(AIMode mode);
// Exact match of a string value, case included.
std::optional<AIMode> aiModeFromString(const QString& value);
// The text sent for a mode: the typed prompt, nothing, or a fixed instruction.
QString promptText(AIMode mode, const QString& typedPrompt);

// Where the answer popup opens.
enum class AIPopupPosition { Right, Left, Free };

QList<AIPopupPosition> allAIPopupPositions();
QString stringValue(AIPopupPosition position);
std::optional<AIPopupPosition> aiPopupPositionFromString(const QString& value);
// The label shown in pickers.
QString label(AIPopupPosition position);

struct AnswerOption {
    QString id;
    QString text;
    bool operator==(const AnswerOption&) const = default;
    QJsonObject toJson() const;
};

struct AnswerQuestion {
    static constexpr auto typeScreen = "screen";
    static constexpr auto typeEssay = "essay";

    QString id;
    QString type;
    QString text;
    QList<AnswerOption> options;
    // Data URLs of JPEG images.
    QStringList images;
    bool operator==(const AnswerQuestion&) const = default;
    // All five keys, the arrays also when empty.
    QJsonObject toJson() const;
};

struct AnswerResult {
    std::optional<QString> id;
    std::optional<QStringList> choice;
    std::optional<QString> text;
    std::optional<double> confidence;
    std::optional<QString> explanation;
    bool operator==(const AnswerResult&) const = default;
    // Lenient: a key that is absent or of another type is left empty; other keys are ignored.
    static AnswerResult fromJson(const QJsonObject& object);
};

struct ChatContextMessage {
    static constexpr auto roleUser = "user";
    static constexpr auto roleAssistant = "assistant";

    QString role;
    QString content;
    bool operator==(const ChatContextMessage&) const = default;
};

// The conversation a follow-up carries: recent messages (oldest first) and the summary of
// older turns. Empty for a fresh question.
struct ChatContext {
    QList<ChatContextMessage> messages;
    std::optional<QString> summary;
    bool operator==(const ChatContext&) const = default;
    bool isEmpty() const { return messages.isEmpty() && !summary; }
};

// An image waiting to be sent with the next question.
struct ChatAttachment {
    QUuid id;
    EncodedImage image;
    QImage thumbnail;
    bool operator==(const ChatAttachment&) const = default;
    // A fresh identity for each attachment.
    static ChatAttachment make(EncodedImage image, QImage thumbnail);
};

// Display text of a final answer and the confidence shown beside it.
struct FormattedAnswer {
    QString text;
    std::optional<double> confidence;
    bool operator==(const FormattedAnswer&) const = default;
};

inline constexpr qsizetype maxQuestionCharacters = 8000;
inline constexpr auto noAnswerMessage = "Server tidak memberikan jawaban untuk permintaan ini.";

// "data:image/jpeg;base64," followed by the Base64 of the JPEG bytes.
QString jpegDataURL(const QByteArray& jpeg);
// The one producer of questions.
AnswerQuestion makeQuestion(const QString& prompt, AIMode mode, const QList<EncodedImage>& images);
// What the conversation shows and stores for a final answer.
FormattedAnswer format(const AnswerResult& result);

} // namespace notchora
