#include "answer/PrivateSecretFile.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace notchora {

namespace {

// Layout: {"<service>": {"<account>": "<value>"}}. A file we cannot parse is moved aside so
// the next store starts afresh without destroying it.
QJsonObject readAll(const PrivateFile& file) {
    const PrivateFile::Contents contents = file.read();
    if (contents.status == PrivateFile::Status::Missing)
        return {};
    if (contents.status == PrivateFile::Status::Read) {
        if (contents.data.trimmed().isEmpty())
            return {};
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(contents.data, &error);
        if (error.error == QJsonParseError::NoError && document.isObject())
            return document.object();
    }
    file.keepAside(PrivateFile::KeepAside::Move);
    return {};
}

} // namespace

std::optional<QString> PrivateSecretFile::load(const QString& service,
                                               const QString& account) const {
    const QJsonValue value = readAll(m_file).value(service).toObject().value(account);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

bool PrivateSecretFile::store(const QString& service, const QString& account,
                              const std::optional<QString>& value) const {
    QJsonObject all = readAll(m_file);
    QJsonObject items = all.value(service).toObject();
    // Delete, then add: the item is always written fresh.
    items.remove(account);
    if (value)
        items.insert(account, *value);
    if (items.isEmpty())
        all.remove(service);
    else
        all.insert(service, items);
    if (all.isEmpty())
        return m_file.remove();
    return m_file.write(QJsonDocument(all).toJson(QJsonDocument::Compact));
}

} // namespace notchora
