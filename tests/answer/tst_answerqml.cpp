#include "TestEnvironment.h"
#include "answer/ChatHistoryStore.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_AnswerPlugin)

using namespace notchora;

// The conversation views read the history through the Notchora.Answer module.
class AnswerQmlTest : public QObject {
    Q_OBJECT
private slots:
    void historyIsReadableFromQml();

private:
    test::TestEnvironment m_env;
};

void AnswerQmlTest::historyIsReadableFromQml() {
    ChatHistoryStore& store = ChatHistoryStore::shared();
    QCOMPARE(store.filePath(), m_env.dataHome() + "/Notchora/history.json");
    store.append(ChatMessage::make(ChatMessage::Role::User, "Apa ini?",
                                   QDateTime::currentDateTimeUtc(), true));

    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQuick
        import Notchora.Answer
        Item {
            property int count: ChatHistoryStore.threads.length
            property string title: count > 0 ? ChatHistoryStore.threads[0].title : ""
            property var first: count > 0 ? ChatHistoryStore.threads[0].messages[0] : null
            property string role: first ? first.role : ""
            property bool hadImages: first ? first.hadImages : false
            property string current: ChatHistoryStore.currentID
            property string firstID: count > 0 ? ChatHistoryStore.threads[0].id : ""
        })",
                      QUrl("qrc:/test.qml"));
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    QCOMPARE(object->property("count").toInt(), 1);
    QCOMPARE(object->property("title").toString(), "Apa ini?");
    QCOMPARE(object->property("role").toString(), "user");
    QVERIFY(object->property("hadImages").toBool());
    QCOMPARE(object->property("current").toString(), object->property("firstID").toString());

    // Bindings follow the store.
    store.setCurrentID(std::nullopt);
    store.append(
        ChatMessage::make(ChatMessage::Role::User, "Kedua", QDateTime::currentDateTimeUtc()));
    QCOMPARE(object->property("count").toInt(), 2);
    QCOMPARE(object->property("title").toString(), "Kedua");
    QCOMPARE(object->property("current").toString(), object->property("firstID").toString());
    store.clearAll();
    QCOMPARE(object->property("count").toInt(), 0);
    QCOMPARE(object->property("current").toString(), "");
}

QTEST_GUILESS_MAIN(AnswerQmlTest)
#include "tst_answerqml.moc"
