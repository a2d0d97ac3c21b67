#pragma once

#include "assistant/SlashSuggestions.h"

#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// The keys a question field gives to its slash suggestions: Up and Down move the highlight,
// Tab completes the highlighted command. The field binds its text in and asks `handleKey`
// before acting on a key itself.
class SlashKeyHandling : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged FINAL)
    Q_PROPERTY(int index READ index WRITE setIndex NOTIFY indexChanged FINAL)
    // Each item a map with "command" and "detail".
    Q_PROPERTY(QVariantList items READ items NOTIFY itemsChanged FINAL)
    Q_PROPERTY(int count READ count NOTIFY itemsChanged FINAL)
public:
    using QObject::QObject;

    QString text() const { return m_text; }
    // Every change of the text starts the highlight over at the first row.
    void setText(const QString& text);
    int index() const { return m_index; }
    void setIndex(int index);
    QVariantList items() const;
    int count() const { return int(m_items.size()); }
    const QList<SlashSuggestions::Item>& suggestions() const { return m_items; }

    // Whether the key was used; a key that was not goes on to the field as usual.
    Q_INVOKABLE bool handleKey(int key);

signals:
    void textChanged();
    void indexChanged();
    void itemsChanged();
    // Tab chose a command: the field takes it as its text.
    void completed(const QString& command);

private:
    QString m_text;
    int m_index = 0;
    QList<SlashSuggestions::Item> m_items;
};

} // namespace notchora
