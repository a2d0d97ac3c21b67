#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// Answers arrive as Markdown. Only inline styling is drawn (bold, italic, code,
// strikethrough, links); headings, lists, quotes and code fences keep their markers as
// typed, and white space and line breaks stay as written. The result is rich text for a
// Text/TextEdit with textFormat RichText: every character of the answer is escaped, so an
// answer can never inject markup of its own. Text that cannot be parsed is shown plain.
class MarkdownText : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    static QString renderMarkdown(const QString& text);
    // The same text without any styling, escaped for a rich-text view.
    static QString plain(const QString& text);

    Q_INVOKABLE QString render(const QString& text) const { return renderMarkdown(text); }
};

} // namespace notchora
