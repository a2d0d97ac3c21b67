#include "ModelReply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace notchora::answerd {

namespace {

// The object inside ```json … ``` when the model wrapped its reply in a fence.
QString unfenced(const QString& reply) {
    QString text = reply.trimmed();
    if (!text.startsWith(QStringLiteral("```")) || !text.endsWith(QStringLiteral("```")) ||
        text.size() < 6)
        return text;
    text = text.mid(3, text.size() - 6);
    const qsizetype newline = text.indexOf(u'\n');
    if (newline >= 0 && !text.left(newline).contains(u'{'))
        text = text.mid(newline + 1);
    return text.trimmed();
}

QJsonArray choices(const QJsonValue& value) {
    QJsonArray out;
    if (value.isString() && !value.toString().trimmed().isEmpty())
        out.append(value.toString().trimmed());
    for (const QJsonValue& item : value.toArray()) {
        if (item.isString() && !item.toString().trimmed().isEmpty())
            out.append(item.toString().trimmed());
    }
    return out;
}

} // namespace

QJsonObject ModelReply::result(const QString& reply, bool jsonAsked) {
    QJsonObject result{{QStringLiteral("id"), QStringLiteral("1")},
                       {QStringLiteral("text"), reply.trimmed()}};
    if (!jsonAsked)
        return result;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(unfenced(reply).toUtf8(), &error);
    const QJsonObject object = document.object();
    const QJsonValue text = object.value(QStringLiteral("text"));
    const QJsonArray choice = choices(object.value(QStringLiteral("choice")));
    // Anything that is not the object asked for is still an answer: its words as written.
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        (!text.isString() && choice.isEmpty()))
        return result;

    result.insert(QStringLiteral("text"), text.toString().trimmed());
    if (!choice.isEmpty())
        result.insert(QStringLiteral("choice"), choice);
    const double confidence = object.value(QStringLiteral("confidence")).toDouble(NAN);
    if (std::isfinite(confidence))
        result.insert(QStringLiteral("confidence"), std::clamp(confidence, 0.0, 1.0));
    if (const QJsonValue why = object.value(QStringLiteral("explanation")); why.isString())
        result.insert(QStringLiteral("explanation"), why.toString());
    return result;
}

} // namespace notchora::answerd
