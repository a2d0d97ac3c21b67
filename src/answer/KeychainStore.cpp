#include "answer/KeychainStore.h"

#include "answer/Logging.h"
#include "answer/PrivateSecretFile.h"
#include "platform/Folders.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFuture>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>
#include <qt6keychain/keychain.h>

namespace notchora {

namespace {

const QString secretsName = QStringLiteral("org.freedesktop.secrets");

// Runs on a worker: talking to the bus may take a moment.
KeychainStore::Backend detectBackend() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return KeychainStore::Backend::File;
    QDBusConnectionInterface* daemon = bus.interface();
    if (daemon->isServiceRegistered(secretsName).value())
        return KeychainStore::Backend::SecretService;
    const QStringList activatable = daemon->activatableServiceNames().value();
    return activatable.contains(secretsName) ? KeychainStore::Backend::SecretService
                                             : KeychainStore::Backend::File;
}

std::optional<QString> strictUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The secret service is not there at all, as opposed to an item that is missing.
bool isUnavailable(QKeychain::Error error) {
    return error == QKeychain::NoBackendAvailable || error == QKeychain::OtherError ||
           error == QKeychain::NotImplemented;
}

// A missing item is an answer, not a failure.
void warnOnFailure(const QKeychain::Job* job, const char* what) {
    if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound)
        qCWarning(lcAnswer) << "keychain" << what << "failed:" << job->errorString();
}

} // namespace

KeychainStore::KeychainStore(QString fallbackPath, Backend backend, const Clock& clock,
                             QObject* parent)
    : QObject(parent), m_fallbackPath(std::move(fallbackPath)), m_clock(clock), m_backend(backend),
      m_fallbackAllowed(backend == Backend::Automatic) {}

KeychainStore::~KeychainStore() = default;

KeychainStore& KeychainStore::shared() {
    static KeychainStore store(defaultFallbackPath());
    return store;
}

KeychainStore::Backend KeychainStore::backendFromEnvironment() {
    const QString forced = qEnvironmentVariable(backendVariable).toLower();
    if (forced == QLatin1String("file"))
        return Backend::File;
    if (forced == QLatin1String("secret-service"))
        return Backend::SecretService;
    return Backend::Automatic;
}

QString KeychainStore::defaultFallbackPath() {
    return Folders::dataDir() + QStringLiteral("/secrets.json");
}

void KeychainStore::load(const QString& account, QObject* context, LoadCallback done) {
    enqueue({Operation::Kind::Load, account, {}, context != nullptr, context, std::move(done), {}});
}

void KeychainStore::save(const QString& value, const QString& account, QObject* context,
                         DoneCallback done) {
    enqueue(
        {Operation::Kind::Save, account, value, context != nullptr, context, {}, std::move(done)});
}

void KeychainStore::remove(const QString& account, QObject* context, DoneCallback done) {
    enqueue(
        {Operation::Kind::Remove, account, {}, context != nullptr, context, {}, std::move(done)});
}

void KeychainStore::enqueue(Operation op) {
    m_queue.push_back(std::move(op));
    // Start from the event loop: a file operation can finish before its continuation is
    // attached, and the answer must never arrive inside the caller's load() or save().
    QMetaObject::invokeMethod(this, &KeychainStore::runNext, Qt::QueuedConnection);
}

void KeychainStore::runNext() {
    if (m_running || m_queue.empty())
        return;
    m_running = true;
    if (m_backend == Backend::Automatic) {
        QtConcurrent::run(detectBackend).then(this, [this](Backend found) {
            m_backend = found;
            m_running = false;
            runNext();
        });
        return;
    }
    if (m_backend == Backend::File)
        runOnFile(m_queue.front());
    else
        runOnSecretService(m_queue.front());
}

void KeychainStore::runOnFile(const Operation& op) {
    const PrivateSecretFile file(m_fallbackPath, m_clock);
    const QString serviceName = QString::fromLatin1(service);
    const auto kind = op.kind;
    const QString account = op.account;
    const QString value = op.value;
    QtConcurrent::run([=]() -> std::optional<QString> {
        switch (kind) {
        case Operation::Kind::Load:
            return file.load(serviceName, account);
        case Operation::Kind::Save:
        case Operation::Kind::Remove:
            // The file helper has logged why.
            file.store(serviceName, account,
                       kind == Operation::Kind::Save ? std::optional(value) : std::nullopt);
            break;
        }
        return std::nullopt;
    }).then(this, [this](std::optional<QString> loaded) { finish(std::move(loaded)); });
}

void KeychainStore::runOnSecretService(const Operation& op) {
    const QString serviceName = QString::fromLatin1(service);
    auto failedBecauseUnavailable = [this, op](QKeychain::Job* job) {
        if (!isUnavailable(job->error()) || !m_fallbackAllowed)
            return false;
        secretServiceUnavailable(op);
        return true;
    };

    if (op.kind == Operation::Kind::Load) {
        auto* job = new QKeychain::ReadPasswordJob(serviceName, this);
        job->setKey(op.account);
        connect(job, &QKeychain::Job::finished, this, [=, this](QKeychain::Job*) {
            if (failedBecauseUnavailable(job))
                return;
            warnOnFailure(job, "read");
            finish(job->error() == QKeychain::NoError ? strictUtf8(job->binaryData())
                                                      : std::nullopt);
        });
        job->start();
        return;
    }

    auto* remove = new QKeychain::DeletePasswordJob(serviceName, this);
    remove->setKey(op.account);
    connect(remove, &QKeychain::Job::finished, this, [=, this](QKeychain::Job*) {
        // A missing item is fine: the delete only clears the way.
        if (failedBecauseUnavailable(remove))
            return;
        warnOnFailure(remove, "delete");
        if (op.kind == Operation::Kind::Remove) {
            finish(std::nullopt);
            return;
        }
        auto* add = new QKeychain::WritePasswordJob(serviceName, this);
        add->setKey(op.account);
        add->setBinaryData(op.value.toUtf8());
        connect(add, &QKeychain::Job::finished, this, [=, this](QKeychain::Job*) {
            if (failedBecauseUnavailable(add))
                return;
            warnOnFailure(add, "write");
            finish(std::nullopt);
        });
        add->start();
    });
    remove->start();
}

void KeychainStore::secretServiceUnavailable(const Operation& op) {
    // One failed call is not the absence of a secret service: only when the bus no longer
    // offers one does this run keep its secrets in the private file. Otherwise the call just
    // failed (a secret never moves to the file because the keyring hiccuped).
    QtConcurrent::run(detectBackend).then(this, [this, op](Backend found) {
        if (found == Backend::File) {
            qCWarning(lcAnswer) << "no secret service on the bus; keeping secrets in"
                                << m_fallbackPath;
            m_backend = Backend::File;
            runOnFile(op);
            return;
        }
        qCWarning(lcAnswer) << "the secret service failed a call; the secret stays out of the"
                               " file";
        finish(std::nullopt);
    });
}

void KeychainStore::finish(std::optional<QString> loaded) {
    Operation op = std::move(m_queue.front());
    m_queue.pop_front();
    m_running = false;
    const bool contextAlive = !op.hasContext || op.context;
    if (contextAlive) {
        if (op.onLoad)
            op.onLoad(std::move(loaded));
        if (op.onDone)
            op.onDone();
    }
    if (m_queue.empty())
        emit idle();
    else
        runNext();
}

} // namespace notchora
