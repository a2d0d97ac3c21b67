#include "assistant/SlashKeyHandling.h"

#include <QVariantMap>
#include <algorithm>

namespace notchora {

void SlashKeyHandling::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    const QList<SlashSuggestions::Item> items = SlashSuggestions::matches(text);
    setIndex(0);
    if (items != m_items) {
        m_items = items;
        emit itemsChanged();
    }
    emit textChanged();
}

void SlashKeyHandling::setIndex(int index) {
    index = std::max(index, 0);
    if (index == m_index)
        return;
    m_index = index;
    emit indexChanged();
}

QVariantList SlashKeyHandling::items() const {
    QVariantList list;
    for (const SlashSuggestions::Item& item : m_items)
        list.append(QVariantMap{{QStringLiteral("command"), item.command},
                                {QStringLiteral("detail"), item.detail}});
    return list;
}

bool SlashKeyHandling::handleKey(int key) {
    if (m_items.isEmpty())
        return false;
    // The index may be left past the end by a list that shrank; it counts as the last row.
    const int last = count() - 1;
    switch (key) {
    case Qt::Key_Up:
        setIndex(std::max(std::min(m_index, last) - 1, 0));
        return true;
    case Qt::Key_Down:
        setIndex(std::min(m_index + 1, last));
        return true;
    case Qt::Key_Tab: {
        const QString command = m_items.at(std::min(m_index, last)).command;
        setText(command);
        emit completed(command);
        return true;
    }
    default:
        return false;
    }
}

} // namespace notchora
