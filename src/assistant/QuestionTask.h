#pragma once

#include "answer/AIModels.h"
#include "answer/AnswerAPIError.h"
#include "screenshot/ScreenCapture.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

namespace notchora {

class AnswerAPIClient;
class AnswerStream;

// One question on its way: the screen capture when asked, the streamed answer (or the
// one-shot answer where the service has no stream), and the outcome. Destroying the task
// cancels it, capture and transfers included; nothing is reported afterwards. Every signal
// may be answered by destroying the task.
class QuestionTask : public QObject {
    Q_OBJECT
public:
    // Captures the screen; `done` runs once, and never after `owner` is gone. What it starts
    // is a child of `owner`, so the capture stops with the task.
    using CaptureStep =
        std::function<void(QObject* owner, std::function<void(const ScreenCapture::Result&)> done)>;

    struct Request {
        QString prompt;
        AIMode mode = AIMode::Ask;
        bool includeScreen = false;
        // The pasted images, sent before the screen capture.
        QList<EncodedImage> images;
        ChatContext context;
    };

    QuestionTask(Request request, AnswerAPIClient& api, CaptureStep capture,
                 QObject* parent = nullptr);

    void start();

signals:
    // The screen is captured; the question goes out now.
    void captured();
    // Raw answer text as the model writes it.
    void token(const QString& piece);
    // The stream is not available: the text streamed so far no longer counts, the one-shot
    // answer follows.
    void restarted();
    void answered(const notchora::AnswerResult& result);
    void failed(const QString& message, bool needsSignIn);

private:
    void ask(const QList<EncodedImage>& images);
    void streamFailed(const AnswerAPIError& error);
    void streamEnded();
    void fail(const AnswerAPIError& error);

    Request m_request;
    AnswerAPIClient& m_api;
    CaptureStep m_capture;
    AnswerQuestion m_question;
    QPointer<AnswerStream> m_stream;
    std::optional<AnswerResult> m_result;
    bool m_fallingBack = false;
    bool m_streamFailed = false;
};

} // namespace notchora
