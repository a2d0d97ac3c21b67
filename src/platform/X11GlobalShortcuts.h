#pragma once

#include "platform/GlobalShortcuts.h"

#include <QAbstractNativeEventFilter>
#include <QList>

typedef struct _XDisplay Display;
struct xcb_connection_t;

namespace notchora {

// Global keys as passive grabs on the root window. Each key is grabbed with and without
// Caps Lock and Num Lock, so those never stop a shortcut; all grabs are released when this
// goes away.
class X11GlobalShortcuts final : public GlobalShortcuts, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    X11GlobalShortcuts(Display* display, xcb_connection_t* connection, QObject* parent = nullptr);
    ~X11GlobalShortcuts() override;

    bool grab(QKeyCombination key) override;
    void release(QKeyCombination key) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        QKeyCombination key;
        quint8 keycode = 0;
        quint16 modifiers = 0;
    };
    void ungrab(const Grab& grab);

    Display* m_display;
    xcb_connection_t* m_connection;
    quint32 m_root = 0;
    QList<Grab> m_grabs;
};

} // namespace notchora
