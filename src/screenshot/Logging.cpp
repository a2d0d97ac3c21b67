#include "screenshot/Logging.h"

namespace notchora {

Q_LOGGING_CATEGORY(lcScreenshot, "notchora.screenshot", QtInfoMsg)

} // namespace notchora
