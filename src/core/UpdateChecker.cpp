#include "core/UpdateChecker.h"

#include "core/Logging.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QQmlEngine>

namespace notchora {

std::optional<UpdateRelease> UpdateRelease::fromJson(const QByteArray& body) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject object = doc.object();
    if (!object.value(QLatin1String("version")).isString())
        return std::nullopt;
    UpdateRelease release;
    release.version = object.value(QLatin1String("version")).toString();
    auto optionalText = [&](const char* key) -> std::optional<QString> {
        const QJsonValue v = object.value(QLatin1String(key));
        return v.isString() ? std::optional(v.toString()) : std::nullopt;
    };
    // An optional field of the wrong type makes the record undecodable, as a strict decoder
    // would; null counts as absent.
    for (const char* key : {"notes", "released"}) {
        const QJsonValue v = object.value(QLatin1String(key));
        if (!v.isUndefined() && !v.isNull() && !v.isString())
            return std::nullopt;
    }
    release.notes = optionalText("notes");
    release.released = optionalText("released");
    return release;
}

UpdateChecker::UpdateChecker(Defaults& defaults, Clock& clock, QNetworkAccessManager& network,
                             QUrl websiteURL, QString currentVersion, QObject* parent)
    : QObject(parent), m_defaults(defaults), m_clock(clock), m_network(network),
      m_websiteURL(std::move(websiteURL)),
      m_currentVersion(currentVersion.isEmpty() ? QStringLiteral("0") : std::move(currentVersion)) {
}

UpdateChecker::~UpdateChecker() = default;

UpdateChecker& UpdateChecker::shared() {
    static QNetworkAccessManager network;
    static UpdateChecker checker(Defaults::shared(), Clock::system(), network, defaultWebsiteURL(),
                                 projectVersion());
    return checker;
}

UpdateChecker* UpdateChecker::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

QUrl UpdateChecker::defaultWebsiteURL() {
    return QUrl(QStringLiteral("https://notchora.app"));
}

QString UpdateChecker::projectVersion() {
#ifdef NOTCHORA_VERSION
    return QStringLiteral(NOTCHORA_VERSION);
#else
    return QStringLiteral("0");
#endif
}

QString UpdateChecker::installCommand() const {
    return QStringLiteral("curl -fsSL ") + m_websiteURL.toString() +
           QStringLiteral("/install.sh | bash");
}

bool UpdateChecker::isNewer(const QString& a, const QString& b) {
    auto components = [](const QString& version) {
        QList<qint64> numbers;
        for (const QString& part : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
            bool ok = false;
            const qint64 n = part.toLongLong(&ok, 10);
            numbers << (ok ? n : 0);
        }
        return numbers;
    };
    const auto left = components(a);
    const auto right = components(b);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qint64 l = left.value(i, 0);
        const qint64 r = right.value(i, 0);
        if (l != r)
            return l > r;
    }
    return false;
}

void UpdateChecker::startAutomaticChecks() {
    delete m_loop;
    m_loop = new QObject(this);
    loopStep();
}

void UpdateChecker::loopStep() {
    QPointer<QObject> loop = m_loop;
    auto sleep = [this, loop] {
        if (loop)
            m_clock.schedule(loopInterval, loop, [this] { loopStep(); });
    };
    if (!m_defaults.read(autoCheckSetting)) {
        sleep();
        return;
    }
    // The next sleep starts once this check has finished.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(this, &UpdateChecker::checkFinished, loop, [connection, sleep] {
        QObject::disconnect(*connection);
        sleep();
    });
    check();
}

void UpdateChecker::check() {
    if (m_status != Status::Checking) {
        m_status = Status::Checking;
        emit statusChanged();
    }
    QUrl url = m_websiteURL;
    url.setPath(url.path() + (url.path().endsWith(QLatin1Char('/')) ? "" : "/") +
                QStringLiteral("version.json"));
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(requestTimeoutMs);
    QNetworkReply* reply = m_network.get(request);
    // The release record is a few hundred bytes; an endless body is cut off (and fails).
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        if (reply->bytesAvailable() > maxReleaseBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || code != 200) {
            qCDebug(lcCore) << "update check failed:" << code << reply->errorString();
            finish(Status::Failed, std::nullopt);
            return;
        }
        const auto release = Release::fromJson(reply->readAll());
        if (!release) {
            qCDebug(lcCore) << "update check: the version file cannot be read";
            finish(Status::Failed, std::nullopt);
        } else {
            finish(isNewer(release->version, m_currentVersion) ? Status::Available
                                                               : Status::UpToDate,
                   release);
        }
    });
}

void UpdateChecker::finish(Status status, std::optional<Release> release) {
    if (status != Status::Available)
        release.reset();
    if (status != m_status || release != m_release) {
        m_status = status;
        m_release = release;
        emit statusChanged();
    }
    const QDateTime now = m_clock.now();
    if (m_lastChecked != now) {
        m_lastChecked = now;
        emit lastCheckedChanged();
    }
    emit checkFinished();
}

QVariant UpdateChecker::releaseValue() const {
    return m_release ? QVariant::fromValue(*m_release) : QVariant();
}

} // namespace notchora
