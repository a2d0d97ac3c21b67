// The sign-in redirect as the browser (or anyone) may hand it over: only a URL carrying this
// attempt's state may end the sign-in, and a code is only ever taken from such a URL.
#include "FuzzSupport.h"
#include "answer/SignInRequest.h"

#include <QUrlQuery>

using notchora::SignInRequest;
using namespace notchora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    SignInRequest request;
    request.state = QStringLiteral("s7ate");
    request.verifier = QStringLiteral("verifier");
    for (const QUrl& url : {QUrl(text), QUrl(text, QUrl::StrictMode),
                            QUrl(QStringLiteral("soalika-answer://callback?") + text)}) {
        const auto outcome = request.interpretCallback(url);
        if (std::holds_alternative<SignInRequest::Foreign>(outcome))
            continue;
        // Anything else needs our state among the query items.
        bool ours = false;
        for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
            ours = ours || (key == QLatin1String("state") && value == request.state);
        require(ours, "a redirect without our state was taken");
        if (const auto* code = std::get_if<SignInRequest::Code>(&outcome))
            require(!code->value.isEmpty(), "an empty code was taken");
    }
    return 0;
}
