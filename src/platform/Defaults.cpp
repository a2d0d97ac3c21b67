#include "platform/Defaults.h"

#include "platform/Folders.h"
#include "platform/Logging.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <memory>

namespace notchora {

Defaults::Defaults(QString filePath, const Clock& clock, QObject* parent)
    : QObject(parent), m_file(std::move(filePath), clock) {
    QJsonObject loaded;
    switch (readFile(loaded)) {
    case ReadResult::Ok:
        m_values = loaded;
        break;
    case ReadResult::Unparsable:
        // Keep the user's file: move it aside so our next write cannot destroy it.
        keepAside(PrivateFile::KeepAside::Move);
        break;
    case ReadResult::CannotOpen:
        // Not ours to move (a folder, someone else's file): left alone, writes will fail.
        qCWarning(lcPlatform) << "cannot open" << m_file.path() << "; settings start empty";
        break;
    case ReadResult::Missing:
        break;
    }
    // The folder must exist for another process's first write to be noticed.
    Folders::ensurePrivateDir(QFileInfo(m_file.path()).absolutePath());
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { reload(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { reload(); });
    watch();
}

Defaults::~Defaults() = default;

Defaults& Defaults::shared(const QString& domain) {
    static std::map<QString, std::unique_ptr<Defaults>> stores;
    auto& store = stores[domain];
    if (!store)
        store = std::make_unique<Defaults>(pathForDomain(domain));
    return *store;
}

QString Defaults::pathForDomain(const QString& domain) {
    return Folders::configDir() + QLatin1Char('/') + domain + QStringLiteral(".json");
}

bool Defaults::isValidDomain(const QString& domain) {
    // Anchored at the very end: "$" alone would let a trailing newline through.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_-][A-Za-z0-9._-]*")));
    return pattern.match(domain).hasMatch();
}

std::optional<bool> Defaults::boolValue(const QString& key) const {
    const QJsonValue v = m_values.value(key);
    return v.isBool() ? std::optional(v.toBool()) : std::nullopt;
}

std::optional<double> Defaults::doubleValue(const QString& key) const {
    const QJsonValue v = m_values.value(key);
    return v.isDouble() ? std::optional(v.toDouble()) : std::nullopt;
}

std::optional<double> Defaults::inRange(const QString& key, std::optional<double> value,
                                        double minimum, double maximum) const {
    if (!value || (*value >= minimum && *value <= maximum))
        return value;
    if (!m_reportedOutOfRange.contains(key)) {
        m_reportedOutOfRange.insert(key);
        qCWarning(lcPlatform) << key << "=" << *value << "is outside" << minimum << "…" << maximum
                              << "; using the nearest of those";
    }
    return std::clamp(*value, minimum, maximum);
}

std::optional<qint64> Defaults::integerValue(const QString& key) const {
    const QJsonValue v = m_values.value(key);
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || std::abs(d) > 9.0e15)
        return std::nullopt;
    return static_cast<qint64>(d);
}

std::optional<QString> Defaults::stringValue(const QString& key) const {
    const QJsonValue v = m_values.value(key);
    return v.isString() ? std::optional(v.toString()) : std::nullopt;
}

std::optional<QStringList> Defaults::stringListValue(const QString& key) const {
    const QJsonValue v = m_values.value(key);
    if (!v.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue& item : v.toArray()) {
        if (!item.isString())
            return std::nullopt;
        list << item.toString();
    }
    return list;
}

bool Defaults::setValue(const QString& key, const QJsonValue& value) {
    if (value.isUndefined())
        return remove(key);
    return modify(key, value);
}

bool Defaults::setStringList(const QString& key, const QStringList& value) {
    return modify(key, QJsonArray::fromStringList(value));
}

bool Defaults::remove(const QString& key) {
    return modify(key, std::nullopt);
}

std::optional<QJsonObject> Defaults::decode(const QByteArray& data) {
    if (data.trimmed().isEmpty())
        return QJsonObject();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

QByteArray Defaults::encode(const QJsonObject& values) {
    return QJsonDocument(values).toJson(QJsonDocument::Indented);
}

Defaults::ReadResult Defaults::parse(const QByteArray& data, QJsonObject& out) {
    auto values = decode(data);
    if (!values)
        return ReadResult::Unparsable;
    out = std::move(*values);
    return ReadResult::Ok;
}

Defaults::ReadResult Defaults::readFile(QJsonObject& out) const {
    const PrivateFile::Contents contents = m_file.read();
    if (contents.status == PrivateFile::Status::Missing)
        return ReadResult::Missing;
    if (contents.status == PrivateFile::Status::Unreadable)
        return ReadResult::CannotOpen;
    return parse(contents.data, out);
}

std::optional<QJsonObject> Defaults::readWithoutChanges(const QString& path, QString* problem) {
    QFile file(path);
    if (!file.exists())
        return QJsonObject();
    if (!file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = file.errorString();
        return std::nullopt;
    }
    QJsonObject values;
    if (parse(file.readAll(), values) != ReadResult::Ok) {
        if (problem)
            *problem = QStringLiteral("isinya bukan JSON yang valid");
        return std::nullopt;
    }
    return values;
}

void Defaults::keepAside(PrivateFile::KeepAside how) {
    if (const QString backup = m_file.keepAside(how); !backup.isEmpty())
        m_lastBackup = backup;
}

bool Defaults::modify(const QString& key, const std::optional<QJsonValue>& value) {
    auto applied = [&](QJsonObject object) {
        if (value)
            object.insert(key, *value);
        else
            object.remove(key);
        return object;
    };
    if (!Folders::ensurePrivateDir(QFileInfo(filePath()).absolutePath())) {
        // Keep the change for this run even though the disk refused it.
        adopt(applied(m_values));
        return false;
    }

    // Read-modify-write under a lock so that a write from the command line and one from the
    // running program never undo each other. Never without it: a lock whose owner is gone is
    // taken over (QLockFile checks the process), and one held too long fails the write.
    QLockFile lock(filePath() + QStringLiteral(".lock"));
    lock.setStaleLockTime(5000);
    m_lockProblem.clear();
    if (!lock.tryLock(lockWaitMilliseconds)) {
        const int error = errno;
        if (lock.error() == QLockFile::LockFailedError) {
            qCWarning(lcPlatform) << "another writer holds" << lock.fileName() << "; not written";
        } else {
            // The lock file itself could not be written: most often a full disk.
            m_lockProblem = PrivateFile::describeProblem(error ? error : EIO);
            qCWarning(lcPlatform) << "cannot create" << lock.fileName() << ":" << m_lockProblem;
        }
        adopt(applied(m_values));
        return false;
    }

    QJsonObject onDisk;
    switch (readFile(onDisk)) {
    case ReadResult::Unparsable:
        keepAside(PrivateFile::KeepAside::Copy);
        onDisk = m_values;
        break;
    case ReadResult::CannotOpen:
        onDisk = m_values;
        break;
    case ReadResult::Ok:
    case ReadResult::Missing:
        break;
    }
    onDisk = applied(onDisk);

    const bool written = m_file.write(encode(onDisk));
    adopt(written ? onDisk : applied(m_values));
    watch();
    return written;
}

void Defaults::reload() {
    QJsonObject loaded;
    switch (readFile(loaded)) {
    case ReadResult::Ok:
        adopt(loaded);
        break;
    case ReadResult::Missing:
        adopt({});
        break;
    case ReadResult::CannotOpen:
        qCWarning(lcPlatform) << "cannot open" << m_file.path() << "; keeping the values read";
        break;
    case ReadResult::Unparsable:
        // Someone wrote something we cannot read. Keep what we have and a copy of theirs; the
        // file itself is replaced by our next write.
        if (m_lastBackup.isEmpty() ||
            QFileInfo(m_lastBackup).size() != QFileInfo(filePath()).size())
            keepAside(PrivateFile::KeepAside::Copy);
        break;
    }
    watch();
}

void Defaults::adopt(const QJsonObject& values) {
    QStringList changedKeys;
    for (auto it = values.begin(); it != values.end(); ++it)
        if (m_values.value(it.key()) != it.value())
            changedKeys << it.key();
    for (auto it = m_values.begin(); it != m_values.end(); ++it)
        if (!values.contains(it.key()))
            changedKeys << it.key();
    m_values = values;
    for (const QString& key : changedKeys)
        emit changed(key);
}

void Defaults::watch() {
    // Atomic replacement swaps the inode, which drops the file watch; the directory watch
    // catches the new file and we re-add it.
    const QString path = filePath();
    const QString dir = QFileInfo(path).absolutePath();
    if (QFileInfo(dir).isDir() && !m_watcher.directories().contains(dir))
        m_watcher.addPath(dir);
    if (QFileInfo::exists(path) && !m_watcher.files().contains(path))
        m_watcher.addPath(path);
}

} // namespace notchora
