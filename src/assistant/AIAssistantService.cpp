#include "assistant/AIAssistantService.h"

#include "answer/AnswerAPIClient.h"
#include "answer/AnswerAuth.h"
#include "answer/ChatHistoryStore.h"
#include "answer/TextLimits.h"
#include "assistant/ConversationCompaction.h"
#include "assistant/Logging.h"
#include "characters/CharacterMoodCenter.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/WindowSystem.h"
#include "screenshot/CaptureTask.h"

#include <QQmlEngine>

namespace notchora {

namespace {

enum class SlashCommand { Compact, NewConversation };

std::optional<SlashCommand> slashCommand(const QString& trimmedPrompt) {
    const QString word = trimmedPrompt.toLower();
    if (word == QLatin1String("/compact"))
        return SlashCommand::Compact;
    if (word == QLatin1String("/new") || word == QLatin1String("/clear"))
        return SlashCommand::NewConversation;
    return std::nullopt;
}

// What the history shows for a question asked without words.
QString emptyPromptLabel(AIMode mode) {
    switch (mode) {
    case AIMode::Ask:
    case AIMode::FollowUp:
        return QStringLiteral("Pertanyaan");
    case AIMode::AnswerScreen:
        return QStringLiteral("Jawab dari layar");
    case AIMode::ExplainScreen:
        return QStringLiteral("Jelaskan layar");
    case AIMode::SummarizeScreen:
        return QStringLiteral("Ringkas layar");
    }
    return QStringLiteral("Pertanyaan");
}

} // namespace

AIAssistantService::AIAssistantService(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
    connect(&m_services.history, &ChatHistoryStore::threadsChanged, this,
            &AIAssistantService::updateAnswer);
    connect(&m_services.history, &ChatHistoryStore::currentIDChanged, this,
            &AIAssistantService::updateAnswer);
    updateAnswer();
}

AIAssistantService::~AIAssistantService() = default;

AIAssistantService& AIAssistantService::shared() {
    static AIAssistantService service(Services{
        AnswerAPIClient::shared(),
        ChatHistoryStore::shared(),
        Clock::system(),
        CharacterMoodCenter::shared(),
        screenCapture(Clock::system()),
        [] { Platform::shared().windows().beep(); },
    });
    return service;
}

AIAssistantService* AIAssistantService::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

QuestionTask::CaptureStep AIAssistantService::screenCapture(Clock& clock) {
    return [&clock](QObject* owner, std::function<void(const ScreenCapture::Result&)> done) {
        CaptureTask* task = ScreenCapture::capture(imageByteLimit, owner, clock);
        connect(task, &CaptureTask::finished, owner,
                [task, done = std::move(done)](const ScreenCapture::Result& result) {
                    task->deleteLater();
                    done(result);
                });
    };
}

bool AIAssistantService::isSlashCommand(const QString& prompt) {
    return slashCommand(TextLimits::trimmed(prompt)).has_value();
}

bool AIAssistantService::isBusy() const {
    return m_phase == Phase::Capturing || m_phase == Phase::Waiting || m_phase == Phase::Streaming;
}

QString AIAssistantService::streamingText() const {
    return m_answerText.shown();
}

void AIAssistantService::ask(const QString& prompt, const QString& mode, bool includeScreen,
                             bool continueConversation, bool useAttachments) {
    ask(prompt, aiModeFromString(mode).value_or(AIMode::Ask), includeScreen, continueConversation,
        useAttachments);
}

void AIAssistantService::ask(const QString& prompt, AIMode mode, bool includeScreen,
                             bool continueConversation, bool useAttachments) {
    const QString trimmed = TextLimits::trimmed(prompt);
    if (const auto command = slashCommand(trimmed)) {
        if (*command == SlashCommand::Compact)
            QMetaObject::invokeMethod(this, &AIAssistantService::compactNow, Qt::QueuedConnection);
        else
            runNewConversationCommand();
        return;
    }
    const QList<ChatAttachment> images = useAttachments ? m_attachments : QList<ChatAttachment>();
    if (trimmed.isEmpty() && !includeScreen && images.isEmpty())
        return;

    if (m_task) {
        // The older question ends silently; its stored question stays unanswered.
        delete m_task;
        emit questionEnded(m_serial, Outcome::Cancelled);
    }
    clearStreamingText();

    ChatHistoryStore& history = m_services.history;
    bool threadCounts = false;
    if (continueConversation) {
        const auto thread = history.currentThread();
        threadCounts = thread && !thread->messages.isEmpty();
    } else {
        history.setCurrentID(std::nullopt);
    }
    const bool followUp = (continueConversation && threadCounts) || mode == AIMode::FollowUp;
    const AIMode effectiveMode = followUp ? AIMode::FollowUp : mode;
    ChatContext context;
    if (followUp) {
        if (const auto thread = history.currentThread())
            context = ConversationCompaction::contextOf(thread->messages, thread->summary);
    }

    m_lastRequest = LastRequest{trimmed, mode, includeScreen, images, continueConversation};
    setLastPrompt(trimmed);
    setLastMode(effectiveMode);
    setNeedsSignIn(false);
    setPhase(includeScreen ? Phase::Capturing : Phase::Waiting);
    m_services.mood.set(CharacterMood::Thinking);
    if (useAttachments && !m_attachments.isEmpty()) {
        m_attachments.clear();
        emit attachmentsChanged();
    }
    history.append(ChatMessage::make(ChatMessage::Role::User,
                                     trimmed.isEmpty() ? emptyPromptLabel(effectiveMode) : trimmed,
                                     m_services.clock.now(), includeScreen || !images.isEmpty()));
    emit answerPopupRequested();

    QuestionTask::Request request;
    request.prompt = trimmed;
    request.mode = effectiveMode;
    request.includeScreen = includeScreen;
    for (const ChatAttachment& attachment : images)
        request.images << attachment.image;
    request.context = context;
    auto* task = new QuestionTask(std::move(request), m_services.api, m_services.capture, this);
    connect(task, &QuestionTask::captured, this, [this] { setPhase(Phase::Waiting); });
    connect(task, &QuestionTask::token, this, &AIAssistantService::tokenArrived);
    connect(task, &QuestionTask::restarted, this, &AIAssistantService::clearStreamingText);
    connect(task, &QuestionTask::answered, this, &AIAssistantService::answered);
    connect(task, &QuestionTask::failed, this, &AIAssistantService::failed);
    m_task = task;
    m_taskAttachments = images;
    ++m_serial;
    QMetaObject::invokeMethod(task, &QuestionTask::start, Qt::QueuedConnection);
}

void AIAssistantService::runNewConversationCommand() {
    newConversation();
    emit answerPopupRequested();
    notify(QStringLiteral("Percakapan baru dimulai."), false);
}

void AIAssistantService::tokenArrived(const QString& piece) {
    if (!m_answerText.append(piece))
        return;
    if (m_phase != Phase::Streaming)
        setPhase(Phase::Streaming);
    emit streamingTextChanged();
}

void AIAssistantService::answered(const AnswerResult& result) {
    endTask();
    clearStreamingText();
    const FormattedAnswer formatted = format(result);
    m_services.history.append(ChatMessage::make(ChatMessage::Role::Assistant, formatted.text,
                                                m_services.clock.now(), false,
                                                formatted.confidence));
    setPhase(Phase::Idle);
    m_services.mood.set(CharacterMood::Happy, happySeconds);
    emit questionEnded(m_serial, Outcome::Answered);
    compactIfNeeded();
}

void AIAssistantService::failed(const QString& message, bool needsSignIn) {
    const QList<ChatAttachment> sent = m_taskAttachments;
    endTask();
    clearStreamingText();
    m_services.history.removeLastMessage(ChatMessage::Role::User);
    if (m_attachments.isEmpty() && !sent.isEmpty()) {
        // The images come back so that the question can be asked again.
        m_attachments = sent;
        emit attachmentsChanged();
    }
    setNeedsSignIn(needsSignIn);
    setPhase(Phase::Failed, message);
    m_services.mood.set(CharacterMood::Sad, sadSeconds);
    emit questionEnded(m_serial, Outcome::Failed);
}

void AIAssistantService::endTask() {
    // The task is inside one of its own signals: let it return first.
    if (m_task)
        m_task->deleteLater();
    m_task.clear();
    m_taskAttachments.clear();
}

void AIAssistantService::cancel() {
    const bool wasBusy = isBusy();
    if (m_task) {
        delete m_task;
        m_taskAttachments.clear();
        emit questionEnded(m_serial, Outcome::Cancelled);
    }
    clearStreamingText();
    if (wasBusy) {
        m_services.history.removeLastMessage(ChatMessage::Role::User);
        setPhase(Phase::Idle);
        m_services.mood.set(CharacterMood::Idle);
    }
}

void AIAssistantService::newConversation() {
    cancel();
    m_services.history.setCurrentID(std::nullopt);
    m_lastRequest.reset();
    if (!m_attachments.isEmpty()) {
        m_attachments.clear();
        emit attachmentsChanged();
    }
    setLastPrompt(QString());
    setNeedsSignIn(false);
    setPhase(Phase::Idle);
}

void AIAssistantService::compactNow() {
    emit answerPopupRequested();
    if (isBusy() || m_isCompacting) {
        notify(QStringLiteral("Tunggu sampai proses yang berjalan selesai."), true);
        return;
    }
    const auto thread = m_services.history.currentThread();
    if (!thread || thread->messages.size() < manualCompactMinMessages) {
        notify(QStringLiteral("Percakapan masih terlalu pendek untuk diringkas."), false);
        return;
    }
    setCompacting(true);
    const qsizetype count = thread->messages.size();
    auto* compaction = new ConversationCompaction(m_services.api, m_services.history, *thread,
                                                  manualCompactKeep, this);
    m_compaction = compaction;
    connect(compaction, &ConversationCompaction::finished, this,
            [this, compaction, count](const std::optional<QString>& error) {
                compaction->deleteLater();
                if (error)
                    notify(QStringLiteral("Gagal meringkas: ") + *error, true);
                else
                    notify(QStringLiteral("Percakapan diringkas (%1 pesan lama). Pesan terbaru "
                                          "tetap utuh.")
                               .arg(count - manualCompactKeep),
                           false);
                setCompacting(false);
            });
    compaction->start();
}

void AIAssistantService::compactIfNeeded() {
    if (m_isCompacting)
        return;
    const auto thread = m_services.history.currentThread();
    if (!thread)
        return;
    qsizetype characters = 0;
    for (const ChatMessage& message : thread->messages)
        characters += TextLimits::characterCount(message.text);
    if (characters <= autoCompactCharacters || thread->messages.size() < autoCompactMinMessages)
        return;
    setCompacting(true);
    auto* compaction = new ConversationCompaction(m_services.api, m_services.history, *thread,
                                                  autoCompactKeep, this);
    m_compaction = compaction;
    // A failure leaves the conversation as it was, without a word: the user asked nothing.
    connect(compaction, &ConversationCompaction::finished, this, [this, compaction] {
        compaction->deleteLater();
        setCompacting(false);
    });
    compaction->start();
}

void AIAssistantService::signInAndRetry() {
    AnswerAuth& auth = m_services.api.auth();
    connect(
        &auth, &AnswerAuth::signInFinished, this,
        [this, &auth] {
            if (auth.state() != AnswerAuth::State::SignedIn || !m_lastRequest || !m_needsSignIn)
                return;
            const LastRequest request = *m_lastRequest;
            setAttachments(request.attachments);
            ask(request.prompt, request.mode, request.includeScreen, request.continues,
                !request.attachments.isEmpty());
        },
        Qt::SingleShotConnection);
    auth.signIn();
}

void AIAssistantService::attachImage(const QByteArray& data) {
    if (m_attachments.size() >= maxAttachments) {
        m_services.beep();
        return;
    }
    ScreenCapture::encode(data, imageByteLimit, this, [this](const ScreenCapture::Result& result) {
        if (!result.ok()) {
            qCWarning(lcAssistant) << "a pasted image cannot be sent:" << result.errorMessage();
            m_services.beep();
            return;
        }
        const QImage thumbnail = QImage::fromData(result.image->data);
        if (thumbnail.isNull())
            return;
        m_attachments.append(ChatAttachment::make(*result.image, thumbnail));
        emit attachmentsChanged();
    });
}

void AIAssistantService::removeAttachment(const QUuid& id) {
    if (m_attachments.removeIf([&](const ChatAttachment& a) { return a.id == id; }) > 0)
        emit attachmentsChanged();
}

void AIAssistantService::removeAttachment(const QString& id) {
    removeAttachment(QUuid::fromString(id));
}

void AIAssistantService::setAttachments(const QList<ChatAttachment>& attachments) {
    if (m_attachments == attachments)
        return;
    m_attachments = attachments;
    emit attachmentsChanged();
}

void AIAssistantService::notify(const QString& text, bool isError) {
    const Notice notice{text, isError};
    const bool changed = m_notice != notice;
    m_notice = notice;
    if (m_noticeTimer)
        m_noticeTimer->cancel();
    // Each notice stays its own six seconds; a newer one replaces it at once.
    m_noticeTimer = m_services.clock.schedule(noticeSeconds, this, [this] { clearNotice(); });
    if (changed)
        emit noticeChanged();
    emit noticePosted(text, isError);
}

void AIAssistantService::clearNotice() {
    if (!m_notice)
        return;
    m_notice.reset();
    emit noticeChanged();
}

void AIAssistantService::setPhase(Phase phase, const QString& failure) {
    if (m_phase == phase && m_failureMessage == failure)
        return;
    m_phase = phase;
    m_failureMessage = failure;
    emit phaseChanged();
}

void AIAssistantService::setLastPrompt(const QString& prompt) {
    if (m_lastPrompt == prompt)
        return;
    m_lastPrompt = prompt;
    emit lastPromptChanged();
}

void AIAssistantService::setLastMode(AIMode mode) {
    if (m_lastMode == mode)
        return;
    m_lastMode = mode;
    emit lastModeChanged();
}

void AIAssistantService::setNeedsSignIn(bool needsSignIn) {
    if (m_needsSignIn == needsSignIn)
        return;
    m_needsSignIn = needsSignIn;
    emit needsSignInChanged();
}

void AIAssistantService::clearStreamingText() {
    const bool wasShowing = !m_answerText.shown().isEmpty();
    m_answerText.clear();
    if (wasShowing)
        emit streamingTextChanged();
}

void AIAssistantService::setCompacting(bool compacting) {
    if (m_isCompacting == compacting)
        return;
    m_isCompacting = compacting;
    emit isCompactingChanged();
}

void AIAssistantService::updateAnswer() {
    QString answer;
    if (const auto thread = m_services.history.currentThread()) {
        for (auto it = thread->messages.crbegin(); it != thread->messages.crend(); ++it) {
            if (it->role == ChatMessage::Role::Assistant) {
                answer = it->text;
                break;
            }
        }
    }
    if (answer == m_answer)
        return;
    m_answer = answer;
    emit answerChanged();
}

} // namespace notchora
