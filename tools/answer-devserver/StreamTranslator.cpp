#include "StreamTranslator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace notchora::answerd {

QStringList StreamTranslator::feed(const QByteArray& bytes) {
    QStringList deltas;
    m_pending += bytes;
    qsizetype start = 0;
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n', start)) {
        readLine(m_pending.mid(start, end - start), deltas);
        start = end + 1;
    }
    m_pending.remove(0, start);
    return deltas;
}

void StreamTranslator::readLine(QByteArray line, QStringList& deltas) {
    if (line.endsWith('\r'))
        line.chop(1);
    // After the end anything more is noise; lines other than data carry nothing we use.
    if (m_finished || m_failed || !line.startsWith("data:"))
        return;
    const QByteArray payload = line.mid(5).trimmed();
    if (payload == "[DONE]") {
        m_finished = true;
        return;
    }
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    if (const QJsonValue error = object.value(QStringLiteral("error")); !error.isUndefined()) {
        m_failed = true;
        m_error = error.isObject() ? error.toObject().value(QStringLiteral("message")).toString()
                                   : error.toString();
        return;
    }
    const QJsonObject choice = object.value(QStringLiteral("choices")).toArray().first().toObject();
    const QString delta = choice.value(QStringLiteral("delta"))
                              .toObject()
                              .value(QStringLiteral("content"))
                              .toString();
    if (m_text.size() + delta.size() > maxTextLength) {
        m_failed = true;
        m_error = QStringLiteral("jawaban terlalu panjang");
        return;
    }
    if (!delta.isEmpty()) {
        m_text += delta;
        deltas.append(delta);
    }
    if (choice.value(QStringLiteral("finish_reason")).isString())
        m_finished = true;
}

} // namespace notchora::answerd
