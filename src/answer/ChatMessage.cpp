#include "answer/ChatMessage.h"

#include <cmath>

namespace notchora {

namespace {
const QDateTime referenceDate(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
} // namespace

double ReferenceDate::secondsFromDate(const QDateTime& date) {
    return double(referenceDate.msecsTo(date)) / 1000.0;
}

std::optional<QDateTime> ReferenceDate::dateFromSeconds(double seconds) {
    constexpr double limit = 1e11;
    if (!(std::abs(seconds) <= limit))
        return std::nullopt;
    return referenceDate.addMSecs(qint64(std::llround(seconds * 1000.0)));
}

QString uuidString(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromString(const QString& text) {
    if (text.size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(text);
    // fromString gives the null id for garbage; the all-zero id itself is legitimate.
    if (id.isNull() && text != QLatin1String("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

ChatMessage ChatMessage::make(Role role, QString text, QDateTime date, bool hadImages,
                              std::optional<double> confidence) {
    return ChatMessage{QUuid::createUuid(), role,     std::move(text), confidence,
                       std::move(date),     hadImages};
}

QString ChatMessage::toString(Role role) {
    return role == Role::User ? QStringLiteral("user") : QStringLiteral("assistant");
}

std::optional<ChatMessage::Role> ChatMessage::roleFromString(const QString& value) {
    if (value == QLatin1String("user"))
        return Role::User;
    if (value == QLatin1String("assistant"))
        return Role::Assistant;
    return std::nullopt;
}

std::optional<ChatMessage> ChatMessage::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue role = object.value(QStringLiteral("role"));
    const QJsonValue text = object.value(QStringLiteral("text"));
    const QJsonValue date = object.value(QStringLiteral("date"));
    const QJsonValue hadImages = object.value(QStringLiteral("hadImages"));
    const QJsonValue confidence = object.value(QStringLiteral("confidence"));
    if (!id.isString() || !role.isString() || !text.isString() || !date.isDouble() ||
        !hadImages.isBool())
        return std::nullopt;
    if (!confidence.isUndefined() && !confidence.isNull() && !confidence.isDouble())
        return std::nullopt;
    const auto uuid = uuidFromString(id.toString());
    const auto parsedRole = roleFromString(role.toString());
    const auto parsedDate = ReferenceDate::dateFromSeconds(date.toDouble());
    if (!uuid || !parsedRole || !parsedDate)
        return std::nullopt;
    ChatMessage message;
    message.id = *uuid;
    message.role = *parsedRole;
    message.text = text.toString();
    if (confidence.isDouble())
        message.confidence = confidence.toDouble();
    message.date = *parsedDate;
    message.hadImages = hadImages.toBool();
    return message;
}

} // namespace notchora
