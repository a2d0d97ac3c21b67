#include "platform/Browser.h"

#include "platform/Logging.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>

namespace notchora::Browser {

bool open(const QUrl& url) {
    const QString browsers = qEnvironmentVariable("BROWSER");
    const QString text = QString::fromUtf8(url.toEncoded());
    for (const QString& command : browsers.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        QStringList args = QProcess::splitCommand(command);
        if (args.isEmpty())
            continue;
        bool placed = false;
        for (QString& arg : args)
            if (arg.contains(QLatin1String("%s"))) {
                arg.replace(QLatin1String("%s"), text);
                placed = true;
            }
        if (!placed)
            args << text;
        const QString program = args.takeFirst();
        if (QProcess::startDetached(program, args))
            return true;
        qCWarning(lcPlatform) << "cannot start the browser" << program;
    }
    // The desktop's default handler; QDesktopServices needs a GUI application.
    if (QProcess::startDetached(QStringLiteral("xdg-open"), {text}))
        return true;
    qCDebug(lcPlatform) << "xdg-open did not start; asking Qt to open" << url;
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
           QDesktopServices::openUrl(url);
}

} // namespace notchora::Browser
