#include "app/Diagnostics.h"

#include "app/Logging.h"

#include <QProcess>
#include <QStandardPaths>

namespace notchora::Diagnostics {

QStringList screenRecordingSettingsCommand() {
    // The privacy page where the desktop has one, else the settings' front page.
    static const QList<QStringList> known{
        {QStringLiteral("gnome-control-center"), QStringLiteral("privacy")},
        {QStringLiteral("systemsettings")},
        {QStringLiteral("xfce4-settings-manager")},
        {QStringLiteral("mate-control-center")},
        {QStringLiteral("cinnamon-settings"), QStringLiteral("privacy")},
    };
    for (const QStringList& command : known) {
        const QString path = QStandardPaths::findExecutable(command.first());
        if (!path.isEmpty())
            return QStringList{path} + command.mid(1);
    }
    return {};
}

bool openScreenRecordingSettings() {
    const QStringList command = screenRecordingSettingsCommand();
    if (command.isEmpty())
        return false;
    if (!QProcess::startDetached(command.first(), command.mid(1))) {
        qCWarning(lcApp) << "could not start" << command.first();
        return false;
    }
    return true;
}

} // namespace notchora::Diagnostics
