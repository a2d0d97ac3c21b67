#pragma once

#include <QLoggingCategory>

namespace notchora {

// notchora.answer: the answer service, sign-in, the keychain and the chat history.
Q_DECLARE_LOGGING_CATEGORY(lcAnswer)

} // namespace notchora
