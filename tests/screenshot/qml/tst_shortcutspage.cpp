// Runs the QML test cases in this folder, with a stand-in capture tool that logs its
// arguments (read from QML as ToolLog) and no desktop screenshot tool on the path.
#include "TestEnvironment.h"
#include "TestImages.h"

#include <QFile>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

namespace notchora::test {

class Setup : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QString text() const { return QString::fromLocal8Bit(readFile(logPath())); }
    Q_INVOKABLE void clear() const { QFile::remove(logPath()); }

public slots:
    void applicationAvailable() {
        m_env = std::make_unique<TestEnvironment>();
        const QString tool = m_env->root() + QStringLiteral("/tool");
        writeScript(tool, "echo \"$*\" >> '" + logPath().toUtf8() + "'");
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool));
        qputenv("PATH", "/nonexistent");
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        qmlRegisterSingletonInstance("NotchoraTest", 1, 0, "ToolLog", this);
    }

private:
    QString logPath() const { return m_env->root() + QStringLiteral("/tool.log"); }
    std::unique_ptr<TestEnvironment> m_env;
};

} // namespace notchora::test

QUICK_TEST_MAIN_WITH_SETUP(ShortcutsPage, notchora::test::Setup)

#include "tst_shortcutspage.moc"
