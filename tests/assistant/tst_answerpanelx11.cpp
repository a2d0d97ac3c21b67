#include "ProgramRun.h"
#include "TestEnvironment.h"
#include "assistant/AnswerPanel.h"
#include "assistant/AnswerPopupController.h"
#include "platform/Defaults.h"
#include "platform/Platform.h"
#include "platform/WindowSystem.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <vector>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AnswerPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AssistantPlugin)

using namespace notchora;

// The popup on a real window manager (openbox on its own Xvfb): the window manager keeps
// it out of its client list (taskbars, window cycling), it stays above a window that is
// raised and on every desktop across hides and shows, and the keyboard goes to it only for
// a click in its text field and back to the other program's window when it hides.
class AnswerPanelX11Test : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void hintsAndFocusAcrossHideAndShow();

private:
    unsigned long atom(const char* name) const { return XInternAtom(m_display, name, False); }
    std::vector<unsigned long> property(unsigned long window, const char* name,
                                        unsigned long type) const;
    bool isViewable(unsigned long window) const;
    unsigned long focus() const;
    unsigned long topLevel(unsigned long window) const;
    bool isAbove(unsigned long upper, unsigned long lower) const;
    void checkHints(unsigned long popup) const;
    bool xdotool(const QStringList& arguments) const;

    QString m_why;
    test::TestEnvironment m_env;
    // Our own connection, as another program on the same display.
    Display* m_display = nullptr;
    unsigned long m_other = 0;
};

std::vector<unsigned long> AnswerPanelX11Test::property(unsigned long window, const char* name,
                                                        unsigned long type) const {
    std::vector<unsigned long> values;
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, window, atom(name), 0, 1024, False, type, &actual, &format,
                           &count, &after, &data) == Success &&
        data) {
        // Xlib hands 32-bit items over as longs, sign-extended.
        if (format == 32)
            for (unsigned long i = 0; i < count; ++i)
                values.push_back(quint32(reinterpret_cast<long*>(data)[i]));
        XFree(data);
    }
    return values;
}

bool AnswerPanelX11Test::isViewable(unsigned long window) const {
    XWindowAttributes attributes;
    return XGetWindowAttributes(m_display, window, &attributes) &&
           attributes.map_state == IsViewable;
}

unsigned long AnswerPanelX11Test::focus() const {
    Window window = 0;
    int revert = 0;
    XGetInputFocus(m_display, &window, &revert);
    return window;
}

// The child of the root that holds `window` (its frame when the window manager has one).
unsigned long AnswerPanelX11Test::topLevel(unsigned long window) const {
    for (;;) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (parent == root)
            return window;
        window = parent;
    }
}

bool AnswerPanelX11Test::isAbove(unsigned long upper, unsigned long lower) const {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return false;
    // Bottom to top.
    const std::vector<Window> order(children, children + count);
    XFree(children);
    const auto up = std::find(order.begin(), order.end(), topLevel(upper));
    const auto low = std::find(order.begin(), order.end(), topLevel(lower));
    return up != order.end() && low != order.end() && up > low;
}

void AnswerPanelX11Test::checkHints(unsigned long popup) const {
    const auto states = property(popup, "_NET_WM_STATE", XA_ATOM);
    for (const char* state : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY",
                              "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        QVERIFY2(std::count(states.begin(), states.end(), atom(state)) == 1, state);
    QCOMPARE(property(popup, "_NET_WM_DESKTOP", XA_CARDINAL),
             std::vector<unsigned long>{0xFFFFFFFF});
    // Taskbars, pagers and Alt+Tab list what the window manager lists.
    const auto clients = property(DefaultRootWindow(m_display), "_NET_CLIENT_LIST", XA_WINDOW);
    QVERIFY(std::find(clients.begin(), clients.end(), m_other) != clients.end());
    QVERIFY(std::find(clients.begin(), clients.end(), popup) == clients.end());
}

bool AnswerPanelX11Test::xdotool(const QStringList& arguments) const {
    const test::ProgramRun run = test::runProgram(QStringLiteral("xdotool"), arguments);
    return run.finished && run.exitCode == 0;
}

void AnswerPanelX11Test::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        m_why = qEnvironmentVariable("NOTCHORA_NO_X", QStringLiteral("no X server"));
        return;
    }
    if (Platform::shared().kind() != Platform::Kind::X11) {
        m_why = QStringLiteral("Qt does not run on the X server");
        return;
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    m_display = XOpenDisplay(nullptr);
    QVERIFY(m_display);
    // Another program's window, managed and focused by the window manager.
    m_other = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 100, 100, 400, 300, 0, 0,
                                  0xFFFFFF);
    XStoreName(m_display, m_other, "editor");
    XMapWindow(m_display, m_other);
    XFlush(m_display);
    QTRY_VERIFY(isViewable(m_other));
    QTRY_VERIFY(topLevel(m_other) != m_other); // framed by openbox
    XSetInputFocus(m_display, m_other, RevertToParent, CurrentTime);
    XFlush(m_display);
    QTRY_COMPARE(focus(), m_other);
}

void AnswerPanelX11Test::cleanupTestCase() {
    if (m_display)
        XCloseDisplay(m_display);
}

void AnswerPanelX11Test::hintsAndFocusAcrossHideAndShow() {
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
    QCOMPARE(focus(), m_other);
    QVERIFY(isAbove(id, m_other));

    // The other window raised by the window manager: the popup stays above it.
    XEvent activate = {};
    activate.xclient.type = ClientMessage;
    activate.xclient.window = m_other;
    activate.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
    activate.xclient.format = 32;
    activate.xclient.data.l[0] = 2;
    XSendEvent(m_display, DefaultRootWindow(m_display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &activate);
    XFlush(m_display);
    QTRY_VERIFY(isAbove(id, m_other));

    // A text field in the card; clicks elsewhere on the card leave the keyboard alone.
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nTextInput { x: 40; y: 300; width: 200; height: 24 }",
                      QUrl());
    std::unique_ptr<QQuickItem> field(qobject_cast<QQuickItem*>(component.create()));
    QVERIFY2(field, qPrintable(component.errorString()));
    field->setParentItem(panel.contentItem());
    const QPoint origin = panel.position();
    QSignalSpy backgroundClicks(&panel, &AnswerPanel::dragFinished);
    QVERIFY(xdotool({"mousemove", QString::number(origin.x() + 200),
                     QString::number(origin.y() + 40), "click", "1"}));
    QTRY_COMPARE(backgroundClicks.count(), 1);
    QCOMPARE(focus(), m_other);
    QVERIFY(xdotool({"mousemove", QString::number(origin.x() + 100),
                     QString::number(origin.y() + 312), "click", "1"}));
    QTRY_COMPARE(focus(), id);
    QVERIFY(xdotool({"type", "halo"}));
    QTRY_COMPARE(field->property("text").toString(), QStringLiteral("halo"));

    // Hidden, the keyboard goes back to the editor; shown again, the hints still hold and
    // the keyboard stays where it is.
    popup.close();
    QTRY_COMPARE(focus(), m_other);
    QTRY_VERIFY(!isViewable(id));
    popup.show();
    QTRY_VERIFY(isViewable(id));
    checkHints(id);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(isAbove(id, m_other));
    QCOMPARE(focus(), m_other);
}

int main(int argc, char** argv) {
    // ctest runs tests offscreen; this one is about the X server it was given.
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    AnswerPanelX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_answerpanelx11.moc"
