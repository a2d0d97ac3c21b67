#include "answer/Logging.h"

namespace notchora {

Q_LOGGING_CATEGORY(lcAnswer, "notchora.answer", QtInfoMsg)

} // namespace notchora
