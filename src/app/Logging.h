#pragma once

#include <QLoggingCategory>

namespace notchora {

// notchora.app: start-up, the status menu and the commands.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

} // namespace notchora
