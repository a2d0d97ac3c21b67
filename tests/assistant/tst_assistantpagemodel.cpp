#include "TestEnvironment.h"
#include "answer/AISettings.h"
#include "answer/ChatMessageListModel.h"
#include "assistant/AssistantPageModel.h"
#include "platform/Defaults.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace notchora;
using State = AnswerAuth::State;
using Action = AssistantPageModel::TrailingAction;

namespace {
QList<ChatMessage> conversation() {
    return {ChatMessage::make(ChatMessage::Role::User, "Apa ini?", QDateTime())};
}
} // namespace

// What the assistant's notch page shows and allows: the status line, when a question can go
// and the include-screen setting.
class AssistantPageModelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;

    Defaults& defaults() { return *m_defaults; }

private slots:
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    }

    void statusLine_data() {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<State>("signIn");
        QTest::addColumn<bool>("hasConversation");
        QTest::addColumn<QString>("text"); // also the tool tip, but for a failed sign-in
        QTest::addColumn<QColor>("color");
        QTest::addColumn<Action>("action");
        const QColor yellow = AssistantPageModel::yellow, grey = AssistantPageModel::grey,
                     green = AssistantPageModel::green, red = AssistantPageModel::red;
        const QString busy = "Memproses…", in = "Sudah masuk";
        QTest::newRow("checking") << false << State::Checking << false << "Memeriksa…" << grey
                                  << Action::None;
        QTest::newRow("signed out")
            << false << State::SignedOut << false << "Belum masuk" << grey << Action::SignIn;
        QTest::newRow("browser open") << false << State::SigningIn << true
                                      << "Menunggu persetujuan…" << yellow << Action::None;
        QTest::newRow("signed in, nothing to show")
            << false << State::SignedIn << false << in << green << Action::None;
        QTest::newRow("signed in with a conversation")
            << false << State::SignedIn << true << in << green << Action::ShowAnswer;
        QTest::newRow("sign-in failed")
            << false << State::Failed << false << "Gagal masuk" << red << Action::SignIn;
        // A running question outranks every sign-in state, but the action stays the sign-in's.
        QTest::newRow("busy, signed in")
            << true << State::SignedIn << false << busy << yellow << Action::ShowAnswer;
        QTest::newRow("busy, failed")
            << true << State::Failed << false << busy << yellow << Action::SignIn;
    }
    void statusLine() {
        QFETCH(bool, busy);
        QFETCH(State, signIn);
        QFETCH(bool, hasConversation);
        QFETCH(QString, text);
        QFETCH(QColor, color);
        QFETCH(Action, action);
        ChatMessageListModel messages;
        if (hasConversation)
            messages.setMessages(conversation());
        AssistantPageModel page(defaults());
        QSignalSpy changes(&page, &AssistantPageModel::statusChanged);
        page.setMessages(&messages);
        page.setSignInFailure("Login dibatalkan.");
        page.setSignInState(signIn);
        page.setBusy(busy);
        QCOMPARE(page.statusText(), text);
        QCOMPARE(page.statusColor(), color);
        QCOMPARE(page.statusToolTip(), signIn == State::Failed ? "Login dibatalkan." : text);
        QCOMPARE(page.trailingAction(), action);
        const QHash<Action, QString> trailing{{Action::SignIn, "Masuk"},
                                              {Action::ShowAnswer, "Lihat jawaban"}};
        QCOMPARE(page.trailingText(), trailing.value(action));
        // Re-writing the same inputs changes nothing.
        const auto before = changes.count();
        page.setBusy(busy);
        page.setSignInState(signIn);
        QCOMPARE(changes.count(), before);
    }
    void canSend_data() {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<int>("attachments");
        QTest::addColumn<bool>("canSend");
        QTest::newRow("empty") << false << "" << 0 << false;
        QTest::newRow("text") << false << "Apa ini?" << 0 << true;
        QTest::newRow("blanks and line breaks") << false << "  \n\t \r\n " << 0 << false;
        QTest::newRow("non-breaking and ideographic spaces")
            << false << QString::fromUtf8("\u00a0\u3000") << 0 << false;
        QTest::newRow("only an image") << false << "" << 1 << true;
        QTest::newRow("busy with text") << true << "Apa ini?" << 0 << false;
    }
    void canSend() {
        QFETCH(bool, busy);
        QFETCH(QString, prompt);
        QFETCH(int, attachments);
        QFETCH(bool, canSend);
        AssistantPageModel page(defaults());
        QSignalSpy changes(&page, &AssistantPageModel::canSendChanged);
        page.setBusy(busy);
        page.setPrompt(prompt);
        page.setAttachmentCount(attachments);
        QCOMPARE(page.canSend(), canSend);
        QCOMPARE(changes.count(), canSend ? 1 : 0);
    }
    void showAnswerFollowsTheConversation() {
        ChatMessageListModel messages;
        AssistantPageModel page(defaults());
        page.setSignInState(State::SignedIn);
        page.setMessages(&messages);
        QSignalSpy changes(&page, &AssistantPageModel::statusChanged);
        messages.setMessages(conversation());
        QCOMPARE(page.trailingAction(), Action::ShowAnswer);
        QCOMPARE(changes.count(), 1);
        // A new conversation has nothing to show again.
        messages.setMessages({});
        QCOMPARE(page.trailingAction(), Action::None);
        // The model going away counts as no conversation.
        auto other = std::make_unique<ChatMessageListModel>();
        other->setMessages(conversation());
        page.setMessages(other.get());
        QCOMPARE(page.trailingAction(), Action::ShowAnswer);
        other.reset();
        QCOMPARE(page.trailingAction(), Action::None);
    }
    void attachScreenIsTheStoredSetting_data() {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("detailStart");
        QTest::newRow("on") << true << "menyala"
                            << "Setiap pertanyaan yang kamu kirim ikut membawa screenshot";
        QTest::newRow("off") << false << "mati"
                             << "Klik untuk menyalakan: pertanyaan";
    }
    void attachScreenIsTheStoredSetting() {
        QFETCH(bool, on);
        QFETCH(QString, state);
        QFETCH(QString, detailStart);
        AssistantPageModel page(defaults());
        QVERIFY(!page.attachScreen());
        QSignalSpy changes(&page, &AssistantPageModel::attachScreenChanged);
        page.setAttachScreen(on);
        QCOMPARE(changes.count(), on ? 1 : 0);
        QCOMPARE(page.attachScreen(), on);
        QCOMPARE(page.attachScreenLabel(), "Sertakan layar: " + state);
        QCOMPARE(page.attachScreenHintTitle(), "Sertakan layar: " + state.toUpper());
        QVERIFY2(page.attachScreenHintDetail().startsWith(detailStart),
                 qPrintable(page.attachScreenHintDetail()));
        // On disk, where the settings window and the next start read it.
        QCOMPARE(AISettings::attachScreen(Defaults(defaults().filePath())), on);
        // Other writers (the settings window) are followed.
        defaults().setBool("ai.attachScreen", !on);
        QCOMPARE(page.attachScreen(), !on);
        QCOMPARE(changes.count(), on ? 2 : 1);
        defaults().setBool("ai.saveHistory", false);
        QCOMPARE(changes.count(), on ? 2 : 1);
        // A value of the wrong type reads as the default.
        defaults().setString("ai.attachScreen", "yes");
        QVERIFY(!page.attachScreen());
    }
};

QTEST_GUILESS_MAIN(AssistantPageModelTest)
#include "tst_assistantpagemodel.moc"
