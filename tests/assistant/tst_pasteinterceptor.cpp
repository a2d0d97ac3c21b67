#include "assistant/PasteInterceptor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AssistantPlugin)

using namespace notchora;

// Ctrl+V on a real text field: an image on the clipboard is taken by the interceptor, any
// other paste and any other chord reach the field as if nothing were there.
class PasteInterceptorTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void keys_data();
    void keys();

private:
    QQuickItem* field() const { return m_view->rootObject(); }
    PasteInterceptor* interceptor() const {
        return qobject_cast<PasteInterceptor*>(
            qmlAttachedPropertiesObject<PasteInterceptor>(field(), false));
    }

    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;
};

namespace {
const QByteArray pngBytes = "\x89PNG image bytes";
} // namespace

void PasteInterceptorTest::initTestCase() {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void PasteInterceptorTest::init() {
    m_engine = std::make_unique<QQmlEngine>();
    m_engine->addImportPath("qrc:/qt/qml");
    m_view = std::make_unique<QQuickView>(m_engine.get(), nullptr);
    m_view->setSource(QUrl::fromLocalFile(QStringLiteral(TEST_SOURCE_DIR "/PasteField.qml")));
    QVERIFY2(m_view->errors().isEmpty(), qPrintable(m_view->errors().value(0).toString()));
    m_view->show();
    m_view->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    field()->forceActiveFocus();
    QVERIFY(field()->hasActiveFocus());
    QVERIFY(interceptor());
}

void PasteInterceptorTest::cleanup() {
    m_view.reset();
    m_engine.reset();
    QGuiApplication::clipboard()->clear();
}

void PasteInterceptorTest::keys_data() {
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("png");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("intercepted");
    QTest::addColumn<QString>("fieldText");
    // What the field itself makes of some chords is its own business.
    QTest::addColumn<bool>("checkText");

    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    QTest::newRow("image, ctrl+v") << true << "" << true << ctrl << true << "" << true;
    QTest::newRow("image, ctrl+v on the keypad")
        << true << "" << true << (ctrl | Qt::KeypadModifier) << true << "" << true;
    QTest::newRow("image, ctrl+shift+v")
        << true << "" << true << (ctrl | Qt::ShiftModifier) << false << "" << true;
    QTest::newRow("image, ctrl+alt+v")
        << true << "" << true << (ctrl | Qt::AltModifier) << false << "" << false;
    QTest::newRow("image, ctrl+meta+v")
        << true << "" << true << (ctrl | Qt::MetaModifier) << false << "" << false;
    QTest::newRow("image, v alone")
        << true << "" << true << Qt::KeyboardModifiers() << false << "v" << true;
    QTest::newRow("text, ctrl+v pastes the text")
        << true << "hello" << false << ctrl << false << "hello" << true;
    QTest::newRow("text and image, ctrl+v pastes the text")
        << true << "hello" << true << ctrl << false << "hello" << true;
    QTest::newRow("inactive, image, ctrl+v") << false << "" << true << ctrl << false << "" << true;
    QTest::newRow("nothing, ctrl+v") << true << "" << false << ctrl << false << "" << true;
}

void PasteInterceptorTest::keys() {
    QFETCH(bool, active);
    QFETCH(QString, text);
    QFETCH(bool, png);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, intercepted);
    QFETCH(QString, fieldText);
    QFETCH(bool, checkText);

    auto data = std::make_unique<QMimeData>();
    if (!text.isEmpty())
        data->setText(text);
    if (png)
        data->setData("image/png", pngBytes);
    QGuiApplication::clipboard()->setMimeData(data.release());

    field()->setProperty("pasteActive", active);
    QCOMPARE(interceptor()->isActive(), active);
    QSignalSpy pasted(interceptor(), &PasteInterceptor::imagePasted);
    QTest::keyClick(m_view.get(), Qt::Key_V, modifiers);
    QCOMPARE(pasted.size(), intercepted ? 1 : 0);
    if (intercepted)
        QCOMPARE(pasted.first().at(0).toByteArray(), pngBytes);
    // A key that is not intercepted reaches the field's own handlers.
    QCOMPARE(field()->property("keysSeen").toInt(), intercepted ? 0 : 1);
    if (checkText)
        QCOMPARE(field()->property("text").toString(), fieldText);
}

QTEST_MAIN(PasteInterceptorTest)
#include "tst_pasteinterceptor.moc"
