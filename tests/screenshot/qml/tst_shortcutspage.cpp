// Runs the QML test cases in this folder, with a stand-in capture tool that logs its
// arguments and no desktop screenshot tool on the path.
#include "TestEnvironment.h"
#include "TestImages.h"
#include "platform/Defaults.h"

#include <QFile>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

namespace notchora::test {

// What the stand-in tool was asked to do, and where screenshots go.
class ToolLog : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QString text() const { return QString::fromLocal8Bit(readFile(logPath())); }
    Q_INVOKABLE void clear() { QFile::remove(logPath()); }
    Q_INVOKABLE QString shotsFolder() const { return m_env.root() + QStringLiteral("/shots"); }
    QString logPath() const { return m_env.root() + QStringLiteral("/tool.log"); }
    QString toolPath() const { return m_env.root() + QStringLiteral("/tool"); }

private:
    TestEnvironment m_env;
};

class Setup : public QObject {
    Q_OBJECT
public slots:
    void applicationAvailable() {
        m_log = std::make_unique<ToolLog>();
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL",
                QFile::encodeName(writeScript(
                    m_log->toolPath(), "echo \"$*\" >> '" + m_log->logPath().toUtf8() + "'")));
        qputenv("PATH", "/nonexistent");
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        qmlRegisterSingletonInstance("NotchoraTest", 1, 0, "ToolLog", m_log.get());
        Defaults::shared(QStringLiteral("screencapture"))
            .setString(QStringLiteral("location"), m_log->shotsFolder());
    }

private:
    std::unique_ptr<ToolLog> m_log;
};

} // namespace notchora::test

QUICK_TEST_MAIN_WITH_SETUP(ShortcutsPage, notchora::test::Setup)

#include "tst_shortcutspage.moc"
