#include "app/SettingsViewModel.h"

#include "answer/AISettings.h"
#include "answer/AnswerAuth.h"
#include "answer/ChatHistoryStore.h"
#include "app/Diagnostics.h"
#include "app/Logging.h"
#include "app/LoginItem.h"
#include "characters/CharacterDirector.h"
#include "core/UpdateChecker.h"
#include "core/WidgetStore.h"
#include "platform/Browser.h"
#include "platform/Defaults.h"
#include "screenshot/AnnotationEditor.h"
#include "screenshot/ScreenCapture.h"
#include "screenshot/ScreenshotAction.h"
#include "screenshot/ScreenshotShortcuts.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>

namespace notchora {

namespace {

constexpr auto charactersModuleID = "characters";

} // namespace

SettingsViewModel::SettingsViewModel(Services services, QObject* parent)
    : QObject(parent), m_services(services), m_screenAccess(ScreenCapture::preflightAccess()),
      m_launchAtLogin(services.loginItem.isEnabled()) {
    WidgetStore& store = m_services.store;
    connect(&store, &WidgetStore::moduleOrderChanged, this, &SettingsViewModel::modulesChanged);
    connect(&store, &WidgetStore::enabledModuleIDsChanged, this,
            &SettingsViewModel::modulesChanged);
    connect(&m_services.defaults, &Defaults::changed, this, &SettingsViewModel::applyChange);
    connect(&m_services.auth, &AnswerAuth::stateChanged, this, &SettingsViewModel::accountChanged);
    connect(&m_services.updates, &UpdateChecker::statusChanged, this,
            &SettingsViewModel::updateStatusChanged);
}

void SettingsViewModel::applyChange(const QString& key) {
    if (key == ScreenshotAction::redframeSetting.name())
        emit redframeChanged();
    else if (key == AnnotationEditor::thicknessSetting.name())
        emit boxThicknessChanged();
    else if (key == ScreenshotShortcuts::globalSetting.name())
        emit globalShortcutsChanged();
    else if (key == AISettings::baseURLSetting.name())
        emit baseURLChanged();
    else if (key == AISettings::popupPositionSetting.name())
        emit popupPositionChanged();
    else if (key == AISettings::attachScreenSetting.name())
        emit attachScreenChanged();
    else if (key == AISettings::saveHistorySetting.name())
        emit saveHistoryChanged();
    else if (key == UpdateChecker::autoCheckSetting.name())
        emit autoCheckChanged();
}

void SettingsViewModel::writeBool(const QString& key, bool value, bool current) {
    // A toggle echoing the stored value costs no locked write.
    if (value == current && m_services.defaults.contains(key))
        return;
    if (!m_services.defaults.setBool(key, value))
        qCWarning(lcApp) << "could not store" << key;
}

QVariantList SettingsViewModel::modules() const {
    QVariantList list;
    for (const WidgetModule& module : m_services.store.orderedModules())
        list.append(QVariant::fromValue(module));
    return list;
}

bool SettingsViewModel::showsCharacters() const {
    return m_services.store.isEnabled(QLatin1String(charactersModuleID));
}

void SettingsViewModel::setModuleEnabled(const QString& id, bool on) {
    m_services.store.setEnabled(on, id);
}

void SettingsViewModel::setShowsCharacters(bool on) {
    setModuleEnabled(QLatin1String(charactersModuleID), on);
}

void SettingsViewModel::pickCharacter(int kind) {
    m_services.director.selectKind(kind);
}

bool SettingsViewModel::redframe() const {
    return m_services.defaults.read(ScreenshotAction::redframeSetting);
}

void SettingsViewModel::setRedframe(bool on) {
    writeBool(ScreenshotAction::redframeSetting.name(), on, redframe());
}

double SettingsViewModel::boxThickness() const {
    return m_services.defaults.read(AnnotationEditor::thicknessSetting);
}

void SettingsViewModel::setBoxThickness(double points) {
    const QString key = AnnotationEditor::thicknessSetting.name();
    if (points == boxThickness() && m_services.defaults.contains(key))
        return;
    if (!m_services.defaults.setDouble(key, points))
        qCWarning(lcApp) << "could not store" << key;
}

bool SettingsViewModel::globalShortcuts() const {
    return m_services.defaults.read(ScreenshotShortcuts::globalSetting);
}

void SettingsViewModel::setGlobalShortcuts(bool on) {
    writeBool(ScreenshotShortcuts::globalSetting.name(), on, globalShortcuts());
}

bool SettingsViewModel::canOpenSystemSettings() const {
    return !Diagnostics::screenRecordingSettingsCommand().isEmpty();
}

void SettingsViewModel::recheckScreenAccess() {
    const bool access = ScreenCapture::preflightAccess();
    if (access == m_screenAccess)
        return;
    m_screenAccess = access;
    emit screenAccessChanged();
}

void SettingsViewModel::openSystemSettings() {
    Diagnostics::openScreenRecordingSettings();
}

QString SettingsViewModel::accountText() const {
    return m_services.auth.accountText();
}

QString SettingsViewModel::accountSymbol() const {
    switch (m_services.auth.state()) {
    case AnswerAuth::State::Checking:
        return {};
    case AnswerAuth::State::SignedOut:
        return QStringLiteral("person.crop.circle.badge.questionmark");
    case AnswerAuth::State::SigningIn:
        return QStringLiteral("hourglass");
    case AnswerAuth::State::SignedIn:
        return QStringLiteral("checkmark.circle.fill");
    case AnswerAuth::State::Failed:
        return QStringLiteral("exclamationmark.triangle.fill");
    }
    return {};
}

bool SettingsViewModel::isSignedIn() const {
    return m_services.auth.state() == AnswerAuth::State::SignedIn;
}

void SettingsViewModel::signIn() {
    m_services.auth.signIn();
}

void SettingsViewModel::signOut() {
    m_services.auth.signOut();
}

QString SettingsViewModel::baseURL() const {
    return m_services.defaults.read(AISettings::baseURLSetting);
}

void SettingsViewModel::setBaseURL(const QString& url) {
    const QString trimmed = url.trimmed();
    if (trimmed == baseURL())
        return;
    const QString key = AISettings::baseURLSetting.name();
    // Cleared: the production service again.
    const bool stored = trimmed.isEmpty() ? m_services.defaults.remove(key)
                                          : m_services.defaults.setString(key, trimmed);
    if (!stored)
        qCWarning(lcApp) << "could not store" << key;
}

QString SettingsViewModel::baseURLProblem() const {
    return AISettings::baseURLProblem(baseURL());
}

QString SettingsViewModel::productionBaseURL() const {
    return QString::fromLatin1(AISettings::productionBaseURL);
}

QString SettingsViewModel::popupPosition() const {
    return stringValue(AISettings::popupPosition(m_services.defaults));
}

void SettingsViewModel::setPopupPosition(const QString& position) {
    if (!aiPopupPositionFromString(position) || position == popupPosition())
        return;
    if (!m_services.defaults.setString(AISettings::popupPositionSetting.name(), position))
        qCWarning(lcApp) << "could not store" << AISettings::popupPositionSetting.key;
}

QVariantList SettingsViewModel::popupPositions() const {
    QVariantList list;
    for (const AIPopupPosition position : allAIPopupPositions())
        list.append(QVariantMap{{QStringLiteral("value"), stringValue(position)},
                                {QStringLiteral("label"), label(position)}});
    return list;
}

int SettingsViewModel::popupPositionIndex() const {
    return int(allAIPopupPositions().indexOf(AISettings::popupPosition(m_services.defaults)));
}

void SettingsViewModel::selectPopupPosition(int index) {
    const auto positions = allAIPopupPositions();
    if (index >= 0 && index < positions.size())
        setPopupPosition(stringValue(positions.at(index)));
}

bool SettingsViewModel::attachScreen() const {
    return AISettings::attachScreen(m_services.defaults);
}

void SettingsViewModel::setAttachScreen(bool on) {
    writeBool(AISettings::attachScreenSetting.name(), on, attachScreen());
}

bool SettingsViewModel::saveHistory() const {
    return AISettings::saveHistory(m_services.defaults);
}

void SettingsViewModel::setSaveHistory(bool on) {
    writeBool(AISettings::saveHistorySetting.name(), on, saveHistory());
    m_services.history.applyPersistenceSetting();
}

void SettingsViewModel::clearHistory() {
    m_services.history.clearAll();
}

void SettingsViewModel::setLaunchAtLogin(bool on) {
    const QString problem = m_services.loginItem.setEnabled(on);
    m_launchError = problem.isEmpty()
                        ? QString()
                        : QStringLiteral("Gagal mengubah pengaturan login: ") + problem;
    m_launchAtLogin = m_services.loginItem.isEnabled();
    // Also when nothing changed: the switch the user flipped snaps back.
    emit launchAtLoginChanged();
}

void SettingsViewModel::quit() {
    QCoreApplication::quit();
}

QString SettingsViewModel::currentVersion() const {
    return m_services.updates.currentVersion();
}

bool SettingsViewModel::autoCheck() const {
    return m_services.defaults.read(UpdateChecker::autoCheckSetting);
}

void SettingsViewModel::setAutoCheck(bool on) {
    writeBool(UpdateChecker::autoCheckSetting.name(), on, autoCheck());
}

bool SettingsViewModel::isChecking() const {
    return m_services.updates.status() == UpdateChecker::Status::Checking;
}

bool SettingsViewModel::updateAvailable() const {
    return m_services.updates.status() == UpdateChecker::Status::Available &&
           m_services.updates.release();
}

QString SettingsViewModel::updateStatusText() const {
    switch (m_services.updates.status()) {
    case UpdateChecker::Status::Idle:
        return {};
    case UpdateChecker::Status::Checking:
        return QStringLiteral("Memeriksa…");
    case UpdateChecker::Status::UpToDate:
        return QStringLiteral("Notchora sudah versi terbaru");
    case UpdateChecker::Status::Failed:
        return QStringLiteral("Tidak bisa memeriksa (offline atau website belum tersedia)");
    case UpdateChecker::Status::Available:
        return QStringLiteral("Update %1 tersedia")
            .arg(m_services.updates.release().value_or(UpdateRelease{}).version);
    }
    return {};
}

QString SettingsViewModel::updateStatusSymbol() const {
    switch (m_services.updates.status()) {
    case UpdateChecker::Status::Idle:
    case UpdateChecker::Status::Checking:
        return {};
    case UpdateChecker::Status::UpToDate:
        return QStringLiteral("checkmark.circle.fill");
    case UpdateChecker::Status::Failed:
        return QStringLiteral("wifi.slash");
    case UpdateChecker::Status::Available:
        return QStringLiteral("arrow.down.circle.fill");
    }
    return {};
}

QString SettingsViewModel::releaseNotes() const {
    if (!updateAvailable())
        return {};
    return m_services.updates.release()->notesText();
}

QString SettingsViewModel::installCommand() const {
    return m_services.updates.installCommand();
}

void SettingsViewModel::checkForUpdates() {
    if (!isChecking())
        m_services.updates.check();
}

void SettingsViewModel::copyInstallCommand() {
    // Plain text only: nothing else of the previous clipboard stays behind.
    auto* data = new QMimeData;
    data->setText(installCommand());
    QGuiApplication::clipboard()->setMimeData(data);
}

void SettingsViewModel::openWebsite() {
    if (!Browser::open(m_services.updates.websiteURL()))
        qCWarning(lcApp) << "could not open the website";
}

} // namespace notchora
