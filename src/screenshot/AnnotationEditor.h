#pragma once

#include "platform/Setting.h"
#include "screenshot/AnnotationBox.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <optional>

class QPainter;

namespace notchora {

class Clock;
class ClockTimer;

// The red-box editor's state: the captured picture, the committed boxes, the box being
// dragged and the status message. Boxes live in image points; the export draws them onto
// the picture at its full pixel resolution.
class AnnotationEditor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Created by AnnotationWindowController")
    Q_PROPERTY(QSizeF imageSize READ imageSize CONSTANT FINAL)
    Q_PROPERTY(double thickness READ thickness WRITE setThickness NOTIFY thicknessChanged FINAL)
    Q_PROPERTY(int boxCount READ boxCount NOTIFY boxesChanged FINAL)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged FINAL)
    Q_PROPERTY(bool messageIsError READ messageIsError NOTIFY messageChanged FINAL)
public:
    static constexpr Setting<double> thicknessSetting{"shot.boxThickness", 3.0, 1, 50};
    // A drag shorter than this is a click.
    static constexpr double minimumDragDistance = 3.0;
    static constexpr double closeDelaySeconds = 0.8;

    // `image` carries its device pixel ratio: its point size is its pixel size over it.
    AnnotationEditor(QImage image, Clock& clock, QObject* parent = nullptr);

    const QImage& image() const { return m_image; }
    QSizeF imageSize() const { return m_pointSize; }
    double thickness() const { return m_thickness; }
    void setThickness(double thickness);
    const QList<AnnotationBox>& boxes() const { return m_boxes; }
    int boxCount() const { return int(m_boxes.size()); }
    const std::optional<AnnotationBox>& draft() const { return m_draft; }
    QString message() const { return m_message; }
    bool messageIsError() const { return m_messageIsError; }

    // The drag gesture, in image points.
    Q_INVOKABLE void press(QPointF point);
    Q_INVOKABLE void drag(QPointF point);
    Q_INVOKABLE void release(QPointF point);

    Q_INVOKABLE void undo();
    Q_INVOKABLE void clear();
    // Puts the annotated picture on the clipboard, then closes shortly after.
    Q_INVOKABLE void copy();
    // Writes the annotated picture as PNG into the screenshot folder, then closes shortly
    // after. Returns the path written, empty when it could not be written.
    Q_INVOKABLE QString save();
    // Discards the boxes and closes.
    Q_INVOKABLE void cancel();

    // The picture with the committed boxes at full pixel resolution.
    QImage renderedImage() const;
    // Draws picture, boxes and draft; `painter` works in image points.
    static void paint(QPainter& painter, const QImage& image, const QSizeF& pointSize,
                      const QList<AnnotationBox>& boxes, const std::optional<AnnotationBox>& draft);

signals:
    void thicknessChanged();
    void boxesChanged();
    void draftChanged();
    void messageChanged();
    void closeRequested();

private:
    QRectF spanned(QPointF point) const;
    void setMessage(const QString& message, bool isError);
    void finish();

    QImage m_image;
    QSizeF m_pointSize;
    Clock& m_clock;
    double m_thickness = thicknessSetting.fallback;
    QList<AnnotationBox> m_boxes;
    std::optional<AnnotationBox> m_draft;
    QPointF m_start;
    bool m_pressed = false;
    bool m_dragging = false;
    QString m_message;
    bool m_messageIsError = false;
    QPointer<ClockTimer> m_closeTimer;
};

} // namespace notchora
