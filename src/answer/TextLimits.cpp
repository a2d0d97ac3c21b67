#include "answer/TextLimits.h"

#include <QTextBoundaryFinder>

namespace notchora::TextLimits {

qsizetype characterCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString prefix(const QString& text, qsizetype maxCharacters) {
    if (maxCharacters <= 0)
        return QString();
    // Every character is at least one UTF-16 unit, so short texts need no walk.
    if (text.size() <= maxCharacters)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    qsizetype position = 0;
    while (count < maxCharacters) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            return text;
        position = next;
        ++count;
    }
    return text.left(position);
}

QString trimmed(const QString& text) {
    // QString::trimmed covers Unicode white space, including line and paragraph separators.
    return text.trimmed();
}

} // namespace notchora::TextLimits
