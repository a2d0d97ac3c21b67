// The answer event stream in random pieces: the first byte seeds the piece sizes, the rest is
// the body. However the body is cut, the events must be the same as for the whole body, and
// the stream must end exactly once.
#include "FuzzSupport.h"
#include "answer/AnswerEventParser.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <random>

using notchora::AnswerEventParser;
using namespace notchora::fuzz;

namespace {

using Events = QList<AnswerEventParser::Event>;

Events parseWhole(QByteArrayView body) {
    AnswerEventParser parser;
    Events events = parser.feed(body);
    events += parser.finish();
    return events;
}

Events parseInPieces(QByteArrayView body, uint32_t seed) {
    AnswerEventParser parser;
    std::minstd_rand random(seed + 1);
    Events events;
    for (qsizetype at = 0; at < body.size();) {
        // Mostly small pieces, sometimes empty ones, sometimes large.
        const qsizetype piece = qMin<qsizetype>(body.size() - at, qsizetype(random() % 17));
        events += parser.feed(body.sliced(at, piece));
        at += piece;
    }
    events += parser.finish();
    return events;
}

// What the fast token reader makes of a payload must be what the JSON parser makes of it.
void checkTokenText(QByteArrayView payload) {
    const auto fast = AnswerEventParser::tokenText(payload);
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(payload.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        require(!fast, "token text read from a payload that is not a JSON object");
        return;
    }
    const QJsonValue text = doc.object().value(QLatin1String("text"));
    require(fast.has_value() == text.isString(), "token text found by one reader only");
    if (fast)
        require(*fast == text.toString(), "token text differs from the JSON parser's");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArrayView body(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const Events whole = parseWhole(body);
    require(!whole.isEmpty(), "the stream ended without a final event");
    using Type = AnswerEventParser::Event::Type;
    for (qsizetype i = 0; i + 1 < whole.size(); ++i)
        require(whole[i].type == Type::Token, "an event after the end of the stream");
    require(whole.last().type != Type::Token, "the stream did not end with done or a failure");
    require(parseInPieces(body, data[0]) == whole, "events depend on how the body was cut");
    checkTokenText(body);
    return 0;
}
