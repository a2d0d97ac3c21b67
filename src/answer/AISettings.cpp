#include "answer/AISettings.h"

#include "platform/Defaults.h"

#include <QUrl>

namespace notchora::AISettings {

QString baseURL(const Defaults& defaults) {
    // For one run against another service (scripts/run.sh uses the development one), without
    // touching the user's setting.
    if (const QString forced = qEnvironmentVariable(baseURLOverrideVariable); !forced.isEmpty())
        return forced;
    const QString stored = defaults.stringValue(QLatin1String(baseURLKey)).value_or(QString());
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
    const QString stored =
        defaults.stringValue(QLatin1String(popupPositionKey)).value_or(QString());
    return aiPopupPositionFromString(stored).value_or(AIPopupPosition::Right);
}

AIPopupPosition popupPosition() {
    return popupPosition(Defaults::shared());
}

std::optional<QPointF> freeOrigin(const Defaults& defaults) {
    const QString xKey = QLatin1String(popupFreeXKey);
    const QString yKey = QLatin1String(popupFreeYKey);
    if (!defaults.contains(xKey) || !defaults.contains(yKey))
        return std::nullopt;
    return QPointF(defaults.doubleValue(xKey, 0), defaults.doubleValue(yKey, 0));
}

std::optional<QPointF> freeOrigin() {
    return freeOrigin(Defaults::shared());
}

bool attachScreen(const Defaults& defaults) {
    return defaults.boolValue(QLatin1String(attachScreenKey), false);
}

bool saveHistory(const Defaults& defaults) {
    return defaults.boolValue(QLatin1String(saveHistoryKey), true);
}

bool saveHistory() {
    return saveHistory(Defaults::shared());
}

} // namespace notchora::AISettings
