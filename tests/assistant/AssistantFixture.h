#pragma once

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

namespace notchora::test {

inline QByteArray jpeg(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

// The assistant over a temporary profile, asking a service at `base`: a screen capture that
// hands over a 30-pixel square (or fails) and a browser that approves every sign-in at once.
struct AssistantFixture : AnswerStack {
    AssistantFixture(const QString& base, const QString& refreshToken) {
        setBase(QUrl(base));
        if (!refreshToken.isEmpty())
            storeRefreshToken(refreshToken);
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

// The development services, one per argument list.
inline AnswerdPool& pool() {
    static AnswerdPool services;
    return services;
}

// A signed-in assistant against a development service started with `arguments`.
inline std::unique_ptr<AssistantFixture> assistant(const QStringList& arguments = {},
                                                   bool signedIn = true) {
    AnswerdProcess* server = pool().get(arguments);
    if (!server)
        return nullptr;
    const QString refresh =
        signedIn ? AnswerdClient(*server).signIn().value("refresh_token").toString() : QString();
    return std::make_unique<AssistantFixture>(server->base(), refresh);
}

inline int calls(const QStringList& arguments, const char* endpoint) {
    AnswerdProcess* server = pool().get(arguments);
    return AnswerdClient(*server).get(server->url("/dev/stats")).json()[endpoint].toInt();
}

// The development service's answer to `text` after `history` messages with `images` images.
inline QString echo(const QString& text, int history = 0, int images = 0) {
    const QString asked = text.isEmpty() ? "(tanpa teks)" : u'\u201C' + text + u'\u201D';
    return QStringLiteral("Jawaban uji untuk %1. Riwayat: %2 pesan.").arg(asked).arg(history) +
           (images ? QStringLiteral(" Gambar: %1.").arg(images) : QString());
}

} // namespace notchora::test
