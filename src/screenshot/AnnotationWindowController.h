#pragma once

#include "screenshot/AnnotationEditor.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <optional>

class QQmlEngine;
#include <QQuickWindow>

namespace notchora {

class AnnotationEditor;
class Clock;

// Opens the red-box editor on a captured picture. One editor window at a time: opening a
// new one closes the previous one and its unsaved boxes.
class AnnotationWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr auto windowTitle = "Redframe — beri kotak merah";

    explicit AnnotationWindowController(Clock& clock, QObject* parent = nullptr);
    ~AnnotationWindowController() override;
    static AnnotationWindowController& shared();

    // Reads the picture, deletes the file and shows the editor. Returns false (and leaves
    // the file) when it cannot be read as an image.
    bool show(const QString& imagePath);
    void closeWindow();

    QQuickWindow* window() const { return m_window; }
    AnnotationEditor* editor() const { return m_editor; }

    // Content size of the editor for a picture of `imagePoints`, given the visible frame of
    // the main screen (absent: no screen).
    static QSizeF windowSize(const QSizeF& imagePoints, std::optional<QSizeF> visibleFrame);
    // A PNG's density tells its scale: 96 dpi is 1×, 192 dpi is 2×.
    static QImage loadImage(const QString& path);

private:
    void shutDown();

    Clock& m_clock;
    QQmlEngine* m_engine = nullptr;
    QPointer<QQuickWindow> m_window;
    QPointer<AnnotationEditor> m_editor;
};

} // namespace notchora
