#include "RefreshTokenFile.h"

#include <QFile>
#include <memory>
#include <sqlite3.h>

namespace notchora::answerd {

namespace {

struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        qWarning("notchora-answerd: state file: %s", sqlite3_errmsg(db));
        return nullptr;
    }
    return Statement(statement);
}

void bindText(sqlite3_stmt* statement, int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

} // namespace

std::unique_ptr<RefreshTokenFile> RefreshTokenFile::open(const QString& path, QString& error) {
    // Created owner-only from the start: whoever holds a refresh token is signed in.
    if (QFile file(path); !file.exists())
        file.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner);
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(
        name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
        nullptr);
    std::unique_ptr<RefreshTokenFile> file(new RefreshTokenFile(db));
    if (rc != SQLITE_OK) {
        error = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        return nullptr;
    }
    sqlite3_busy_timeout(db, 2000);
    if (!file->exec("CREATE TABLE IF NOT EXISTS refresh_tokens ("
                    "hash TEXT PRIMARY KEY, client_id TEXT NOT NULL, expires INTEGER NOT NULL);"
                    "CREATE INDEX IF NOT EXISTS refresh_tokens_expires "
                    "ON refresh_tokens(expires);")) {
        error = QString::fromUtf8(sqlite3_errmsg(db));
        return nullptr;
    }
    return file;
}

RefreshTokenFile::~RefreshTokenFile() {
    sqlite3_close(m_db);
}

bool RefreshTokenFile::exec(const char* sql) const {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    qWarning("notchora-answerd: state file: %s", message ? message : "?");
    sqlite3_free(message);
    return false;
}

bool RefreshTokenFile::put(const QString& hash, const QString& clientId, qint64 expires) {
    const Statement statement =
        prepare(m_db, "INSERT OR REPLACE INTO refresh_tokens VALUES (?1, ?2, ?3)");
    if (!statement)
        return false;
    bindText(statement.get(), 1, hash);
    bindText(statement.get(), 2, clientId);
    sqlite3_bind_int64(statement.get(), 3, expires);
    if (sqlite3_step(statement.get()) == SQLITE_DONE)
        return true;
    qWarning("notchora-answerd: state file: %s", sqlite3_errmsg(m_db));
    return false;
}

std::optional<QString> RefreshTokenFile::take(const QString& hash, qint64 now) {
    const Statement statement =
        prepare(m_db, "DELETE FROM refresh_tokens WHERE hash = ?1 RETURNING client_id, expires");
    if (!statement)
        return std::nullopt;
    bindText(statement.get(), 1, hash);
    if (sqlite3_step(statement.get()) != SQLITE_ROW)
        return std::nullopt;
    const QString clientId =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
    const qint64 expires = sqlite3_column_int64(statement.get(), 1);
    // Step to the end so the deletion is committed.
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
    }
    if (expires <= now)
        return std::nullopt;
    return clientId;
}

void RefreshTokenFile::purge(qint64 now) {
    const Statement statement = prepare(m_db, "DELETE FROM refresh_tokens WHERE expires <= ?1");
    if (!statement)
        return;
    sqlite3_bind_int64(statement.get(), 1, now);
    sqlite3_step(statement.get());
}

int RefreshTokenFile::count() const {
    const Statement statement = prepare(m_db, "SELECT count(*) FROM refresh_tokens");
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW)
        return 0;
    return sqlite3_column_int(statement.get(), 0);
}

} // namespace notchora::answerd
