#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace notchora {

// Generic-password items addressed by service "soalika-answer" and an account name, kept in
// the desktop's Secret Service through QtKeychain. Where no secret service runs, a private
// file (0600, in a 0700 folder) under the data folder holds the same items instead.
//
// Operations run one at a time in the order they were asked for, so a delete that follows a
// save is never overtaken by it. Nothing blocks the calling thread; results come back on the
// store's thread, always after the call has returned. Failures are logged and otherwise show
// up as a missing value on the next load.
class KeychainStore : public QObject {
    Q_OBJECT
public:
    static constexpr auto service = "soalika-answer";
    static constexpr auto refreshTokenAccount = "refresh_token";
    // "file" forces the private file, "secret-service" the Secret Service (no fallback).
    static constexpr auto backendVariable = "NOTCHORA_SECRET_STORE";

    enum class Backend { Automatic, SecretService, File };
    Q_ENUM(Backend)

    using LoadCallback = std::function<void(std::optional<QString>)>;
    using DoneCallback = std::function<void()>;

    explicit KeychainStore(QString fallbackPath, Backend backend = backendFromEnvironment(),
                           const Clock& clock = Clock::system(), QObject* parent = nullptr);
    ~KeychainStore() override;

    static KeychainStore& shared();
    static Backend backendFromEnvironment();
    // <data folder>/secrets.json
    static QString defaultFallbackPath();

    QString fallbackPath() const { return m_fallbackPath; }
    // Automatic until the first operation has found out which store is there.
    Backend activeBackend() const { return m_backend; }
    bool isBusy() const { return m_running || !m_queue.empty(); }

    // The stored text; none when there is no item or it cannot be read as UTF-8. `done` is
    // dropped when `context` has been destroyed meanwhile.
    void load(const QString& account, QObject* context, LoadCallback done);
    // Deletes any existing item, then adds a new one.
    void save(const QString& value, const QString& account, QObject* context = nullptr,
              DoneCallback done = {});
    void remove(const QString& account, QObject* context = nullptr, DoneCallback done = {});

signals:
    // The queue has run empty.
    void idle();

private:
    struct Operation {
        enum class Kind { Load, Save, Remove } kind;
        QString account;
        QString value;
        bool hasContext = false;
        QPointer<QObject> context;
        LoadCallback onLoad;
        DoneCallback onDone;
    };

    void enqueue(Operation op);
    void runNext();
    void runOnFile(const Operation& op);
    void runOnSecretService(const Operation& op);
    void secretServiceUnavailable(const Operation& op);
    void finish(std::optional<QString> loaded);

    QString m_fallbackPath;
    const Clock& m_clock;
    Backend m_backend;
    bool m_fallbackAllowed;
    std::deque<Operation> m_queue;
    bool m_running = false;
};

} // namespace notchora
