#include "assistant/Logging.h"

namespace notchora {

Q_LOGGING_CATEGORY(lcAssistant, "notchora.assistant", QtInfoMsg)

} // namespace notchora
