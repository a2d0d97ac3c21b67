#include "notch/Logging.h"

namespace notchora {

Q_LOGGING_CATEGORY(lcNotch, "notchora.notch", QtInfoMsg)

} // namespace notchora
