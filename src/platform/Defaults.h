#pragma once

#include "platform/Clock.h"
#include "platform/PrivateFile.h"
#include "platform/Setting.h"

#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <optional>

namespace notchora {

// A typed key-value store kept as one JSON object per domain in
// <config>/notchora/<domain>.json. Every write goes to disk at once (atomically), and edits
// made to the file by another process are picked up while the program runs. The file is
// private to its owner.
//
// A stored value of the wrong type reads as absent. A file that cannot be parsed is kept
// aside as a dated backup and never silently overwritten.
class Defaults : public QObject {
    Q_OBJECT
public:
    static constexpr auto standardDomain = "defaults";
    // How long a write waits for another writer of the same file.
    static constexpr int lockWaitMilliseconds = 10'000;
    static constexpr auto screencaptureDomain = "screencapture";

    explicit Defaults(QString filePath, const Clock& clock = Clock::system(),
                      QObject* parent = nullptr);
    ~Defaults() override;

    // The process-wide store of a domain, under the current config folder.
    static Defaults& shared(const QString& domain = QString::fromLatin1(standardDomain));
    static QString pathForDomain(const QString& domain);
    // A domain name is a plain file stem: letters, digits, '.', '-', '_'.
    static bool isValidDomain(const QString& domain);

    // The values in the file at `path`, read without changing anything on disk (no backup, no
    // folder). None, with `problem` set, when the file is there but cannot be opened or parsed.
    static std::optional<QJsonObject> readWithoutChanges(const QString& path, QString* problem);

    // The values in a settings file's bytes (blank is no values); none when they are not one
    // JSON object.
    static std::optional<QJsonObject> decode(const QByteArray& data);
    static QByteArray encode(const QJsonObject& values);

    QString filePath() const { return m_file.path(); }

    bool contains(const QString& key) const { return m_values.contains(key); }
    QJsonValue value(const QString& key) const { return m_values.value(key); }
    QJsonObject values() const { return m_values; }

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const;
    // A number with no fractional part.
    std::optional<qint64> integerValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QStringList> stringListValue(const QString& key) const;

    bool boolValue(const QString& key, bool fallback) const {
        return boolValue(key).value_or(fallback);
    }
    double doubleValue(const QString& key, double fallback) const {
        return doubleValue(key).value_or(fallback);
    }

    // A setting from an owner's table: the stored value, or its default when none of its type
    // is stored.
    template <typename T> T read(const Setting<T>& setting) const {
        std::optional<T> stored;
        if constexpr (std::is_same_v<T, bool>)
            stored = boolValue(setting.name());
        else if constexpr (std::is_same_v<T, double>)
            stored = inRange(setting.name(), doubleValue(setting.name()), setting.minimum,
                             setting.maximum);
        else
            stored = stringValue(setting.name());
        return stored ? *stored : setting.defaultValue();
    }
    template <typename T> bool write(const Setting<T>& setting, const T& value) {
        return setValue(setting.name(), value);
    }

    // Each returns false when the file could not be written (the value is kept in memory).
    bool setValue(const QString& key, const QJsonValue& value);
    bool setBool(const QString& key, bool value) { return setValue(key, value); }
    bool setDouble(const QString& key, double value) { return setValue(key, value); }
    bool setString(const QString& key, const QString& value) { return setValue(key, value); }
    bool setStringList(const QString& key, const QStringList& value);
    bool remove(const QString& key);

    // Why the last write to the file failed ("disk penuh"); empty when it did not.
    QString lastWriteProblem() const {
        return m_lockProblem.isEmpty() ? m_file.lastWriteProblem() : m_lockProblem;
    }

    // Re-reads the file now (the watcher does this on its own).
    void reload();
    // Path of the backup made when the file could not be parsed, if any.
    QString lastBackupPath() const { return m_lastBackup; }

signals:
    // Emitted once per key whose value changed, by us or by another process.
    void changed(const QString& key);

private:
    std::optional<double> inRange(const QString& key, std::optional<double> value, double minimum,
                                  double maximum) const;
    enum class ReadResult { Missing, Ok, Unparsable, CannotOpen };
    static ReadResult parse(const QByteArray& data, QJsonObject& out);
    ReadResult readFile(QJsonObject& out) const;
    void keepAside(PrivateFile::KeepAside how);
    bool modify(const QString& key, const std::optional<QJsonValue>& value);
    void adopt(const QJsonObject& values);
    void watch();

    PrivateFile m_file;
    QJsonObject m_values;
    QString m_lastBackup;
    QString m_lockProblem; // why the last write could not even take the lock
    // Keys whose out-of-range value has been reported, so each is logged once.
    mutable QSet<QString> m_reportedOutOfRange;
    QFileSystemWatcher m_watcher;
};

} // namespace notchora
