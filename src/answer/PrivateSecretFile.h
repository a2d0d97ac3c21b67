#pragma once

#include "platform/Clock.h"
#include "platform/PrivateFile.h"

#include <QString>
#include <optional>

namespace notchora {

// A JSON file of secrets addressed by service and account, readable by its owner only and
// replaced whole on every change. A file that cannot be parsed is kept aside, never
// overwritten. Blocking: call off the GUI thread.
class PrivateSecretFile {
public:
    explicit PrivateSecretFile(QString path, const Clock& clock = Clock::system())
        : m_file(std::move(path), clock) {}

    std::optional<QString> load(const QString& service, const QString& account) const;
    // Stores `value`, or removes the item when it is none. False when the disk refused.
    bool store(const QString& service, const QString& account,
               const std::optional<QString>& value) const;

private:
    PrivateFile m_file;
};

} // namespace notchora
