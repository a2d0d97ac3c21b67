#include "AnswerStack.h"
#include "AnswerdProcess.h"
#include "ManualClock.h"
#include "answer/AnswerAPIClient.h"
#include "answer/ChatHistoryStore.h"
#include "assistant/AIAssistantService.h"
#include "characters/CharacterMoodCenter.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace notchora;
using namespace notchora::test;
using Phase = AIAssistantService::Phase;
using Outcome = AIAssistantService::Outcome;
using Mood = CharacterMood;

struct Question {
    QString prompt;
    AIMode mode;
    bool screen = false, continues = false;
    int earlier = 0;
    QString stored, answer; // stored empty: nothing is asked
    AIMode sent = AIMode::Ask;
    QStringList server = {}; // the development service's arguments
};
struct Compaction {
    QStringList server;
    QString prompt; // empty: compacted from the menu
    int messages = 0;
    bool whileAsking = false;
    QString notice;
    bool isError = false;
    int requests = 0, messagesLeft = 0;
};
struct Failure {
    QStringList server;
    QString message;
    bool signedIn = true, captureFails = false;
};
Q_DECLARE_METATYPE(Question)
Q_DECLARE_METATYPE(Compaction)
Q_DECLARE_METATYPE(Failure)

namespace {
QByteArray jpeg(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "JPG") ? bytes : QByteArray();
}

// The assistant over a temporary profile, asking the development service: a screen capture
// that hands over a 30-pixel square (or fails) and a browser that approves every sign-in.
struct AssistantFixture : AnswerStack {
    AssistantFixture(const AnswerdProcess& server, bool signedIn) {
        setBase(QUrl(server.base()));
        if (signedIn)
            storeRefreshToken(AnswerdClient(server).signIn().value("refresh_token").toString());
        makeAuth(Clock::system(), [this, &server](const QUrl& url) {
            QTimer::singleShot(0, &context, [this, &server, url] {
                const QByteArray location = AnswerdClient(server).get(url).location;
                auth->handleCallback(QUrl(QString::fromUtf8(location)));
            });
            return true;
        });
        api = std::make_unique<AnswerAPIClient>(http, *auth);
        auto capture = [this](QObject* owner,
                              std::function<void(const ScreenCapture::Result&)> done) {
            QTimer::singleShot(0, owner, [this, done] {
                done(
                    captureFails
                        ? ScreenCapture::Result::failure(ScreenCapture::CaptureError::captureFailed)
                        : ScreenCapture::fit(jpeg(30, 30), AIAssistantService::imageByteLimit));
            });
        };
        service = std::make_unique<AIAssistantService>(
            AIAssistantService::Services{*api, history, clock, mood, capture, [this] { ++beeps; }});
        ended = std::make_unique<QSignalSpy>(service.get(), &AIAssistantService::questionEnded);
    }
    AIAssistantService::Outcome waitForEnd() {
        const qsizetype before = ended->size();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(ended->size() > before, 20000); }();
        return ended->size() > before ? ended->last().at(1).value<AIAssistantService::Outcome>()
                                      : AIAssistantService::Outcome::Cancelled;
    }
    // A current thread of `count` messages, user and assistant in turn, the texts cycled.
    void makeThread(int count, const QStringList& texts = {"pesan"}) {
        history.setCurrentID(std::nullopt);
        for (int i = 0; i < count; ++i)
            history.append(
                ChatMessage::make(i % 2 ? ChatMessage::Role::Assistant : ChatMessage::Role::User,
                                  texts[i % texts.size()], clock.now()));
    }
    std::optional<ChatThread> thread() const { return history.currentThread(); }
    // Images 10, 11, ... pixels wide.
    void attach(int count) {
        const qsizetype target = service->attachments().size() + count;
        for (int i = 0; i < count; ++i)
            service->attachImage(jpeg(10 + i, 10));
        [&] { QTRY_COMPARE(service->attachments().size(), target); }();
    }

    ManualClock clock;
    bool captureFails = false;
    int beeps = 0;
    ChatHistoryStore history{env.dataHome() + "/Notchora/history.json", defaults, clock};
    CharacterMoodCenter mood{clock};
    std::unique_ptr<AnswerAPIClient> api;
    std::unique_ptr<AIAssistantService> service;
    std::unique_ptr<QSignalSpy> ended;
};

AnswerdPool pool; // one development service per argument list

std::unique_ptr<AssistantFixture> assistant(const QStringList& arguments = {},
                                            bool signedIn = true) {
    AnswerdProcess* server = pool.get(arguments);
    return server ? std::make_unique<AssistantFixture>(*server, signedIn) : nullptr;
}

int calls(const QStringList& arguments, const char* endpoint) {
    AnswerdProcess* server = pool.get(arguments);
    return AnswerdClient(*server).get(server->url("/dev/stats")).json()[endpoint].toInt();
}

// The development service's answer to `text` after `history` messages with `images` images.
QString echo(const QString& text, int history = 0, int images = 0) {
    const QString asked = text.isEmpty() ? "(tanpa teks)" : u'\u201C' + text + u'\u201D';
    return QStringLiteral("Jawaban uji untuk %1. Riwayat: %2 pesan.").arg(asked).arg(history) +
           (images ? QStringLiteral(" Gambar: %1.").arg(images) : QString());
}

} // namespace

class AssistantServiceTest : public QObject {
    Q_OBJECT
private slots:
    void questions_data() {
        QTest::addColumn<Question>("q");
        // clang-format off
        QTest::newRow("typed question in a new thread")
            << Question{"  Apa itu?\n", AIMode::Ask, false, false, 2, "Apa itu?", echo("Apa itu?")};
        QTest::newRow("quick action: stored label, fixed text, the screen")
            << Question{"", AIMode::ExplainScreen, true, false, 0, "Jelaskan layar",
                        echo("Jelaskan isi layar ini.", 0, 1), AIMode::ExplainScreen};
        QTest::newRow("answer from the screen sends no text")
            << Question{"abaikan", AIMode::AnswerScreen, true, false, 0, "abaikan", echo("", 0, 1),
                        AIMode::AnswerScreen};
        QTest::newRow("continue on an empty thread keeps the mode")
            << Question{"Lagi", AIMode::SummarizeScreen, false, true, 0, "Lagi",
                        echo("Ringkas isi layar ini."), AIMode::SummarizeScreen};
        QTest::newRow("continue on a thread with messages is a follow-up")
            << Question{"Lagi", AIMode::ExplainScreen, false, true, 4, "Lagi", echo("Lagi", 4),
                        AIMode::FollowUp};
        QTest::newRow("a slash word with more words is a question")
            << Question{"/compact sekarang", AIMode::Ask, false, true, 0, "/compact sekarang",
                        echo("/compact sekarang")};
        QTest::newRow("nothing to ask") << Question{" \n ", AIMode::Ask, false, false, 2, "", ""};
        QTest::newRow("without a stream, one answer")
            << Question{"Tanpa", AIMode::Ask, false, false, 0, "Tanpa", echo("Tanpa"), AIMode::Ask,
                        {"--fail", "404"}};
        // clang-format on
    }
    void questions() {
        QFETCH(Question, q);
        auto f = assistant(q.server);
        QVERIFY(f);
        f->makeThread(q.earlier);
        const qsizetype threadsBefore = f->history.threads().size();
        QSignalSpy popup(f->service.get(), &AIAssistantService::answerPopupRequested);
        f->service->ask(q.prompt, q.mode, q.screen, q.continues, false);
        QCOMPARE(popup.size(), q.stored.isEmpty() ? 0 : 1);
        if (q.stored.isEmpty()) {
            QCOMPARE((std::pair{int(f->service->phase()), f->history.threads().size()}),
                     (std::pair{int(Phase::Idle), threadsBefore}));
            return;
        }
        QCOMPARE((QVariantList{int(f->service->phase()), int(f->mood.mood()),
                               int(f->service->lastMode())}),
                 (QVariantList{int(q.screen ? Phase::Capturing : Phase::Waiting),
                               int(Mood::Thinking), int(q.sent)}));
        QCOMPARE(f->waitForEnd(), Outcome::Answered);
        const QList<ChatMessage> messages = f->thread()->messages;
        QCOMPARE(messages.size(), (q.continues ? q.earlier : 0) + 2);
        const ChatMessage& question = messages[messages.size() - 2];
        QCOMPARE((QVariantList{question.text, question.hadImages, messages.last().text,
                               messages.last().confidence.value_or(-1), f->service->answer(),
                               f->service->streamingText(), int(f->service->phase())}),
                 (QVariantList{q.stored, q.screen, q.answer, 0.8, q.answer, QString(),
                               int(Phase::Idle)}));
        QCOMPARE(f->mood.mood(), Mood::Happy);
    }
    void startingOver_data() {
        QTest::addColumn<QString>("prompt");
        QTest::newRow("/new") << "/new";
        QTest::newRow("/clear, as /new") << "/Clear";
    }
    void startingOver() {
        QFETCH(QString, prompt);
        auto f = assistant();
        QVERIFY(f);
        f->makeThread(5);
        f->attach(1);
        const qsizetype threads = f->history.threads().size();
        f->service->ask(prompt, AIMode::Ask, false, true, true);
        // No question is stored, and the pasted image goes with the old thread.
        QCOMPARE((QVariantList{f->service->noticeText(), f->service->noticeIsError(),
                               int(f->history.threads().size()), f->history.currentID().has_value(),
                               f->service->attachmentCount()}),
                 (QVariantList{"Percakapan baru dimulai.", false, int(threads), false, 0}));
    }
    void noticesLastSixSecondsFromTheirOwnArrival() {
        auto f = assistant();
        QVERIFY(f);
        f->service->ask("/new", AIMode::Ask, false, false, false);
        f->clock.advance(4);
        f->service->compactNow(); // nothing to compact: a newer notice
        QCOMPARE(f->service->noticeText(), "Percakapan masih terlalu pendek untuk diringkas.");
        f->clock.advance(5.5); // past the first notice's six seconds
        QVERIFY(f->service->hasNotice());
        f->clock.advance(1);
        QVERIFY(!f->service->hasNotice());
    }
    void automaticCompaction_data() {
        QTest::addColumn<int>("totalCharacters");
        QTest::newRow("24,000 characters stay") << 24000;
        QTest::newRow("24,001 characters are compacted") << 24001;
    }
    void automaticCompaction() {
        QFETCH(int, totalCharacters);
        const bool compacts = totalCharacters > 24000;
        auto f = assistant();
        QVERIFY(f);
        // The question and its answer count too. Five earlier messages, one holding the rest,
        // with an emoji counted as one.
        const QString question = QStringLiteral("Berapa?");
        const qsizetype rest = totalCharacters - question.size() - echo(question, 5).size() - 40;
        const QString longText = QString(rest - 1, u'x') + QString::fromUtf8("\U0001F44D");
        const QString y(10, u'y'), z(10, u'z');
        f->makeThread(5, {longText, y, z, y, z});
        QSignalSpy compacting(f->service.get(), &AIAssistantService::isCompactingChanged);
        f->service->ask(question, AIMode::Ask, false, true, false);
        QCOMPARE(f->waitForEnd(), Outcome::Answered);
        // On, and off again once the compaction is done.
        QTRY_COMPARE_WITH_TIMEOUT(compacting.size(), compacts ? 2 : 0, 20000);
        // The newest six remain as they were; automatic compaction says nothing.
        const ChatThread after = *f->thread();
        QCOMPARE((QVariantList{int(after.messages.size()), after.summary.has_value(),
                               after.messages.first().text, f->service->hasNotice()}),
                 (QVariantList{compacts ? 6 : 7, compacts, compacts ? y : longText, false}));
    }
    void manualCompaction_data() {
        QTest::addColumn<Compaction>("c");
        const QStringList slow{"--fail", "slow"}, down{"--fail", "compact:503"};
        // clang-format off
        QTest::newRow("/COMPACT in capitals with blanks") << Compaction{
            {}, "  /COMPACT \n", 5, false,
            "Percakapan diringkas (3 pesan lama). Pesan terbaru tetap utuh.", false, 1, 2};
        QTest::newRow("2 messages are too short") << Compaction{
            {}, {}, 2, false, "Percakapan masih terlalu pendek untuk diringkas.", false, 0, 2};
        QTest::newRow("45 messages: 40 then 3 old ones, in two requests") << Compaction{
            {}, {}, 45, false, "Percakapan diringkas (43 pesan lama). Pesan terbaru tetap utuh.",
            false, 2, 2};
        QTest::newRow("refused while an answer streams") << Compaction{
            slow, {}, 4, true, "Tunggu sampai proses yang berjalan selesai.", true, 0, 5};
        QTest::newRow("a failed request changes nothing") << Compaction{
            down, {}, 45, false,
            "Gagal meringkas: Fitur jawaban AI sedang dimatikan oleh administrator.", true, 1, 45};
        // clang-format on
    }
    void manualCompaction() {
        QFETCH(Compaction, c);
        auto f = assistant(c.server);
        QVERIFY(f);
        f->makeThread(c.messages);
        if (c.whileAsking) {
            f->service->ask("Panjang", AIMode::Ask, false, true, false);
            QTRY_COMPARE_WITH_TIMEOUT(f->service->phase(), Phase::Streaming, 20000);
        }
        const int callsBefore = calls(c.server, "compact");
        QSignalSpy posted(f->service.get(), &AIAssistantService::noticePosted);
        if (c.prompt.isEmpty())
            f->service->compactNow();
        else
            f->service->ask(c.prompt, AIMode::Ask, false, true, true);
        QTRY_COMPARE_WITH_TIMEOUT(posted.size(), 1, 20000);
        QCOMPARE(
            (QVariantList{f->service->noticeText(), f->service->noticeIsError(),
                          f->service->isCompacting(), calls(c.server, "compact") - callsBefore,
                          int(f->thread()->messages.size()), f->thread()->summary.has_value()}),
            (QVariantList{c.notice, c.isError, false, c.requests, c.messagesLeft,
                          !c.isError && c.requests > 0}));
    }
    void failureTakesTheQuestionBack_data() {
        QTest::addColumn<Failure>("failure");
        QTest::newRow("screen capture fails")
            << Failure{{}, "Gagal mengambil screenshot layar.", true, true};
        QTest::newRow("not signed in")
            << Failure{{}, QString::fromUtf8(AnswerAPIError::notSignedInMessage), false};
    }
    void failureTakesTheQuestionBack() {
        QFETCH(Failure, failure);
        auto f = assistant(failure.server, failure.signedIn);
        QVERIFY(f);
        f->captureFails = failure.captureFails;
        f->makeThread(2);
        f->attach(2);
        const QList<ChatAttachment> pasted = f->service->attachments();
        f->service->ask("Kenapa?", AIMode::Ask, failure.captureFails, true, true);
        QCOMPARE(f->service->attachmentCount(), 0);
        QCOMPARE(f->waitForEnd(), Outcome::Failed);
        // The question is taken back from the thread, its images back to the field.
        QCOMPARE((QVariantList{int(f->service->phase()), f->service->failureMessage(),
                               f->service->needsSignIn(), int(f->thread()->messages.size()),
                               f->service->streamingText(), int(f->mood.mood())}),
                 (QVariantList{int(Phase::Failed), failure.message, !failure.signedIn, 2, QString(),
                               int(Mood::Sad)}));
        QVERIFY(f->service->attachments() == pasted);
    }
    void signInAndRetry() {
        auto f = assistant({}, false);
        QVERIFY(f);
        f->attach(2);
        f->service->ask("Lihat gambar", AIMode::Ask, false, false, true);
        QCOMPARE(f->waitForEnd(), Outcome::Failed);
        QSignalSpy signedIn(f->auth.get(), &AnswerAuth::signInFinished);
        f->service->signInAndRetry();
        QVERIFY(signedIn.wait(20000));
        // The images went with the question.
        QCOMPARE(f->service->attachmentCount(), 0);
        QCOMPARE(f->waitForEnd(), Outcome::Answered);
        QCOMPARE((QVariantList{f->service->answer(), f->service->needsSignIn()}),
                 (QVariantList{echo("Lihat gambar", 0, 2), false}));
    }
    void interruptions_data() {
        QTest::addColumn<bool>("askAgain"); // else cancel
        QTest::newRow("cancel mid-stream stores nothing") << false;
        QTest::newRow("a second question cancels the first") << true;
    }
    void interruptions() {
        QFETCH(bool, askAgain);
        auto f = assistant({"--fail", "slow"});
        QVERIFY(f);
        f->service->ask("Pertama", AIMode::Ask, false, false, false);
        const quint64 first = f->service->questionSerial();
        QTRY_COMPARE_WITH_TIMEOUT(f->service->phase(), Phase::Streaming, 20000);
        QVERIFY(!f->service->streamingText().isEmpty());
        if (askAgain)
            f->service->ask("Kedua", AIMode::Ask, false, false, false);
        else
            f->service->cancel();
        QCOMPARE(f->ended->first(), (QVariantList{first, QVariant::fromValue(Outcome::Cancelled)}));
        QCOMPARE(f->service->streamingText(), QString());
        if (!askAgain) {
            QCOMPARE((QVariantList{int(f->service->phase()), int(f->mood.mood()),
                                   int(f->history.threads().size())}),
                     (QVariantList{int(Phase::Idle), int(Mood::Idle), 0}));
            return;
        }
        QCOMPARE(f->service->phase(), Phase::Waiting);
        QCOMPARE(f->waitForEnd(), Outcome::Answered);
        QCOMPARE(f->history.threads().first().messages.last().text, echo("Kedua"));
    }
    void attachmentLimitAndBadImagesBeep() {
        auto f = assistant();
        QVERIFY(f);
        f->attach(4);
        f->service->attachImage(jpeg(8, 8));
        QCOMPARE((std::pair{f->beeps, f->service->attachmentCount()}), (std::pair{1, 4}));
        f->service->removeAttachment(f->service->attachments()[1].id);
        f->attach(1);
        QCOMPARE((std::pair{f->beeps, f->service->attachments().last().image.width}),
                 (std::pair{1, 10}));
        f->service->removeAttachment(f->service->attachments().first().id);
        f->service->attachImage("not an image");
        QTRY_COMPARE(f->beeps, 2);
        QCOMPARE(f->service->attachmentCount(), 3);
    }
};

QTEST_MAIN(AssistantServiceTest)
#include "tst_assistantservice.moc"
