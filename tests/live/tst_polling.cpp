/* tst_polling.cpp: the measurement polling loop on the real panel against the simulator: a
** good cycle's displays and sample, the 16-bit times and percentages, the history over 101
** cycles, threshold edits during polling, failed replies and Stop in the reply wait.
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

} // namespace

class Polling : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void firstCycle();
    void percentages_data();
    void percentages();
    void historyKeepsLast100();
    void thresholdEditReachesFourthTrace();
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
}

void Polling::cleanupTestCase()
{
    fixture::DiscardRealPanel();
}

void Polling::init()
{
    QVERIFY(sim.command(QStringLiteral("fault 5 none")));
    QCOMPARE(poll, 0);
}

/* Runs first: the history starts as 500 zeros. One cycle fills only the newest sample. */
void Polling::firstCycle()
{
    QVERIFY(sim.command(DataCommand(200, 50, 204, 0x0123, 1000, 600)));
    SetCtrlVal(panel, PANEL_THRESHOLD, 90);
    SetCtrlVal(panel, PANEL_HYSTERESIS, 110);
    const int before = int(sim.frames().size());
    fixture::PopupCatcher popups;
    CycleWatch watch([](int n) {
        if (n == 1) Press(ButtonStop);
    });
    QVERIFY(PressGo());

    QCOMPARE(watch.count, 1);
    QCOMPARE(popups.count(), 0);
    QCOMPARE(Commands(sim, before), QList<int>{5}); // Stop between exchanges: no second one
    QCOMPARE(sim.frames().last(), SensorSim::frame(5, linkfixture::Packet()));
    QCOMPARE(Displays(), (QList<int>{200, 50, 204, 29, 60}));

    const QList<double> h = History();
    QCOMPARE(h.mid(0, 495), QList<double>(495, 0.0));
    QCOMPARE(h.mid(495), (QList<double>{200, 50, 204, 90, 110}));
    QCOMPARE(threshold, 90);
    QCOMPARE(hysteresis, 110);

    // The strip chart shows the whole history: 99 zeros, then the sample, on every trace.
    const double sample[5] = {200, 50, 204, 90, 110};
    for (int t = 1; t <= 5; t++) {
        const QList<double> v = TraceValues(t);
        QCOMPARE(v.size(), 100);
        QCOMPARE(v.count(0.0), 99);
        QCOMPARE(v.last(), sample[t - 1]);
    }
}

void Polling::percentages_data()
{
    QTest::addColumn<int>("dat0");
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("in0");
    QTest::addColumn<int>("in1");
    QTest::addColumn<int>("edgePercent");
    QTest::addColumn<int>("winPercent");
    // Percent = 100 * time / in0, rounded down; bytes low first (0x23, 0x01 is 0x0123).
    QTest::newRow("edge 0x0123 of 1000, window 600") << 11 << 0x0123 << 1000 << 600 << 29 << 60;
    QTest::newRow("exactly 100 %, window 250 %") << 12 << 1000 << 1000 << 2500 << 100 << 250;
    QTest::newRow("high bytes only") << 13 << 0x0100 << 0x0200 << 0x00FF << 50 << 49;
    QTest::newRow("largest times") << 14 << 0xFFFF << 0xFFFF << 0x8000 << 100 << 50;
    QTest::newRow("largest products") << 15 << 0xFFFF << 1 << 0xFFFF << 6553500 << 6553500;
    QTest::newRow("no 100 % reference") << 16 << 500 << 0 << 300 << 0 << 0;
}

/* One cycle per row; with in0 = 0 the cycle still completes: displays, sample, drawing. */
void Polling::percentages()
{
    QFETCH(int, dat0);
    QFETCH(int, edge);
    QFETCH(int, in0);
    QFETCH(int, in1);
    QFETCH(int, edgePercent);
    QFETCH(int, winPercent);
    QVERIFY(sim.command(DataCommand(dat0, 100, 128, edge, in0, in1)));
    fixture::PopupCatcher popups;
    CycleWatch watch([](int n) {
        if (n == 1) Press(ButtonStop);
    });
    QVERIFY(PressGo());
    QCOMPARE(watch.count, 1);
    QCOMPARE(popups.count(), 0);
    QCOMPARE(IntVal(PANEL_EDGE), edgePercent);
    QCOMPARE(IntVal(PANEL_WIN), winPercent);
    QCOMPARE(IntVal(PANEL_DAT0), dat0);
    QCOMPARE(alldata[495], double(dat0));
    QCOMPARE(TraceValues(1).last(), double(dat0));
}

/* Each cycle's threshold is the cycle's number (written on the panel by the cycle before),
** so every sample says which cycle made it. */
void Polling::historyKeepsLast100()
{
    QVERIFY(sim.command(DataCommand(180, 60, 191, 0, 1000, 0)));
    SetCtrlVal(panel, PANEL_THRESHOLD, 1);
    QList<double> after100;
    CycleWatch watch([&after100](int n) {
        SetCtrlVal(panel, PANEL_THRESHOLD, n + 1);
        if (n == 100) after100 = History();
        if (n == 101) Press(ButtonStop);
    });
    QVERIFY(PressGo(60000));
    QCOMPARE(watch.count, 101);

    // After 100 cycles every sample is real: sample i came from cycle i + 1.
    QCOMPARE(after100.size(), 500);
    for (int i = 0; i < 100; i++) {
        QCOMPARE(after100[5 * i], 180.0);
        QCOMPARE(after100[5 * i + 2], 191.0);
        QCOMPARE(after100[5 * i + 3], double(i + 1));
    }
    // The 101st cycle drops the first sample and appends its own.
    const QList<double> h = History();
    QCOMPARE(h.mid(0, 495), after100.mid(5));
    QCOMPARE(h.mid(495), (QList<double>{180, 60, 191, 101, double(hysteresis)}));

    // 101 points per screen: the newest point of the batch before, then the 100 samples.
    QList<double> expected{100};
    for (int k = 2; k <= 101; k++)
        expected << k;
    QCOMPARE(TraceValues(4), expected);
}

/* An operator's edit of the threshold during polling reaches the variable and the fourth
** trace from the next cycle on; nothing is sent to the sensor for it. */
void Polling::thresholdEditReachesFourthTrace()
{
    QVERIFY(sim.command(DataCommand(100, 100, 127, 0, 1000, 0)));
    SetCtrlVal(panel, PANEL_THRESHOLD, 60);
    const QByteArray packet = linkfixture::Packet();
    const int before = int(sim.frames().size());
    CycleWatch watch([](int n) {
        if (n == 3) fixture::TypeAndEnter(fixture::Widget(PANEL_THRESHOLD), QStringLiteral("150"));
        if (n == 5) Press(ButtonStop);
    });
    QVERIFY(PressGo());
    QCOMPARE(watch.count, 5);
    const QList<double> trace4 = TraceValues(4);
    QCOMPARE(trace4.mid(trace4.size() - 5), (QList<double>{60, 60, 60, 150, 150}));
    QCOMPARE(threshold, 150);
    QCOMPARE(Commands(sim, before), (QList<int>{5, 5, 5, 5, 5}));
    QCOMPARE(linkfixture::Packet(), packet);
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
    QList<int> displays;
    fixture::PopupCatcher popups;
    CycleWatch watch([&](int n) {
        if (n != 2) return;
        history = History();
        trace = TraceValues(1);
        displays = Displays();
        // A reply that were taken would show these values instead.
        QVERIFY(sim.command(DataCommand(99, 98, 97, 200, 1000, 900)));
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
    QCOMPARE(displays, (QList<int>{111, 22, 213, 10, 50}));
    QCOMPARE(Displays(), displays);
    QCOMPARE(History(), history);
    QCOMPARE(TraceValues(1), trace);
}

/* Stop while the reply is awaited: Go returns before the reply is there, reads nothing and
** reports nothing; the late reply waits in the input queue until the next exchange flushes
** it, so the next polling shows the sensor's new data. */
void Polling::stopDuringReplyWait()
{
    QVERIFY(sim.command(DataCommand(33, 33, 127, 0, 1000, 0)));
    QVERIFY(sim.command(QStringLiteral("fault 5 late 1500")));
    const QList<int> displays = Displays();
    const QList<double> history = History();
    const int before = int(sim.frames().size());
    nBytesR = -777;
    fixture::PopupCatcher popups;
    CycleWatch watch;
    Script script;
    script.add([this, before] {
        if (sim.frames().size() <= before) return false; // the request is out: now waiting
        Press(ButtonStop);
        return true;
    });
    QVERIFY(PressGo());

    QCOMPARE(GetInQLen(com), 0); // returned at once, not after the reply came
    QCOMPARE(nBytesR, -777);
    QCOMPARE(watch.count, 0);
    QCOMPARE(popups.count(), 0);
    QCOMPARE(Commands(sim, before), QList<int>{5});
    QCOMPARE(Displays(), displays);
    QCOMPARE(History(), history);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(com), 9, 10000);

    QVERIFY(sim.command(QStringLiteral("fault 5 none")));
    QVERIFY(sim.command(DataCommand(44, 55, 140, 0, 1000, 0)));
    CycleWatch next([](int n) {
        if (n == 1) Press(ButtonStop);
    });
    QVERIFY(PressGo());
    QCOMPARE(next.count, 1);
    QCOMPARE(IntVal(PANEL_DAT0), 44);
    QCOMPARE(IntVal(PANEL_DAT1), 55);
}

QTEST_MAIN(Polling)
#include "tst_polling.moc"
