#pragma once

#include <QObject>
#include <QPointF>

namespace notchora {

// The pointer anywhere on the desktop, over any program's windows, in our global
// coordinates (bottom-left origin). `moved` fires while at least one user holds the source
// (`acquire`) and only when the position really changed.
class PointerSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QPointF position() const = 0;

    // Reference-counted start and stop of the movement reports.
    void acquire();
    void release();
    int users() const { return m_users; }

    // Pointer warps produce no motion events; a user that must notice them (an open panel)
    // asks for a coarse poll while it needs one. Idle users leave it off.
    void setPollingWanted(bool wanted);
    bool pollingWanted() const { return m_pollingWanted; }

signals:
    void moved(QPointF position);

protected:
    virtual void startWatching() = 0;
    virtual void stopWatching() = 0;
    virtual void pollingWantedChanged() {}

private:
    int m_users = 0;
    bool m_pollingWanted = false;
};

} // namespace notchora
