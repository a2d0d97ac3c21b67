#include "answer/AnswerHTTP.h"

#include "answer/AISettings.h"
#include "answer/Logging.h"
#include "platform/Defaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace notchora {

AnswerHTTP::AnswerHTTP(Defaults& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults) {}

AnswerHTTP::~AnswerHTTP() = default;

AnswerHTTP& AnswerHTTP::shared() {
    static AnswerHTTP http(Defaults::shared());
    return http;
}

QUrl AnswerHTTP::webBase() const {
    return webBase(AISettings::baseURL(m_defaults));
}

QUrl AnswerHTTP::webBase(const QString& baseURL) {
    const QUrl url(baseURL, QUrl::StrictMode);
    if (!url.isValid())
        return QUrl(QString::fromLatin1(AISettings::productionBaseURL));
    // An address the user did give, but one no web service answers at: refused, never
    // swapped for the production service (questions and screenshots would go where the
    // user did not choose).
    if (!AISettings::baseURLProblem(baseURL).isEmpty())
        return {};
    return url;
}

std::optional<AnswerAPIError> AnswerHTTP::refusedBase() const {
    const QString base = AISettings::baseURL(m_defaults);
    const QString problem = AISettings::baseURLProblem(base);
    if (problem.isEmpty())
        return std::nullopt;
    // Only where it points: a key in the user part or the query never reaches the log.
    qCWarning(lcAnswer) << "refusing the answer service address"
                        << QUrl(base)
                               .adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery |
                                         QUrl::RemoveFragment)
                               .toDisplayString()
                               .left(200);
    return AnswerAPIError::make(0, problem);
}

QUrl AnswerHTTP::appendingPath(const QUrl& base, const QString& path) {
    QUrl url = base;
    QString joined = url.path();
    for (const QString& segment : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!joined.endsWith(QLatin1Char('/')))
            joined += QLatin1Char('/');
        joined += segment;
    }
    url.setPath(joined);
    return url;
}

QUrl AnswerHTTP::serviceURL(const QString& path) const {
    return appendingPath(appendingPath(webBase(), QStringLiteral("api")), path);
}

QNetworkRequest AnswerHTTP::request(const QString& path, const std::optional<QString>& bearer,
                                    int timeoutSeconds) const {
    QNetworkRequest request(serviceURL(path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (bearer)
        request.setRawHeader("Authorization", "Bearer " + bearer->toUtf8());
    request.setTransferTimeout(timeoutSeconds * 1000);
    return request;
}

AnswerHTTPCall* AnswerHTTP::post(const QString& path, const QJsonObject& json,
                                 const std::optional<QString>& bearer, QObject* owner) {
    if (auto refused = refusedBase())
        return new AnswerHTTPCall(*refused, owner);
    QNetworkReply* reply =
        m_network.post(request(path, bearer), QJsonDocument(json).toJson(QJsonDocument::Compact));
    return new AnswerHTTPCall(reply, owner);
}

void AnswerHTTP::post(const QString& path, const QJsonObject& json,
                      const std::optional<QString>& bearer, QObject* context,
                      std::function<void(const AnswerHTTPResult&)> done) {
    // Without a context the call lives as long as the transport.
    QObject* owner = context ? context : this;
    AnswerHTTPCall* call = post(path, json, bearer, owner);
    connect(call, &AnswerHTTPCall::finished, owner, [call, done = std::move(done)] {
        call->deleteLater();
        done(call->result());
    });
}

AnswerHTTPResult AnswerHTTP::interpret(QNetworkReply* reply, const QByteArray& body) {
    AnswerHTTPResult result;
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid()) {
        result.error = replyFailure(reply->error(), body);
        return result;
    }
    result.status = statusAttribute.toInt();
    if (result.status < 200 || result.status > 299) {
        std::optional<QString> retryAfter;
        if (reply->hasRawHeader("Retry-After"))
            retryAfter = QString::fromLatin1(reply->rawHeader("Retry-After"));
        result.error = mapError(result.status, body, retryAfter);
        return result;
    }
    // Headers arrived but the body did not (time-out, dropped connection): network and
    // proxy errors are numbered below 200.
    if (reply->error() != QNetworkReply::NoError && reply->error() < 200) {
        if (reply->error() == QNetworkReply::RemoteHostClosedError) {
            result.error = AnswerAPIError::make(0, QStringLiteral("Koneksi jaringan terputus."));
            result.error->kind = AnswerAPIError::Kind::Transport;
        } else {
            result.error = replyFailure(reply->error(), body);
        }
        return result;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || document.isNull()) {
        result.error = decodingError(result.status);
        return result;
    }
    result.json = convertFromSnakeCase(document.isObject() ? QJsonValue(document.object())
                                                           : QJsonValue(document.array()));
    return result;
}

AnswerAPIError AnswerHTTP::replyFailure(QNetworkReply::NetworkError error, const QByteArray& body) {
    // Texts as the desktop's own network stack words them for Indonesian users.
    auto transport = [](const char* message) {
        AnswerAPIError e = AnswerAPIError::make(0, QString::fromUtf8(message));
        e.kind = AnswerAPIError::Kind::Transport;
        return e;
    };
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return transport("Server dengan nama host yang ditentukan tidak dapat ditemukan.");
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
        return transport("Tidak dapat terhubung ke server.");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
    // Our own cancellation destroys the call first, so an abort seen here is the time-out.
    case QNetworkReply::OperationCanceledError:
        return transport("Permintaan kehabisan waktu.");
    case QNetworkReply::SslHandshakeFailedError:
        return transport("Terjadi kesalahan SSL dan koneksi aman ke server tidak dapat dibuat.");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
        return transport("Koneksi internet tampaknya sedang offline.");
    case QNetworkReply::ProtocolUnknownError:
        return transport("URL tidak didukung.");
    default:
        // Something answered, but not in HTTP. Qt drops such a connection itself and reports
        // it as closed by the remote host (RemoteHostClosedError), like a peer that hung up
        // before sending a status line: no HTTP reply either way.
        return mapError(0, body, std::nullopt);
    }
}

AnswerAPIError AnswerHTTP::decodingError(int status) {
    AnswerAPIError error = AnswerAPIError::make(
        status, QStringLiteral("Data tidak dapat dibaca karena formatnya tidak benar."));
    error.kind = AnswerAPIError::Kind::Decoding;
    return error;
}

std::optional<QString> AnswerHTTP::detailMessage(const QByteArray& data) {
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject body = document.object();
    // A blank text says nothing: the next place is tried, and the user never sees an empty
    // message.
    auto text = [](const QJsonValue& v) -> std::optional<QString> {
        return v.isString() && !v.toString().trimmed().isEmpty() ? std::optional(v.toString())
                                                                 : std::nullopt;
    };
    auto stringOf = [&text](const QJsonObject& object, const char* key) {
        return text(object.value(QLatin1String(key)));
    };
    const QJsonValue detail = body.value(QStringLiteral("detail"));
    if (auto own = text(detail))
        return own;
    if (detail.isObject()) {
        const QJsonObject object = detail.toObject();
        if (auto description = stringOf(object, "error_description"))
            return description;
        return stringOf(object, "error");
    }
    if (detail.isArray()) {
        QStringList messages;
        bool allObjects = true;
        for (const QJsonValue& item : detail.toArray()) {
            allObjects = allObjects && item.isObject();
            if (auto msg = stringOf(item.toObject(), "msg"))
                messages << *msg;
        }
        if (allObjects) {
            if (messages.isEmpty())
                return std::nullopt;
            return messages.join(QStringLiteral("; "));
        }
    }
    if (auto error = stringOf(body, "error"))
        return error;
    return stringOf(body, "message");
}

std::optional<int> AnswerHTTP::parseRetryAfter(const std::optional<QString>& text) {
    if (!text || text->isEmpty())
        return std::nullopt;
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    if (!number.match(*text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int seconds = text->toInt(&ok);
    return ok ? std::optional(seconds) : std::nullopt;
}

AnswerAPIError AnswerHTTP::mapError(int status, const QByteArray& data,
                                    const std::optional<QString>& retryAfter) {
    const std::optional<QString> detail = detailMessage(data);
    const std::optional<int> seconds = parseRetryAfter(retryAfter);
    QString message;
    switch (status) {
    case 400:
        message =
            detail.value_or(QStringLiteral("Permintaan ditolak (400). Periksa konfigurasi app."));
        break;
    case 401:
        message = QStringLiteral("Sesi berakhir. Masuk lagi lewat Pengaturan → AI Assistant.");
        break;
    case 422:
        message = QStringLiteral("Data ditolak server: ") +
                  detail.value_or(QStringLiteral("validasi gagal")) + QLatin1Char('.');
        break;
    case 429:
        message = QStringLiteral("Terlalu banyak permintaan. Coba lagi") +
                  (seconds ? QStringLiteral(" dalam %1 detik").arg(*seconds)
                           : QStringLiteral(" sebentar lagi")) +
                  QLatin1Char('.');
        break;
    case 502:
        message = QStringLiteral("Layanan AI sedang tidak tersedia. Coba lagi beberapa saat.");
        break;
    case 503:
        message = QStringLiteral("Fitur jawaban AI sedang dimatikan oleh administrator.");
        break;
    default:
        message = detail.value_or(QStringLiteral("Server mengembalikan HTTP %1.").arg(status));
        break;
    }
    AnswerAPIError error = AnswerAPIError::make(status, message, status == 401);
    error.retryAfter = seconds;
    return error;
}

QString AnswerHTTP::camelCaseKey(const QString& key) {
    qsizetype first = 0;
    while (first < key.size() && key.at(first) == QLatin1Char('_'))
        ++first;
    if (first == key.size())
        return key;
    qsizetype last = key.size() - 1;
    while (last > first && key.at(last) == QLatin1Char('_'))
        --last;
    const QString core = key.mid(first, last - first + 1);
    const QStringList words = core.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (words.size() == 1)
        return key;
    QString joined = words.first().toLower();
    for (qsizetype i = 1; i < words.size(); ++i)
        joined += words[i].left(1).toUpper() + words[i].mid(1).toLower();
    return key.left(first) + joined + key.mid(last + 1);
}

QJsonValue AnswerHTTP::convertFromSnakeCase(const QJsonValue& value) {
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        QJsonObject converted;
        for (auto it = object.begin(); it != object.end(); ++it)
            converted.insert(camelCaseKey(it.key()), convertFromSnakeCase(it.value()));
        return converted;
    }
    if (value.isArray()) {
        QJsonArray converted;
        for (const QJsonValue& item : value.toArray())
            converted.append(convertFromSnakeCase(item));
        return converted;
    }
    return value;
}

} // namespace notchora
