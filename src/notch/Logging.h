#pragma once

#include <QLoggingCategory>

namespace notchora {

// notchora.notch: the panel over the notch and its views.
Q_DECLARE_LOGGING_CATEGORY(lcNotch)

} // namespace notchora
