#include "PromptBook.h"

#include <QFile>
#include <QRegularExpression>

namespace notchora::answerd {

const PromptBook& PromptBook::builtIn() {
    static const PromptBook book = [] {
        QFile file(QStringLiteral(":/answerd/prompts.txt"));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("notchora-answerd: the built-in prompts are missing");
        return parse(QString::fromUtf8(file.readAll()));
    }();
    return book;
}

PromptBook PromptBook::parse(const QString& text) {
    PromptBook book;
    QString name;
    QString body;
    const auto flush = [&] {
        if (!name.isEmpty())
            book.m_sections[name] = body.trimmed();
    };
    for (const QString& line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u'#'))
            continue;
        if (trimmed.startsWith(u'[') && trimmed.endsWith(u']') && trimmed.size() > 2) {
            flush();
            name = trimmed.mid(1, trimmed.size() - 2).trimmed();
            body.clear();
            continue;
        }
        body += line + u'\n';
    }
    flush();
    return book;
}

QString PromptBook::text(const QString& name) const {
    const auto it = m_sections.find(name);
    return it == m_sections.end() ? QString() : it->second;
}

QString PromptBook::fill(const QString& name, const std::map<QString, QString>& values) const {
    static const QRegularExpression placeholder(QStringLiteral("\\{([a-z_]+)\\}"));
    const QString source = text(name);
    QString out;
    qsizetype from = 0;
    for (auto it = placeholder.globalMatch(source); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const auto value = values.find(match.captured(1));
        if (value == values.end())
            continue;
        out += QStringView(source).mid(from, match.capturedStart() - from);
        out += value->second;
        from = match.capturedEnd();
    }
    out += QStringView(source).mid(from);
    return out;
}

} // namespace notchora::answerd
