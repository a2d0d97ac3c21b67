#include "ProgramRun.h"
#include "TestEnvironment.h"
#include "assistant/AnswerPanel.h"
#include "assistant/AnswerPopupController.h"
#include "platform/Defaults.h"
#include "platform/Platform.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <X11/Xlib.h>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AnswerPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AssistantPlugin)

using namespace notchora;

namespace {

// The values of a window's property (of the root window for 0), as xprop lists them.
QStringList xprop(unsigned long window, const char* name) {
    const QStringList which =
        window ? QStringList{"-id", QString::number(window)} : QStringList{"-root"};
    const QString out = test::runProgram("xprop", which + QStringList{name}).out;
    return out.section(QRegularExpression("( = |# )"), 1).split(", ", Qt::SkipEmptyParts);
}

QString hex(unsigned long window) {
    return "0x" + QString::number(window, 16);
}

bool xdotool(const QStringList& arguments) {
    const test::ProgramRun run = test::runProgram(QStringLiteral("xdotool"), arguments);
    return run.finished && run.exitCode == 0;
}

} // namespace

// The popup on a real window manager (openbox on its own Xvfb): kept out of the client list
// (taskbars, window cycling), above others and on every desktop across hides and shows, and
// given the keyboard only for a click in its text field, and back when it hides.
class AnswerPanelX11Test : public QObject {
    Q_OBJECT
    QString m_why;
    test::TestEnvironment m_env;
    // Our own connection, as another program on the same display.
    Display* m_display = nullptr;
    unsigned long m_other = 0;

    unsigned long focus() const {
        Window window = 0;
        int revert = 0;
        XGetInputFocus(m_display, &window, &revert);
        return window;
    }

    bool isViewable(unsigned long window) const {
        XWindowAttributes attributes;
        return XGetWindowAttributes(m_display, window, &attributes) &&
               attributes.map_state == IsViewable;
    }

    void checkHints(unsigned long popup) const {
        const QStringList states = xprop(popup, "_NET_WM_STATE");
        for (const char* state : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY",
                                  "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
            QVERIFY2(states.count(state) == 1, state);
        QCOMPARE(xprop(popup, "_NET_WM_DESKTOP"), QStringList{"4294967295"});
        // Taskbars, pagers and Alt+Tab list what the window manager lists.
        const QStringList clients = xprop(0, "_NET_CLIENT_LIST");
        QVERIFY(clients.contains(hex(m_other)));
        QVERIFY(!clients.contains(hex(popup)));
        QCOMPARE(focus(), m_other);
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            m_why = qEnvironmentVariable("NOTCHORA_NO_X", QStringLiteral("no X server"));
        else if (Platform::shared().kind() != Platform::Kind::X11)
            m_why = QStringLiteral("Qt does not run on the X server");
        if (!m_why.isEmpty())
            return;
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        m_display = XOpenDisplay(nullptr);
        QVERIFY(m_display);
        // Another program's window, managed and focused by the window manager.
        m_other = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 100, 100, 400, 300,
                                      0, 0, 0xFFFFFF);
        XMapWindow(m_display, m_other);
        XFlush(m_display);
        QTRY_VERIFY(xprop(0, "_NET_CLIENT_LIST").contains(hex(m_other)));
        XSetInputFocus(m_display, m_other, RevertToParent, CurrentTime);
        XFlush(m_display);
        QTRY_COMPARE(focus(), m_other);
    }

    void cleanupTestCase() {
        if (m_display)
            XCloseDisplay(m_display);
    }

    void hintsAndFocusAcrossHideAndShow() {
        if (!m_why.isEmpty())
            QSKIP(qPrintable(m_why));
        Defaults defaults(m_env.configHome() + "/notchora/defaults.json");
        QQmlEngine engine;
        AnswerPopupController popup({Platform::shared().windows(), defaults, &engine});
        popup.show();
        AnswerPanel& panel = *popup.panel();
        const unsigned long id = panel.winId();
        QTRY_VERIFY(isViewable(id));
        checkHints(id);
        if (QTest::currentTestFailed())
            return;

        // A text field in the card; clicks elsewhere on the card leave the keyboard alone.
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nTextInput { x: 40; y: 300; width: 200; height: 24 }",
                          QUrl());
        std::unique_ptr<QQuickItem> field(qobject_cast<QQuickItem*>(component.create()));
        QVERIFY2(field, qPrintable(component.errorString()));
        field->setParentItem(panel.contentItem());
        const auto click = [&](int x, int y) {
            const QPoint at = panel.position() + QPoint(x, y);
            return xdotool(
                {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
        };
        QSignalSpy backgroundClicks(&panel, &AnswerPanel::dragFinished);
        QVERIFY(click(200, 40));
        QTRY_COMPARE(backgroundClicks.count(), 1);
        QCOMPARE(focus(), m_other);
        QVERIFY(click(100, 312));
        QTRY_COMPARE(focus(), id);
        QVERIFY(xdotool({"type", "halo"}));
        QTRY_COMPARE(field->property("text").toString(), QStringLiteral("halo"));

        // Hidden, the keyboard goes back; shown again, the hints still hold and the keyboard
        // stays where it is.
        popup.close();
        QTRY_COMPARE(focus(), m_other);
        QTRY_VERIFY(!isViewable(id));
        popup.show();
        QTRY_VERIFY(isViewable(id));
        checkHints(id);
    }
};

int main(int argc, char** argv) {
    // ctest runs tests offscreen; this one is about the X server it was given.
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    AnswerPanelX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_answerpanelx11.moc"
