#include "AppDelegate.h"
#include "DefaultsCommand.h"
#include "UpdateChecker.h"

#include <QApplication>
#include <QQmlEngineExtensionPlugin>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(Notchora_AppPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

int main(int argc, char* argv[]) {
    if (argc > 1 && qstrcmp(argv[1], "defaults") == 0) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return notchora::runDefaultsCommand(app.arguments().mid(2), out, err);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Notchora"));
    QApplication::setApplicationVersion(notchora::UpdateChecker::projectVersion());
    // The program lives in the notch and the tray; closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    notchora::AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    return app.exec();
}
