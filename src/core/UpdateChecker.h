#pragma once

#include "platform/Setting.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <optional>

class QJSEngine;
class QNetworkAccessManager;
class QQmlEngine;

namespace notchora {

class Clock;
class ClockTimer;
class Defaults;

// A release record from the website's version.json.
struct UpdateRelease {
    Q_GADGET
    Q_PROPERTY(QString version MEMBER version FINAL)
    Q_PROPERTY(QString notes READ notesText FINAL)
    Q_PROPERTY(QString released READ releasedText FINAL)
    Q_PROPERTY(bool hasNotes READ hasNotes FINAL)
public:
    QString version;
    std::optional<QString> notes;
    std::optional<QString> released;
    // For QML, which has no optionals.
    QString notesText() const { return notes.value_or(QString()); }
    QString releasedText() const { return released.value_or(QString()); }
    bool hasNotes() const { return notes.has_value(); }
    bool operator==(const UpdateRelease& o) const {
        return version == o.version && notes == o.notes && released == o.released;
    }
    // Decodes the website's release record; absent when `version` is missing or not text.
    static std::optional<UpdateRelease> fromJson(const QByteArray& body);
};

// Tells the user when the website offers a newer release. Checks at start-up and every six
// hours (unless "update.autoCheck" is false); never downloads anything itself.
class UpdateChecker : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(Status status READ status NOTIFY statusChanged FINAL)
    Q_PROPERTY(QVariant release READ releaseValue NOTIFY statusChanged FINAL)
    Q_PROPERTY(QDateTime lastChecked READ lastCheckedValue NOTIFY lastCheckedChanged FINAL)
    Q_PROPERTY(QString currentVersion READ currentVersion CONSTANT FINAL)
    Q_PROPERTY(QString installCommand READ installCommand CONSTANT FINAL)
    Q_PROPERTY(QUrl websiteURL READ websiteURL CONSTANT FINAL)
public:
    enum class Status { Available, Idle, Checking, UpToDate, Failed };
    Q_ENUM(Status)

    using Release = UpdateRelease;

    static constexpr Setting<bool> autoCheckSetting{"update.autoCheck", true};
    static constexpr double loopInterval = 21600; // six hours
    static constexpr int requestTimeoutMs = 15000;
    static constexpr qint64 maxReleaseBytes = 64 * 1024;

    UpdateChecker(Defaults& defaults, Clock& clock, QNetworkAccessManager& network, QUrl websiteURL,
                  QString currentVersion, QObject* parent = nullptr);
    ~UpdateChecker() override;

    static UpdateChecker& shared();
    static UpdateChecker* create(QQmlEngine*, QJSEngine*);
    static QUrl defaultWebsiteURL();
    // The running program's version, "0" when unknown.
    static QString projectVersion();

    Status status() const { return m_status; }
    std::optional<Release> release() const { return m_release; }
    std::optional<QDateTime> lastChecked() const { return m_lastChecked; }
    QString currentVersion() const { return m_currentVersion; }
    QUrl websiteURL() const { return m_websiteURL; }
    QString installCommand() const;

    // Whether dotted version `a` is newer than `b`.
    static bool isNewer(const QString& a, const QString& b);

    // Starts (or restarts) the six-hourly loop; the first check runs right away.
    void startAutomaticChecks();
    // Runs one check now.
    Q_INVOKABLE void check();

signals:
    void statusChanged();
    void lastCheckedChanged();
    // Emitted when a check has finished, whatever its outcome.
    void checkFinished();

private:
    void loopStep();
    void finish(Status status, std::optional<Release> release);
    QVariant releaseValue() const;
    QDateTime lastCheckedValue() const { return m_lastChecked.value_or(QDateTime()); }

    Defaults& m_defaults;
    Clock& m_clock;
    QNetworkAccessManager& m_network;
    QUrl m_websiteURL;
    QString m_currentVersion;
    Status m_status = Status::Idle;
    std::optional<Release> m_release;
    std::optional<QDateTime> m_lastChecked;
    // The running loop; replacing or destroying it stops the loop.
    QPointer<QObject> m_loop;
    bool m_loopWaitingForCheck = false;
};

} // namespace notchora
