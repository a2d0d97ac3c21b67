#include "app/SingleInstanceRequest.h"

#include "app/MessageText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace notchora {

namespace {

QByteArrayView withoutLineEnd(QByteArrayView line) {
    if (line.endsWith('\n'))
        line.chop(1);
    return line;
}

} // namespace

std::variant<QStringList, SingleInstanceRequest::Error>
SingleInstanceRequest::parse(QByteArrayView line) {
    const Error notUnderstood{notUnderstoodMessage};
    if (line.size() > maxBytes)
        return Error{tooLongMessage};
    line = withoutLineEnd(line);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return notUnderstood;
    const QJsonArray words = doc.array();
    if (words.isEmpty() || words.size() > maxWords)
        return notUnderstood;
    QStringList request;
    for (const QJsonValue& word : words) {
        if (!word.isString())
            return notUnderstood;
        request << word.toString();
    }
    if (request.first().isEmpty())
        return notUnderstood;
    return request;
}

QByteArray SingleInstanceRequest::encode(const QStringList& request) {
    return QJsonDocument(QJsonArray::fromStringList(request)).toJson(QJsonDocument::Compact) + '\n';
}

SingleInstanceRequest::Reply SingleInstanceRequest::parseReply(QByteArrayView line) {
    const Reply bad{badRequestExitCode, badReplyMessage};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(withoutLineEnd(line).toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return bad;
    const QJsonObject object = doc.object();
    const QJsonValue exitCode = object.value(QLatin1String("exitCode"));
    const QJsonValue output = object.value(QLatin1String("output"));
    // An exit code is a small whole number; 1.5 or 1e12 is not one.
    const double code = exitCode.toDouble(-1);
    if (!exitCode.isDouble() || !(code >= 0 && code <= 255) || code != double(int(code)) ||
        (!output.isUndefined() && !output.isString()))
        return bad;
    return Reply{int(code), output.toString()};
}

QByteArray SingleInstanceRequest::encodeReply(const Reply& reply) {
    const QJsonObject object{{QStringLiteral("exitCode"), reply.exitCode},
                             {QStringLiteral("output"), reply.output}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QString> SingleInstanceRequest::parseProgress(QByteArrayView line) {
    const QJsonDocument doc = QJsonDocument::fromJson(withoutLineEnd(line).toByteArray());
    const QJsonValue text = doc.object().value(QLatin1String("progress"));
    if (!doc.isObject() || !text.isString())
        return std::nullopt;
    return text.toString();
}

QByteArray SingleInstanceRequest::encodeProgress(const QString& text) {
    const QJsonObject object{{QStringLiteral("progress"), text}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QString SingleInstanceRequest::unknownCommandMessage(const QString& command) {
    return QStringLiteral("Perintah tidak dikenal: \"%1\"").arg(MessageText::echo(command));
}

} // namespace notchora
