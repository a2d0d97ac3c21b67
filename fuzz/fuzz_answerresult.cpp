// A success reply of the answer service: JSON with snake_case keys turned into camelCase, then
// the first answer and the token pair read from it. Whatever arrives, reading it twice gives
// the same result and converting the keys again changes nothing.
#include "FuzzSupport.h"
#include "answer/AIModels.h"
#include "answer/AnswerAuth.h"
#include "answer/AnswerHTTP.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace notchora;
using namespace notchora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes(data, size), &error);
    if (error.error != QJsonParseError::NoError || doc.isNull())
        return 0;
    const QJsonValue json = AnswerHTTP::convertFromSnakeCase(
        doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array()));
    require(AnswerHTTP::convertFromSnakeCase(json) == json, "key conversion is not stable");

    const QJsonValue answers = json.toObject().value(QLatin1String("answers"));
    if (answers.isArray() && !answers.toArray().isEmpty()) {
        const QJsonObject first = answers.toArray().first().toObject();
        const AnswerResult result = AnswerResult::fromJson(first);
        require(AnswerResult::fromJson(first) == result, "answer decoding is not repeatable");
        if (result.confidence)
            require(result.confidence == result.confidence, "confidence is not a number");
    }
    if (const auto tokens = AnswerAuth::Tokens::fromJson(json)) {
        require(tokens->expiresIn >= 0 && tokens->expiresIn <= 365LL * 24 * 3600,
                "token lifetime out of range");
    }
    return 0;
}
