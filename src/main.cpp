#include "app/AccountCommand.h"
#include "app/AppDelegate.h"
#include "app/AskCommand.h"
#include "app/DefaultsCommand.h"
#include "app/HistoryCommand.h"
#include "app/SingleInstance.h"
#include "core/UpdateChecker.h"

#include <QApplication>
#include <QFontDatabase>
#include <QQmlEngineExtensionPlugin>
#include <QTextStream>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AnswerPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_NotchPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_CharactersPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AssistantPlugin)

namespace {

// What a start asks of the running program: "toggle-widget" shows or hides the notch (for
// desktops without a tray), anything else brings the program forward.
QStringList requestFromArguments(const QStringList& arguments) {
    if (arguments.contains(QStringLiteral("--toggle-widget")))
        return {QStringLiteral("toggle-widget")};
    return {QStringLiteral("reopen")};
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && qstrcmp(argv[1], "defaults") == 0) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return notchora::runDefaultsCommand(app.arguments().mid(2), out, err);
    }

    if (argc > 1 && (notchora::AccountCommand::isAccountVerb(QString::fromLocal8Bit(argv[1])) ||
                     notchora::AccountCommand::isCallbackURL(QString::fromLocal8Bit(argv[1])))) {
        QCoreApplication app(argc, argv);
        return notchora::runAccountCommandLine(app.arguments().mid(1));
    }

    if (argc > 1 && qstrcmp(argv[1], notchora::AskCommand::verb) == 0) {
        QCoreApplication app(argc, argv);
        return notchora::runAskCommandLine(app.arguments().mid(2));
    }

    if (argc > 1 && qstrcmp(argv[1], notchora::HistoryCommand::verb) == 0) {
        QCoreApplication app(argc, argv);
        return notchora::runHistoryCommandLine(app.arguments().mid(2));
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Notchora"));
    QApplication::setApplicationVersion(notchora::UpdateChecker::projectVersion());
    // The program lives in the notch and the tray; closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    // The interface is drawn for a compact UI face; Inter is the closest free one.
    if (QFontDatabase::families().contains(QStringLiteral("Inter")))
        QApplication::setFont(QFont(QStringLiteral("Inter")));

    notchora::SingleInstance instance;
    if (instance.handOver(requestFromArguments(app.arguments())))
        return 0;
    instance.listen();

    notchora::AppDelegate delegate;
    QObject::connect(&instance, &notchora::SingleInstance::requestReceived, &delegate,
                     &notchora::AppDelegate::handleRequest);
    delegate.applicationDidFinishLaunching();
    return app.exec();
}
