#pragma once

#include <QLoggingCategory>

namespace notchora {

// notchora.assistant: questions, attachments, slash commands and the answer popup.
Q_DECLARE_LOGGING_CATEGORY(lcAssistant)

} // namespace notchora
