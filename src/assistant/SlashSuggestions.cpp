#include "assistant/SlashSuggestions.h"

namespace notchora {

const QList<SlashSuggestions::Item>& SlashSuggestions::table() {
    // "/clear" works as well but stays out of the list on purpose.
    static const QList<Item> items{
        {QStringLiteral("/compact"), QStringLiteral("Ringkas percakapan lama agar muat")},
        {QStringLiteral("/new"), QStringLiteral("Mulai percakapan baru")},
    };
    return items;
}

QList<SlashSuggestions::Item> SlashSuggestions::matches(const QString& text) {
    // Once an argument is being typed no suggestion fits any more.
    if (!text.startsWith(QLatin1Char('/')) || text.contains(QLatin1Char(' ')))
        return {};
    const QString typed = text.toLower();
    QList<Item> found;
    for (const Item& item : table())
        if (item.command.startsWith(typed))
            found.append(item);
    if (found.size() == 1 && found.first().command == typed)
        return {};
    return found;
}

} // namespace notchora
