#pragma once

#include <QLoggingCategory>

namespace notchora {

// notchora.platform: files, folders, the window system and helper programs.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

} // namespace notchora
