#pragma once

#include "TestEnvironment.h"
#include "answer/AnswerAuth.h"
#include "answer/AnswerHTTP.h"
#include "answer/KeychainStore.h"
#include "platform/Defaults.h"
#include "platform/SystemClock.h"

#include <memory>
#include <optional>

namespace notchora::test {

// The client side of the answer service over a temporary profile: settings pointing at
// `base`, the HTTP transport, the file secret store and, once made, the sign-in.
struct AnswerStack {
    explicit AnswerStack(const QUrl& base = QUrl());

    void setBase(const QUrl& base);
    // (Re)creates the sign-in, which reads the secret store as a fresh start would.
    AnswerAuth& makeAuth(
        Clock& clock = Clock::system(),
        AnswerAuth::BrowserOpener browser = [](const QUrl&) { return true; });
    std::optional<QString> storedRefreshToken();
    void storeRefreshToken(const QString& token);
    // Asks the sign-in for an access token and waits for the answer.
    AnswerAuth::TokenResult token();

    TestEnvironment env;
    Defaults defaults;
    AnswerHTTP http;
    KeychainStore keychain;
    QObject context;
    std::unique_ptr<AnswerAuth> auth;
};

} // namespace notchora::test
