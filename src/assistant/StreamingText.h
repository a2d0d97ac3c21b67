#pragma once

#include <QString>
#include <optional>

namespace notchora {

// Turns the raw text a model has streamed so far into the text shown. The raw output is
// either plain text, shown as received, or a JSON object whose "text" field holds the
// answer, shown decoded while it is still arriving.
//
// The static functions apply the rule to a whole text. An instance applies the same rule
// as pieces arrive, in time proportional to the pieces rather than to the text so far, and
// shows exactly what display() of the whole text would show after every piece.
class StreamingText {
public:
    static QString display(const QString& raw);
    // The value of the first "text" field, decoded up to where the text ends; none when no
    // such field has started.
    static std::optional<QString> extractTextField(const QString& raw);

    // Adds a piece; returns whether shown() changed.
    bool append(QStringView piece);
    // display() of everything appended so far.
    QString displayText() const;
    // What a view keeps showing: the latest display text that was not empty. A consumer
    // that keeps no copy of it between pieces lets the text grow in place.
    QString shown() const;
    const QString& raw() const { return m_raw; }
    void clear() { *this = StreamingText(); }

private:
    enum class Layout { Blank, Undecided, Plain, Json };
    enum class Value { Searching, Reading, Escape, Unicode, Ended };
    enum class Source { None, Raw, Field, Held };

    Source source() const;
    qsizetype shownSize() const;
    void decide();
    void feed(QChar c);
    void search(QChar c);
    void read(QChar c);

    QString m_raw;
    Layout m_layout = Layout::Blank;
    // Where the first non-blank character is.
    qsizetype m_start = -1;
    // How far the field decoder has read.
    qsizetype m_fed = 0;

    // The search for `"text"\s*:\s*"`: how much of it has been seen, and whether blanks
    // followed the key (then the key's closing quote cannot start another key).
    int m_stage = 0;
    bool m_blankAfterKey = false;
    Value m_value = Value::Searching;
    QString m_field;
    QString m_hex;
    // The raw text shown before a completed "```json" fence hid it, until the field shows.
    QString m_held;
};

} // namespace notchora
