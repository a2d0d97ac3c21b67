#pragma once

#include <QList>
#include <QString>

namespace notchora {

// The commands the question fields suggest while the user types a slash, and which of them
// show for a given text.
class SlashSuggestions {
public:
    struct Item {
        QString command;
        QString detail;
        bool operator==(const Item&) const = default;
    };

    SlashSuggestions() = delete;

    static const QList<Item>& table();
    // In table order; empty unless the text is a slash word being typed that is not yet a
    // whole command.
    static QList<Item> matches(const QString& text);
};

} // namespace notchora
