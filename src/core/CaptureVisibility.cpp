#include "core/CaptureVisibility.h"

#include "core/WidgetStore.h"
#include "platform/Defaults.h"

#include <QQmlEngine>

namespace notchora {

CaptureVisibility::CaptureVisibility() {
    connect(&Defaults::shared(), &Defaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(WidgetStore::hideFromCaptureKey))
            post();
    });
}

CaptureVisibility& CaptureVisibility::shared() {
    static CaptureVisibility instance;
    return instance;
}

CaptureVisibility* CaptureVisibility::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

void CaptureVisibility::setAICaptureInProgress(bool inProgress) {
    m_inProgress = inProgress;
    emit didChange();
}

bool CaptureVisibility::hideFromCapture() {
    return Defaults::shared().boolValue(QString::fromLatin1(WidgetStore::hideFromCaptureKey), true);
}

} // namespace notchora
