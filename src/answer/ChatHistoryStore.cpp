#include "answer/ChatHistoryStore.h"

#include "answer/AISettings.h"
#include "answer/TextLimits.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Folders.h"

#include <QQmlEngine>

namespace notchora {

ChatHistoryStore::ChatHistoryStore(QString filePath, Defaults& defaults, Clock& clock,
                                   QObject* parent)
    : QObject(parent), m_file(std::move(filePath), clock), m_defaults(defaults), m_clock(clock) {
    if (AISettings::saveHistory(m_defaults)) {
        if (m_file.load(m_threads) == ChatHistoryFile::LoadStatus::Loaded && !m_threads.isEmpty())
            m_currentID = m_threads.first().id;
    }
    connect(&m_defaults, &Defaults::changed, this, [this](const QString& key) {
        if (key == AISettings::saveHistorySetting.name())
            applyPersistenceSetting();
    });
    updateModels();
    connect(this, &ChatHistoryStore::threadsChanged, this, &ChatHistoryStore::updateModels);
    connect(this, &ChatHistoryStore::currentIDChanged, this, &ChatHistoryStore::updateModels);
}

ChatHistoryStore::~ChatHistoryStore() = default;

ChatHistoryStore& ChatHistoryStore::shared() {
    static ChatHistoryStore store(defaultFilePath(), Defaults::shared(), Clock::system());
    return store;
}

ChatHistoryStore* ChatHistoryStore::create(QQmlEngine*, QJSEngine*) {
    ChatHistoryStore* store = &shared();
    QQmlEngine::setObjectOwnership(store, QQmlEngine::CppOwnership);
    return store;
}

QString ChatHistoryStore::defaultFilePath() {
    return Folders::dataDir() + QStringLiteral("/history.json");
}

void ChatHistoryStore::updateModels() {
    m_threadsModel.setThreads(m_threads, m_currentID);
    const auto current = currentThread();
    m_messagesModel.setMessages(current ? current->messages : QList<ChatMessage>());
}

void ChatHistoryStore::setCurrentID(std::optional<QUuid> id) {
    if (m_currentID == id)
        return;
    m_currentID = id;
    emit currentIDChanged();
}

std::optional<ChatThread> ChatHistoryStore::currentThread() const {
    if (!m_currentID)
        return std::nullopt;
    const qsizetype index = indexOf(*m_currentID);
    return index < 0 ? std::nullopt : std::optional(m_threads.at(index));
}

qsizetype ChatHistoryStore::indexOf(const QUuid& id) const {
    for (qsizetype i = 0; i < m_threads.size(); ++i)
        if (m_threads.at(i).id == id)
            return i;
    return -1;
}

void ChatHistoryStore::append(const ChatMessage& message) {
    const qsizetype index = m_currentID ? indexOf(*m_currentID) : -1;
    if (index >= 0) {
        ChatThread thread = m_threads.takeAt(index);
        thread.messages.append(message);
        if (thread.messages.size() > maxMessages)
            thread.messages.remove(0, thread.messages.size() - maxMessages);
        thread.updatedAt = m_clock.now();
        m_threads.prepend(std::move(thread));
        emit threadsChanged();
    } else {
        ChatThread thread;
        thread.id = QUuid::createUuid();
        thread.updatedAt = m_clock.now();
        thread.messages = {message};
        thread.title = TextLimits::prefix(TextLimits::trimmed(message.text), maxTitleCharacters);
        if (thread.title.isEmpty())
            thread.title = QString::fromLatin1(untitled);
        const QUuid id = thread.id;
        m_threads.prepend(std::move(thread));
        if (m_threads.size() > maxThreads)
            m_threads.resize(maxThreads);
        emit threadsChanged();
        setCurrentID(id);
    }
    save();
}

void ChatHistoryStore::removeLastMessage(ChatMessage::Role ifRole) {
    const qsizetype index = m_currentID ? indexOf(*m_currentID) : -1;
    if (index < 0)
        return;
    ChatThread& thread = m_threads[index];
    if (thread.messages.isEmpty() || thread.messages.last().role != ifRole)
        return;
    thread.messages.removeLast();
    if (thread.messages.isEmpty()) {
        m_threads.removeAt(index);
        emit threadsChanged();
        setCurrentID(std::nullopt);
    } else {
        emit threadsChanged();
    }
    save();
}

void ChatHistoryStore::applyCompaction(const QUuid& threadID, const QString& summary,
                                       const QSet<QUuid>& removing) {
    const qsizetype index = indexOf(threadID);
    if (index < 0)
        return;
    ChatThread& thread = m_threads[index];
    thread.messages.removeIf(
        [&](const ChatMessage& message) { return removing.contains(message.id); });
    thread.summary = summary;
    emit threadsChanged();
    save();
}

void ChatHistoryStore::select(const QUuid& id) {
    if (indexOf(id) >= 0)
        setCurrentID(id);
}

void ChatHistoryStore::select(const QString& id) {
    if (const auto uuid = uuidFromString(id))
        select(*uuid);
}

void ChatHistoryStore::clearAll() {
    const bool hadThreads = !m_threads.isEmpty();
    m_threads.clear();
    if (hadThreads)
        emit threadsChanged();
    setCurrentID(std::nullopt);
    m_file.remove();
}

void ChatHistoryStore::applyPersistenceSetting() {
    if (AISettings::saveHistory(m_defaults))
        save();
    else
        m_file.remove();
}

void ChatHistoryStore::save() {
    if (!AISettings::saveHistory(m_defaults))
        return;
    // A failed write keeps the history in memory; the next change tries again.
    m_file.save(m_threads);
}

QVariantList ChatHistoryStore::threadList() const {
    QVariantList list;
    list.reserve(m_threads.size());
    for (const ChatThread& thread : m_threads)
        list.append(QVariant::fromValue(thread));
    return list;
}

QString ChatHistoryStore::currentIDString() const {
    return m_currentID ? uuidString(*m_currentID) : QString();
}

void ChatHistoryStore::setCurrentIDString(const QString& id) {
    setCurrentID(uuidFromString(id));
}

} // namespace notchora
