#include "answer/AIModels.h"

#include "answer/TextLimits.h"

#include <QJsonArray>
#include <cmath>

namespace notchora {

namespace {

struct ModeEntry {
    AIMode mode;
    const char* value;
};
constexpr ModeEntry modeTable[] = {
    {AIMode::Ask, "ask"},
    {AIMode::FollowUp, "follow_up"},
    {AIMode::AnswerScreen, "answer_screen"},
    {AIMode::ExplainScreen, "explain_screen"},
    {AIMode::SummarizeScreen, "summarize_screen"},
};

struct PositionEntry {
    AIPopupPosition position;
    const char* value;
    const char* label;
};
constexpr PositionEntry positionTable[] = {
    {AIPopupPosition::Right, "right", "Kanan (default)"},
    {AIPopupPosition::Left, "left", "Kiri"},
    {AIPopupPosition::Free, "free", "Bebas (posisi terakhir)"},
};

} // namespace

QList<AIMode> allAIModes() {
    QList<AIMode> modes;
    for (const auto& entry : modeTable)
        modes << entry.mode;
    return modes;
}

QString stringValue(AIMode mode) {
    for (const auto& entry : modeTable)
        if (entry.mode == mode)
            return QString::fromLatin1(entry.value);
    return QString();
}

std::optional<AIMode> aiModeFromString(const QString& value) {
    for (const auto& entry : modeTable)
        if (value == QLatin1String(entry.value))
            return entry.mode;
    return std::nullopt;
}

QString promptText(AIMode mode, const QString& typedPrompt) {
    switch (mode) {
    case AIMode::Ask:
    case AIMode::FollowUp:
        return typedPrompt;
    case AIMode::AnswerScreen:
        return QString();
    case AIMode::ExplainScreen:
        return QStringLiteral("Jelaskan isi layar ini.");
    case AIMode::SummarizeScreen:
        return QStringLiteral("Ringkas isi layar ini.");
    }
    return typedPrompt;
}

QList<AIPopupPosition> allAIPopupPositions() {
    QList<AIPopupPosition> positions;
    for (const auto& entry : positionTable)
        positions << entry.position;
    return positions;
}

QString stringValue(AIPopupPosition position) {
    for (const auto& entry : positionTable)
        if (entry.position == position)
            return QString::fromLatin1(entry.value);
    return QString();
}

std::optional<AIPopupPosition> aiPopupPositionFromString(const QString& value) {
    for (const auto& entry : positionTable)
        if (value == QLatin1String(entry.value))
            return entry.position;
    return std::nullopt;
}

QString label(AIPopupPosition position) {
    for (const auto& entry : positionTable)
        if (entry.position == position)
            return QString::fromUtf8(entry.label);
    return QString();
}

QJsonObject AnswerOption::toJson() const {
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("text"), text}};
}

QJsonObject AnswerQuestion::toJson() const {
    QJsonArray optionArray;
    for (const AnswerOption& option : options)
        optionArray.append(option.toJson());
    return QJsonObject{
        {QStringLiteral("id"), id},
        {QStringLiteral("type"), type},
        {QStringLiteral("text"), text},
        {QStringLiteral("options"), optionArray},
        {QStringLiteral("images"), QJsonArray::fromStringList(images)},
    };
}

AnswerResult AnswerResult::fromJson(const QJsonObject& object) {
    AnswerResult result;
    auto string = [&](const char* key) -> std::optional<QString> {
        const QJsonValue v = object.value(QLatin1String(key));
        return v.isString() ? std::optional(v.toString()) : std::nullopt;
    };
    result.id = string("id");
    result.text = string("text");
    result.explanation = string("explanation");
    if (const QJsonValue v = object.value(QStringLiteral("confidence")); v.isDouble())
        result.confidence = v.toDouble();
    if (const QJsonValue v = object.value(QStringLiteral("choice")); v.isArray()) {
        // An array with anything but strings in it is as good as absent.
        QStringList choices;
        bool allStrings = true;
        for (const QJsonValue& item : v.toArray()) {
            allStrings = allStrings && item.isString();
            choices << item.toString();
        }
        if (allStrings)
            result.choice = choices;
    }
    return result;
}

ChatAttachment ChatAttachment::make(EncodedImage image, QImage thumbnail) {
    return ChatAttachment{QUuid::createUuid(), std::move(image), std::move(thumbnail)};
}

QString jpegDataURL(const QByteArray& jpeg) {
    return QStringLiteral("data:image/jpeg;base64,") + QString::fromLatin1(jpeg.toBase64());
}

AnswerQuestion makeQuestion(const QString& prompt, AIMode mode, const QList<EncodedImage>& images) {
    AnswerQuestion question;
    question.id = QStringLiteral("1");
    question.text = TextLimits::prefix(promptText(mode, prompt), maxQuestionCharacters);
    for (const EncodedImage& image : images)
        question.images << jpegDataURL(image.data);
    question.type = QString::fromLatin1(images.isEmpty() ? AnswerQuestion::typeEssay
                                                         : AnswerQuestion::typeScreen);
    return question;
}

FormattedAnswer format(const AnswerResult& result) {
    QStringList parts;
    if (result.choice && !result.choice->isEmpty()) {
        QStringList upper;
        for (const QString& choice : *result.choice)
            upper << choice.toUpper();
        parts << QStringLiteral("**Pilihan:** ") + upper.join(QStringLiteral(", "));
    }
    if (result.text) {
        const QString text = TextLimits::trimmed(*result.text);
        if (!text.isEmpty())
            parts << text;
    }
    FormattedAnswer formatted;
    formatted.text =
        parts.isEmpty() ? QString::fromUtf8(noAnswerMessage) : parts.join(QStringLiteral("\n\n"));
    if (result.confidence) {
        const double c = *result.confidence;
        // NaN fails every comparison and so falls out with zero and the negatives.
        if (c > 0)
            formatted.confidence = c > 1 ? 1.0 : c;
    }
    return formatted;
}

} // namespace notchora
