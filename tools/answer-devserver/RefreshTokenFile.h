#pragma once

#include <QString>
#include <memory>
#include <optional>

struct sqlite3;

namespace notchora::answerd {

// Refresh tokens kept in an SQLite file so sign-ins outlive a restart. Only a hash of each
// token is written. Not thread-safe: its owner serialises the calls.
class RefreshTokenFile {
public:
    // Opens (creating when needed) the file; nullptr with `error` set when it cannot.
    static std::unique_ptr<RefreshTokenFile> open(const QString& path, QString& error);
    ~RefreshTokenFile();
    RefreshTokenFile(const RefreshTokenFile&) = delete;
    RefreshTokenFile& operator=(const RefreshTokenFile&) = delete;

    // `expires` and `now` are seconds since the epoch: the file outlives the process.
    bool put(const QString& hash, const QString& clientId, qint64 expires);
    // Removes the entry and returns its client, when it exists and has not expired.
    std::optional<QString> take(const QString& hash, qint64 now);
    void purge(qint64 now);
    int count() const;

private:
    explicit RefreshTokenFile(sqlite3* db) : m_db(db) {}
    bool exec(const char* sql) const;

    sqlite3* m_db = nullptr;
};

} // namespace notchora::answerd
