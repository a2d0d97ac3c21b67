#include "answer/AnswerAuth.h"

#include "answer/AnswerHTTP.h"
#include "answer/KeychainStore.h"
#include "answer/Logging.h"
#include "platform/Browser.h"
#include "platform/Clock.h"

#include <QJsonObject>
#include <QQmlEngine>
#include <algorithm>
#include <cmath>

namespace notchora {

namespace {

QString refreshAccount() {
    return QString::fromLatin1(KeychainStore::refreshTokenAccount);
}

} // namespace

// One interactive sign-in: the request sent to the browser and, once the redirect is back,
// the code exchange. Destroying it abandons both.
class AnswerAuth::Attempt : public QObject {
public:
    Attempt(SignInRequest request, QObject* parent)
        : QObject(parent), request(std::move(request)) {}
    SignInRequest request;
    bool exchanging = false;
};

// The one refresh in flight; its keychain read and token request stop with it.
class AnswerAuth::Refresh : public QObject {
public:
    using QObject::QObject;
};

std::optional<AnswerAuth::Tokens> AnswerAuth::Tokens::fromJson(const QJsonValue& json) {
    const QJsonObject object = json.toObject();
    const QJsonValue access = object.value(QLatin1String("accessToken"));
    const QJsonValue refresh = object.value(QLatin1String("refreshToken"));
    const QJsonValue expires = object.value(QLatin1String("expiresIn"));
    if (!access.isString() || !refresh.isString() || !expires.isDouble())
        return std::nullopt;
    const double seconds = expires.toDouble();
    if (seconds != std::trunc(seconds))
        return std::nullopt;
    // A lifetime from a hostile or broken server (negative, 1e300) is held to what a token
    // can sensibly live: at once expired, at most a year.
    constexpr double longestLifetime = 365.0 * 24 * 3600;
    return Tokens{access.toString(), refresh.toString(),
                  static_cast<qint64>(std::clamp(seconds, 0.0, longestLifetime))};
}

AnswerAuth::AnswerAuth(AnswerHTTP& http, KeychainStore& keychain, Clock& clock,
                       BrowserOpener browser, QObject* parent)
    : QObject(parent), m_http(http), m_keychain(keychain), m_clock(clock),
      m_browser(std::move(browser)) {
    // A stored refresh token alone counts as signed in; nothing goes over the network.
    m_keychain.load(refreshAccount(), this, [this](const std::optional<QString>& token) {
        if (m_state != State::Checking)
            return;
        m_hasRefreshToken = token.has_value();
        setState(token ? State::SignedIn : State::SignedOut);
    });
}

AnswerAuth::~AnswerAuth() = default;

AnswerAuth& AnswerAuth::shared() {
    static AnswerAuth auth(AnswerHTTP::shared(), KeychainStore::shared(), Clock::system(),
                           &Browser::open);
    return auth;
}

AnswerAuth* AnswerAuth::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

QString AnswerAuth::accountText() const {
    switch (m_state) {
    case State::Checking:
        return QStringLiteral("Memeriksa…");
    case State::SignedOut:
        return QStringLiteral("Belum masuk");
    case State::SigningIn:
        return QStringLiteral("Menunggu persetujuan di browser…");
    case State::SignedIn:
        return QStringLiteral("Sudah masuk");
    case State::Failed:
        return QStringLiteral("Gagal masuk: ") + m_failureMessage;
    }
    return {};
}

std::optional<SignInRequest> AnswerAuth::pendingRequest() const {
    return m_attempt ? std::optional(m_attempt->request) : std::nullopt;
}

void AnswerAuth::setState(State state, const QString& failure) {
    if (state == m_state && failure == m_failureMessage)
        return;
    m_state = state;
    m_failureMessage = failure;
    emit stateChanged();
}

void AnswerAuth::signIn() {
    if (m_attempt) {
        // The browser cannot report a cancelled login, so pressing again gives up the wait.
        if (!m_attempt->exchanging)
            finishAttempt(std::nullopt, true);
        return;
    }
    setState(State::SigningIn);
    auto made = SignInRequest::make(m_http.webBase());
    if (auto* error = std::get_if<AnswerAPIError>(&made)) {
        finishAttempt(*error, false);
        return;
    }
    auto* attempt = new Attempt(std::get<SignInRequest>(std::move(made)), this);
    m_attempt = attempt;
    m_clock.schedule(signInTimeout, attempt, [this, attempt] {
        if (m_attempt == attempt && !attempt->exchanging)
            finishAttempt(std::nullopt, true);
    });
    if (!m_browser || !m_browser(attempt->request.authorizationURL))
        finishAttempt(AnswerAPIError::make(0, QStringLiteral("Gagal membuka jendela login.")),
                      false);
}

bool AnswerAuth::handleCallback(const QUrl& url) {
    if (!m_attempt || m_attempt->exchanging ||
        url.scheme().compare(QLatin1String(SignInRequest::callbackScheme), Qt::CaseInsensitive) !=
            0)
        return false;
    const auto outcome = m_attempt->request.interpretCallback(url);
    if (std::holds_alternative<SignInRequest::Foreign>(outcome)) {
        qCWarning(lcAnswer) << "ignoring a sign-in callback without this attempt's state";
        return false;
    }
    if (const auto* code = std::get_if<SignInRequest::Code>(&outcome))
        exchange(code->value);
    else if (const auto* error = std::get_if<AnswerAPIError>(&outcome))
        finishAttempt(*error, false);
    else
        finishAttempt(std::nullopt, true);
    return true;
}

AnswerAPIError AnswerAuth::tokenRequestTimedOut() {
    AnswerAPIError error = AnswerAPIError::make(0, QStringLiteral("Permintaan kehabisan waktu."));
    error.kind = AnswerAPIError::Kind::Transport;
    return error;
}

void AnswerAuth::exchange(const QString& code) {
    m_attempt->exchanging = true;
    Attempt* attempt = m_attempt;
    m_clock.schedule(tokenRequestDeadline, attempt, [this, attempt] {
        if (m_attempt == attempt)
            finishAttempt(tokenRequestTimedOut(), false);
    });
    const QJsonObject body{
        {QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
        {QStringLiteral("client_id"), QString::fromLatin1(SignInRequest::clientId)},
        {QStringLiteral("code"), code},
        {QStringLiteral("code_verifier"), m_attempt->request.verifier},
        {QStringLiteral("redirect_uri"), QString::fromLatin1(SignInRequest::redirectURI)},
    };
    m_http.post(QStringLiteral("oauth/token"), body, std::nullopt, m_attempt,
                [this](const AnswerHTTPResult& result) {
                    if (!result.ok()) {
                        finishAttempt(*result.error,
                                      result.error->kind == AnswerAPIError::Kind::Cancelled);
                        return;
                    }
                    const auto tokens = Tokens::fromJson(result.json);
                    if (!tokens) {
                        finishAttempt(AnswerHTTP::decodingError(result.status), false);
                        return;
                    }
                    store(*tokens);
                    finishAttempt(std::nullopt, false);
                });
}

void AnswerAuth::finishAttempt(std::optional<AnswerAPIError> error, bool cancelled) {
    if (m_attempt) {
        // We may be inside a callback of the attempt's own request.
        m_attempt->deleteLater();
        m_attempt.clear();
    }
    if (error && !cancelled)
        setState(State::Failed, error->message);
    else if (cancelled)
        setState(m_hasRefreshToken ? State::SignedIn : State::SignedOut);
    else
        setState(State::SignedIn);
    emit signInFinished();
}

void AnswerAuth::store(const Tokens& tokens) {
    m_hasRefreshToken = true;
    m_keychain.save(tokens.refreshToken, refreshAccount());
    m_accessToken = tokens.accessToken;
    m_expiresAt = m_clock.now().addMSecs(
        qint64(std::max(double(tokens.expiresIn) - expiryMargin, 0.0) * 1000.0));
}

void AnswerAuth::signOut() {
    m_hasRefreshToken = false;
    m_accessToken.reset();
    m_expiresAt = QDateTime();
    if (m_attempt) {
        m_attempt->deleteLater();
        m_attempt.clear();
        emit signInFinished();
    }
    setState(State::SignedOut);
    m_keychain.remove(refreshAccount());
    // A refresh still running would bring the old session back.
    if (m_refresh)
        finishRefresh(AnswerAPIError::notSignedIn());
}

void AnswerAuth::invalidateAccessToken() {
    m_accessToken.reset();
    m_expiresAt = QDateTime();
}

void AnswerAuth::validAccessToken(QObject* context, TokenCallback done) {
    if (m_accessToken && m_expiresAt.isValid() && m_clock.now() < m_expiresAt) {
        deliverLater(context, std::move(done), *m_accessToken);
        return;
    }
    m_waiters.push_back({context ? context : this, std::move(done)});
    if (!m_refresh)
        startRefresh();
}

void AnswerAuth::startRefresh() {
    auto* refresh = new Refresh(this);
    m_refresh = refresh;
    m_clock.schedule(tokenRequestDeadline, refresh, [this, refresh] {
        if (m_refresh == refresh)
            finishRefresh(tokenRequestTimedOut());
    });
    m_keychain.load(
        refreshAccount(), refresh, [this, refresh](const std::optional<QString>& token) {
            if (!token) {
                m_hasRefreshToken = false;
                setState(State::SignedOut);
                finishRefresh(AnswerAPIError::notSignedIn());
                return;
            }
            const QJsonObject body{
                {QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                {QStringLiteral("refresh_token"), *token},
                {QStringLiteral("client_id"), QString::fromLatin1(SignInRequest::clientId)},
            };
            m_http.post(QStringLiteral("oauth/token"), body, std::nullopt, refresh,
                        [this](const AnswerHTTPResult& result) {
                            if (!result.ok()) {
                                // 400: the service refused the refresh token for good.
                                if (result.error->status == 400 &&
                                    result.error->kind == AnswerAPIError::Kind::Service)
                                    signOut();
                                else
                                    finishRefresh(*result.error);
                                return;
                            }
                            const auto tokens = Tokens::fromJson(result.json);
                            if (!tokens) {
                                finishRefresh(AnswerHTTP::decodingError(result.status));
                                return;
                            }
                            store(*tokens);
                            if (m_state != State::SignedIn && !m_attempt)
                                setState(State::SignedIn);
                            finishRefresh(tokens->accessToken);
                        });
        });
}

void AnswerAuth::finishRefresh(const TokenResult& result) {
    if (m_refresh) {
        m_refresh->deleteLater();
        m_refresh.clear();
    }
    auto waiters = std::exchange(m_waiters, {});
    for (auto& waiter : waiters)
        if (waiter.context && waiter.done)
            waiter.done(result);
}

void AnswerAuth::deliverLater(QObject* context, TokenCallback done, TokenResult result) {
    QMetaObject::invokeMethod(
        context ? context : this,
        [done = std::move(done), result = std::move(result)] {
            if (done)
                done(result);
        },
        Qt::QueuedConnection);
}

} // namespace notchora
