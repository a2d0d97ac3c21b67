#pragma once

#include "answer/AIModels.h"
#include "assistant/QuestionTask.h"
#include "assistant/StreamingText.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <optional>

class QJSEngine;
class QQmlEngine;

namespace notchora {

class AnswerAPIClient;
class CharacterMoodCenter;
class ChatHistoryStore;
class Clock;
class ClockTimer;
class ConversationCompaction;

// Runs the assistant: a question from the text field (and the screen, and pasted images)
// to a streamed answer stored in the chat history; the slash commands, compaction of long
// conversations, a short-lived notice, the retry after sign-in and the pending images.
// Every view reads its state and calls its operations; none touches the client or the
// history for a question.
class AIAssistantService : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged FINAL)
    Q_PROPERTY(QString failureMessage READ failureMessage NOTIFY phaseChanged FINAL)
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY phaseChanged FINAL)
    Q_PROPERTY(QString lastPrompt READ lastPrompt NOTIFY lastPromptChanged FINAL)
    Q_PROPERTY(QString lastMode READ lastModeString NOTIFY lastModeChanged FINAL)
    Q_PROPERTY(bool needsSignIn READ needsSignIn NOTIFY needsSignInChanged FINAL)
    Q_PROPERTY(int attachmentCount READ attachmentCount NOTIFY attachmentsChanged FINAL)
    Q_PROPERTY(QString streamingText READ streamingText NOTIFY streamingTextChanged FINAL)
    Q_PROPERTY(bool isCompacting READ isCompacting NOTIFY isCompactingChanged FINAL)
    Q_PROPERTY(bool hasNotice READ hasNotice NOTIFY noticeChanged FINAL)
    Q_PROPERTY(QString noticeText READ noticeText NOTIFY noticeChanged FINAL)
    Q_PROPERTY(bool noticeIsError READ noticeIsError NOTIFY noticeChanged FINAL)
    Q_PROPERTY(QString answer READ answer NOTIFY answerChanged FINAL)
public:
    enum class Phase { Idle, Capturing, Waiting, Streaming, Failed };
    Q_ENUM(Phase)

    struct Notice {
        QString text;
        bool isError = false;
        bool operator==(const Notice&) const = default;
    };

    // How a question ended, for whoever asked it.
    enum class Outcome { Answered, Failed, Cancelled };
    Q_ENUM(Outcome)

    struct Services {
        AnswerAPIClient& api;
        ChatHistoryStore& history;
        Clock& clock;
        CharacterMoodCenter& mood;
        QuestionTask::CaptureStep capture;
        std::function<void()> beep;
    };

    static constexpr int maxAttachments = 4;
    static constexpr qint64 imageByteLimit = 1'200'000;
    static constexpr double noticeSeconds = 6;
    static constexpr double happySeconds = 3.4;
    static constexpr double sadSeconds = 3.2;
    static constexpr qsizetype autoCompactCharacters = 24'000;
    static constexpr qsizetype autoCompactMinMessages = 7;
    static constexpr qsizetype autoCompactKeep = 6;
    static constexpr qsizetype manualCompactKeep = 2;
    static constexpr qsizetype manualCompactMinMessages = 3;

    explicit AIAssistantService(Services services, QObject* parent = nullptr);
    ~AIAssistantService() override;

    static AIAssistantService& shared();
    static AIAssistantService* create(QQmlEngine*, QJSEngine*);
    // The capture through notchora-screencapture, with our windows out of the picture.
    static QuestionTask::CaptureStep screenCapture(Clock& clock);
    // Whether a whole prompt is one of the slash commands.
    static bool isSlashCommand(const QString& prompt);

    Phase phase() const { return m_phase; }
    QString failureMessage() const { return m_failureMessage; }
    bool isBusy() const;
    QString lastPrompt() const { return m_lastPrompt; }
    AIMode lastMode() const { return m_lastMode; }
    bool needsSignIn() const { return m_needsSignIn; }
    const QList<ChatAttachment>& attachments() const { return m_attachments; }
    int attachmentCount() const { return int(m_attachments.size()); }
    QString streamingText() const;
    bool isCompacting() const { return m_isCompacting; }
    std::optional<Notice> notice() const { return m_notice; }
    bool hasNotice() const { return m_notice.has_value(); }
    QString noticeText() const { return m_notice ? m_notice->text : QString(); }
    bool noticeIsError() const { return m_notice && m_notice->isError; }
    // The last answer of the current conversation ("" when there is none).
    QString answer() const { return m_answer; }
    // Increases with every question sent; questionEnded() names it.
    quint64 questionSerial() const { return m_serial; }

    void ask(const QString& prompt, AIMode mode, bool includeScreen, bool continueConversation,
             bool useAttachments);
    // The same for views; an unknown mode asks plainly.
    Q_INVOKABLE void ask(const QString& prompt, const QString& mode, bool includeScreen,
                         bool continueConversation, bool useAttachments);
    Q_INVOKABLE void cancel();
    Q_INVOKABLE void newConversation();
    Q_INVOKABLE void compactNow();
    Q_INVOKABLE void signInAndRetry();
    // Brings up the answer popup on the current conversation.
    Q_INVOKABLE void showAnswer() { emit answerPopupRequested(); }
    Q_INVOKABLE void attachImage(const QByteArray& data);
    void removeAttachment(const QUuid& id);
    Q_INVOKABLE void removeAttachment(const QString& id);
    // Replaces the pending images (a retry, or a command line bringing its own).
    void setAttachments(const QList<ChatAttachment>& attachments);

signals:
    void phaseChanged();
    void lastPromptChanged();
    void lastModeChanged();
    void needsSignInChanged();
    void attachmentsChanged();
    void streamingTextChanged();
    void isCompactingChanged();
    void noticeChanged();
    void answerChanged();
    // Every notice as it is posted, also one equal to the notice already shown.
    void noticePosted(const QString& text, bool isError);
    // The answer popup should show.
    void answerPopupRequested();
    void questionEnded(quint64 serial, notchora::AIAssistantService::Outcome outcome);

private:
    struct LastRequest {
        QString prompt;
        AIMode mode = AIMode::Ask;
        bool includeScreen = false;
        QList<ChatAttachment> attachments;
        bool continues = false;
    };

    void runNewConversationCommand();
    void tokenArrived(const QString& piece);
    void answered(const AnswerResult& result);
    void failed(const QString& message, bool needsSignIn);
    void endTask();
    void compactIfNeeded();
    void notify(const QString& text, bool isError);
    void clearNotice();

    void setPhase(Phase phase, const QString& failure = QString());
    void setLastPrompt(const QString& prompt);
    void setLastMode(AIMode mode);
    void setNeedsSignIn(bool needsSignIn);
    void clearStreamingText();
    void setCompacting(bool compacting);
    void updateAnswer();
    QString lastModeString() const { return stringValue(m_lastMode); }

    Services m_services;
    Phase m_phase = Phase::Idle;
    QString m_failureMessage;
    QString m_lastPrompt;
    AIMode m_lastMode = AIMode::Ask;
    bool m_needsSignIn = false;
    QList<ChatAttachment> m_attachments;
    bool m_isCompacting = false;
    std::optional<Notice> m_notice;
    QString m_answer;

    // The question running now; destroying it cancels it.
    QPointer<QuestionTask> m_task;
    QList<ChatAttachment> m_taskAttachments;
    quint64 m_serial = 0;
    StreamingText m_answerText;
    QPointer<ClockTimer> m_noticeTimer;
    QPointer<ConversationCompaction> m_compaction;
    std::optional<LastRequest> m_lastRequest;
};

} // namespace notchora
