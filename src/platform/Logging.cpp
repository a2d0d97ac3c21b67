#include "platform/Logging.h"

namespace notchora {

Q_LOGGING_CATEGORY(lcPlatform, "notchora.platform", QtInfoMsg)

} // namespace notchora
