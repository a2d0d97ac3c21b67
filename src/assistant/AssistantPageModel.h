#pragma once

#include "answer/AnswerAuth.h"
#include "assistant/AIAssistantService.h"
#include "assistant/AttachmentListModel.h"
#include "notch/NotchViewModel.h"

#include <QAbstractItemModel>
#include <QColor>
#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace notchora {

class Defaults;

// What the assistant's page in the notch shows and allows: the status line with its colour,
// tooltip and trailing action, whether a question can be sent, the include-screen switch
// (stored in the settings) and the notch staying open while the field is being typed in.
// The page binds the live state in; everything it shows is decided here.
class AssistantPageModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    // Bound in by the page.
    Q_PROPERTY(bool busy READ busy WRITE setBusy NOTIFY busyChanged FINAL)
    Q_PROPERTY(notchora::AnswerAuth::State signInState READ signInState WRITE setSignInState NOTIFY
                   signInChanged FINAL)
    Q_PROPERTY(
        QString signInFailure READ signInFailure WRITE setSignInFailure NOTIFY signInChanged FINAL)
    // The messages of the current conversation.
    Q_PROPERTY(
        QAbstractItemModel* messages READ messages WRITE setMessages NOTIFY messagesChanged FINAL)
    Q_PROPERTY(QString prompt READ prompt WRITE setPrompt NOTIFY promptChanged FINAL)
    Q_PROPERTY(int attachmentCount READ attachmentCount WRITE setAttachmentCount NOTIFY
                   attachmentCountChanged FINAL)
    Q_PROPERTY(
        bool fieldFocused READ fieldFocused WRITE setFieldFocused NOTIFY fieldFocusedChanged FINAL)
    // The notch's view model when the page is in the tray; null on its own.
    Q_PROPERTY(notchora::NotchViewModel* notchViewModel READ notchViewModel WRITE setNotchViewModel
                   NOTIFY notchViewModelChanged FINAL)

    // Whose pending images `attachments` lists.
    Q_PROPERTY(notchora::AIAssistantService* service READ service WRITE setService NOTIFY
                   serviceChanged FINAL)
    Q_PROPERTY(notchora::AttachmentListModel* attachments READ attachments CONSTANT FINAL)

    Q_PROPERTY(QString statusText READ statusText NOTIFY statusChanged FINAL)
    Q_PROPERTY(QColor statusColor READ statusColor NOTIFY statusChanged FINAL)
    Q_PROPERTY(QString statusToolTip READ statusToolTip NOTIFY statusChanged FINAL)
    Q_PROPERTY(TrailingAction trailingAction READ trailingAction NOTIFY statusChanged FINAL)
    Q_PROPERTY(QString trailingText READ trailingText NOTIFY statusChanged FINAL)
    Q_PROPERTY(bool canSend READ canSend NOTIFY canSendChanged FINAL)

    Q_PROPERTY(
        bool attachScreen READ attachScreen WRITE setAttachScreen NOTIFY attachScreenChanged FINAL)
    Q_PROPERTY(QString attachScreenLabel READ attachScreenLabel NOTIFY attachScreenChanged FINAL)
    Q_PROPERTY(
        QString attachScreenHintTitle READ attachScreenHintTitle NOTIFY attachScreenChanged FINAL)
    Q_PROPERTY(
        QString attachScreenHintDetail READ attachScreenHintDetail NOTIFY attachScreenChanged FINAL)

    // Maps with "title", "symbol", "mode" and "accessibleName", in the order they show.
    Q_PROPERTY(QVariantList quickActions READ quickActions CONSTANT FINAL)
public:
    enum class TrailingAction { None, SignIn, ShowAnswer };
    Q_ENUM(TrailingAction)

    struct Status {
        QString text;
        QColor color;
        QString toolTip;
        TrailingAction action = TrailingAction::None;
        bool operator==(const Status&) const = default;
    };

    static const QColor yellow;
    static const QColor grey;
    static const QColor green;
    static const QColor red;

    // The settings of the program (Defaults::shared()).
    explicit AssistantPageModel(QObject* parent = nullptr);
    AssistantPageModel(Defaults& defaults, QObject* parent = nullptr);
    ~AssistantPageModel() override;

    // A running question comes first, then the sign-in state. "Lihat jawaban" only offers
    // itself when there is something to look at.
    static Status status(bool busy, AnswerAuth::State signIn, const QString& signInFailure,
                         bool hasConversation);
    // Something to send (text beyond blanks, or a waiting image) and nothing running.
    static bool canSend(bool busy, const QString& prompt, int attachmentCount);

    bool busy() const { return m_busy; }
    void setBusy(bool busy);
    AnswerAuth::State signInState() const { return m_signInState; }
    void setSignInState(AnswerAuth::State state);
    QString signInFailure() const { return m_signInFailure; }
    void setSignInFailure(const QString& message);
    QAbstractItemModel* messages() const { return m_messages; }
    void setMessages(QAbstractItemModel* messages);
    QString prompt() const { return m_prompt; }
    void setPrompt(const QString& prompt);
    int attachmentCount() const { return m_attachmentCount; }
    void setAttachmentCount(int count);
    bool fieldFocused() const { return m_fieldFocused; }
    void setFieldFocused(bool focused);
    NotchViewModel* notchViewModel() const { return m_notchViewModel; }
    void setNotchViewModel(NotchViewModel* viewModel);

    AIAssistantService* service() const { return m_service; }
    void setService(AIAssistantService* service);
    AttachmentListModel* attachments() { return &m_attachments; }

    Status status() const { return m_status; }
    QString statusText() const { return m_status.text; }
    QColor statusColor() const { return m_status.color; }
    QString statusToolTip() const { return m_status.toolTip; }
    TrailingAction trailingAction() const { return m_status.action; }
    QString trailingText() const;
    bool canSend() const { return m_canSend; }

    bool attachScreen() const;
    void setAttachScreen(bool on);
    QString attachScreenLabel() const;
    QString attachScreenHintTitle() const;
    QString attachScreenHintDetail() const;

    static QVariantList quickActions();

signals:
    void busyChanged();
    void signInChanged();
    void messagesChanged();
    void promptChanged();
    void attachmentCountChanged();
    void fieldFocusedChanged();
    void notchViewModelChanged();
    void serviceChanged();
    void statusChanged();
    void canSendChanged();
    void attachScreenChanged();

private:
    void update();
    bool hasConversation() const;

    Defaults& m_defaults;
    bool m_busy = false;
    AnswerAuth::State m_signInState = AnswerAuth::State::Checking;
    QString m_signInFailure;
    QPointer<QAbstractItemModel> m_messages;
    QString m_prompt;
    int m_attachmentCount = 0;
    bool m_fieldFocused = false;
    QPointer<NotchViewModel> m_notchViewModel;
    QPointer<AIAssistantService> m_service;
    AttachmentListModel m_attachments;

    Status m_status;
    bool m_canSend = false;
};

} // namespace notchora
