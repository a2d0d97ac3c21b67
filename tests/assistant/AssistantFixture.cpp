#include "AssistantFixture.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QTimer>

namespace notchora::test {

QByteArray jpeg(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

AssistantFixture::AssistantFixture(const QString& base, const QString& refreshToken) {
    setBase(QUrl(base));
    if (!refreshToken.isEmpty())
        storeRefreshToken(refreshToken);
    // The authorize page approves; its redirect comes back to us.
    makeAuth(Clock::system(), [this](const QUrl& url) {
        QTimer::singleShot(0, &context, [this, url] {
            QNetworkAccessManager network;
            QNetworkRequest request(url);
            request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                 QNetworkRequest::ManualRedirectPolicy);
            QNetworkReply* reply = network.get(request);
            QSignalSpy(reply, &QNetworkReply::finished).wait(10000);
            auth->handleCallback(QUrl(QString::fromUtf8(reply->rawHeader("Location"))));
            reply->deleteLater();
        });
        return true;
    });
    api = std::make_unique<AnswerAPIClient>(http, *auth);
    history = std::make_unique<ChatHistoryStore>(env.dataHome() + "/Notchora/history.json",
                                                 defaults, clock);
    mood = std::make_unique<CharacterMoodCenter>(clock);
    auto capture = [this](QObject* owner, std::function<void(const ScreenCapture::Result&)> done) {
        QTimer::singleShot(0, owner, [this, done] {
            done(captureFails
                     ? ScreenCapture::Result::failure(ScreenCapture::CaptureError::captureFailed)
                     : ScreenCapture::fit(screen, AIAssistantService::imageByteLimit));
        });
    };
    service = std::make_unique<AIAssistantService>(
        AIAssistantService::Services{*api, *history, clock, *mood, capture, [this] { ++beeps; }});
    ended = std::make_unique<QSignalSpy>(service.get(), &AIAssistantService::questionEnded);
}

AIAssistantService::Outcome AssistantFixture::waitForEnd() {
    const qsizetype before = ended->size();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(ended->size() > before, 20000); }();
    if (ended->size() == before)
        return AIAssistantService::Outcome::Cancelled;
    return ended->last().at(1).value<AIAssistantService::Outcome>();
}

void AssistantFixture::makeThread(int count, const QStringList& texts) {
    history->setCurrentID(std::nullopt);
    for (int i = 0; i < count; ++i)
        history->append(
            ChatMessage::make(i % 2 ? ChatMessage::Role::Assistant : ChatMessage::Role::User,
                              texts[i % texts.size()], clock.now()));
}

void AssistantFixture::attach(int count) {
    const qsizetype target = service->attachments().size() + count;
    for (int i = 0; i < count; ++i)
        service->attachImage(jpeg(10 + i, 10));
    [&] { QTRY_COMPARE(service->attachments().size(), target); }();
}

} // namespace notchora::test
