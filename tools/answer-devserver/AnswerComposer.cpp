#include "AnswerComposer.h"

#include <QTextBoundaryFinder>

namespace notchora::answerd {

namespace {

void addProblem(QJsonArray& problems, const QJsonArray& loc, const QString& msg,
                const QString& type) {
    QJsonArray where = loc;
    where.prepend(QStringLiteral("body"));
    problems.append(QJsonObject{{QStringLiteral("loc"), where},
                                {QStringLiteral("msg"), msg},
                                {QStringLiteral("type"), type}});
}

// Checks "history" and "summary", shared by both bodies. Returns the message count.
int checkContext(const QJsonObject& body, QJsonArray& problems, QString& summary) {
    int count = 0;
    const QJsonValue history = body.value(QStringLiteral("history"));
    if (!history.isUndefined()) {
        if (!history.isArray()) {
            addProblem(problems, {QStringLiteral("history")},
                       QStringLiteral("history harus berupa daftar"), QStringLiteral("list_type"));
        } else {
            const QJsonArray messages = history.toArray();
            count = int(messages.size());
            if (count > AnswerComposer::maxHistoryMessages)
                addProblem(problems, {QStringLiteral("history")},
                           QStringLiteral("history paling banyak %1 pesan")
                               .arg(AnswerComposer::maxHistoryMessages),
                           QStringLiteral("too_long"));
            for (int i = 0; i < count; ++i) {
                const QJsonObject message = messages[i].toObject();
                const QString role = message.value(QStringLiteral("role")).toString();
                const QJsonValue content = message.value(QStringLiteral("content"));
                if (role != u"user" && role != u"assistant")
                    addProblem(problems, {QStringLiteral("history"), i, QStringLiteral("role")},
                               QStringLiteral("role harus 'user' atau 'assistant'"),
                               QStringLiteral("literal_error"));
                if (!content.isString())
                    addProblem(problems, {QStringLiteral("history"), i, QStringLiteral("content")},
                               QStringLiteral("content harus berupa teks"),
                               QStringLiteral("string_type"));
                else if (AnswerComposer::graphemeCount(content.toString()) >
                         AnswerComposer::maxMessageLength)
                    addProblem(problems, {QStringLiteral("history"), i, QStringLiteral("content")},
                               QStringLiteral("content paling banyak %1 karakter")
                                   .arg(AnswerComposer::maxMessageLength),
                               QStringLiteral("string_too_long"));
            }
        }
    }
    const QJsonValue summaryValue = body.value(QStringLiteral("summary"));
    if (!summaryValue.isUndefined()) {
        if (!summaryValue.isString())
            addProblem(problems, {QStringLiteral("summary")},
                       QStringLiteral("summary harus berupa teks"), QStringLiteral("string_type"));
        else if (AnswerComposer::graphemeCount(summaryValue.toString()) >
                 AnswerComposer::maxSummaryLength)
            addProblem(problems, {QStringLiteral("summary")},
                       QStringLiteral("summary paling banyak %1 karakter")
                           .arg(AnswerComposer::maxSummaryLength),
                       QStringLiteral("string_too_long"));
        else
            summary = summaryValue.toString();
    }
    return count;
}

} // namespace

int AnswerComposer::graphemeCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QJsonArray AnswerComposer::checkAnswerBody(const QJsonObject& body, Question& question) {
    QJsonArray problems;
    if (!body.value(QStringLiteral("essay_style")).isString())
        addProblem(problems, {QStringLiteral("essay_style")},
                   QStringLiteral("essay_style wajib berupa teks"), QStringLiteral("missing"));

    const QJsonArray questions = body.value(QStringLiteral("questions")).toArray();
    if (questions.isEmpty() || !questions.first().isObject()) {
        addProblem(problems, {QStringLiteral("questions")},
                   QStringLiteral("questions wajib berisi satu pertanyaan"),
                   QStringLiteral("missing"));
    } else {
        const QJsonObject first = questions.first().toObject();
        for (const char* key : {"id", "type", "text"}) {
            if (!first.value(QLatin1String(key)).isString())
                addProblem(problems, {QStringLiteral("questions"), 0, QLatin1String(key)},
                           QStringLiteral("%1 wajib berupa teks").arg(QLatin1String(key)),
                           QStringLiteral("string_type"));
        }
        for (const char* key : {"options", "images"}) {
            if (!first.value(QLatin1String(key)).isArray())
                addProblem(problems, {QStringLiteral("questions"), 0, QLatin1String(key)},
                           QStringLiteral("%1 wajib berupa daftar").arg(QLatin1String(key)),
                           QStringLiteral("list_type"));
        }
        question.text = first.value(QStringLiteral("text")).toString();
        if (graphemeCount(question.text) > maxQuestionLength)
            addProblem(problems, {QStringLiteral("questions"), 0, QStringLiteral("text")},
                       QStringLiteral("text paling banyak %1 karakter").arg(maxQuestionLength),
                       QStringLiteral("string_too_long"));
        const QJsonArray images = first.value(QStringLiteral("images")).toArray();
        question.imageCount = int(images.size());
        for (int i = 0; i < images.size(); ++i) {
            question.images.append(images[i].toString());
            if (!images[i].toString().startsWith(u"data:image/jpeg;base64,"))
                addProblem(problems, {QStringLiteral("questions"), 0, QStringLiteral("images"), i},
                           QStringLiteral("gambar harus data URL JPEG"),
                           QStringLiteral("value_error"));
        }
        const QJsonArray options = first.value(QStringLiteral("options")).toArray();
        question.options = options;
        if (!options.isEmpty())
            question.firstOptionId = options.first().toObject().value(u"id").toString();
    }

    QString summary;
    question.historyCount = checkContext(body, problems, summary);
    question.hasSummary = !summary.trimmed().isEmpty();
    question.summary = summary.trimmed();
    question.history = body.value(QStringLiteral("history")).toArray();
    return problems;
}

QJsonArray AnswerComposer::checkCompactBody(const QJsonObject& body, int& messageCount,
                                            QString& previousSummary) {
    QJsonArray problems;
    messageCount = checkContext(body, problems, previousSummary);
    return problems;
}

QString AnswerComposer::answerText(const Question& question) {
    const QString asked = question.text.trimmed().isEmpty()
                              ? QStringLiteral("(tanpa teks)")
                              : QStringLiteral("\u201C%1\u201D").arg(question.text.trimmed());
    // One pass: a "%1" in the question must stay as typed.
    QString text = QStringLiteral("Jawaban uji untuk %1. Riwayat: %2 pesan.")
                       .arg(asked, QString::number(question.historyCount));
    if (question.hasSummary)
        text += QStringLiteral(" Dengan ringkasan.");
    if (question.imageCount > 0)
        text += QStringLiteral(" Gambar: %1.").arg(question.imageCount);
    return text;
}

QStringList AnswerComposer::tokens(const QString& text) {
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u' ' && i + 1 < text.size() && text[i + 1] != u' ') {
            pieces.append(text.mid(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < text.size())
        pieces.append(text.mid(start));
    return pieces;
}

QJsonObject AnswerComposer::result(const Question& question) {
    QJsonObject result{{QStringLiteral("id"), QStringLiteral("1")},
                       {QStringLiteral("text"), answerText(question)},
                       {QStringLiteral("confidence"), 0.8},
                       {QStringLiteral("explanation"),
                        QStringLiteral("Jawaban dibuat oleh layanan pengembangan.")}};
    if (!question.firstOptionId.isEmpty())
        result.insert(QStringLiteral("choice"), QJsonArray{question.firstOptionId});
    return result;
}

QString AnswerComposer::summary(int messageCount, const QString& previousSummary) {
    QString text = QStringLiteral("Ringkasan %1 pesan.").arg(messageCount);
    if (!previousSummary.trimmed().isEmpty())
        text += QStringLiteral(" Sebelumnya: ") + previousSummary.trimmed();
    // The client sends at most this much back, so never hand it more.
    return clip(text, maxSummaryLength);
}

QString AnswerComposer::clip(const QString& text, int limit) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        if (++count == limit)
            return text.left(end);
    }
    return text;
}

} // namespace notchora::answerd
