#include "assistant/ConfidenceStyle.h"

#include <algorithm>
#include <cmath>

namespace notchora {

double ConfidenceStyle::fraction(double value) {
    if (!std::isfinite(value))
        return 0;
    return std::clamp(value, 0.0, 1.0);
}

int ConfidenceStyle::percent(double value) {
    // Halves round away from zero.
    return int(std::lround(fraction(value) * 100));
}

QString ConfidenceStyle::percentText(double value) {
    return QString::number(percent(value)) + u'%';
}

QString ConfidenceStyle::accessibleName(double value) {
    return QStringLiteral("Keyakinan %1 persen").arg(percent(value));
}

QColor ConfidenceStyle::color(double value) {
    const double v = fraction(value);
    if (v >= greenFrom)
        return green();
    if (v >= yellowFrom)
        return yellow();
    return orange();
}

} // namespace notchora
