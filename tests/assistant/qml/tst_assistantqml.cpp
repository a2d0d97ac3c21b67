#include "QuickTextures.h"
#include "TestEnvironment.h"
#include "answer/AISettings.h"
#include "assistant/AIAssistantService.h"
#include "assistant/AttachmentImageProvider.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "notch/NotchViewModel.h"
#include "platform/Defaults.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QTcpServer>
#include <QtQuickTest>
#include <memory>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_NotchPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AnswerPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AssistantPlugin)

namespace notchora::test {

class Fixture : public QObject {
    Q_OBJECT
    TestEnvironment m_env;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<NotchViewModel> m_notch;

    QString path(const char* name) const { return m_env.root() + QLatin1Char('/') + name; }

public:
    Fixture() {
        // The tool logs, waits while held, and writes no picture: every capture fails after
        // it has been seen.
        const QString tool = path("tool");
        writeFile(tool, "#!/bin/sh\necho \"$*\" >> '" + path("tool.log").toUtf8() +
                            "'\nwhile [ -e '" + path("hold").toUtf8() +
                            "' ]; do sleep 0.02; done\n");
        QFile::setPermissions(tool, QFile::permissions(tool) | QFile::ExeOwner);
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool));
        // Offscreen, a display the capture believes in (the tool never uses it).
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            qputenv("DISPLAY", "localhost:0");
        // A loopback port that refuses: no question leaves the machine.
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        qputenv(AISettings::baseURLOverrideVariable,
                QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort()).toUtf8());
    }
    // An open notch on a laptop screen, as the tray that hosts the page has.
    void makeNotch() {
        ScreenInfo screen;
        screen.frame = QRectF(0, 0, 1440, 900);
        screen.visibleFrame = QRectF(0, 0, 1440, 870);
        m_store = std::make_unique<WidgetStore>(ModuleRegistry::shared(), Defaults::shared());
        m_notch = std::make_unique<NotchViewModel>(NotchGeometry(screen), *m_store);
        m_notch->setIsExpanded(true);
    }
    void dropNotch() {
        m_notch.reset();
        m_store.reset();
    }
    Q_INVOKABLE void clearAttachments() { AIAssistantService::shared().setAttachments({}); }
    // One line per run of the screenshot tool: its arguments.
    Q_INVOKABLE QString toolLog() const {
        return QString::fromLocal8Bit(readFile(path("tool.log")));
    }
    Q_INVOKABLE void clearToolLog() { QFile::remove(path("tool.log")); }
    Q_INVOKABLE void holdCaptures() { writeFile(path("hold"), ""); }
    Q_INVOKABLE void releaseCaptures() { QFile::remove(path("hold")); }

    // With `text` beside it unless empty.
    Q_INVOKABLE void offerImage(const QString& text = QString()) {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(QColor(40, 160, 220));
        auto data = std::make_unique<QMimeData>();
        data->setImageData(picture);
        if (!text.isEmpty())
            data->setText(text);
        QGuiApplication::clipboard()->setMimeData(data.release());
    }
    Q_INVOKABLE notchora::NotchViewModel* notchViewModel() const {
        QQmlEngine::setObjectOwnership(m_notch.get(), QQmlEngine::CppOwnership);
        return m_notch.get();
    }
    Q_INVOKABLE void selectModule(const QString& id) { m_store->select(id); }
    Q_INVOKABLE void setStoredAttachScreen(bool on) {
        Defaults::shared().write(AISettings::attachScreenSetting, on);
    }
};

class Setup : public QObject {
    Q_OBJECT
    std::unique_ptr<Fixture> m_fixture;

public slots:
    void applicationAvailable() { m_fixture = std::make_unique<Fixture>(); }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        registerAttachmentImages(*engine);
        qmlRegisterSingletonInstance("NotchoraTest", 1, 0, "Fixture", m_fixture.get());
        m_fixture->makeNotch();
    }
    void cleanupTestCase() {
        m_fixture->dropNotch();
        if (!releaseQuickTextures())
            qWarning("the empty window was never drawn: its textures may show as leaks");
    }
};
} // namespace notchora::test

QUICK_TEST_MAIN_WITH_SETUP(AssistantQml, notchora::test::Setup)

#include "tst_assistantqml.moc"
