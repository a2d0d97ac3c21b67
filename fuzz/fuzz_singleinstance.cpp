// The single-instance socket's request and reply lines. A request is either words or an error
// message; an echo never grows past its limit nor carries control characters; a reply is
// always an exit code in range.
#include "FuzzSupport.h"
#include "app/MessageText.h"
#include "app/SingleInstanceRequest.h"

using notchora::MessageText;
using notchora::SingleInstanceRequest;
using namespace notchora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray line = bytes(data, size);
    const auto parsed = SingleInstanceRequest::parse(line);
    if (const auto* words = std::get_if<QStringList>(&parsed)) {
        require(!words->isEmpty() && !words->first().isEmpty(), "an empty request was taken");
        require(words->size() <= SingleInstanceRequest::maxWords, "too many words taken");
        require(SingleInstanceRequest::parse(SingleInstanceRequest::encode(*words)) == parsed,
                "a request does not survive encoding");
        const QString echoed = SingleInstanceRequest::unknownCommandMessage(words->first());
        require(echoed.size() < 200, "an echo longer than its limit");
    } else {
        require(!std::get<SingleInstanceRequest::Error>(parsed).message.isEmpty(),
                "a refusal without a message");
    }
    const QString echo = MessageText::echo(QString::fromUtf8(line));
    require(echo.size() <= MessageText::maxEchoCharacters + 1, "echo not cut");
    for (const QChar c : echo)
        require(c.category() != QChar::Other_Control, "echo carries a control character");
    const auto reply = SingleInstanceRequest::parseReply(line);
    require(reply.exitCode >= 0 && reply.exitCode <= 255, "reply exit code out of range");
    if (reply.exitCode == 0)
        require(SingleInstanceRequest::parseReply(SingleInstanceRequest::encodeReply(reply)) ==
                    reply,
                "a success reply does not survive encoding");
    return 0;
}
