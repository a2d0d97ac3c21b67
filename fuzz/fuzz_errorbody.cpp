// Error replies of the answer service: any body, status and Retry-After value becomes one
// error with a message for the user, never a crash.
#include "FuzzSupport.h"
#include "answer/AnswerHTTP.h"

using notchora::AnswerHTTP;
using namespace notchora::fuzz;

// Layout: two bytes of status, one byte of Retry-After length, the Retry-After text, the body.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const int status = (data[0] << 8 | data[1]) % 600;
    const size_t retryLength = qMin<size_t>(data[2], size - 3);
    const QString retryAfter =
        QString::fromUtf8(reinterpret_cast<const char*>(data) + 3, qsizetype(retryLength));
    const QByteArray body = bytes(data + 3 + retryLength, size - 3 - retryLength);

    const auto error = AnswerHTTP::mapError(status, body, retryAfter);
    require(!error.message.isEmpty(), "an error without a message");
    require(error.status == status, "the error lost its status");
    require(error.needsSignIn == (status == 401), "sign-in asked for the wrong status");
    const auto seconds = AnswerHTTP::parseRetryAfter(retryAfter);
    require(error.retryAfter == seconds, "Retry-After read differently");
    const auto failure = AnswerHTTP::replyFailure(QNetworkReply::UnknownServerError, body);
    require(!failure.message.isEmpty(), "a reply failure without a message");
    AnswerHTTP::detailMessage(body);
    return 0;
}
