// What the assistant's notch page shows and allows: the status line by question and sign-in
// state, when a question can go, the include-screen setting, and the notch held open while
// the field is typed in.
#include "TestEnvironment.h"
#include "answer/AISettings.h"
#include "answer/ChatMessageListModel.h"
#include "assistant/AssistantPageModel.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "notch/NotchViewModel.h"
#include "platform/Defaults.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace notchora;
using State = AnswerAuth::State;
using Action = AssistantPageModel::TrailingAction;

namespace {

NotchGeometry laptop() {
    ScreenInfo screen;
    screen.frame = QRectF(0, 0, 1440, 900);
    screen.visibleFrame = QRectF(0, 0, 1440, 870);
    return NotchGeometry(screen);
}

ChatMessage message(const QString& text) {
    ChatMessage m;
    m.id = QUuid::createUuid();
    m.role = ChatMessage::Role::User;
    m.text = text;
    return m;
}

} // namespace

class AssistantPageModelTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void statusLine_data();
    void statusLine();
    void canSend_data();
    void canSend();
    void showAnswerFollowsTheConversation();
    void attachScreenIsTheStoredSetting_data();
    void attachScreenIsTheStoredSetting();
    void attachScreenFollowsOtherWriters();
    void focusHoldsTheNotchOpen();
    void aPageGoingAwayLetsTheNotchGo_data();
    void aPageGoingAwayLetsTheNotchGo();

private:
    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<ModuleRegistry> m_registry;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<NotchViewModel> m_notch;
    int m_releases = 0;
};

void AssistantPageModelTest::init() {
    m_env = std::make_unique<test::TestEnvironment>();
    m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    m_registry = std::make_unique<ModuleRegistry>(ModuleRegistry::defaultModules());
    m_store = std::make_unique<WidgetStore>(*m_registry, *m_defaults);
    m_notch = std::make_unique<NotchViewModel>(laptop(), *m_store);
    m_releases = 0;
    m_notch->setOnKeepExpandedReleased([this] { ++m_releases; });
}

void AssistantPageModelTest::cleanup() {
    m_notch.reset();
    m_store.reset();
    m_registry.reset();
    m_defaults.reset();
    m_env.reset();
}

void AssistantPageModelTest::statusLine_data() {
    QTest::addColumn<bool>("busy");
    QTest::addColumn<State>("signIn");
    QTest::addColumn<bool>("hasConversation");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<Action>("action");

    const QColor yellow = AssistantPageModel::yellow, grey = AssistantPageModel::grey,
                 green = AssistantPageModel::green, red = AssistantPageModel::red;
    const QString failure = "Login dibatalkan.";
    QTest::newRow("checking") << false << State::Checking << false << "Memeriksa…" << grey
                              << "Memeriksa…" << Action::None;
    QTest::newRow("signed out") << false << State::SignedOut << false << "Belum masuk" << grey
                                << "Belum masuk" << Action::SignIn;
    QTest::newRow("browser open") << false << State::SigningIn << true << "Menunggu persetujuan…"
                                  << yellow << "Menunggu persetujuan…" << Action::None;
    QTest::newRow("signed in, nothing to show")
        << false << State::SignedIn << false << "Sudah masuk" << green << "Sudah masuk"
        << Action::None;
    QTest::newRow("signed in with a conversation")
        << false << State::SignedIn << true << "Sudah masuk" << green << "Sudah masuk"
        << Action::ShowAnswer;
    QTest::newRow("sign-in failed")
        << false << State::Failed << false << "Gagal masuk" << red << failure << Action::SignIn;
    // A running question outranks every sign-in state, but the action stays the sign-in's.
    QTest::newRow("busy, signed in") << true << State::SignedIn << false << "Memproses…" << yellow
                                     << "Memproses…" << Action::ShowAnswer;
    QTest::newRow("busy, signed out") << true << State::SignedOut << false << "Memproses…" << yellow
                                      << "Memproses…" << Action::SignIn;
    QTest::newRow("busy, checking") << true << State::Checking << true << "Memproses…" << yellow
                                    << "Memproses…" << Action::None;
    QTest::newRow("busy, failed") << true << State::Failed << false << "Memproses…" << yellow
                                  << failure << Action::SignIn;
}

void AssistantPageModelTest::statusLine() {
    QFETCH(bool, busy);
    QFETCH(State, signIn);
    QFETCH(bool, hasConversation);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    QFETCH(QString, toolTip);
    QFETCH(Action, action);

    ChatMessageListModel messages;
    if (hasConversation)
        messages.setMessages({message("Apa ini?")});
    AssistantPageModel page(*m_defaults);
    QSignalSpy changes(&page, &AssistantPageModel::statusChanged);
    page.setMessages(&messages);
    page.setSignInFailure("Login dibatalkan.");
    page.setSignInState(signIn);
    page.setBusy(busy);

    QCOMPARE(page.statusText(), text);
    QCOMPARE(page.statusColor(), color);
    QCOMPARE(page.statusToolTip(), toolTip);
    QCOMPARE(page.trailingAction(), action);
    const QString trailing = action == Action::SignIn       ? "Masuk"
                             : action == Action::ShowAnswer ? "Lihat jawaban"
                                                            : "";
    QCOMPARE(page.trailingText(), trailing);
    // Re-writing the same inputs changes nothing.
    const auto before = changes.count();
    page.setBusy(busy);
    page.setSignInState(signIn);
    QCOMPARE(changes.count(), before);
}

void AssistantPageModelTest::canSend_data() {
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<int>("attachments");
    QTest::addColumn<bool>("canSend");

    QTest::newRow("empty") << false << "" << 0 << false;
    QTest::newRow("text") << false << "Apa ini?" << 0 << true;
    QTest::newRow("blanks and line breaks") << false << "  \n\t \r\n " << 0 << false;
    QTest::newRow("non-breaking and ideographic spaces")
        << false << QString::fromUtf8("\u00a0\u3000") << 0 << false;
    QTest::newRow("a word inside blanks") << false << "  x \n" << 0 << true;
    QTest::newRow("only an image") << false << "" << 1 << true;
    QTest::newRow("blanks and images") << false << "   " << 4 << true;
    QTest::newRow("slash command") << false << "/compact" << 0 << true;
    QTest::newRow("busy with text") << true << "Apa ini?" << 0 << false;
    QTest::newRow("busy with images") << true << "" << 2 << false;
}

void AssistantPageModelTest::canSend() {
    QFETCH(bool, busy);
    QFETCH(QString, prompt);
    QFETCH(int, attachments);
    QFETCH(bool, canSend);

    AssistantPageModel page(*m_defaults);
    QSignalSpy changes(&page, &AssistantPageModel::canSendChanged);
    page.setBusy(busy);
    page.setPrompt(prompt);
    page.setAttachmentCount(attachments);
    QCOMPARE(page.canSend(), canSend);
    QCOMPARE(changes.count(), canSend ? 1 : 0);
}

void AssistantPageModelTest::showAnswerFollowsTheConversation() {
    ChatMessageListModel messages;
    AssistantPageModel page(*m_defaults);
    page.setSignInState(State::SignedIn);
    page.setMessages(&messages);
    QCOMPARE(page.trailingAction(), Action::None);

    QSignalSpy changes(&page, &AssistantPageModel::statusChanged);
    messages.setMessages({message("Apa ini?")});
    QCOMPARE(page.trailingAction(), Action::ShowAnswer);
    QCOMPARE(changes.count(), 1);
    // A new conversation has nothing to show again.
    messages.setMessages({});
    QCOMPARE(page.trailingAction(), Action::None);

    // The model going away counts as no conversation.
    auto other = std::make_unique<ChatMessageListModel>();
    other->setMessages({message("Halo")});
    page.setMessages(other.get());
    QCOMPARE(page.trailingAction(), Action::ShowAnswer);
    other.reset();
    QCOMPARE(page.trailingAction(), Action::None);
}

void AssistantPageModelTest::attachScreenIsTheStoredSetting_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("detailStart");

    QTest::newRow("on") << true << "Sertakan layar: menyala"
                        << "Sertakan layar: MENYALA"
                        << "Setiap pertanyaan yang kamu kirim ikut membawa screenshot";
    QTest::newRow("off") << false << "Sertakan layar: mati"
                         << "Sertakan layar: MATI"
                         << "Klik untuk menyalakan: pertanyaan";
}

void AssistantPageModelTest::attachScreenIsTheStoredSetting() {
    QFETCH(bool, on);
    QFETCH(QString, label);
    QFETCH(QString, title);
    QFETCH(QString, detailStart);

    AssistantPageModel page(*m_defaults);
    QVERIFY(!page.attachScreen());
    QSignalSpy changes(&page, &AssistantPageModel::attachScreenChanged);
    page.setAttachScreen(on);
    QCOMPARE(changes.count(), on ? 1 : 0);
    QCOMPARE(page.attachScreen(), on);
    QCOMPARE(page.attachScreenLabel(), label);
    QCOMPARE(page.attachScreenHintTitle(), title);
    QVERIFY2(page.attachScreenHintDetail().startsWith(detailStart),
             qPrintable(page.attachScreenHintDetail()));

    // On disk, where the settings window and the next start read it.
    Defaults reread(m_defaults->filePath());
    QCOMPARE(AISettings::attachScreen(reread), on);
}

void AssistantPageModelTest::attachScreenFollowsOtherWriters() {
    AssistantPageModel page(*m_defaults);
    QSignalSpy changes(&page, &AssistantPageModel::attachScreenChanged);
    m_defaults->setBool("ai.attachScreen", true);
    QCOMPARE(changes.count(), 1);
    QVERIFY(page.attachScreen());
    // A value of the wrong type reads as the default.
    m_defaults->setString("ai.attachScreen", "yes");
    QCOMPARE(changes.count(), 2);
    QVERIFY(!page.attachScreen());
    m_defaults->setBool("ai.saveHistory", false);
    QCOMPARE(changes.count(), 2);
}

void AssistantPageModelTest::focusHoldsTheNotchOpen() {
    AssistantPageModel page(*m_defaults);
    page.setNotchViewModel(m_notch.get());
    page.setFieldFocused(true);
    QVERIFY(m_notch->keepsExpanded());
    QCOMPARE(m_releases, 0);
    page.setFieldFocused(false);
    QVERIFY(!m_notch->keepsExpanded());
    QCOMPARE(m_releases, 1);

    // Shown on its own, the page has no notch to hold.
    AssistantPageModel alone(*m_defaults);
    alone.setFieldFocused(true);
    alone.setFieldFocused(false);
    QCOMPARE(m_releases, 1);
}

void AssistantPageModelTest::aPageGoingAwayLetsTheNotchGo_data() {
    QTest::addColumn<bool>("focused");
    QTest::addColumn<int>("releases");
    QTest::newRow("typing") << true << 1;
    QTest::newRow("not typing") << false << 0;
}

void AssistantPageModelTest::aPageGoingAwayLetsTheNotchGo() {
    QFETCH(bool, focused);
    QFETCH(int, releases);

    auto page = std::make_unique<AssistantPageModel>(*m_defaults);
    page->setNotchViewModel(m_notch.get());
    page->setFieldFocused(focused);
    QCOMPARE(m_notch->keepsExpanded(), focused);
    page.reset();
    QVERIFY(!m_notch->keepsExpanded());
    QCOMPARE(m_releases, releases);
}

QTEST_GUILESS_MAIN(AssistantPageModelTest)
#include "tst_assistantpagemodel.moc"
