#pragma once

#include "answer/AnswerAPIError.h"
#include "answer/SignInRequest.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

class QJSEngine;
class QQmlEngine;

namespace notchora {

class AnswerHTTP;
class Clock;
class KeychainStore;

// Signs the user in to the answer service (authorization code with PKCE in the browser),
// keeps the access token in memory and the refresh token in the secret store, and refreshes
// the access token on demand. One instance for the program.
class AnswerAuth : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(State state READ state NOTIFY stateChanged FINAL)
    Q_PROPERTY(QString failureMessage READ failureMessage NOTIFY stateChanged FINAL)
    Q_PROPERTY(QString accountText READ accountText NOTIFY stateChanged FINAL)
public:
    enum class State { Checking, SignedOut, SigningIn, SignedIn, Failed };
    Q_ENUM(State)

    // What the token endpoint returns; all three are required.
    struct Tokens {
        QString accessToken;
        QString refreshToken;
        qint64 expiresIn = 0;
        bool operator==(const Tokens&) const = default;
        static std::optional<Tokens> fromJson(const QJsonValue& json);
    };

    using TokenResult = std::variant<QString, AnswerAPIError>;
    using TokenCallback = std::function<void(const TokenResult&)>;
    // Opens the authorization URL; false when no browser could be started.
    using BrowserOpener = std::function<bool(const QUrl&)>;

    // A browser cannot tell us the user gave up, so a waiting sign-in ends on its own.
    static constexpr double signInTimeout = 600;
    static constexpr double expiryMargin = 30;
    // The longest a token request (code exchange or refresh) may take from start to end; a
    // server trickling a byte now and then never trips the transfer's idle time-out.
    static constexpr double tokenRequestDeadline = 120;

    AnswerAuth(AnswerHTTP& http, KeychainStore& keychain, Clock& clock, BrowserOpener browser,
               QObject* parent = nullptr);
    ~AnswerAuth() override;

    static AnswerAuth& shared();
    static AnswerAuth* create(QQmlEngine*, QJSEngine*);

    State state() const { return m_state; }
    // The message of a failed sign-in; empty otherwise.
    QString failureMessage() const { return m_failureMessage; }
    // The account line shown in the settings and by `notchora status`.
    QString accountText() const;
    bool hasRefreshToken() const { return m_hasRefreshToken; }
    // The redirect the waiting sign-in expects, for tests and diagnostics.
    std::optional<SignInRequest> pendingRequest() const;

    // Starts the interactive sign-in. While the browser is open a second call gives up the
    // waiting attempt (as if the user had cancelled it).
    Q_INVOKABLE void signIn();
    Q_INVOKABLE void signOut();
    // The browser's redirect to "soalika-answer://callback…". Returns false when no sign-in is
    // waiting for it, or when it does not carry the waiting attempt's state (the URL is then
    // ignored and the attempt keeps waiting).
    bool handleCallback(const QUrl& url);

    // Calls `done` with a valid access token, refreshing first when needed; concurrent callers
    // share one refresh. `done` is dropped when `context` is destroyed first.
    void validAccessToken(QObject* context, TokenCallback done);
    // Forgets the cached access token so the next request refreshes it.
    void invalidateAccessToken();

signals:
    void stateChanged();
    // A sign-in attempt has ended, whatever the outcome.
    void signInFinished();

private:
    static AnswerAPIError tokenRequestTimedOut();
    class Attempt;
    class Refresh;

    void setState(State state, const QString& failure = QString());
    void store(const Tokens& tokens);
    void finishAttempt(std::optional<AnswerAPIError> error, bool cancelled);
    void exchange(const QString& code);
    void startRefresh();
    void finishRefresh(const TokenResult& result);
    void deliverLater(QObject* context, TokenCallback done, TokenResult result);

    AnswerHTTP& m_http;
    KeychainStore& m_keychain;
    Clock& m_clock;
    BrowserOpener m_browser;

    State m_state = State::Checking;
    QString m_failureMessage;
    std::optional<QString> m_accessToken;
    QDateTime m_expiresAt;
    bool m_hasRefreshToken = false;
    QPointer<Attempt> m_attempt;
    QPointer<Refresh> m_refresh;
    struct Waiter {
        QPointer<QObject> context;
        TokenCallback done;
    };
    std::vector<Waiter> m_waiters;
};

} // namespace notchora
