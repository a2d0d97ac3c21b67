#pragma once

#include <QString>

// Text limits count what the user sees as one character (a grapheme cluster), so a cut
// never splits an emoji, a flag or a letter from its combining marks.
namespace notchora::TextLimits {

// Number of user-perceived characters in `text`.
qsizetype characterCount(const QString& text);
// The first `maxCharacters` user-perceived characters of `text` (all of it when shorter).
QString prefix(const QString& text, qsizetype maxCharacters);
// `text` without white space and line breaks at either end.
QString trimmed(const QString& text);

} // namespace notchora::TextLimits
