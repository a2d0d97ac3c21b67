// Runs the QML test cases in this folder: the attachment strip and the slash suggestion
// list, with the attachment image provider in place.
#include "Fixture.h"
#include "assistant/AttachmentImageProvider.h"
#include "assistant/AttachmentListModel.h"

#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AssistantPlugin)

namespace notchora::test {

QObject* Fixture::attachmentModel(int count) {
    auto* model = new AttachmentListModel;
    QQmlEngine::setObjectOwnership(model, QQmlEngine::JavaScriptOwnership);
    QList<ChatAttachment> list;
    for (int i = 0; i < count; ++i) {
        QImage thumbnail(60, 40, QImage::Format_RGB32);
        thumbnail.fill(QColor::fromHsv(i * 70 % 360, 200, 220));
        list.append(ChatAttachment::make({}, thumbnail));
    }
    model->setAttachments(list);
    return model;
}

void Fixture::keepFirst(QObject* model, int count) {
    auto* attachments = qobject_cast<AttachmentListModel*>(model);
    if (attachments && count >= 0 && count <= attachments->rowCount())
        attachments->setAttachments(attachments->attachments().first(count));
}

class Setup : public QObject {
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        registerAttachmentImages(*engine);
        qmlRegisterSingletonInstance("NotchoraTest", 1, 0, "Fixture", &m_fixture);
    }

private:
    Fixture m_fixture;
};

} // namespace notchora::test

QUICK_TEST_MAIN_WITH_SETUP(AssistantPieces, notchora::test::Setup)

#include "tst_assistantpieces.moc"
