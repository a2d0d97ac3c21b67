#pragma once

#include "answer/ChatMessage.h"

#include <QList>
#include <QVariantList>

namespace notchora {

// One stored conversation; its title is fixed when it is created.
struct ChatThread {
    Q_GADGET
    Q_PROPERTY(QString id READ idString FINAL)
    Q_PROPERTY(QString title MEMBER title FINAL)
    Q_PROPERTY(QDateTime updatedAt MEMBER updatedAt FINAL)
    Q_PROPERTY(QVariantList messages READ messageList FINAL)
    Q_PROPERTY(QString summary READ summaryText FINAL)
    Q_PROPERTY(bool hasSummary READ hasSummary FINAL)
public:
    QUuid id;
    QString title;
    QDateTime updatedAt;
    QList<ChatMessage> messages;
    std::optional<QString> summary;

    bool operator==(const ChatThread&) const = default;

    // Strict: every key but "summary" is required, each of its type.
    static std::optional<ChatThread> fromJson(const QJsonValue& value);

    QString idString() const { return uuidString(id); }
    QVariantList messageList() const;
    QString summaryText() const { return summary.value_or(QString()); }
    bool hasSummary() const { return summary.has_value(); }
};

} // namespace notchora
