#include "assistant/QuestionTask.h"

#include "answer/AnswerAPIClient.h"
#include "answer/AnswerStream.h"
#include "assistant/Logging.h"

namespace notchora {

QuestionTask::QuestionTask(Request request, AnswerAPIClient& api, CaptureStep capture,
                           QObject* parent)
    : QObject(parent), m_request(std::move(request)), m_api(api), m_capture(std::move(capture)) {}

void QuestionTask::start() {
    if (!m_request.includeScreen) {
        ask(m_request.images);
        return;
    }
    m_capture(this, [this](const ScreenCapture::Result& result) {
        if (!result.ok()) {
            qCWarning(lcAssistant)
                << "screen capture for a question failed:" << result.errorMessage();
            emit failed(result.errorMessage(), false);
            return;
        }
        QPointer<QuestionTask> self(this);
        emit captured();
        if (!self)
            return;
        // The screen goes last, after the pasted images.
        ask(m_request.images + QList<EncodedImage>{*result.image});
    });
}

void QuestionTask::ask(const QList<EncodedImage>& images) {
    m_question = makeQuestion(m_request.prompt, m_request.mode, images);
    m_stream = m_api.stream(m_question, m_request.context, this);
    connect(m_stream, &AnswerStream::event, this, [this](const StreamEvent& event) {
        if (event.kind == StreamEvent::Kind::Token)
            emit token(event.text);
        else
            m_result = event.result; // a later final answer would replace this one
    });
    connect(m_stream, &AnswerStream::failed, this, &QuestionTask::streamFailed);
    connect(m_stream, &AnswerStream::finished, this, &QuestionTask::streamEnded);
}

void QuestionTask::streamFailed(const AnswerAPIError& error) {
    m_streamFailed = true;
    if (error.status != 404 || error.kind != AnswerAPIError::Kind::Service) {
        fail(error);
        return;
    }
    // No streaming at this service: ask once, the plain way.
    m_fallingBack = true;
    QPointer<QuestionTask> self(this);
    emit restarted();
    if (!self)
        return;
    m_api.answer(m_question, m_request.context, this,
                 [this](const std::variant<AnswerResult, AnswerAPIError>& outcome) {
                     if (const auto* error = std::get_if<AnswerAPIError>(&outcome))
                         fail(*error);
                     else
                         emit answered(std::get<AnswerResult>(outcome));
                 });
}

void QuestionTask::streamEnded() {
    if (m_streamFailed || m_fallingBack)
        return;
    if (m_result)
        emit answered(*m_result);
    else
        fail(AnswerAPIError::make(0, QStringLiteral("Server tidak mengembalikan jawaban.")));
}

void QuestionTask::fail(const AnswerAPIError& error) {
    qCWarning(lcAssistant) << "question failed with status" << error.status << ":" << error.message;
    emit failed(error.message, error.needsSignIn);
}

} // namespace notchora
