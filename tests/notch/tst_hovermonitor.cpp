#include "ManualClock.h"
#include "notch/HoverMonitor.h"
#include "platform/HeadlessPointerSource.h"

#include <QTest>

using namespace notchora;

class HoverMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void script_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("log");
        // Steps: in/out = a movement inside/outside the 50-point zone; warpout = the pointer
        // leaves without a movement report; +N = N ms pass; stop/start/destroy the monitor;
        // grow = while open the zone is 200 points wide, holding the first "out". The log:
        // 1/0 = entered/left, pN = polling wanted, uN = pointer users.
        const auto row = [](const char* name, const char* script, const char* log) {
            QTest::newRow(name) << script << log;
        };
        row("resting 70 ms opens", "in +71", "1");
        row("fast crossing opens nothing", "in +30 out +500", "");
        row("moving inside keeps one open timer", "in +30 in +30 in +11", "1");
        row("re-entry within 70 ms starts a new wait", "in +40 out +20 in +69", "");
        row("re-entry within 70 ms, then rests", "in +40 out +20 in +71", "1");
        row("opening needs the pointer still in the zone", "in +30 warpout +100", "");
        row("leaving closes after 400 ms", "in +71 out +401", "1 0");
        row("not before 400 ms", "in +71 out +399", "1");
        row("return within 400 ms stays open", "in +71 out +300 in +1000", "1");
        row("more movements outside do not postpone the close", "in +71 out +200 out +201", "1 0");
        row("leave, return, leave again", "in +71 out +100 in +100 out +401", "1 0");
        row("stop while inside reports leaving once", "in +71 stop stop +500", "1 0");
        row("stop while opening cancels it", "in +30 stop +100", "");
        row("stop while closing reports once", "in +71 out +100 stop +500", "1 0");
        row("movements after stop are ignored", "stop in +100", "");
        row("start again after stop", "stop start in +71", "1");
        row("start twice listens once", "start u stop u", "u1 u0");
        row("destroying reports nothing and lets go", "in +100 out destroy +1000 u", "1 u0");
        row("the zone is asked afresh", "grow in +80 out +1000 p out +410", "1 p1 0");
        row("polling only while open or opening", "out p in p +80 p out +410 p", "p0 p1 1 p1 0 p0");
    }
    void script() {
        QFETCH(QString, script);
        QFETCH(QString, log);
        const QList<QPointF> inside{{110, 110}, {120, 130}, {149, 149}};
        const QList<QPointF> outside{{10, 10}, {300, 120}, {125, 99}};
        ManualClock clock;
        HeadlessPointerSource pointer;
        pointer.warpTo({0, 0});
        QStringList got;
        bool grows = false;
        bool open = false;
        auto monitor = std::make_unique<HoverMonitor>(
            clock, pointer,
            HoverMonitor::Callbacks{
                [&] { return grows && open ? QRectF(0, 0, 200, 200) : QRectF(100, 100, 50, 50); },
                [&](bool in) { got << ((open = in) ? "1" : "0"); }, nullptr},
            0.07, 0.4);
        monitor->start();
        int in = 0;
        int out = 0;
        for (const QString& step : script.split(' ')) {
            if (step == "in")
                pointer.moveTo(inside[in++ % inside.size()]);
            else if (step == "out")
                pointer.moveTo(outside[out++ % outside.size()]);
            else if (step == "warpout")
                pointer.warpTo({0, 0});
            else if (step == "stop")
                monitor->stop();
            else if (step == "start")
                monitor->start();
            else if (step == "destroy")
                monitor.reset();
            else if (step == "grow")
                grows = true;
            else if (step == "p")
                got << QString("p%1").arg(pointer.pollingWanted());
            else if (step == "u")
                got << QString("u%1").arg(pointer.users());
            else if (step.startsWith('+'))
                clock.advance(step.mid(1).toDouble() / 1000.0);
            else
                QFAIL(qPrintable("unknown step " + step));
        }
        QCOMPARE(got.join(' '), log);
    }
};

QTEST_GUILESS_MAIN(HoverMonitorTest)
#include "tst_hovermonitor.moc"
