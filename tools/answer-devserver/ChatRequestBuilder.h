#pragma once

#include "AnswerComposer.h"
#include "PromptBook.h"

#include <QJsonArray>
#include <QJsonObject>

namespace notchora::answerd {

// Turns a question (or a conversation to compact) into an OpenAI-style chat request.
class ChatRequestBuilder {
public:
    // What the user asked for. The program does not send it: it follows from the question.
    enum class Mode { Ask, FollowUp, AnswerScreen, ExplainScreen, SummarizeScreen };

    ChatRequestBuilder(QString model, const PromptBook& prompts = PromptBook::builtIn())
        : m_model(std::move(model)), m_prompts(prompts) {}

    static Mode modeOf(const AnswerComposer::Question& question);
    static QString modeName(Mode mode);
    // Whether the model is asked for a JSON object with text, choice and confidence.
    static bool wantsJson(const AnswerComposer::Question& question);

    QJsonObject answerRequest(const AnswerComposer::Question& question) const;
    QJsonObject compactRequest(const QJsonArray& history, const QString& previousSummary) const;

private:
    QJsonObject request(const QJsonArray& messages) const;

    QString m_model;
    const PromptBook& m_prompts;
};

} // namespace notchora::answerd
