#include "assistant/AssistantPageModel.h"

#include "answer/AISettings.h"
#include "answer/TextLimits.h"
#include "platform/Defaults.h"

namespace notchora {

const QColor AssistantPageModel::yellow{0xff, 0xd6, 0x0a};
const QColor AssistantPageModel::grey{0x8e, 0x8e, 0x93};
const QColor AssistantPageModel::green{0x32, 0xd7, 0x4b};
const QColor AssistantPageModel::red{0xff, 0x45, 0x3a};

AssistantPageModel::AssistantPageModel(QObject* parent)
    : AssistantPageModel(Defaults::shared(), parent) {}

AssistantPageModel::AssistantPageModel(Defaults& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults) {
    connect(&m_defaults, &Defaults::changed, this, [this](const QString& key) {
        if (key == AISettings::attachScreenSetting.name())
            emit attachScreenChanged();
    });
    update();
}

AssistantPageModel::~AssistantPageModel() {
    // A page that goes away while its field is being typed in must not hold the notch open
    // for ever.
    if (m_fieldFocused && m_notchViewModel)
        m_notchViewModel->setKeepsExpanded(false);
}

AssistantPageModel::Status AssistantPageModel::status(bool busy, AnswerAuth::State signIn,
                                                      const QString& signInFailure,
                                                      bool hasConversation) {
    using State = AnswerAuth::State;
    Status status;
    if (busy) {
        status.text = QStringLiteral("Memproses…");
        status.color = yellow;
    } else {
        switch (signIn) {
        case State::Checking:
            status.text = QStringLiteral("Memeriksa…");
            status.color = grey;
            break;
        case State::SignedOut:
            status.text = QStringLiteral("Belum masuk");
            status.color = grey;
            break;
        case State::SigningIn:
            status.text = QStringLiteral("Menunggu persetujuan…");
            status.color = yellow;
            break;
        case State::SignedIn:
            status.text = QStringLiteral("Sudah masuk");
            status.color = green;
            break;
        case State::Failed:
            status.text = QStringLiteral("Gagal masuk");
            status.color = red;
            break;
        }
    }
    status.toolTip =
        signIn == State::Failed && !signInFailure.isEmpty() ? signInFailure : status.text;
    switch (signIn) {
    case State::SignedOut:
    case State::Failed:
        status.action = TrailingAction::SignIn;
        break;
    case State::SignedIn:
        if (hasConversation || busy)
            status.action = TrailingAction::ShowAnswer;
        break;
    case State::Checking:
    case State::SigningIn:
        break;
    }
    return status;
}

bool AssistantPageModel::canSend(bool busy, const QString& prompt, int attachmentCount) {
    return !busy && (!TextLimits::trimmed(prompt).isEmpty() || attachmentCount > 0);
}

void AssistantPageModel::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged();
    update();
}

void AssistantPageModel::setSignInState(AnswerAuth::State state) {
    if (state == m_signInState)
        return;
    m_signInState = state;
    emit signInChanged();
    update();
}

void AssistantPageModel::setSignInFailure(const QString& message) {
    if (message == m_signInFailure)
        return;
    m_signInFailure = message;
    emit signInChanged();
    update();
}

void AssistantPageModel::setMessages(QAbstractItemModel* messages) {
    if (messages == m_messages)
        return;
    if (m_messages)
        m_messages->disconnect(this);
    m_messages = messages;
    if (m_messages) {
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(m_messages, signal, this, &AssistantPageModel::update);
        connect(m_messages, &QAbstractItemModel::modelReset, this, &AssistantPageModel::update);
        connect(m_messages, &QObject::destroyed, this, &AssistantPageModel::update);
    }
    emit messagesChanged();
    update();
}

void AssistantPageModel::setPrompt(const QString& prompt) {
    if (prompt == m_prompt)
        return;
    m_prompt = prompt;
    emit promptChanged();
    update();
}

void AssistantPageModel::setAttachmentCount(int count) {
    if (count == m_attachmentCount)
        return;
    m_attachmentCount = count;
    emit attachmentCountChanged();
    update();
}

void AssistantPageModel::setFieldFocused(bool focused) {
    if (focused == m_fieldFocused)
        return;
    m_fieldFocused = focused;
    if (m_notchViewModel)
        m_notchViewModel->setKeepsExpanded(focused);
    emit fieldFocusedChanged();
}

void AssistantPageModel::setNotchViewModel(NotchViewModel* viewModel) {
    if (viewModel == m_notchViewModel)
        return;
    // The hold moves with the page to the view model it now belongs to.
    if (m_fieldFocused && m_notchViewModel)
        m_notchViewModel->setKeepsExpanded(false);
    m_notchViewModel = viewModel;
    if (m_fieldFocused && m_notchViewModel)
        m_notchViewModel->setKeepsExpanded(true);
    emit notchViewModelChanged();
}

void AssistantPageModel::setService(AIAssistantService* service) {
    if (service == m_service)
        return;
    if (m_service)
        m_service->disconnect(this);
    m_service = service;
    auto follow = [this] {
        m_attachments.setAttachments(m_service ? m_service->attachments()
                                               : QList<ChatAttachment>());
    };
    if (m_service)
        connect(m_service, &AIAssistantService::attachmentsChanged, this, follow);
    follow();
    emit serviceChanged();
}

QString AssistantPageModel::trailingText() const {
    switch (m_status.action) {
    case TrailingAction::SignIn:
        return QStringLiteral("Masuk");
    case TrailingAction::ShowAnswer:
        return QStringLiteral("Lihat jawaban");
    case TrailingAction::None:
        break;
    }
    return {};
}

bool AssistantPageModel::attachScreen() const {
    return AISettings::attachScreen(m_defaults);
}

void AssistantPageModel::setAttachScreen(bool on) {
    // The settings announce the change, to this page and to any other reader.
    if (on != attachScreen())
        m_defaults.write(AISettings::attachScreenSetting, on);
}

QString AssistantPageModel::attachScreenLabel() const {
    return attachScreen() ? QStringLiteral("Sertakan layar: menyala")
                          : QStringLiteral("Sertakan layar: mati");
}

QString AssistantPageModel::attachScreenHintTitle() const {
    return attachScreen() ? QStringLiteral("Sertakan layar: MENYALA")
                          : QStringLiteral("Sertakan layar: MATI");
}

QString AssistantPageModel::attachScreenHintDetail() const {
    return attachScreen()
               ? QStringLiteral("Setiap pertanyaan yang kamu kirim ikut membawa screenshot layar "
                                "saat ini, supaya AI bisa membacanya. Widget & popup tidak ikut "
                                "tertangkap. Klik untuk mematikan.")
               : QStringLiteral("Klik untuk menyalakan: pertanyaan yang kamu kirim akan ikut "
                                "membawa screenshot layar, supaya AI bisa membaca apa yang sedang "
                                "tampil.");
}

QVariantList AssistantPageModel::quickActions() {
    struct Action {
        const char* title;
        const char* symbol;
        AIMode mode;
    };
    static constexpr Action actions[] = {
        {"Jawab layar", "checkmark.bubble", AIMode::AnswerScreen},
        {"Jelaskan", "text.magnifyingglass", AIMode::ExplainScreen},
        {"Ringkas", "list.bullet.rectangle", AIMode::SummarizeScreen},
    };
    QVariantList list;
    for (const auto& action : actions) {
        const QString title = QString::fromUtf8(action.title);
        list.append(QVariantMap{
            {QStringLiteral("title"), title},
            {QStringLiteral("symbol"), QString::fromLatin1(action.symbol)},
            {QStringLiteral("mode"), stringValue(action.mode)},
            {QStringLiteral("accessibleName"),
             title + QStringLiteral(" — mengambil screenshot layar saat ditekan")},
        });
    }
    return list;
}

bool AssistantPageModel::hasConversation() const {
    return m_messages && m_messages->rowCount() > 0;
}

void AssistantPageModel::update() {
    const Status status =
        AssistantPageModel::status(m_busy, m_signInState, m_signInFailure, hasConversation());
    if (status != m_status) {
        m_status = status;
        emit statusChanged();
    }
    const bool canSend = AssistantPageModel::canSend(m_busy, m_prompt, m_attachmentCount);
    if (canSend != m_canSend) {
        m_canSend = canSend;
        emit canSendChanged();
    }
}

} // namespace notchora
