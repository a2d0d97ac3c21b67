#include "answer/AnswerAPIError.h"

namespace notchora {

AnswerAPIError AnswerAPIError::notSignedIn() {
    return make(401, QString::fromUtf8(notSignedInMessage), true);
}

AnswerAPIError AnswerAPIError::make(int status, const QString& message, bool needsSignIn) {
    AnswerAPIError error;
    error.status = status;
    error.message = message;
    error.needsSignIn = needsSignIn;
    return error;
}

} // namespace notchora
