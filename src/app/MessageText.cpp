#include "app/MessageText.h"

namespace notchora {

QString MessageText::echo(const QString& value) {
    QString shown;
    shown.reserve(qMin(value.size(), maxEchoCharacters + 1));
    for (const QChar c : value) {
        if (shown.size() >= maxEchoCharacters) {
            if (shown.back().isHighSurrogate())
                shown.chop(1);
            shown += QChar(0x2026);
            return shown;
        }
        // Control characters would let the value rewrite the caller's terminal.
        shown += c.category() == QChar::Other_Control ? QChar(0xFFFD) : c;
    }
    return shown;
}

} // namespace notchora
