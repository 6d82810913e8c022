/* tst_views.cpp: the three views of the live data on the real panel: what the source
** selector shows and hides (displays, graphs, strip chart traces, the jump graph), the
** adjustment view's bars at 0, 99 and 100 % from the simulator's data, and a view change
** and Stop during the adjustment view's one-second wait.
*/
#include <QtTest>

#include <QComboBox>

#include "live/live.h"
#include "support/linkfixture.h"
#include "support/livefixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace livefixture;
using fixture::Attr;
using fixture::IntVal;

namespace
{

/* The controls whose visibility the view decides, in the order of the rows below. */
const int viewControls[9] = {PANEL_DAT0,      PANEL_DAT1,       PANEL_NORM,
                             PANEL_NORM_DECO, PANEL_STRIPCHART, PANEL_EDGE,
                             PANEL_WIN,       PANEL_GRAPH_ADJ,  PANEL_GRAPH_JUMPBUF};

QList<int> Visibility()
{
    QList<int> out;
    for (int id : viewControls)
        out << Attr(id, ATTR_VISIBLE);
    return out;
}

QList<int> TraceVisibility()
{
    QList<int> out;
    for (int t = 1; t <= 5; t++) {
        int visible = -1;
        GetStripChartTrace(panel, PANEL_STRIPCHART, t, nullptr, 0, &visible);
        out << visible;
    }
    return out;
}

/* The operator picks the item of `value` in the source ring with the arrow keys. */
void SelectSource(int value)
{
    auto *ring = qobject_cast<QComboBox *>(fixture::Widget(PANEL_SOURCE));
    QVERIFY(ring);
    const int index = ring->findData(value);
    QVERIFY(index >= 0);
    ring->setFocus();
    while (ring->currentIndex() < index)
        QTest::keyClick(ring, Qt::Key_Down);
    while (ring->currentIndex() > index)
        QTest::keyClick(ring, Qt::Key_Up);
}

/* Slot of the single 150 in a 100-value bar plot, -1 when there is none. */
int BarSlot(int plot, int *color)
{
    double v[100];
    if (GetGraphPlotData(panel, PANEL_GRAPH_ADJ, plot, v, 100, color) != 100) return -2;
    int slot = -1;
    for (int i = 0; i < 100; i++) {
        if (v[i] == 150 && slot == -1)
            slot = i;
        else if (v[i] != 0)
            return -3;
    }
    return slot;
}

} // namespace

class Views : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void visibility_data();
    void visibility();
    void adjustmentBars_data();
    void adjustmentBars();
    void viewChangeDuringAdjustmentWait();

  private:
    SensorSim sim;
};

void Views::initTestCase()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
    QVERIFY(linkfixture::ConnectTo(sim, 1));
}

void Views::cleanupTestCase()
{
    fixture::DiscardRealPanel();
}

typedef QList<int> Ints;

void Views::visibility_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("source");
    QTest::addColumn<Ints>("shown"); // DAT0 DAT1 NORM deco strip EDGE WIN adj jump
    QTest::addColumn<Ints>("traces");
    const Ints strip = {1, 1, 1, 1, 1, 0, 0, 0, 0}, adjust = {0, 0, 0, 0, 0, 1, 1, 1, 0};
    QTest::newRow("raw view") << 2 << 0 << strip << Ints{1, 1, 0, 0, 0};
    QTest::newRow("NORM view") << 0 << 1 << strip << Ints{0, 0, 1, 1, 1};
    QTest::newRow("raw after NORM") << 1 << 0 << strip << Ints{1, 1, 0, 0, 0};
    // The adjustment view leaves the traces as they were (set to 1 0 1 0 1 below).
    QTest::newRow("adjustment view") << 1 << 2 << adjust << Ints{1, 0, 1, 0, 1};
}

/* Each row starts from another view with the jump graph shown, as after a readout, and the
** operator then selects the row's view. */
void Views::visibility()
{
    QFETCH(int, from);
    QFETCH(int, source);
    QFETCH(Ints, shown);
    QFETCH(Ints, traces);
    SetCtrlVal(panel, PANEL_SOURCE, from);
    DispVis();
    const int pattern[5] = {1, 0, 1, 0, 1};
    for (int t = 1; t <= 5; t++)
        SetTraceAttribute(panel, PANEL_STRIPCHART, t, ATTR_TRACE_VISIBLE, pattern[t - 1]);
    SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 1);

    SelectSource(source);
    QCOMPARE(vr::source, source);
    QCOMPARE(Visibility(), shown);
    QCOMPARE(TraceVisibility(), traces);
}

void Views::adjustmentBars_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("edgeSlot"); // -1: no bar
    QTest::addColumn<int>("windowSlot");
    // Times against an IN0-to-IN0 time of 1000.
    QTest::newRow("edge 0 %, window 99 %") << 0 << 990 << 0 << 99;
    QTest::newRow("edge 99.9 %, window 0.5 %") << 999 << 5 << 99 << 0;
    QTest::newRow("edge 57 %, window 100 %") << 570 << 1000 << 57 << -1;
    QTest::newRow("edge 100 %, window 6553 %") << 1000 << 65535 << -1 << -1;
}

/* One adjustment-view cycle per row: a blue edge bar and a red window bar, each 150 high
** in the slot of its percentage; 100 % and more draw no bar. */
void Views::adjustmentBars()
{
    QFETCH(int, edge);
    QFETCH(int, window);
    QFETCH(int, edgeSlot);
    QFETCH(int, windowSlot);
    QVERIFY(sim.command(DataCommand(90, 90, 127, edge, 1000, window)));
    SelectSource(2);
    DeleteGraphPlot(panel, PANEL_GRAPH_ADJ, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    const int before = int(sim.frames().size());
    fixture::PopupCatcher popups;
    Script script;
    script.add([] {
        if (GetGraphPlotCount(panel, PANEL_GRAPH_ADJ) < 2) return false;
        Press(ButtonStop);
        return true;
    });
    QVERIFY(PressGo());

    QCOMPARE(popups.count(), 0);
    // Stop reaches the loop at the end of the cycle or in the next cycle's reply wait.
    const QList<int> sent = Commands(sim, before);
    QVERIFY(sent == QList<int>{5} || sent == (QList<int>{5, 5}));
    QCOMPARE(IntVal(PANEL_EDGE), edge / 10);
    QCOMPARE(IntVal(PANEL_WIN), window / 10);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_ADJ), 2);
    int color = -1;
    QCOMPARE(BarSlot(0, &color), edgeSlot);
    QCOMPARE(color, 0x0000FF);
    QCOMPARE(BarSlot(1, &color), windowSlot);
    QCOMPARE(color, 0xFF0000);
}

/* During the one-second wait of an adjustment cycle the operator selects the raw view and
** presses Stop: the view changes at once, the cycle still draws its bars (it tested the view
** at its start) and adds nothing to the strip chart, and polling ends after it. */
void Views::viewChangeDuringAdjustmentWait()
{
    QVERIFY(sim.command(DataCommand(90, 90, 127, 330, 1000, 770)));
    SelectSource(2);
    DeleteGraphPlot(panel, PANEL_GRAPH_ADJ, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    SetCtrlVal(panel, PANEL_WIN, 0);
    double trace[200];
    const int points = GetStripChartTrace(panel, PANEL_STRIPCHART, 1, trace, 200, nullptr);
    const int before = int(sim.frames().size());
    bool barsBeforeStop = true;
    Script script;
    script.add([&barsBeforeStop] {
        if (IntVal(PANEL_WIN) != 77) return false; // displays written: the wait has begun
        barsBeforeStop = GetGraphPlotCount(panel, PANEL_GRAPH_ADJ) > 0;
        SelectSource(0);
        Press(ButtonStop);
        return true;
    });
    QVERIFY(PressGo());

    QVERIFY(script.finished());
    QVERIFY(!barsBeforeStop);
    QCOMPARE(vr::source, 0);
    QCOMPARE(Attr(PANEL_STRIPCHART, ATTR_VISIBLE), 1);
    QCOMPARE(Attr(PANEL_GRAPH_ADJ, ATTR_VISIBLE), 0);
    QCOMPARE(Commands(sim, before), QList<int>{5});
    int color = -1;
    QCOMPARE(BarSlot(0, &color), 33);
    QCOMPARE(BarSlot(1, &color), 77);
    double after[200];
    QCOMPARE(GetStripChartTrace(panel, PANEL_STRIPCHART, 1, after, 200, nullptr), points);
    QCOMPARE(QList<double>(after, after + points), QList<double>(trace, trace + points));
}

QTEST_MAIN(Views)
#include "tst_views.moc"
