#pragma once

#include <QByteArray>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class QKeyEvent;

namespace notchora {

// Lets a text field take an image paste: Ctrl+V (and only Ctrl+V) while the clipboard holds
// an image is swallowed and the image's bytes come out of `imagePasted`; any other key,
// text pastes included, reaches the field unchanged. Attached to the field:
//     TextField {
//         PasteInterceptor.active: activeFocus
//         PasteInterceptor.onImagePasted: data => service.attachImage(data)
//     }
class PasteInterceptor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("PasteInterceptor is used as an attached object of a text field")
    QML_ATTACHED(notchora::PasteInterceptor)
    Q_PROPERTY(bool active READ isActive WRITE setActive NOTIFY activeChanged FINAL)
public:
    // Watches the keys sent to `field`, which owns it.
    explicit PasteInterceptor(QObject* field);

    static PasteInterceptor* qmlAttachedProperties(QObject* field) {
        return new PasteInterceptor(field);
    }

    bool isActive() const { return m_active; }
    void setActive(bool active);

    // Exactly Control with V, whatever Num Lock or the keypad say.
    static bool isImagePasteKey(const QKeyEvent& event);

signals:
    void activeChanged();
    void imagePasted(const QByteArray& data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_field;
    bool m_active = true;
};

} // namespace notchora
