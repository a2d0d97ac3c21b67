// Runs the QML test cases in this folder, with a stand-in capture tool that logs its
// arguments and no desktop screenshot tool on the path.
#include "TestEnvironment.h"
#include "TestImages.h"
#include "ToolLog.h"
#include "platform/Defaults.h"

#include <QFile>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

namespace notchora::test {

namespace {
TestEnvironment* environment = nullptr;
QString logPath() {
    return environment->root() + QStringLiteral("/tool.log");
}
} // namespace

QString ToolLog::text() const {
    return QString::fromLocal8Bit(readFile(logPath()));
}

void ToolLog::clear() {
    QFile::remove(logPath());
}

QString ToolLog::shotsFolder() const {
    return environment->root() + QStringLiteral("/shots");
}

class Setup : public QObject {
    Q_OBJECT
public slots:
    void applicationAvailable() {
        environment = new TestEnvironment;
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL",
                QFile::encodeName(writeScript(environment->root() + QStringLiteral("/tool"),
                                              "echo \"$*\" >> '" + logPath().toUtf8() + "'")));
        qputenv("PATH", "/nonexistent");
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        qmlRegisterSingletonInstance("NotchoraTest", 1, 0, "ToolLog", &m_toolLog);
        Defaults::shared(QStringLiteral("screencapture"))
            .setString(QStringLiteral("location"), ToolLog().shotsFolder());
    }
    void cleanupTestCase() {
        delete environment;
        environment = nullptr;
    }

private:
    ToolLog m_toolLog;
};

} // namespace notchora::test

QUICK_TEST_MAIN_WITH_SETUP(ShortcutsPage, notchora::test::Setup)

#include "tst_shortcutspage.moc"
