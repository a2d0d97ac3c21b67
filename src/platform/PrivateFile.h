#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace notchora {

class Clock;

// A file only its owner may read (0600, in a 0700 folder when we create the folder), replaced
// whole on every write so no reader ever sees a half-written or world-readable copy. A file
// its owner cannot make sense of is kept aside as <name>.unreadable-<yyyyMMdd-HHmmss> rather
// than overwritten; backup names come from the clock and never replace an earlier backup.
//
// Blocking file I/O: call off the GUI thread where the file may be large.
class PrivateFile {
public:
    enum class Status { Missing, Read, Unreadable };
    struct Contents {
        Status status = Status::Missing;
        QByteArray data;
    };
    enum class KeepAside { Move, Copy };

    PrivateFile(QString path, const Clock& clock);

    QString path() const { return m_path; }

    // Unreadable when the file exists but cannot be opened.
    Contents read() const;
    // Writes a temporary file created 0600, flushes it to disk and renames it over the old
    // one. False when the folder or the disk refused; the old file is then untouched.
    bool write(const QByteArray& data) const;
    // Why the last write failed, in words for the user ("disk penuh"); empty after a success.
    QString lastWriteProblem() const { return describeProblem(m_lastWriteError); }
    // An errno value in words for the user; empty for 0.
    static QString describeProblem(int error);
    // Deletes the file; a missing file is fine.
    bool remove() const;
    // Moves (or copies) the file to a fresh backup name and returns that name; empty when
    // nothing could be kept.
    QString keepAside(KeepAside how) const;

    // The backup name for a file kept aside at `now` with `attempt` earlier names taken.
    static QString backupPath(const QString& path, const QDateTime& now, int attempt);

private:
    QString m_path;
    const Clock& m_clock;
    mutable int m_lastWriteError = 0;
};

} // namespace notchora
