#pragma once

#include <QLoggingCategory>

namespace notchora {

// notchora.screenshot: captures, the capture tool and the red-box editor.
Q_DECLARE_LOGGING_CATEGORY(lcScreenshot)

} // namespace notchora
