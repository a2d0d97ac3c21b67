#include "AssistantFixture.h"

#include <QJsonDocument>
#include <QTest>

using namespace notchora;
using Phase = AIAssistantService::Phase;
using Outcome = AIAssistantService::Outcome;
using Mood = CharacterMood;

Q_DECLARE_METATYPE(notchora::AIMode)

namespace {

test::AnswerdPool pool;

// A signed-in assistant against a development service started with `arguments`.
std::unique_ptr<test::AssistantFixture> assistant(const QStringList& arguments = {},
                                                  bool signedIn = true) {
    test::AnswerdProcess* server = pool.get(arguments);
    if (!server)
        return nullptr;
    const QString refresh =
        signedIn ? test::AnswerdClient(*server).signIn().value("refresh_token").toString()
                 : QString();
    return std::make_unique<test::AssistantFixture>(server->base(), refresh);
}

int calls(const QStringList& arguments, const char* endpoint) {
    test::AnswerdProcess* server = pool.get(arguments);
    return test::AnswerdClient(*server)
        .get(server->url("/dev/stats"))
        .json()
        .value(endpoint)
        .toInt();
}

} // namespace

class AssistantServiceTest : public QObject {
    Q_OBJECT
private slots:
    void questions_data();
    void questions();
    void slashCommands_data();
    void slashCommands();
    void automaticCompaction_data();
    void automaticCompaction();
    void manualCompaction_data();
    void manualCompaction();
    void failureTakesTheQuestionBack_data();
    void failureTakesTheQuestionBack();
    void signInAndRetry_data();
    void signInAndRetry();
    void interruptions_data();
    void interruptions();
    void streamMissingFallsBackToOneAnswer();
    void noticesLastSixSecondsFromTheirOwnArrival();
    void attachmentLimitAndBadImagesBeep();
};

void AssistantServiceTest::questions_data() {
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<AIMode>("mode");
    QTest::addColumn<bool>("includeScreen");
    QTest::addColumn<bool>("continues");
    QTest::addColumn<int>("earlierMessages");
    QTest::addColumn<QString>("storedQuestion"); // empty: nothing is asked
    QTest::addColumn<QString>("answer");
    QTest::addColumn<AIMode>("sentMode");

    QTest::newRow("typed question in a new thread")
        << "  Apa itu?\n"
        << AIMode::Ask << false << false << 2 << "Apa itu?"
        << "Jawaban uji untuk \u201CApa itu?\u201D. Riwayat: 0 pesan." << AIMode::Ask;
    QTest::newRow("quick action: stored label, fixed text, the screen")
        << "" << AIMode::ExplainScreen << true << false << 0 << "Jelaskan layar"
        << "Jawaban uji untuk \u201CJelaskan isi layar ini.\u201D. Riwayat: 0 pesan. Gambar: 1."
        << AIMode::ExplainScreen;
    QTest::newRow("answer from the screen sends no text")
        << "abaikan" << AIMode::AnswerScreen << true << false << 0 << "abaikan"
        << "Jawaban uji untuk (tanpa teks). Riwayat: 0 pesan. Gambar: 1." << AIMode::AnswerScreen;
    QTest::newRow("continue on an empty thread keeps the mode")
        << "Lagi" << AIMode::SummarizeScreen << false << true << 0 << "Lagi"
        << "Jawaban uji untuk \u201CRingkas isi layar ini.\u201D. Riwayat: 0 pesan."
        << AIMode::SummarizeScreen;
    QTest::newRow("continue on a thread with messages is a follow-up")
        << "Lagi" << AIMode::ExplainScreen << false << true << 4 << "Lagi"
        << "Jawaban uji untuk \u201CLagi\u201D. Riwayat: 4 pesan." << AIMode::FollowUp;
    QTest::newRow("a slash word with more words is a question")
        << "/compact sekarang" << AIMode::Ask << false << true << 0 << "/compact sekarang"
        << "Jawaban uji untuk \u201C/compact sekarang\u201D. Riwayat: 0 pesan." << AIMode::Ask;
    QTest::newRow("nothing to ask") << " \n " << AIMode::Ask << false << false << 2 << ""
                                    << "" << AIMode::Ask;
}

void AssistantServiceTest::questions() {
    QFETCH(QString, prompt);
    QFETCH(AIMode, mode);
    QFETCH(bool, includeScreen);
    QFETCH(bool, continues);
    QFETCH(int, earlierMessages);
    QFETCH(QString, storedQuestion);
    QFETCH(QString, answer);
    QFETCH(AIMode, sentMode);
    auto f = assistant();
    QVERIFY(f);
    f->makeThread(earlierMessages);
    const qsizetype threadsBefore = f->history->threads().size();
    QSignalSpy popup(f->service.get(), &AIAssistantService::answerPopupRequested);

    f->service->ask(prompt, mode, includeScreen, continues, false);
    if (storedQuestion.isEmpty()) {
        QCOMPARE(f->service->phase(), Phase::Idle);
        QCOMPARE(f->history->threads().size(), threadsBefore);
        QCOMPARE(popup.size(), 0);
        return;
    }
    QCOMPARE(f->service->phase(), includeScreen ? Phase::Capturing : Phase::Waiting);
    QCOMPARE(f->mood->mood(), Mood::Thinking);
    QCOMPARE(popup.size(), 1);
    QCOMPARE(f->service->lastMode(), sentMode);
    QCOMPARE(f->waitForEnd(), Outcome::Answered);

    QCOMPARE(f->service->phase(), Phase::Idle);
    QCOMPARE(f->service->streamingText(), QString());
    QCOMPARE(f->mood->mood(), Mood::Happy);
    const ChatThread thread = *f->thread();
    const bool followsOn = continues && earlierMessages > 0;
    QCOMPARE(thread.messages.size(), (followsOn ? earlierMessages : 0) + 2);
    const ChatMessage& question = thread.messages[thread.messages.size() - 2];
    QCOMPARE(question.text, storedQuestion);
    QCOMPARE(question.hadImages, includeScreen);
    QCOMPARE(thread.messages.last().text, answer);
    QCOMPARE(thread.messages.last().confidence.value_or(-1), 0.8);
    QCOMPARE(f->service->answer(), answer);
    // The happy face lasts 3.4 s.
    f->clock.advance(3.3);
    QCOMPARE(f->mood->mood(), Mood::Happy);
    f->clock.advance(0.2);
    QCOMPARE(f->mood->mood(), Mood::Idle);
}

void AssistantServiceTest::slashCommands_data() {
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<int>("messagesLeft"); // -1: no current thread
    QTest::newRow("/COMPACT in capitals with blanks")
        << "  /COMPACT \n"
        << "Percakapan diringkas (3 pesan lama). Pesan terbaru tetap utuh." << 2;
    QTest::newRow("/new") << "/new"
                          << "Percakapan baru dimulai." << -1;
    QTest::newRow("/clear, as /new") << "/Clear"
                                     << "Percakapan baru dimulai." << -1;
}

void AssistantServiceTest::slashCommands() {
    QFETCH(QString, prompt);
    QFETCH(QString, notice);
    QFETCH(int, messagesLeft);
    auto f = assistant();
    QVERIFY(f);
    f->makeThread(5);
    f->attach(1);
    const qsizetype threads = f->history->threads().size();
    QSignalSpy posted(f->service.get(), &AIAssistantService::noticePosted);

    f->service->ask(prompt, AIMode::Ask, false, true, true);
    QTRY_COMPARE_WITH_TIMEOUT(posted.size(), 1, 20000);
    QCOMPARE(f->service->noticeText(), notice);
    QVERIFY(!f->service->noticeIsError());
    QCOMPARE(f->history->threads().size(), threads); // no question was stored
    if (messagesLeft < 0) {
        QVERIFY(!f->history->currentID());
        QCOMPARE(f->service->attachmentCount(), 0);
    } else {
        QCOMPARE(f->thread()->messages.size(), messagesLeft);
        QVERIFY(f->thread()->summary.has_value());
        QCOMPARE(f->service->attachmentCount(), 1);
    }
}

void AssistantServiceTest::automaticCompaction_data() {
    QTest::addColumn<int>("totalCharacters");
    QTest::addColumn<bool>("compacts");
    QTest::newRow("24,000 characters stay") << 24000 << false;
    QTest::newRow("24,001 characters are compacted") << 24001 << true;
}

void AssistantServiceTest::automaticCompaction() {
    QFETCH(int, totalCharacters);
    QFETCH(bool, compacts);
    auto f = assistant();
    QVERIFY(f);
    // The question and its answer count too: learn the answer's length on a thread of the
    // same size first.
    const QString question = QStringLiteral("Berapa?");
    f->makeThread(5);
    f->service->ask(question, AIMode::Ask, false, true, false);
    QCOMPARE(f->waitForEnd(), Outcome::Answered);
    const qsizetype answerLength = f->thread()->messages.last().text.size();

    // Five earlier messages, of which one holds the rest, with an emoji counted as one.
    const qsizetype rest = totalCharacters - question.size() - answerLength - 4 * 10;
    QString longText = QString(rest - 1, u'x') + QString::fromUtf8("\U0001F44D");
    f->makeThread(
        5, {longText, QString(10, u'y'), QString(10, u'z'), QString(10, u'y'), QString(10, u'z')});
    const ChatThread before = *f->thread();
    QSignalSpy compacting(f->service.get(), &AIAssistantService::isCompactingChanged);
    f->service->ask(question, AIMode::Ask, false, true, false);
    QCOMPARE(f->waitForEnd(), Outcome::Answered);
    // On, and off again once the compaction is done.
    QTRY_COMPARE_WITH_TIMEOUT(compacting.size(), compacts ? 2 : 0, 20000);
    QVERIFY(!f->service->isCompacting());
    const ChatThread after = *f->thread();
    QCOMPARE(after.messages.size(), compacts ? 6 : 7);
    QCOMPARE(after.summary.has_value(), compacts);
    // The newest six remain as they were.
    QCOMPARE(after.messages.last().role, ChatMessage::Role::Assistant);
    QCOMPARE(after.messages.first().text, compacts ? before.messages[1].text : longText);
    QVERIFY(!f->service->hasNotice()); // automatic compaction says nothing
}

void AssistantServiceTest::manualCompaction_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("whileAsking");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<bool>("isError");
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("messagesLeft");

    QTest::newRow("2 messages are too short")
        << QStringList() << 2 << false << "Percakapan masih terlalu pendek untuk diringkas."
        << false << 0 << 2;
    QTest::newRow("45 messages: 40 then 3 old ones, in two requests")
        << QStringList() << 45 << false
        << "Percakapan diringkas (43 pesan lama). Pesan terbaru tetap utuh." << false << 2 << 2;
    QTest::newRow("refused while an answer streams")
        << QStringList{"--fail", "slow"} << 4 << true
        << "Tunggu sampai proses yang berjalan selesai." << true << 0 << 5;
    QTest::newRow("a failed request changes nothing")
        << QStringList{"--fail", "compact:503"} << 45 << false
        << "Gagal meringkas: Fitur jawaban AI sedang dimatikan oleh administrator." << true << 1
        << 45;
}

void AssistantServiceTest::manualCompaction() {
    QFETCH(QStringList, server);
    QFETCH(int, messages);
    QFETCH(bool, whileAsking);
    QFETCH(QString, notice);
    QFETCH(bool, isError);
    QFETCH(int, requests);
    QFETCH(int, messagesLeft);
    auto f = assistant(server);
    QVERIFY(f);
    f->makeThread(messages);
    if (whileAsking) {
        f->service->ask("Panjang", AIMode::Ask, false, true, false);
        QTRY_COMPARE_WITH_TIMEOUT(f->service->phase(), Phase::Streaming, 20000);
    }
    const int callsBefore = calls(server, "compact");
    QSignalSpy posted(f->service.get(), &AIAssistantService::noticePosted);

    f->service->compactNow();
    QTRY_COMPARE_WITH_TIMEOUT(posted.size(), 1, 20000);
    QCOMPARE(f->service->noticeText(), notice);
    QCOMPARE(f->service->noticeIsError(), isError);
    QVERIFY(!f->service->isCompacting());
    QCOMPARE(calls(server, "compact") - callsBefore, requests);
    QCOMPARE(f->thread()->messages.size(), messagesLeft);
    QCOMPARE(f->thread()->summary.has_value(), !isError && requests > 0);
}

void AssistantServiceTest::failureTakesTheQuestionBack_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<bool>("captureFails");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("needsSignIn");
    QTest::newRow("service switched off")
        << QStringList{"--fail", "503"} << true << false
        << "Fitur jawaban AI sedang dimatikan oleh administrator." << false;
    QTest::newRow("stream ends before the answer")
        << QStringList{"--fail", "end-early"} << true << false
        << "Koneksi terputus sebelum jawaban selesai. Coba lagi." << false;
    QTest::newRow("screen capture fails")
        << QStringList() << true << true << "Gagal mengambil screenshot layar." << false;
    QTest::newRow("not signed in") << QStringList() << false << false
                                   << QString::fromUtf8(AnswerAPIError::notSignedInMessage) << true;
}

void AssistantServiceTest::failureTakesTheQuestionBack() {
    QFETCH(QStringList, server);
    QFETCH(bool, signedIn);
    QFETCH(bool, captureFails);
    QFETCH(QString, message);
    QFETCH(bool, needsSignIn);
    auto f = assistant(server, signedIn);
    QVERIFY(f);
    f->captureFails = captureFails;
    f->makeThread(2);
    f->attach(2);
    const QList<ChatAttachment> pasted = f->service->attachments();

    f->service->ask("Kenapa?", AIMode::Ask, captureFails, true, true);
    QCOMPARE(f->service->attachmentCount(), 0);
    QCOMPARE(f->waitForEnd(), Outcome::Failed);
    QCOMPARE(f->service->phase(), Phase::Failed);
    QCOMPARE(f->service->failureMessage(), message);
    QCOMPARE(f->service->needsSignIn(), needsSignIn);
    QCOMPARE(f->thread()->messages.size(), 2); // the question is taken back
    QVERIFY(f->service->attachments() == pasted);
    QCOMPARE(f->service->streamingText(), QString());
    QCOMPARE(f->mood->mood(), Mood::Sad);
    f->clock.advance(3.2);
    QCOMPARE(f->mood->mood(), Mood::Idle);
    // The failure stays until the next question; cancelling does not clear it.
    f->service->cancel();
    QCOMPARE(f->service->phase(), Phase::Failed);
}

void AssistantServiceTest::signInAndRetry_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<bool>("retries");
    QTest::newRow("after a missing sign-in the question goes again")
        << QStringList() << false << true;
    QTest::newRow("after another failure only the sign-in happens")
        << QStringList{"--fail", "stream:503"} << true << false;
}

void AssistantServiceTest::signInAndRetry() {
    QFETCH(QStringList, server);
    QFETCH(bool, signedIn);
    QFETCH(bool, retries);
    auto f = assistant(server, signedIn);
    QVERIFY(f);
    f->attach(2);
    f->service->ask("Lihat gambar", AIMode::Ask, false, false, true);
    QCOMPARE(f->waitForEnd(), Outcome::Failed);
    const int streamsBefore = calls(server, "stream");
    QSignalSpy signedInSpy(f->auth.get(), &AnswerAuth::signInFinished);

    f->service->signInAndRetry();
    QVERIFY(signedInSpy.wait(20000));
    QCOMPARE(f->auth->state(), AnswerAuth::State::SignedIn);
    if (!retries) {
        QCOMPARE(f->service->phase(), Phase::Failed);
        QCOMPARE(calls(server, "stream"), streamsBefore);
        return;
    }
    QCOMPARE(f->service->attachmentCount(), 0); // they went with the question
    QCOMPARE(f->waitForEnd(), Outcome::Answered);
    QCOMPARE(f->service->answer(),
             "Jawaban uji untuk \u201CLihat gambar\u201D. Riwayat: 0 pesan. Gambar: 2.");
    QCOMPARE(f->thread()->messages.size(), 2);
    QVERIFY(!f->service->needsSignIn());
}

void AssistantServiceTest::interruptions_data() {
    QTest::addColumn<bool>("askAgain"); // else cancel
    QTest::newRow("cancel mid-stream stores nothing") << false;
    QTest::newRow("a second question cancels the first") << true;
}

void AssistantServiceTest::interruptions() {
    QFETCH(bool, askAgain);
    const QStringList slow{"--fail", "slow"};
    auto f = assistant(slow);
    QVERIFY(f);
    f->service->ask("Pertama", AIMode::Ask, false, false, false);
    const quint64 first = f->service->questionSerial();
    QTRY_COMPARE_WITH_TIMEOUT(f->service->phase(), Phase::Streaming, 20000);
    QVERIFY(!f->service->streamingText().isEmpty());
    const QUuid firstThread = *f->history->currentID();

    if (askAgain)
        f->service->ask("Kedua", AIMode::Ask, false, false, false);
    else
        f->service->cancel();
    QCOMPARE(f->ended->first().at(0).toULongLong(), first);
    QCOMPARE(f->ended->first().at(1).value<Outcome>(), Outcome::Cancelled);
    QCOMPARE(f->service->streamingText(), QString());
    if (!askAgain) {
        QCOMPARE(f->service->phase(), Phase::Idle);
        QCOMPARE(f->mood->mood(), Mood::Idle);
        QVERIFY(f->history->threads().isEmpty());
        return;
    }
    QCOMPARE(f->service->phase(), Phase::Waiting);
    QCOMPARE(f->waitForEnd(), Outcome::Answered);
    QCOMPARE(f->ended->size(), 2);
    // The first question stays, unanswered, in its own thread.
    f->history->select(firstThread);
    QCOMPARE(f->thread()->messages.size(), 1);
    QCOMPARE(f->thread()->messages.first().text, QStringLiteral("Pertama"));
    QCOMPARE(f->history->threads().first().messages.last().text,
             "Jawaban uji untuk \u201CKedua\u201D. Riwayat: 0 pesan.");
}

void AssistantServiceTest::streamMissingFallsBackToOneAnswer() {
    auto f = assistant({"--fail", "404"});
    QVERIFY(f);
    QSignalSpy phases(f->service.get(), &AIAssistantService::phaseChanged);
    f->service->ask("Tanpa stream", AIMode::Ask, false, false, false);
    QCOMPARE(f->waitForEnd(), Outcome::Answered);
    QCOMPARE(f->service->answer(), "Jawaban uji untuk \u201CTanpa stream\u201D. Riwayat: 0 pesan.");
    QCOMPARE(phases.size(), 2); // waiting, then idle: no message for the fallback
}

void AssistantServiceTest::noticesLastSixSecondsFromTheirOwnArrival() {
    auto f = assistant();
    QVERIFY(f);
    f->service->ask("/new", AIMode::Ask, false, false, false);
    QCOMPARE(f->service->noticeText(), QStringLiteral("Percakapan baru dimulai."));
    f->clock.advance(4);
    f->service->compactNow(); // nothing to compact: a newer notice
    QCOMPARE(f->service->noticeText(),
             QStringLiteral("Percakapan masih terlalu pendek untuk diringkas."));
    f->clock.advance(5.5); // past the first notice's six seconds
    QVERIFY(f->service->hasNotice());
    f->clock.advance(1);
    QVERIFY(!f->service->hasNotice());
}

void AssistantServiceTest::attachmentLimitAndBadImagesBeep() {
    auto f = assistant();
    QVERIFY(f);
    f->attach(4);
    f->service->attachImage(test::jpeg(8, 8));
    QCOMPARE(f->beeps, 1);
    QCOMPARE(f->service->attachmentCount(), 4);

    f->service->removeAttachment(f->service->attachments()[1].id);
    f->service->removeAttachment(QUuid::createUuid()); // matches nothing
    QCOMPARE(f->service->attachmentCount(), 3);
    f->attach(1);
    QCOMPARE(f->beeps, 1);
    QCOMPARE(f->service->attachments().last().image.width, 10);
    QVERIFY(!f->service->attachments().last().thumbnail.isNull());

    f->service->removeAttachment(f->service->attachments().first().id);
    f->service->attachImage("not an image");
    QTRY_COMPARE(f->beeps, 2);
    QCOMPARE(f->service->attachmentCount(), 3);
}

QTEST_MAIN(AssistantServiceTest)
#include "tst_assistantservice.moc"
