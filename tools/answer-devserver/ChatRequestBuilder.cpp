#include "ChatRequestBuilder.h"

namespace notchora::answerd {

namespace {

// The fixed question texts of the program's two screen buttons.
const QString explainText = QStringLiteral("Jelaskan isi layar ini.");
const QString summarizeText = QStringLiteral("Ringkas isi layar ini.");

QJsonObject message(const QString& role, const QJsonValue& content) {
    return {{QStringLiteral("role"), role}, {QStringLiteral("content"), content}};
}

} // namespace

ChatRequestBuilder::Mode ChatRequestBuilder::modeOf(const AnswerComposer::Question& question) {
    const QString text = question.text.trimmed();
    if (text.isEmpty() && !question.images.isEmpty())
        return Mode::AnswerScreen;
    if (text == explainText)
        return Mode::ExplainScreen;
    if (text == summarizeText)
        return Mode::SummarizeScreen;
    if (!question.history.isEmpty() || !question.summary.isEmpty())
        return Mode::FollowUp;
    return Mode::Ask;
}

QString ChatRequestBuilder::modeName(Mode mode) {
    switch (mode) {
    case Mode::Ask:
        return QStringLiteral("ask");
    case Mode::FollowUp:
        return QStringLiteral("follow_up");
    case Mode::AnswerScreen:
        return QStringLiteral("answer_screen");
    case Mode::ExplainScreen:
        return QStringLiteral("explain_screen");
    case Mode::SummarizeScreen:
        return QStringLiteral("summarize_screen");
    }
    return QString();
}

bool ChatRequestBuilder::wantsJson(const AnswerComposer::Question& question) {
    return modeOf(question) == Mode::AnswerScreen || !question.options.isEmpty();
}

QJsonObject ChatRequestBuilder::request(const QJsonArray& messages) const {
    return {{QStringLiteral("model"), m_model},
            {QStringLiteral("messages"), messages},
            {QStringLiteral("stream"), true}};
}

QJsonObject ChatRequestBuilder::answerRequest(const AnswerComposer::Question& question) const {
    const Mode mode = modeOf(question);
    QString system = m_prompts.text(modeName(mode));
    if (mode != Mode::AnswerScreen && !question.options.isEmpty())
        system += QStringLiteral("\n\n") + m_prompts.text(QStringLiteral("options_json"));
    QJsonArray messages{message(QStringLiteral("system"), system)};
    if (!question.summary.isEmpty())
        messages.append(message(QStringLiteral("system"),
                                m_prompts.fill(QStringLiteral("summary"),
                                               {{QStringLiteral("summary"), question.summary}})));
    for (const QJsonValue& turn : question.history) {
        const QJsonObject earlier = turn.toObject();
        messages.append(message(earlier.value(QStringLiteral("role")).toString(),
                                earlier.value(QStringLiteral("content")).toString()));
    }

    QString text = question.text;
    if (!question.options.isEmpty()) {
        QStringList lines;
        for (const QJsonValue& value : question.options) {
            const QJsonObject option = value.toObject();
            lines.append(
                QStringLiteral("%1. %2").arg(option.value(QStringLiteral("id")).toString(),
                                             option.value(QStringLiteral("text")).toString()));
        }
        const QString listed = m_prompts.fill(QStringLiteral("options"),
                                              {{QStringLiteral("options"), lines.join(u'\n')}});
        text = text.isEmpty() ? listed : text + QStringLiteral("\n\n") + listed;
    }
    if (question.images.isEmpty()) {
        messages.append(message(QStringLiteral("user"), text));
    } else {
        QJsonArray parts;
        if (!text.isEmpty())
            parts.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                     {QStringLiteral("text"), text}});
        for (const QString& url : question.images)
            parts.append(QJsonObject{
                {QStringLiteral("type"), QStringLiteral("image_url")},
                {QStringLiteral("image_url"), QJsonObject{{QStringLiteral("url"), url}}}});
        messages.append(message(QStringLiteral("user"), parts));
    }
    return request(messages);
}

QJsonObject ChatRequestBuilder::compactRequest(const QJsonArray& history,
                                               const QString& previousSummary) const {
    QStringList transcript;
    if (!previousSummary.trimmed().isEmpty())
        transcript.append(m_prompts.fill(QStringLiteral("summary"),
                                         {{QStringLiteral("summary"), previousSummary.trimmed()}}));
    for (const QJsonValue& turn : history) {
        const QJsonObject earlier = turn.toObject();
        const bool user = earlier.value(QStringLiteral("role")).toString() == u"user";
        transcript.append((user ? QStringLiteral("Pengguna: ") : QStringLiteral("Asisten: ")) +
                          earlier.value(QStringLiteral("content")).toString());
    }
    const QString system = m_prompts.fill(
        QStringLiteral("compact"),
        {{QStringLiteral("limit"), QString::number(AnswerComposer::maxSummaryLength)}});
    return request({message(QStringLiteral("system"), system),
                    message(QStringLiteral("user"), transcript.join(QStringLiteral("\n\n")))});
}

} // namespace notchora::answerd
