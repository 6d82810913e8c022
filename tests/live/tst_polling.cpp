/* tst_polling.cpp: the measurement polling loop on the real panel against the simulator: a
** good cycle's displays and sample with its 16-bit times and percentages, the history and
** threshold edits over 101 cycles, failed replies and Stop in the reply wait.
*/
#include <QtTest>

#include "live/live.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/livefixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace livefixture;
using fixture::IntVal;

namespace
{

QList<double> TraceValues(int trace)
{
    double v[200];
    const int n = GetStripChartTrace(panel, PANEL_STRIPCHART, trace, v, 200, nullptr);
    return QList<double>(v, v + qMax(n, 0));
}

QList<int> Displays()
{
    return {IntVal(PANEL_DAT0), IntVal(PANEL_DAT1), IntVal(PANEL_NORM), IntVal(PANEL_EDGE),
            IntVal(PANEL_WIN)};
}

/* Presses Go, calls `each` in every cycle and Stop in the cycles-th; returns the number of
** cycles seen, -1 when the watchdog had to end the loop. */
int RunCycles(const SensorSim &sim, int cycles, std::function<void(int)> each = nullptr,
              int limitMs = 20000)
{
    CycleWatch watch(sim, [cycles, each](int n) {
        if (each) each(n);
        if (n == cycles) Press(ButtonStop);
    });
    return PressGo(limitMs) ? watch.count : -1;
}

} // namespace

class Polling : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase() { fixture::DiscardRealPanel(); }
    void init();
    void goodCycle_data();
    void goodCycle();
    void historyAndThresholdEdits();
    void failedReply_data();
    void failedReply();
    void stopDuringReplyWait();

  private:
    SensorSim sim;
};

void Polling::initTestCase()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
    QVERIFY(linkfixture::ConnectTo(sim, 1));
    SetCtrlVal(panel, PANEL_SOURCE, 1);
    QCOMPARE(History(), QList<double>(500, 0.0));
}

void Polling::init()
{
    QVERIFY(sim.command(QStringLiteral("fault 5 none")));
    QCOMPARE(poll, 0);
}

void Polling::goodCycle_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("in0");
    QTest::addColumn<int>("in1");
    QTest::addColumn<int>("edgePercent");
    QTest::addColumn<int>("winPercent");
    // Percent = 100 * time / in0, rounded down; bytes low first (0x23, 0x01 is 0x0123).
    QTest::newRow("edge 0x0123 of 1000, window 600") << 0x0123 << 1000 << 600 << 29 << 60;
    QTest::newRow("largest products") << 0xFFFF << 1 << 0xFFFF << 6553500 << 6553500;
    QTest::newRow("no 100 % reference") << 500 << 0 << 300 << 0 << 0;
}

/* One cycle per row: the displays, one exchange, the history moved by one sample (on the
** first row from 500 zeros) and the sample drawn; with in0 = 0 the cycle still completes. */
void Polling::goodCycle()
{
    QFETCH(int, edge);
    QFETCH(int, in0);
    QFETCH(int, in1);
    QFETCH(int, edgePercent);
    QFETCH(int, winPercent);
    QVERIFY(sim.command(DataCommand(200, 50, 204, edge, in0, in1)));
    SetCtrlVal(panel, PANEL_THRESHOLD, 90);
    SetCtrlVal(panel, PANEL_HYSTERESIS, 110);
    const QList<double> before = History();
    const int frames = int(sim.frames().size());
    fixture::PopupCatcher popups;
    QCOMPARE(RunCycles(sim, 1), 1);

    QCOMPARE(popups.count(), 0);
    QCOMPARE(Commands(sim, frames), QList<int>{5}); // Stop between exchanges: no second one
    QCOMPARE(sim.frames().last(), SensorSim::frame(5, linkfixture::Packet()));
    QCOMPARE(Displays(), (QList<int>{200, 50, 204, edgePercent, winPercent}));
    const QList<double> h = History();
    QCOMPARE(h.mid(0, 495), before.mid(5));
    QCOMPARE(h.mid(495), (QList<double>{200, 50, 204, 90, 110}));
    QCOMPARE(TraceValues(5).last(), 110.0);
}

/* The operator types each cycle's number into the threshold in the cycle before, so every
** sample says which cycle made it; the edits reach the fourth trace and are never sent. */
void Polling::historyAndThresholdEdits()
{
    QVERIFY(sim.command(DataCommand(180, 60, 191, 0, 1000, 0)));
    SetCtrlVal(panel, PANEL_THRESHOLD, 1);
    const QByteArray packet = linkfixture::Packet();
    const int before = int(sim.frames().size());
    QList<double> after100;
    auto each = [&after100](int n) {
        fixture::TypeAndEnter(fixture::Widget(PANEL_THRESHOLD), QString::number(n + 1));
        if (n == 100) after100 = History();
    };
    QCOMPARE(RunCycles(sim, 101, each, 60000), 101);

    QCOMPARE(after100.size(), 500); // after 100 cycles sample i came from cycle i + 1
    for (int i = 0; i < 100; i++) {
        QCOMPARE(after100[5 * i], 180.0);
        QCOMPARE(after100[5 * i + 3], double(i + 1));
    }
    const QList<double> h = History(); // the 101st drops the first sample, appends its own
    QCOMPARE(h.mid(0, 495), after100.mid(5));
    QCOMPARE(h.mid(495), (QList<double>{180, 60, 191, 101, double(hysteresis)}));
    QCOMPARE(threshold, 101); // the last cycle read 101; 102 was typed after it
    QCOMPARE(Commands(sim, before), QList<int>(101, 5));
    QCOMPARE(linkfixture::Packet(), packet);

    // 101 points per screen: the newest point of the batch before, then the 100 samples.
    QList<double> trace4{100};
    for (int k = 2; k <= 101; k++)
        trace4 << k;
    QCOMPARE(TraceValues(4), trace4);
}

void Polling::failedReply_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("10 bytes") << "long";
    QTest::newRow("8 bytes") << "short";
    QTest::newRow("no reply") << "silent"; // waits the full 3 seconds
}

/* Two good cycles, then a bad reply: the TIMEOUT report ends polling, nothing is retried and
** the displays, the history and the strip chart keep the second cycle's state. */
void Polling::failedReply()
{
    QFETCH(QString, fault);
    QVERIFY(sim.command(DataCommand(111, 22, 213, 100, 1000, 500)));
    const int before = int(sim.frames().size());
    QList<double> history, trace;
    fixture::PopupCatcher popups;
    CycleWatch watch(sim, [&](int n) {
        if (n != 2) return;
        history = History();
        trace = TraceValues(1);
        QVERIFY(sim.command(DataCommand(99, 98, 97, 200, 1000, 900))); // were it taken
        QVERIFY(sim.command(QStringLiteral("fault 5 ") + fault));
    });
    QVERIFY(PressGo());

    QCOMPARE(watch.count, 2);
    QCOMPARE(popups.count(), 1);
    QCOMPARE(popups.popups[0].title, QString::fromLatin1(linkfixture::TimeoutTitle));
    QCOMPARE(popups.popups[0].text, QString::fromLatin1(linkfixture::TimeoutText));
    QCOMPARE(linkfixture::Status(), QStringLiteral("TIMEOUT"));
    QCOMPARE(poll, 0);
    QCOMPARE(Commands(sim, before), (QList<int>{5, 5, 5}));
    QCOMPARE(Displays(), (QList<int>{111, 22, 213, 10, 50}));
    QCOMPARE(History(), history);
    QCOMPARE(TraceValues(1), trace);
}

/* Stop while the reply is awaited: Go returns before the reply is there, reads and reports
** nothing; the next exchange flushes the late reply, so the next polling shows new data. */
void Polling::stopDuringReplyWait()
{
    QVERIFY(sim.command(DataCommand(33, 33, 127, 0, 1000, 0)));
    QVERIFY(sim.command(QStringLiteral("fault 5 late 1500")));
    const QList<int> displays = Displays();
    const QList<double> history = History();
    const int before = int(sim.frames().size());
    nBytesR = -777;
    fixture::PopupCatcher popups;
    Script script;
    script.add([this, before] {
        if (sim.frames().size() <= before) return false; // the request is out: now waiting
        Press(ButtonStop);
        return true;
    });
    QVERIFY(PressGo());

    QCOMPARE(GetInQLen(com), 0); // returned at once, not after the reply came
    QCOMPARE(nBytesR, -777);
    QCOMPARE(popups.count(), 0);
    QCOMPARE(Commands(sim, before), QList<int>{5});
    QCOMPARE(Displays(), displays);
    QCOMPARE(History(), history);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(com), 9, 10000);

    QVERIFY(sim.command(QStringLiteral("fault 5 none")));
    QVERIFY(sim.command(DataCommand(44, 55, 140, 0, 1000, 0)));
    QCOMPARE(RunCycles(sim, 1), 1);
    QCOMPARE(Displays().mid(0, 2), (QList<int>{44, 55}));
}

QTEST_MAIN(Polling)
#include "tst_polling.moc"
