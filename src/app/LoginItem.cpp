#include "app/LoginItem.h"

#include "app/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace notchora {

namespace {

// Reads `key` of the [Desktop Entry] group; empty when absent.
QString entryValue(const QByteArray& contents, const QString& key) {
    bool inEntry = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

} // namespace

LoginItem::LoginItem(QString entryPath, QString program)
    : m_entryPath(std::move(entryPath)), m_program(std::move(program)) {
    if (m_program.isEmpty())
        m_program = QCoreApplication::applicationFilePath();
}

QString LoginItem::defaultEntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + QLatin1String(entryName);
}

bool LoginItem::isEnabled() const {
    QFile file(m_entryPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray contents = file.readAll();
    if (entryValue(contents, QStringLiteral("Hidden")).compare(QLatin1String("true")) == 0)
        return false;
    return entryValue(contents, QStringLiteral("X-GNOME-Autostart-enabled")) !=
           QLatin1String("false");
}

QString LoginItem::setEnabled(bool on) {
    const QString problem = on ? write() : remove();
    if (!problem.isEmpty())
        qCWarning(lcApp) << "login item:" << problem;
    return problem;
}

QString LoginItem::execLine(const QString& program) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+-]+$"));
    QString line = program;
    if (!plain.match(program).hasMatch()) {
        // Quoted argument: ", `, $ and \ are escaped inside the quotes.
        QString quoted;
        for (const QChar c : program) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        line = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    // The value is itself a string of the entry file (backslashes escaped) and a field code
    // list (a literal % doubled).
    line.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    line.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return line;
}

QString LoginItem::write() {
    const QString folder = QFileInfo(m_entryPath).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("folder %1 tidak bisa dibuat.").arg(folder);
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("%1 tidak bisa ditulis (%2).").arg(m_entryPath, file.errorString());
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Notchora\n"
                                         "Comment=Widget di notch layar\n"
                                         "Exec=%1\n"
                                         "Icon=notchora\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execLine(m_program));
    file.write(entry.toUtf8());
    if (!file.commit())
        return QStringLiteral("%1 tidak bisa ditulis (%2).").arg(m_entryPath, file.errorString());
    return {};
}

QString LoginItem::remove() {
    QFile file(m_entryPath);
    if (!file.exists() || file.remove())
        return {};
    return QStringLiteral("%1 tidak bisa dihapus (%2).").arg(m_entryPath, file.errorString());
}

} // namespace notchora
