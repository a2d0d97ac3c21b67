#include "TestEnvironment.h"
#include "answer/AISettings.h"
#include "platform/Defaults.h"

#include <QTest>

using namespace notchora;

class AISettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void baseURL_data();
    void baseURL();
    void popupPosition_data();
    void popupPosition();
    void freeOrigin_data();
    void freeOrigin();

private:
    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
};

void AISettingsTest::init() {
    m_defaults.reset();
    m_env = std::make_unique<test::TestEnvironment>();
    m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
}

void AISettingsTest::baseURL_data() {
    QTest::addColumn<QJsonValue>("stored");
    QTest::addColumn<QString>("expected");
    const QString production = AISettings::productionBaseURL;
    QVERIFY(production.startsWith("https://"));
    QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << production;
    QTest::newRow("empty") << QJsonValue("") << production;
    QTest::newRow("development address") << QJsonValue("http://127.0.0.1:8787") << production;
    QTest::newRow("development address with slash")
        << QJsonValue("http://127.0.0.1:8787/") << "http://127.0.0.1:8787/";
    QTest::newRow("other port") << QJsonValue("http://127.0.0.1:9000") << "http://127.0.0.1:9000";
    QTest::newRow("not a URL") << QJsonValue("bukan url") << "bukan url";
}

void AISettingsTest::baseURL() {
    QFETCH(QJsonValue, stored);
    QFETCH(QString, expected);
    m_defaults->setValue(AISettings::baseURLSetting.key, stored);
    QCOMPARE(AISettings::baseURL(*m_defaults), expected);
}

void AISettingsTest::popupPosition_data() {
    QTest::addColumn<QJsonValue>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << int(AIPopupPosition::Right);
    QTest::newRow("left") << QJsonValue("left") << int(AIPopupPosition::Left);
    QTest::newRow("free") << QJsonValue("free") << int(AIPopupPosition::Free);
    QTest::newRow("capital L") << QJsonValue("Left") << int(AIPopupPosition::Right);
    QTest::newRow("unknown") << QJsonValue("top") << int(AIPopupPosition::Right);
}

void AISettingsTest::popupPosition() {
    QFETCH(QJsonValue, stored);
    QFETCH(int, expected);
    m_defaults->setValue(AISettings::popupPositionSetting.key, stored);
    QCOMPARE(int(AISettings::popupPosition(*m_defaults)), expected);
}

void AISettingsTest::freeOrigin_data() {
    QTest::addColumn<QJsonValue>("x");
    QTest::addColumn<QJsonValue>("y");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QPointF>("expected");
    const QJsonValue none(QJsonValue::Undefined);
    QTest::newRow("both") << QJsonValue(120.5) << QJsonValue(-40) << true << QPointF(120.5, -40);
    QTest::newRow("only x") << QJsonValue(120.5) << none << false << QPointF();
    QTest::newRow("only y") << none << QJsonValue(3) << false << QPointF();
}

void AISettingsTest::freeOrigin() {
    QFETCH(QJsonValue, x);
    QFETCH(QJsonValue, y);
    QFETCH(bool, present);
    QFETCH(QPointF, expected);
    m_defaults->setValue(AISettings::popupFreeXSetting.key, x);
    m_defaults->setValue(AISettings::popupFreeYSetting.key, y);
    const auto origin = AISettings::freeOrigin(*m_defaults);
    QCOMPARE(origin.has_value(), present);
    if (origin)
        QCOMPARE(*origin, expected);
}

QTEST_GUILESS_MAIN(AISettingsTest)
#include "tst_aisettings.moc"
