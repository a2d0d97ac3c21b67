#include "answer/ChatThread.h"

#include <QJsonArray>

namespace notchora {

std::optional<ChatThread> ChatThread::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue title = object.value(QStringLiteral("title"));
    const QJsonValue updatedAt = object.value(QStringLiteral("updatedAt"));
    const QJsonValue messages = object.value(QStringLiteral("messages"));
    const QJsonValue summary = object.value(QStringLiteral("summary"));
    if (!id.isString() || !title.isString() || !updatedAt.isDouble() || !messages.isArray())
        return std::nullopt;
    if (!summary.isUndefined() && !summary.isNull() && !summary.isString())
        return std::nullopt;
    const auto uuid = uuidFromString(id.toString());
    const auto updated = ReferenceDate::dateFromSeconds(updatedAt.toDouble());
    if (!uuid || !updated)
        return std::nullopt;
    ChatThread thread;
    thread.id = *uuid;
    thread.title = title.toString();
    thread.updatedAt = *updated;
    const QJsonArray array = messages.toArray();
    thread.messages.reserve(array.size());
    for (const QJsonValue& item : array) {
        auto message = ChatMessage::fromJson(item);
        if (!message)
            return std::nullopt;
        thread.messages.append(std::move(*message));
    }
    if (summary.isString())
        thread.summary = summary.toString();
    return thread;
}

QVariantList ChatThread::messageList() const {
    QVariantList list;
    list.reserve(messages.size());
    for (const ChatMessage& message : messages)
        list.append(QVariant::fromValue(message));
    return list;
}

} // namespace notchora
