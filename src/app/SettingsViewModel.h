#pragma once

#include "characters/CharacterDirector.h"
#include "core/WidgetStore.h"

#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace notchora {

class AnswerAuth;
class ChatHistoryStore;
class Defaults;
class LoginItem;
class UpdateChecker;

// What the settings window shows besides the widget store and the character director: the
// defaults-store settings of the assistant, the screenshot tool and the update check, the
// account line, the update status, screen access and the login item. Every value follows
// its source, so a change made elsewhere shows at once.
class SettingsViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Created by SettingsWindowController")
    Q_PROPERTY(notchora::WidgetStore* store READ store CONSTANT FINAL)
    Q_PROPERTY(notchora::CharacterDirector* director READ director CONSTANT FINAL)
    // The store's modules in display order, as WidgetModule values.
    Q_PROPERTY(QVariantList modules READ modules NOTIFY modulesChanged FINAL)
    Q_PROPERTY(bool showsCharacters READ showsCharacters NOTIFY modulesChanged FINAL)

    Q_PROPERTY(bool redframe READ redframe WRITE setRedframe NOTIFY redframeChanged FINAL)
    Q_PROPERTY(double boxThickness READ boxThickness WRITE setBoxThickness NOTIFY
                   boxThicknessChanged FINAL)

    Q_PROPERTY(bool globalShortcuts READ globalShortcuts WRITE setGlobalShortcuts NOTIFY
                   globalShortcutsChanged FINAL)

    Q_PROPERTY(bool screenAccess READ screenAccess NOTIFY screenAccessChanged FINAL)
    Q_PROPERTY(bool canOpenSystemSettings READ canOpenSystemSettings CONSTANT FINAL)

    Q_PROPERTY(QString accountText READ accountText NOTIFY accountChanged FINAL)
    Q_PROPERTY(QString accountSymbol READ accountSymbol NOTIFY accountChanged FINAL)
    Q_PROPERTY(bool isSignedIn READ isSignedIn NOTIFY accountChanged FINAL)
    Q_PROPERTY(QString baseURL READ baseURL WRITE setBaseURL NOTIFY baseURLChanged FINAL)
    Q_PROPERTY(QString baseURLProblem READ baseURLProblem NOTIFY baseURLChanged FINAL)
    Q_PROPERTY(QString productionBaseURL READ productionBaseURL CONSTANT FINAL)
    Q_PROPERTY(QString popupPosition READ popupPosition WRITE setPopupPosition NOTIFY
                   popupPositionChanged FINAL)
    // Every popup position as {value, label}, in picker order.
    Q_PROPERTY(QVariantList popupPositions READ popupPositions CONSTANT FINAL)
    Q_PROPERTY(int popupPositionIndex READ popupPositionIndex NOTIFY popupPositionChanged FINAL)
    Q_PROPERTY(
        bool attachScreen READ attachScreen WRITE setAttachScreen NOTIFY attachScreenChanged FINAL)
    Q_PROPERTY(
        bool saveHistory READ saveHistory WRITE setSaveHistory NOTIFY saveHistoryChanged FINAL)

    Q_PROPERTY(bool launchAtLogin READ launchAtLogin NOTIFY launchAtLoginChanged FINAL)
    Q_PROPERTY(QString launchError READ launchError NOTIFY launchAtLoginChanged FINAL)

    Q_PROPERTY(QString currentVersion READ currentVersion CONSTANT FINAL)
    Q_PROPERTY(bool autoCheck READ autoCheck WRITE setAutoCheck NOTIFY autoCheckChanged FINAL)
    Q_PROPERTY(bool isChecking READ isChecking NOTIFY updateStatusChanged FINAL)
    Q_PROPERTY(bool updateAvailable READ updateAvailable NOTIFY updateStatusChanged FINAL)
    // Empty while no check has run.
    Q_PROPERTY(QString updateStatusText READ updateStatusText NOTIFY updateStatusChanged FINAL)
    Q_PROPERTY(QString updateStatusSymbol READ updateStatusSymbol NOTIFY updateStatusChanged FINAL)
    Q_PROPERTY(QString releaseNotes READ releaseNotes NOTIFY updateStatusChanged FINAL)
    Q_PROPERTY(QString installCommand READ installCommand CONSTANT FINAL)

public:
    struct Services {
        Defaults& defaults;
        WidgetStore& store;
        CharacterDirector& director;
        AnswerAuth& auth;
        ChatHistoryStore& history;
        UpdateChecker& updates;
        LoginItem& loginItem;
    };

    explicit SettingsViewModel(Services services, QObject* parent = nullptr);

    WidgetStore* store() const { return &m_services.store; }
    CharacterDirector* director() const { return &m_services.director; }
    QVariantList modules() const;
    bool showsCharacters() const;

    bool redframe() const;
    void setRedframe(bool on);
    double boxThickness() const;
    void setBoxThickness(double points);

    bool globalShortcuts() const;
    void setGlobalShortcuts(bool on);

    bool screenAccess() const { return m_screenAccess; }
    bool canOpenSystemSettings() const;

    QString accountText() const;
    QString accountSymbol() const;
    bool isSignedIn() const;
    QString baseURL() const;
    void setBaseURL(const QString& url);
    QString baseURLProblem() const;
    QString productionBaseURL() const;
    QString popupPosition() const;
    void setPopupPosition(const QString& position);
    QVariantList popupPositions() const;
    int popupPositionIndex() const;
    bool attachScreen() const;
    void setAttachScreen(bool on);
    bool saveHistory() const;
    void setSaveHistory(bool on);

    bool launchAtLogin() const { return m_launchAtLogin; }
    QString launchError() const { return m_launchError; }

    QString currentVersion() const;
    bool autoCheck() const;
    void setAutoCheck(bool on);
    bool isChecking() const;
    bool updateAvailable() const;
    QString updateStatusText() const;
    QString updateStatusSymbol() const;
    QString releaseNotes() const;
    QString installCommand() const;

    Q_INVOKABLE void setModuleEnabled(const QString& id, bool on);
    Q_INVOKABLE void setShowsCharacters(bool on);
    // The character picker: random mode off, then the switch.
    Q_INVOKABLE void pickCharacter(int kind);
    Q_INVOKABLE void recheckScreenAccess();
    Q_INVOKABLE void openSystemSettings();
    Q_INVOKABLE void signIn();
    Q_INVOKABLE void signOut();
    Q_INVOKABLE void selectPopupPosition(int index);
    Q_INVOKABLE void clearHistory();
    // Writes or removes the login item, then shows what is really there.
    Q_INVOKABLE void setLaunchAtLogin(bool on);
    Q_INVOKABLE void quit();
    Q_INVOKABLE void checkForUpdates();
    Q_INVOKABLE void copyInstallCommand();
    Q_INVOKABLE void openWebsite();

signals:
    void modulesChanged();
    void redframeChanged();
    void boxThicknessChanged();
    void globalShortcutsChanged();
    void screenAccessChanged();
    void accountChanged();
    void baseURLChanged();
    void popupPositionChanged();
    void attachScreenChanged();
    void saveHistoryChanged();
    void launchAtLoginChanged();
    void autoCheckChanged();
    void updateStatusChanged();

private:
    void applyChange(const QString& key);
    void writeBool(const QString& key, bool value, bool current);

    Services m_services;
    bool m_screenAccess = false;
    bool m_launchAtLogin = false;
    QString m_launchError;
};

} // namespace notchora
