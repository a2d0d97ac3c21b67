#pragma once

#include <QObject>

namespace notchora::test {

// Attachment lists for the QML tests of the strip.
class Fixture : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // A model (owned by the caller's engine) showing `count` fresh attachments.
    Q_INVOKABLE QObject* attachmentModel(int count);
    // Keeps the first `count` rows of such a model, as removing the others would.
    Q_INVOKABLE void keepFirst(QObject* model, int count);
};

} // namespace notchora::test
