#include "TableRows.h"
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

struct StatusRow {
    const char* name;
    bool busy;
    AnswerAuth::State signIn;
    bool hasConversation;
    QString text;
    QColor color;
    AssistantPageModel::TrailingAction action;
};
Q_DECLARE_METATYPE(StatusRow)

namespace {
QList<ChatMessage> conversation() {
    return {ChatMessage::make(ChatMessage::Role::User, "Apa ini?", QDateTime())};
}
} // namespace

class AssistantPageModelTest : public QObject {
    Q_OBJECT

    struct Profile {
        test::TestEnvironment env;
        Defaults defaults{env.configHome() + "/notchora/defaults.json"};
    };
    std::unique_ptr<Profile> m_profile;

    Defaults& defaults() { return m_profile->defaults; }

private slots:
    void init() { m_profile = std::make_unique<Profile>(); }

    // The text is the tool tip too, but for a failed sign-in.
    void statusLine_data() {
        const QColor yellow = AssistantPageModel::yellow, grey = AssistantPageModel::grey,
                     green = AssistantPageModel::green, red = AssistantPageModel::red;
        const QString busy = "Memproses…", in = "Sudah masuk";
        test::addRows<StatusRow>({
            {"checking", false, State::Checking, false, "Memeriksa…", grey, Action::None},
            {"signed out", false, State::SignedOut, false, "Belum masuk", grey, Action::SignIn},
            {"browser open", false, State::SigningIn, true, "Menunggu persetujuan…", yellow,
             Action::None},
            {"signed in, nothing to show", false, State::SignedIn, false, in, green, Action::None},
            {"signed in with a conversation", false, State::SignedIn, true, in, green,
             Action::ShowAnswer},
            {"sign-in failed", false, State::Failed, false, "Gagal masuk", red, Action::SignIn},
            // A running question outranks every sign-in state; the action stays the sign-in's.
            {"busy, signed in", true, State::SignedIn, false, busy, yellow, Action::ShowAnswer},
            {"busy, failed", true, State::Failed, false, busy, yellow, Action::SignIn},
        });
    }
    void statusLine() {
        QFETCH(StatusRow, row);
        ChatMessageListModel messages;
        if (row.hasConversation)
            messages.setMessages(conversation());
        AssistantPageModel page(defaults());
        page.setMessages(&messages);
        page.setSignInFailure("Login dibatalkan.");
        page.setSignInState(row.signIn);
        page.setBusy(row.busy);
        const QHash<Action, QString> trailing{{Action::SignIn, "Masuk"},
                                              {Action::ShowAnswer, "Lihat jawaban"}};
        QCOMPARE((QVariantList{page.statusText(), page.statusColor(), page.statusToolTip(),
                               int(page.trailingAction()), page.trailingText()}),
                 (QVariantList{row.text, row.color,
                               row.signIn == State::Failed ? "Login dibatalkan." : row.text,
                               int(row.action), trailing.value(row.action)}));
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
        QCOMPARE(changes.count(), 1);
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
        QTest::addColumn<QString>("label");
        QTest::newRow("on") << true << "Sertakan layar: menyala";
        QTest::newRow("off") << false << "Sertakan layar: mati";
    }
    void attachScreenIsTheStoredSetting() {
        QFETCH(bool, on);
        QFETCH(QString, label);
        AssistantPageModel page(defaults());
        QSignalSpy changes(&page, &AssistantPageModel::attachScreenChanged);
        page.setAttachScreen(on);
        QCOMPARE(changes.count(), on ? 1 : 0);
        QCOMPARE(page.attachScreenLabel(), label);
        // On disk, where the settings window and the next start read it; other writers are
        // followed.
        QCOMPARE(AISettings::attachScreen(Defaults(defaults().filePath())), on);
        defaults().setBool("ai.attachScreen", !on);
        QCOMPARE(changes.count(), on ? 2 : 1);
        // A value of the wrong type reads as the default.
        defaults().setString("ai.attachScreen", "yes");
        QVERIFY(!page.attachScreen());
    }
};

QTEST_GUILESS_MAIN(AssistantPageModelTest)
#include "tst_assistantpagemodel.moc"
