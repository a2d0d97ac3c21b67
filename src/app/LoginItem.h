#pragma once

#include <QString>

namespace notchora {

// Starting the program at login, as an XDG autostart entry
// (<config>/autostart/notchora.desktop). The entry is the only state: what the file says is
// what the desktop will do at the next login.
class LoginItem {
public:
    static constexpr auto entryName = "notchora.desktop";

    // `program` is what the entry starts: by default this executable.
    explicit LoginItem(QString entryPath = defaultEntryPath(), QString program = QString());

    static QString defaultEntryPath();

    QString entryPath() const { return m_entryPath; }
    // Whether the desktop will start the program at the next login: the entry exists and is
    // not switched off (Hidden, or GNOME's own switch).
    bool isEnabled() const;
    // Writes or removes the entry. Empty on success, otherwise why it failed, as a sentence
    // for the user.
    QString setEnabled(bool on);

    // The value of Exec= for a program path, quoted where the path needs it.
    static QString execLine(const QString& program);

private:
    QString write();
    QString remove();

    QString m_entryPath;
    QString m_program;
};

} // namespace notchora
