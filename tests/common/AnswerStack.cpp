#include "AnswerStack.h"

#include <QTest>

namespace notchora::test {

AnswerStack::AnswerStack(const QUrl& base)
    : defaults(env.configHome() + "/notchora/defaults.json"), http(defaults),
      keychain(env.dataHome() + "/Notchora/secrets.json", KeychainStore::Backend::File) {
    if (base.isValid())
        setBase(base);
}

void AnswerStack::setBase(const QUrl& base) {
    defaults.setString("ai.baseURL", base.toString());
}

AnswerAuth& AnswerStack::makeAuth(Clock& clock, AnswerAuth::BrowserOpener browser) {
    auth = std::make_unique<AnswerAuth>(http, keychain, clock, std::move(browser));
    return *auth;
}

std::optional<QString> AnswerStack::storedRefreshToken() {
    std::optional<QString> value;
    bool done = false;
    keychain.load(KeychainStore::refreshTokenAccount, &context, [&](std::optional<QString> v) {
        value = std::move(v);
        done = true;
    });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(done, 10000); }();
    return value;
}

void AnswerStack::storeRefreshToken(const QString& token) {
    bool done = false;
    keychain.save(token, KeychainStore::refreshTokenAccount, &context, [&] { done = true; });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(done, 10000); }();
}

AnswerAuth::TokenResult AnswerStack::token() {
    if (!auth)
        makeAuth();
    std::optional<AnswerAuth::TokenResult> result;
    auth->validAccessToken(&context, [&](const AnswerAuth::TokenResult& r) { result = r; });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 10000); }();
    return result.value_or(AnswerAuth::TokenResult(AnswerAPIError::make(-1, "no answer")));
}

} // namespace notchora::test
