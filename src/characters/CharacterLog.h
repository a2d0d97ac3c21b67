#pragma once

#include <QLoggingCategory>

namespace notchora {

Q_DECLARE_LOGGING_CATEGORY(lcCharacters)

} // namespace notchora
