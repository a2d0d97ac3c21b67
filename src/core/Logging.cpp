#include "core/Logging.h"

namespace notchora {

Q_LOGGING_CATEGORY(lcCore, "notchora.core", QtInfoMsg)

} // namespace notchora
