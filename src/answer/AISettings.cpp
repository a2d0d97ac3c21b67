#include "answer/AISettings.h"

#include "platform/Defaults.h"

#include <QUrl>

namespace notchora::AISettings {

QString baseURL(const Defaults& defaults) {
    // For one run against another service (scripts/run.sh uses the development one), without
    // touching the user's setting.
    if (const QString forced = qEnvironmentVariable(baseURLOverrideVariable); !forced.isEmpty())
        return forced;
    const QString stored = defaults.read(baseURLSetting);
    if (stored.isEmpty() || stored == QLatin1String(localDevelopmentURL))
        return QString::fromLatin1(productionBaseURL);
    return stored;
}

QString baseURL() {
    return baseURL(Defaults::shared());
}

QString baseURLProblem(const QString& baseURL) {
    const QUrl url(baseURL, QUrl::StrictMode);
    if (!url.isValid())
        return {};
    const QString scheme = url.scheme().toLower();
    if ((scheme == QLatin1String("https") || scheme == QLatin1String("http")) &&
        !url.host().isEmpty())
        return {};
    return QStringLiteral("Alamat server AI tidak valid: gunakan alamat http:// atau https:// "
                          "lengkap dengan nama host.");
}

AIPopupPosition popupPosition(const Defaults& defaults) {
    // A value we do not know reads as the default.
    const auto stored = aiPopupPositionFromString(defaults.read(popupPositionSetting));
    return stored ? *stored : *aiPopupPositionFromString(popupPositionSetting.defaultValue());
}

AIPopupPosition popupPosition() {
    return popupPosition(Defaults::shared());
}

std::optional<QPointF> freeOrigin(const Defaults& defaults) {
    if (!defaults.contains(popupFreeXSetting.name()) ||
        !defaults.contains(popupFreeYSetting.name()))
        return std::nullopt;
    return QPointF(defaults.read(popupFreeXSetting), defaults.read(popupFreeYSetting));
}

std::optional<QPointF> freeOrigin() {
    return freeOrigin(Defaults::shared());
}

bool attachScreen(const Defaults& defaults) {
    return defaults.read(attachScreenSetting);
}

bool saveHistory(const Defaults& defaults) {
    return defaults.read(saveHistorySetting);
}

bool saveHistory() {
    return saveHistory(Defaults::shared());
}

} // namespace notchora::AISettings
