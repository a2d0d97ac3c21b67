#include "screenshot/AnnotationWindowController.h"

#include "platform/Clock.h"
#include "screenshot/AnnotationEditor.h"
#include "screenshot/Logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>
#include <cmath>

namespace notchora {

namespace {

// Toolbar and divider above the canvas, and the canvas' margin.
constexpr double chromeHeight = 52;
constexpr double margin = 24;
constexpr double minimumWidth = 620;

} // namespace

AnnotationWindowController::AnnotationWindowController(Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock) {
    // The shared instance outlives the application object; its window and engine must not.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &AnnotationWindowController::shutDown);
}

AnnotationWindowController::~AnnotationWindowController() {
    shutDown();
}

void AnnotationWindowController::shutDown() {
    if (m_window) {
        // A visible window announces that it hides from inside its destructor, when it is no
        // longer a QQuickWindow; our handler must not see that.
        m_window->disconnect(this);
        delete m_window.data();
    }
    m_window = nullptr;
    m_editor = nullptr;
    delete m_engine;
    m_engine = nullptr;
}

AnnotationWindowController& AnnotationWindowController::shared() {
    static AnnotationWindowController instance(Clock::system());
    return instance;
}

QSizeF AnnotationWindowController::windowSize(const QSizeF& imagePoints,
                                              std::optional<QSizeF> visibleFrame) {
    double maxW = 996;
    double maxH = 604;
    if (visibleFrame) {
        maxW = visibleFrame->width() * 0.85 - margin;
        maxH = visibleFrame->height() * 0.85 - chromeHeight - margin;
    }
    if (imagePoints.isEmpty())
        return QSizeF(minimumWidth, chromeHeight + margin);
    const double fit = std::min({maxW / imagePoints.width(), maxH / imagePoints.height(), 1.0});
    return QSizeF(std::max(imagePoints.width() * fit + margin, minimumWidth),
                  imagePoints.height() * fit + chromeHeight + margin);
}

QImage AnnotationWindowController::loadImage(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return image;
    const double dpi = image.dotsPerMeterX() * 0.0254;
    const double ratio = std::round(dpi / 96.0 * 4.0) / 4.0;
    image.setDevicePixelRatio(std::max(1.0, ratio));
    return image;
}

void AnnotationWindowController::closeWindow() {
    if (m_window) {
        QQuickWindow* window = m_window;
        m_window = nullptr;
        window->close();
        window->deleteLater();
    }
    m_editor = nullptr;
}

bool AnnotationWindowController::show(const QString& imagePath) {
    const QImage image = loadImage(imagePath);
    if (image.isNull())
        return false;
    QFile::remove(imagePath);
    closeWindow();

    if (!m_engine) {
        m_engine = new QQmlEngine;
        // Our QML modules live under qrc:/qt/qml.
        m_engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    }
    QQmlComponent component(m_engine, QUrl(QStringLiteral("qrc:/qt/qml/Notchora/Screenshot/"
                                                          "AnnotationWindow.qml")));
    if (!component.isReady()) {
        qCWarning(lcScreenshot) << "cannot load the annotation window:" << component.errorString();
        return false;
    }
    auto* editor = new AnnotationEditor(image, m_clock);
    QObject* root = component.createWithInitialProperties(
        {{QStringLiteral("editor"), QVariant::fromValue(editor)}});
    auto* window = qobject_cast<QQuickWindow*>(root);
    if (!window) {
        delete root;
        delete editor;
        return false;
    }
    // The editor, and with it any pending close, goes with its window.
    editor->setParent(window);
    window->setTitle(QString::fromUtf8(windowTitle));

    QScreen* screen = QGuiApplication::primaryScreen();
    std::optional<QSizeF> visible;
    if (screen)
        visible = QSizeF(screen->availableGeometry().size());
    const QSize size = windowSize(editor->imageSize(), visible).toSize();
    window->resize(size);
    if (screen) {
        QRect frame(QPoint(), size);
        frame.moveCenter(screen->availableGeometry().center());
        window->setPosition(frame.topLeft());
    }

    QPointer<QQuickWindow> guard(window);
    connect(editor, &AnnotationEditor::closeRequested, this, [this, guard] {
        // Only ever the window this editor lives in.
        if (!guard)
            return;
        if (m_window == guard)
            m_window = nullptr;
        guard->close();
        guard->deleteLater();
    });
    connect(window, &QWindow::visibleChanged, this, [this, guard](bool visible) {
        if (visible || !guard)
            return;
        if (m_window == guard)
            m_window = nullptr;
        guard->deleteLater();
    });

    m_window = window;
    m_editor = editor;
    window->show();
    window->raise();
    window->requestActivate();
    return true;
}

} // namespace notchora
