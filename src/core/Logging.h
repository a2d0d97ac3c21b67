#pragma once

#include <QLoggingCategory>

namespace notchora {

// notchora.core: the widget store, the module catalogue and the update checker.
Q_DECLARE_LOGGING_CATEGORY(lcCore)

} // namespace notchora
