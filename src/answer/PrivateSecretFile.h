#pragma once

#include <QString>
#include <optional>

namespace notchora {

// A JSON file of secrets addressed by service and account, readable by its owner only. The
// file is written whole to a temporary file created 0600 and renamed over the old one, so
// no reader ever sees a half-written or world-readable copy. Blocking: call off the GUI
// thread.
class PrivateSecretFile {
public:
    explicit PrivateSecretFile(QString path) : m_path(std::move(path)) {}

    std::optional<QString> load(const QString& service, const QString& account) const;
    // Stores `value`, or removes the item when it is none. False when the disk refused.
    bool store(const QString& service, const QString& account,
               const std::optional<QString>& value) const;

private:
    QString m_path;
};

} // namespace notchora
