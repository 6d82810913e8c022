/* tst_live.cpp: the live data on the real panel against the simulator: the history's array
** routines, good polling cycles and the 100-sample history, Stop inside the reply wait, what
** ends polling and what does not, the views and the adjustment bars, the jump buffer drawn.
*/
#include "support/fixture.h"

#include <QChartView>
#include <QLineSeries>

using namespace fx;

namespace
{

typedef QList<double> Values;

Ints Displays()
{
    return {Val(PANEL_DAT0), Val(PANEL_DAT1), Val(PANEL_NORM), Val(PANEL_EDGE), Val(PANEL_WIN)};
}

Values Trace(int trace)
{
    double v[200];
    const int n = GetStripChartTrace(panel, PANEL_STRIPCHART, trace, v, 200, nullptr);
    return Values(v, v + qMax(n, 0));
}

Values History()
{
    return Values(alldata, alldata + AnzAll);
}

/* Values and colour of a plot of a graph. */
Values Plot(int control, int index, int *colour)
{
    double v[AnzBars];
    const int n = GetGraphPlotData(panel, control, index, v, AnzBars, colour);
    return Values(v, v + qMax(n, 0));
}

/* The leading data requests taken off: what the loop, or an action inside it, sent after. */
Ints After(const Ints &commands)
{
    int i = 0;
    while (i < commands.size() && commands[i] == 5)
        i++;
    return commands.mid(i);
}

} // namespace

class Live : public QObject
{
    Q_OBJECT
    Sim sim;
    QTemporaryDir dir;

  private slots:
    void initTestCase()
    {
        QVERIFY(Load() > 0);
        QVERIFY(Connect(sim, 1));
        SetCtrlVal(panel, PANEL_SOURCE, 1);
        QCOMPARE(History(), Values(500, 0.0));
    }
    void cleanupTestCase() { Discard(); }
    void init()
    {
        QVERIFY(sim.cmd("clear"));
        QCOMPARE(poll, 0);
    }

    void copyAndShift_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("shift"); /* 99: Copy1D */
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<int>("status");
        QTest::addColumn<Values>("out"); /* refused: the output as it was */
        const Values five{1, 2, 3, 4, 5}, marks(5, -7);
        QTest::newRow("Copy1D n = 0") << 0 << 99 << false << -20003 << marks;
        QTest::newRow("Copy1D n = 3") << 3 << 99 << false << 0 << Values{1, 2, 3, -7, -7};
        QTest::newRow("Shift n = 0") << 0 << 1 << false << -20003 << marks;
        QTest::newRow("n = 5, shift 5") << 5 << 5 << false << -20102 << marks;
        QTest::newRow("n = 5, shift -5, in place") << 5 << -5 << true << -20102 << five;
        QTest::newRow("shift 0 copies") << 5 << 0 << false << 0 << five;
        QTest::newRow("by -2 in place") << 5 << -2 << true << 0 << Values{3, 4, 5, 0, 0};
        QTest::newRow("by 2 in place") << 5 << 2 << true << 0 << Values{0, 0, 1, 2, 3};
        QTest::newRow("by -2 to another") << 5 << -2 << false << 0 << Values{3, 4, 5, 0, 0};
        QTest::newRow("by 2 to another") << 5 << 2 << false << 0 << Values{0, 0, 1, 2, 3};
    }
    void copyAndShift()
    {
        QFETCH(int, n);
        QFETCH(int, shift);
        QFETCH(bool, inPlace);
        QFETCH(int, status);
        QFETCH(Values, out);
        double a[5] = {1, 2, 3, 4, 5}, b[5] = {-7, -7, -7, -7, -7}, *to = inPlace ? a : b;
        QCOMPARE(shift == 99 ? Copy1D(a, n, to) : Shift(a, n, shift, to), status);
        QCOMPARE(Values(to, to + 5), out);
        if (!inPlace) QCOMPARE(Values(a, a + 5), (Values{1, 2, 3, 4, 5}));
    }

    void goodCycle_data()
    {
        QTest::addColumn<int>("edge");
        QTest::addColumn<int>("in0");
        QTest::addColumn<int>("in1");
        QTest::addColumn<int>("edgePercent");
        QTest::addColumn<int>("winPercent");
        /* percent = 100 * time / in0, rounded down; bytes low first (0x23 0x01 is 0x0123) */
        QTest::newRow("edge 0x0123 of 1000, window 600") << 0x0123 << 1000 << 600 << 29 << 60;
        QTest::newRow("largest products") << 0xFFFF << 1 << 0xFFFF << 6553500 << 6553500;
        QTest::newRow("no 100 % reference") << 500 << 0 << 300 << 0 << 0;
    }
    /* One cycle: one request carrying pp, the displays, the history moved by one sample with
    ** the panel's threshold and hysteresis, the sample drawn. */
    void goodCycle()
    {
        QFETCH(int, edge);
        QFETCH(int, in0);
        QFETCH(int, in1);
        QFETCH(int, edgePercent);
        QFETCH(int, winPercent);
        QVERIFY(sim.cmd(Sim::data(200, 50, 204, edge, in0, in1)));
        SetCtrlVal(panel, PANEL_THRESHOLD, 90);
        SetCtrlVal(panel, PANEL_HYSTERESIS, 110);
        const Values before = History();
        const int from = sim.frames().size();
        Popups popups;
        QCOMPARE(RunCycles(1), 1);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(sim.frames().mid(from), QList<Ints>{Sim::frame(5, Packet())});
        QCOMPARE(Displays(), (Ints{200, 50, 204, edgePercent, winPercent}));
        QCOMPARE(History().mid(0, 495), before.mid(5));
        QCOMPARE(History().mid(495), (Values{200, 50, 204, 90, 110}));
        QCOMPARE(Trace(5).last(), 110.0);
    }

    /* The operator types each cycle's number into the threshold in the cycle before: every
    ** sample says which cycle made it, the edits reach the fourth trace and are never sent;
    ** the 101st cycle drops the first sample. */
    void historyAndThresholdEdits()
    {
        QVERIFY(sim.cmd(Sim::data(180, 60, 191, 0, 1000, 0)));
        SetCtrlVal(panel, PANEL_THRESHOLD, 1);
        const Ints packet = Packet();
        const int from = sim.frames().size();
        Values after100;
        QCOMPARE(RunCycles(101,
                           [&](int n) {
                               Type(PANEL_THRESHOLD, QString::number(n + 1));
                               if (n == 100) after100 = History();
                           }),
                 101);
        for (int i = 0; i < 100; i++) {
            QCOMPARE(after100[5 * i], 180.0);
            QCOMPARE(after100[5 * i + 3], double(i + 1));
        }
        QCOMPARE(History().mid(0, 495), after100.mid(5));
        QCOMPARE(History().mid(495), (Values{180, 60, 191, 101, double(hysteresis)}));
        QCOMPARE(int(threshold), 101); /* the last cycle read 101; 102 came after it */
        QCOMPARE(sim.commands(from), Ints(101, 5));
        QCOMPARE(Packet(), packet);
        Values trace4{100}; /* 101 points a screen: the one before, then the 100 samples */
        for (int k = 2; k <= 101; k++)
            trace4 << k;
        QCOMPARE(Trace(4), trace4);
    }

    /* Stop while the reply is awaited: the loop ends at once, reads and shows nothing; the
    ** late reply waits in the queue until the next exchange flushes it. */
    void stopInReplyWait()
    {
        QVERIFY(sim.cmd(Sim::data(33, 33, 127, 0, 1000, 0)));
        QVERIFY(sim.cmd("fault 5 late 1500 once"));
        const QStringList before = Snapshot();
        const int from = sim.frames().size();
        nBytesR = -777;
        Popups popups;
        When stop([&] { return sim.frames().size() > from; }, [] { Click(Stop); });
        QVERIFY(PressGo());
        QCOMPARE(nBytesR, -777);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(sim.commands(from), Ints{5});
        QCOMPARE(Snapshot(), before);
        QTRY_COMPARE(GetInQLen(com), 9);
        QVERIFY(sim.cmd(Sim::data(44, 55, 140, 0, 1000, 0)));
        QCOMPARE(RunCycles(1), 1);
        QCOMPARE(Displays().mid(0, 2), (Ints{44, 55}));
    }

    void whatEndsPolling_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<Ints>("sent"); /* the action's frames */
        QTest::addColumn<bool>("ends");
        QTest::newRow("GetBuff") << "GetBuff" << Ints{6} << true;
        QTest::newRow("Send to RAM") << "Send" << Ints{1} << true;
        QTest::newRow("Get from RAM") << "Get" << Ints{3} << true;
        QTest::newRow("a port committed") << "port" << Ints{7, 3} << true;
        QTest::newRow("the window closed") << "close" << Ints{} << true;
        QTest::newRow("a file saved") << "file" << Ints{} << false;
    }
    /* The action comes after two data requests. An exchange, a port set-up or the close ends
    ** the loop by itself: nothing follows the action's frames. A file save leaves it running
    ** until Stop. */
    void whatEndsPolling()
    {
        QFETCH(QString, action);
        QFETCH(Ints, sent);
        QFETCH(bool, ends);
        const QString path = dir.filePath("during.dat");
        if (action == "file") Click(PANEL_SELECT_FILE);
        const int from = sim.frames().size();
        auto requests = [&] { return sim.commands(from).count(5); };
        Popups popups({path});
        When act([&] { return requests() >= 2; },
                 [&] {
                     if (action == "port") CommitPort(1);
                     if (action == "close") W(PANEL_STATUS)->window()->close();
                     if (action == "GetBuff") Click(GetBuff);
                     if (action == "Send" || action == "file") Click(Send);
                     if (action == "Get") Click(Get);
                 });
        When stop([&] { return act.done && requests() >= 5; }, [] { Click(Stop); });
        QVERIFY(PressGo());
        QVERIFY(act.done);
        QCOMPARE(stop.done, !ends);
        QCOMPARE(poll, 0);
        QCOMPARE(popups.count(), 0);
        QTRY_COMPARE(After(sim.commands(from)), sent);
        if (action == "file") QVERIFY(QFileInfo(path).size() > 0);
        if (action == "file") Click(PANEL_SELECT_RAM);
        quitting = 0;
    }

    /* A Go while the loop runs returns at once (a nested loop would not return before a
    ** Stop); the one Stop then ends the loop. */
    void secondGoIgnored()
    {
        const int from = sim.frames().size();
        auto requests = [&] { return sim.commands(from).count(5); };
        When again([&] { return requests() >= 2; }, [] { Click(Go); });
        When stop([&] { return again.done && requests() >= 4; }, [] { Click(Stop); });
        QVERIFY(PressGo());
        QVERIFY(again.done && stop.done);
        QCOMPARE(going, 0);
    }

    /* The window closed in Go's settle wait: the loop never starts. */
    void closeInSettleWait()
    {
        const int from = sim.frames().size();
        When close([] { return going == 1; }, [] { W(PANEL_STATUS)->window()->close(); });
        QVERIFY(PressGo());
        QVERIFY(close.done);
        QCOMPARE(quitting, 1);
        QCOMPARE(going, 0);
        QCOMPARE(WriteExchange(1), 1); /* logged after every frame written before it */
        QVERIFY(sim.waitFrames(from + 1));
        QCOMPARE(sim.commands(from), Ints{1});
        quitting = 0;
    }

    void views_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<Ints>("shown"); /* DAT0 DAT1 NORM deco strip EDGE WIN adj jump */
        QTest::addColumn<Ints>("traces");
        const Ints strip{1, 1, 1, 1, 1, 0, 0, 0, 0}, adjust{0, 0, 0, 0, 0, 1, 1, 1, 0};
        QTest::newRow("raw") << 0 << strip << Ints{1, 1, 0, 0, 0};
        QTest::newRow("NORM") << 1 << strip << Ints{0, 0, 1, 1, 1};
        QTest::newRow("adjustment: traces as they were") << 2 << adjust << Ints{1, 0, 1, 0, 1};
    }
    /* From another view, with the jump graph shown as after a readout, the operator selects
    ** the view. */
    void views()
    {
        QFETCH(int, view);
        QFETCH(Ints, shown);
        QFETCH(Ints, traces);
        SetCtrlVal(panel, PANEL_SOURCE, (view + 2) % 3);
        DispVis();
        for (int t = 1; t <= 5; t++)
            SetTraceAttribute(panel, PANEL_STRIPCHART, t, ATTR_TRACE_VISIBLE, t % 2);
        SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 1);
        Choose(PANEL_SOURCE, view);
        QCOMPARE(source, view);
        Ints seen, visible(5, -1);
        for (int id : {PANEL_DAT0, PANEL_DAT1, PANEL_NORM, PANEL_NORM_DECO, PANEL_STRIPCHART,
                       PANEL_EDGE, PANEL_WIN, PANEL_GRAPH_ADJ, PANEL_GRAPH_JUMPBUF})
            seen << Attr(id, ATTR_VISIBLE);
        for (int t = 1; t <= 5; t++)
            GetStripChartTrace(panel, PANEL_STRIPCHART, t, nullptr, 0, &visible[t - 1]);
        QCOMPARE(seen, shown);
        QCOMPARE(visible, traces);
    }

    void adjustmentBars_data()
    {
        QTest::addColumn<int>("edge"); /* times against an IN0-to-IN0 time of 1000 */
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("edgeSlot"); /* -1: no bar */
        QTest::addColumn<int>("windowSlot");
        QTest::newRow("edge 0 %, window 100 %") << 0 << 1000 << 0 << -1;
        QTest::newRow("edge 99.9 %, window 0 %") << 999 << 0 << 99 << 0;
        QTest::newRow("edge 100 %, window 99 %") << 1000 << 990 << -1 << 99;
    }
    /* One adjustment cycle: a blue edge bar and a red window bar 150 high in the slot of the
    ** percentage; 100 % and more draw none. */
    void adjustmentBars()
    {
        QFETCH(int, edge);
        QFETCH(int, window);
        QFETCH(int, edgeSlot);
        QFETCH(int, windowSlot);
        QVERIFY(sim.cmd(Sim::data(90, 90, 127, edge, 1000, window)));
        Choose(PANEL_SOURCE, 2);
        DeleteGraphPlot(panel, PANEL_GRAPH_ADJ, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
        When stop([] { return GetGraphPlotCount(panel, PANEL_GRAPH_ADJ) == 2; },
                  [] { Click(Stop); });
        QVERIFY(PressGo());
        for (int plot = 0; plot < 2; plot++) {
            int colour = -1, slot = plot ? windowSlot : edgeSlot;
            Values bars(AnzBars, 0.0);
            if (slot >= 0) bars[slot] = 150;
            QCOMPARE(Plot(PANEL_GRAPH_ADJ, plot, &colour), bars);
            QCOMPARE(colour, plot ? 0xFF0000 : 0x0000FF);
        }
        Choose(PANEL_SOURCE, 1);
    }

    /* The sensor's 16 values drawn as a blue staircase against a black line at the threshold
    ** typed on the panel but not sent, which is also taken into threshold; only the jump
    ** graph is shown, and the frame carried pp. */
    void jumpBufferDrawn()
    {
        Ints ramp;
        for (int i = 1; i <= 16; i++)
            ramp << 10 * i;
        QVERIFY(sim.cmd(Sim::set("jump", ramp)));
        Type(PANEL_THRESHOLD, "80");
        const Ints packet = Packet();
        const int from = sim.frames().size();
        Popups popups;
        Click(GetBuff);
        QCOMPARE(sim.frames().mid(from), QList<Ints>{Sim::frame(6, packet)});
        QCOMPARE(Packet(), packet);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(Ints(jumpbuf, jumpbuf + 16), ramp);
        QCOMPARE(int(threshold), 80);
        int blueColour = -1, blackColour = -1;
        QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 2);
        QCOMPARE(Plot(PANEL_GRAPH_JUMPBUF, 0, &blueColour), Values(ramp.begin(), ramp.end()));
        QCOMPARE(Plot(PANEL_GRAPH_JUMPBUF, 1, &blackColour), Values(16, 80));
        QCOMPARE(Ints({blueColour, blackColour}), (Ints{0x0000FF, 0x000000}));
        QList<QPointF> blue;
        for (QAbstractSeries *s :
             qobject_cast<QChartView *>(W(PANEL_GRAPH_JUMPBUF))->chart()->series())
            if (auto *line = qobject_cast<QLineSeries *>(s);
                line->isVisible() && line->pen().color() == Qt::blue)
                blue = line->points();
        QCOMPARE(blue.mid(0, 4), (QList<QPointF>{{0, 10}, {1, 10}, {1, 20}, {2, 20}}));
        QCOMPARE(Attr(PANEL_STRIPCHART, ATTR_VISIBLE) + Attr(PANEL_GRAPH_ADJ, ATTR_VISIBLE), 0);
        QCOMPARE(Attr(PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE), 1);
    }
};

QTEST_MAIN(Live)
#include "tst_live.moc"
