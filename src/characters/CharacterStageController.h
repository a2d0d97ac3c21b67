#pragma once

#include "characters/CharacterStageShow.h"
#include "notch/NotchGeometry.h"
#include "notch/NotchViewModel.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;
class QQuickWindow;

namespace notchora {

class CharacterDirector;
class Clock;
class ClockTimer;
class WindowSystem;

// Every 30 to 70 seconds while the character is on screen, the current character runs
// along the top of the screen, strikes the notch three times (the notch flinches) and runs
// off. The show plays in a click-through strip panel that exists only while it lasts.
class CharacterStageController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged FINAL)
public:
    static constexpr double minWait = 30;
    static constexpr double maxWait = 70;

    // Without a window system the shows play without a panel (tests).
    CharacterStageController(Clock& clock, CharacterDirector& director, WindowSystem* windows,
                             QObject* parent = nullptr);
    ~CharacterStageController() override;

    static CharacterStageController& shared();
    static CharacterStageController* create(QQmlEngine*, QJSEngine*);

    // The notch whose geometry the shows use and which flinches at each hit.
    void setViewModel(NotchViewModel* viewModel) { m_viewModel = viewModel; }
    bool isRunning() const { return m_isRunning; }
    bool isScheduled() const;
    QQuickWindow* panel() const;
    const CharacterStageShow* show() const { return m_show; }

    // (Re)starts the wait before the next show, or stops scheduling. A show under way
    // plays on either way.
    Q_INVOKABLE void setActive(bool active);
    // A show after `delay` seconds, unless one is under way.
    Q_INVOKABLE void runNow(double delay = 0);

signals:
    void isRunningChanged();

private:
    void scheduleNext();
    void setRunning(bool running);

    Clock& m_clock;
    CharacterDirector& m_director;
    WindowSystem* m_windows;
    QPointer<NotchViewModel> m_viewModel;
    bool m_isRunning = false;
    QPointer<ClockTimer> m_scheduler;
    QPointer<CharacterStageShow> m_show;
};

} // namespace notchora
