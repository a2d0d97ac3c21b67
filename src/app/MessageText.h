#pragma once

#include <QString>

namespace notchora {

// What an error message may repeat of a value it was given: one line, cut to a readable
// length, so a huge or hostile value can neither flood the output nor rewrite the terminal.
struct MessageText {
    static constexpr qsizetype maxEchoCharacters = 60;
    static QString echo(const QString& value);
};

} // namespace notchora
