#include "core/CaptureVisibility.h"

#include "core/WidgetStore.h"
#include "platform/Defaults.h"

#include <QQmlEngine>

namespace notchora {

CaptureVisibility::CaptureVisibility() {
    connect(&Defaults::shared(), &Defaults::changed, this, [this](const QString& key) {
        if (key == WidgetStore::hideFromCaptureSetting.name())
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
    return Defaults::shared().read(WidgetStore::hideFromCaptureSetting);
}

} // namespace notchora
