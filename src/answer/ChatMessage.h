#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace notchora {

// Dates in the history file are seconds since 2001-01-01 00:00:00 UTC.
namespace ReferenceDate {
double secondsFromDate(const QDateTime& date);
// None for a time that no clock of ours could have written (more than about three thousand
// years from 2001), rather than a different date from a number out of range.
std::optional<QDateTime> dateFromSeconds(double seconds);
} // namespace ReferenceDate

// Canonical upper-case form, 36 characters.
QString uuidString(const QUuid& id);
// Only the canonical 36-character form (either case); none for anything else.
std::optional<QUuid> uuidFromString(const QString& text);

// One stored message of a conversation. Images are never stored, only that there were some.
struct ChatMessage {
    Q_GADGET
    Q_PROPERTY(QString id READ idString FINAL)
    Q_PROPERTY(QString role READ roleString FINAL)
    Q_PROPERTY(QString text MEMBER text FINAL)
    Q_PROPERTY(bool hasConfidence READ hasConfidence FINAL)
    Q_PROPERTY(double confidence READ confidenceValue FINAL)
    Q_PROPERTY(QDateTime date MEMBER date FINAL)
    Q_PROPERTY(bool hadImages MEMBER hadImages FINAL)
public:
    enum class Role { User, Assistant };

    QUuid id;
    Role role = Role::User;
    QString text;
    std::optional<double> confidence;
    QDateTime date;
    bool hadImages = false;

    bool operator==(const ChatMessage&) const = default;

    // A new message with a fresh identity.
    static ChatMessage make(Role role, QString text, QDateTime date, bool hadImages = false,
                            std::optional<double> confidence = std::nullopt);

    static QString toString(Role role);
    static std::optional<Role> roleFromString(const QString& value);

    // Strict: every key but "confidence" is required, each of its type.
    static std::optional<ChatMessage> fromJson(const QJsonValue& value);

    QString idString() const { return uuidString(id); }
    QString roleString() const { return toString(role); }
    bool hasConfidence() const { return confidence.has_value(); }
    double confidenceValue() const { return confidence.value_or(0); }
};

} // namespace notchora
