// Runs the page's QML test cases against the real assistant service, over a temporary
// profile with a stand-in screenshot tool that logs its arguments and writes no picture, and
// an answer service address where nothing listens.
#include "PageFixture.h"
#include "TestEnvironment.h"
#include "answer/AISettings.h"
#include "assistant/AIAssistantService.h"
#include "assistant/AttachmentImageProvider.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "notch/NotchViewModel.h"
#include "platform/Defaults.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTest>
#include <QtQuickTest>
#include <memory>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_NotchPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AnswerPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AssistantPlugin)

namespace notchora::test {

namespace {

struct World {
    TestEnvironment env;
    std::unique_ptr<WidgetStore> store;
    std::unique_ptr<NotchViewModel> notch;
    QString path(const char* name) const { return env.root() + QLatin1Char('/') + name; }
};
World* world = nullptr;

NotchGeometry laptop() {
    ScreenInfo screen;
    screen.frame = QRectF(0, 0, 1440, 900);
    screen.visibleFrame = QRectF(0, 0, 1440, 870);
    return NotchGeometry(screen);
}

} // namespace

QString PageFixture::toolLog() const {
    return QString::fromLocal8Bit(readFile(world->path("tool.log")));
}

void PageFixture::clearToolLog() {
    QFile::remove(world->path("tool.log"));
}

void PageFixture::holdCaptures() {
    writeFile(world->path("hold"), "");
}

void PageFixture::releaseCaptures() {
    QFile::remove(world->path("hold"));
}

void PageFixture::putImageOnClipboard() {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(40, 160, 220));
    QGuiApplication::clipboard()->setImage(image);
}

void PageFixture::clearAttachments() {
    AIAssistantService::shared().setAttachments({});
}

NotchViewModel* PageFixture::notchViewModel() const {
    // Ours, not the script's to collect.
    QQmlEngine::setObjectOwnership(world->notch.get(), QQmlEngine::CppOwnership);
    return world->notch.get();
}

void PageFixture::selectModule(const QString& id) {
    world->store->select(id);
}

bool PageFixture::storedAttachScreen() const {
    Defaults reread(Defaults::shared().filePath());
    return AISettings::attachScreen(reread);
}

QString PageFixture::shotPath(const QString& name) const {
    const QString dir = qEnvironmentVariable("NOTCHORA_SHOT_DIR");
    if (dir.isEmpty())
        return {};
    QString file = name;
    file.replace(QLatin1Char(' '), QLatin1Char('-'));
    return dir + QLatin1Char('/') + file + QStringLiteral(".png");
}

void PageFixture::setStoredAttachScreen(bool on) {
    Defaults::shared().write(AISettings::attachScreenSetting, on);
}

class Setup : public QObject {
    Q_OBJECT
public slots:
    void applicationAvailable() {
        world = new World;
        // The tool logs, waits while held, and writes no picture: every capture fails
        // after it has been seen.
        const QString tool = world->path("tool");
        writeFile(tool, "#!/bin/sh\necho \"$*\" >> '" + world->path("tool.log").toUtf8() +
                            "'\nwhile [ -e '" + world->path("hold").toUtf8() +
                            "' ]; do sleep 0.02; done\n");
        QFile::setPermissions(tool, QFile::permissions(tool) | QFile::ExeOwner);
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool));
        // Offscreen, a display the capture believes in (the tool never uses it).
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            qputenv("DISPLAY", "localhost:0");
        // A loopback port that refuses: no question leaves the machine.
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 port = probe.serverPort();
        probe.close();
        qputenv(AISettings::baseURLOverrideVariable,
                QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8());
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        registerAttachmentImages(*engine);
        qmlRegisterSingletonInstance("NotchoraTest", 1, 0, "Fixture", &m_fixture);
        world->store = std::make_unique<WidgetStore>(ModuleRegistry::shared(), Defaults::shared());
        world->notch = std::make_unique<NotchViewModel>(laptop(), *world->store);
        world->notch->setIsExpanded(true);
    }
    void cleanupTestCase() {
        delete world;
        world = nullptr;
        // Qt Quick's software renderer frees the textures of a deleted window's images only
        // when it next draws a window; one empty window drawn after the test view lets it.
        QQuickWindow empty;
        empty.show();
        if (!QTest::qWaitForWindowExposed(&empty))
            qWarning("the empty window was never drawn: its textures may show as leaks");
    }

private:
    PageFixture m_fixture;
};

} // namespace notchora::test

QUICK_TEST_MAIN_WITH_SETUP(AssistantPage, notchora::test::Setup)

#include "tst_assistantpage.moc"
