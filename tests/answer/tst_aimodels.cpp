#include "TestEnvironment.h"
#include "answer/AIModels.h"
#include "answer/AISettings.h"
#include "answer/TextLimits.h"
#include "platform/Defaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace notchora;

Q_DECLARE_METATYPE(notchora::AnswerResult)
Q_DECLARE_METATYPE(notchora::AIPopupPosition)

// The value types of the answer service and the settings they are read from.
class AIModelsTest : public QObject {
    Q_OBJECT
    test::TestEnvironment m_env;
    Defaults m_defaults{m_env.configHome() + "/notchora/defaults.json"};

private slots:
    void modeStrings_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("mode"); // -1: no mode
        const std::pair<const char*, int> rows[] = {
            {"ask", int(AIMode::Ask)},
            {"follow_up", int(AIMode::FollowUp)},
            {"answer_screen", int(AIMode::AnswerScreen)},
            {"explain_screen", int(AIMode::ExplainScreen)},
            {"summarize_screen", int(AIMode::SummarizeScreen)},
            {"SUMMARIZE_SCREEN", -1},
            {"followUp", -1},
            {"", -1}};
        for (const auto& [value, mode] : rows)
            QTest::addRow("'%s'", value) << QString(value) << mode;
    }
    void modeStrings() {
        QFETCH(QString, value);
        QFETCH(int, mode);
        const auto parsed = aiModeFromString(value);
        QCOMPARE(parsed.has_value(), mode >= 0);
        if (parsed) {
            QCOMPARE(int(*parsed), mode);
            QCOMPARE(stringValue(*parsed), value);
        }
    }
    void prefix_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("count");
        const QString family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
        QTest::newRow("shorter") << "abc" << 5 << "abc" << 3;
        QTest::newRow("ascii cut") << "abcdef" << 4 << "abcd" << 6;
        QTest::newRow("zero") << "abc" << 0 << "" << 3;
        // U+1F600 is two UTF-16 units.
        QTest::newRow("emoji kept whole") << "a\U0001F600b" << 2 << "a\U0001F600" << 3;
        // Two regional indicators make one flag; four units, one character.
        QTest::newRow("flags") << "\U0001F1EE\U0001F1E9\U0001F1EF\U0001F1F5" << 1
                               << "\U0001F1EE\U0001F1E9" << 2;
        QTest::newRow("combining marks stay on their letter")
            << QString::fromUtf8("e\u0301\u0323x") << 1 << QString::fromUtf8("e\u0301\u0323") << 2;
        QTest::newRow("family emoji is one character") << family + "!" << 1 << family << 2;
        QTest::newRow("skin tone modifier")
            << "\U0001F44D\U0001F3FDok" << 1 << "\U0001F44D\U0001F3FD" << 3;
    }
    void prefix() {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QFETCH(QString, expected);
        QFETCH(int, count);
        QCOMPARE(TextLimits::prefix(text, limit), expected);
        QCOMPARE(TextLimits::characterCount(text), count);
    }
    void questionForScreenWithTwoImages() {
        const QList<EncodedImage> images{{QByteArray("\xff\xd8one", 5), 10, 20},
                                         {QByteArray("\xff\xd8two?", 6), 30, 40}};
        const AnswerQuestion question = makeQuestion("ignored", AIMode::AnswerScreen, images);
        QCOMPARE(question.type, "screen");
        QCOMPARE(question.text, "");
        QCOMPARE(question.id, "1");
        QVERIFY(question.options.isEmpty());
        QCOMPARE(question.images, (QStringList{"data:image/jpeg;base64,/9hvbmU=",
                                               "data:image/jpeg;base64,/9h0d28/"}));
    }
    void questionText_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("expected");
        // The 8000-character cap: 8001 emoji, 16002 units, cut to 8000 whole emoji.
        const QString emoji = QStringLiteral("\U0001F600").repeated(8001);
        QTest::newRow("ask") << int(AIMode::Ask) << "Apa ini?" << QString("Apa ini?");
        QTest::newRow("follow up") << int(AIMode::FollowUp) << "Lalu?" << QString("Lalu?");
        QTest::newRow("explain") << int(AIMode::ExplainScreen) << "x"
                                 << QString("Jelaskan isi layar ini.");
        QTest::newRow("summarize")
            << int(AIMode::SummarizeScreen) << "x" << QString("Ringkas isi layar ini.");
        QTest::newRow("emoji counted as characters")
            << int(AIMode::Ask) << emoji << emoji.left(16000);
    }
    void questionText() {
        QFETCH(int, mode);
        QFETCH(QString, prompt);
        QFETCH(QString, expected);
        const AnswerQuestion question = makeQuestion(prompt, AIMode(mode), {});
        QCOMPARE(question.text, expected);
        QCOMPARE(question.type, "essay");
    }
    void questionJsonKeepsEmptyArrays() {
        AnswerQuestion question = makeQuestion("Hai", AIMode::Ask, {});
        QCOMPARE(QJsonDocument(question.toJson()).toJson(QJsonDocument::Compact),
                 R"({"id":"1","images":[],"options":[],"text":"Hai","type":"essay"})");
        question.options = {{"a", "Satu"}};
        QCOMPARE(question.toJson().value("options")[0].toObject(),
                 (QJsonObject{{"id", "a"}, {"text", "Satu"}}));
    }
    void resultDecoding_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<AnswerResult>("expected");
        QTest::newRow("empty") << QByteArray("{}") << AnswerResult{};
        QTest::newRow("all keys") << QByteArray(R"({"id":"1","choice":["a","c"],"text":"t",)"
                                                R"("confidence":0.5,"explanation":"e","x":1})")
                                  << AnswerResult{"1", QStringList{"a", "c"}, "t", 0.5, "e"};
        QTest::newRow("wrong types read as absent")
            << QByteArray(R"({"id":5,"choice":[1],"text":null,"confidence":"high"})")
            << AnswerResult{};
    }
    void resultDecoding() {
        QFETCH(QByteArray, json);
        QFETCH(AnswerResult, expected);
        QCOMPARE(AnswerResult::fromJson(QJsonDocument::fromJson(json).object()), expected);
    }
    void format_data() {
        QTest::addColumn<AnswerResult>("result");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("confidence"); // -1: none
        const QString none = "Server tidak memberikan jawaban untuk permintaan ini.";
        const auto text = [](double confidence) {
            return AnswerResult{{}, {}, "x", confidence, {}};
        };
        QTest::newRow("choice, text, confidence above 1")
            << AnswerResult{{}, QStringList{"b"}, "  Karena itu.  \n", 1.7, {}}
            << "**Pilihan:** B\n\nKarena itu." << 1.0;
        QTest::newRow("several choices")
            << AnswerResult{{}, QStringList{"a", "d"}, {}, 0.4, {}} << "**Pilihan:** A, D" << 0.4;
        QTest::newRow("empty choice list")
            << AnswerResult{{}, QStringList{}, "Teks", {}, {}} << "Teks" << -1.0;
        QTest::newRow("only spaces") << AnswerResult{{}, {}, "   \n ", 0.9, {}} << none << 0.9;
        QTest::newRow("no keys") << AnswerResult{} << none << -1.0;
        QTest::newRow("zero confidence") << text(0.0) << "x" << -1.0;
        QTest::newRow("negative confidence") << text(-0.2) << "x" << -1.0;
        QTest::newRow("NaN confidence") << text(qQNaN()) << "x" << -1.0;
        QTest::newRow("explanation is never shown")
            << AnswerResult{{}, {}, {}, {}, "Penjelasan"} << none << -1.0;
    }
    void format() {
        QFETCH(AnswerResult, result);
        QFETCH(QString, text);
        QFETCH(double, confidence);
        const FormattedAnswer formatted = notchora::format(result);
        QCOMPARE(formatted.text, text);
        QCOMPARE(formatted.confidence, confidence < 0 ? std::nullopt : std::optional(confidence));
    }
    void baseURL() {
        const QString production = AISettings::productionBaseURL;
        QVERIFY(production.startsWith("https://"));
        const std::pair<QJsonValue, QString> rows[] = {
            {QJsonValue::Undefined, production},
            {"", production},
            {"http://127.0.0.1:8787", production},
            {"http://127.0.0.1:8787/", "http://127.0.0.1:8787/"},
            {"http://127.0.0.1:9000", "http://127.0.0.1:9000"},
            {"bukan url", "bukan url"}};
        for (const auto& [stored, expected] : rows) {
            m_defaults.setValue(AISettings::baseURLSetting.key, stored);
            QCOMPARE(AISettings::baseURL(m_defaults), expected);
        }
    }
    void popupSettings() {
        const std::pair<QJsonValue, AIPopupPosition> positions[] = {
            {QJsonValue::Undefined, AIPopupPosition::Right},
            {"left", AIPopupPosition::Left},
            {"free", AIPopupPosition::Free},
            {"Left", AIPopupPosition::Right},
            {"top", AIPopupPosition::Right}};
        for (const auto& [stored, expected] : positions) {
            m_defaults.setValue(AISettings::popupPositionSetting.key, stored);
            QCOMPARE(AISettings::popupPosition(m_defaults), expected);
        }
        // The free origin needs both coordinates.
        m_defaults.setValue(AISettings::popupFreeXSetting.key, 120.5);
        QCOMPARE(AISettings::freeOrigin(m_defaults), std::optional<QPointF>());
        m_defaults.setValue(AISettings::popupFreeYSetting.key, -40);
        QCOMPARE(AISettings::freeOrigin(m_defaults), std::optional(QPointF(120.5, -40)));
        m_defaults.setValue(AISettings::popupFreeXSetting.key, QJsonValue::Undefined);
        QCOMPARE(AISettings::freeOrigin(m_defaults), std::optional<QPointF>());
    }
};

QTEST_GUILESS_MAIN(AIModelsTest)
#include "tst_aimodels.moc"
