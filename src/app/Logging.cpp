#include "app/Logging.h"

namespace notchora {

Q_LOGGING_CATEGORY(lcApp, "notchora.app", QtInfoMsg)

} // namespace notchora
