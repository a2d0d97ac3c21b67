// The streamed answer text in random pieces: the first byte seeds the piece sizes, the rest
// is the model's raw output (UTF-8). After every piece the incremental reader must show what
// the whole-text rule shows for everything received so far, and keep showing the last text
// that was not empty.
#include "FuzzSupport.h"
#include "assistant/StreamingText.h"

#include <random>

using notchora::StreamingText;
using namespace notchora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QString raw =
        QString::fromUtf8(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    std::minstd_rand random(data[0] + 1u);
    StreamingText text;
    QString shown;
    for (qsizetype at = 0; at < raw.size();) {
        // Mostly a few characters, sometimes one, sometimes none, now and then a long run.
        const qsizetype wanted =
            random() % 8 == 0 ? qsizetype(random() % 64) : qsizetype(random() % 5);
        // Even between the halves of a surrogate pair.
        const qsizetype piece = qMin(raw.size() - at, wanted);
        const bool changed = text.append(QStringView(raw).mid(at, piece));
        at += piece;

        const QString expected = StreamingText::display(raw.left(at));
        require(text.displayText() == expected,
                "incremental text differs from the whole-text rule");
        const QString before = shown;
        if (!expected.isEmpty())
            shown = expected;
        require(text.shown() == shown, "shown text is not the last text that was not empty");
        require(changed == (shown != before), "append() misreports whether the shown text changed");
        require(text.raw() == raw.left(at), "raw text lost or reordered a piece");
    }
    return 0;
}
