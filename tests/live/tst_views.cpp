/* tst_views.cpp: the three views of the live data on the real panel: what the source
** selector and the View menu show and hide (displays, graphs, strip chart traces and their
** legend entries, the jump graph) without moving anything, the menu's check marks, and the
** adjustment view's bars at 0, 99 and 100 % from the simulator's data with their legend.
*/
#include <QtTest>

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLegend>
#include <QLegendMarker>

#include "live/live.h"
#include "support/linkfixture.h"
#include "support/livefixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace livefixture;
using fixture::Attr;

namespace
{

typedef QList<int> Ints;

/* Visibility of the controls the view decides, in the order of the rows below. */
Ints Visibility()
{
    Ints out;
    for (int id : {PANEL_DAT0, PANEL_DAT1, PANEL_NORM, PANEL_NORM_DECO, PANEL_STRIPCHART,
                   PANEL_EDGE, PANEL_WIN, PANEL_GRAPH_ADJ, PANEL_GRAPH_JUMPBUF})
        out << Attr(id, ATTR_VISIBLE);
    return out;
}

Ints TraceVisibility()
{
    Ints out;
    for (int t = 1; t <= 5; t++) {
        int visible = -1;
        GetStripChartTrace(panel, PANEL_STRIPCHART, t, nullptr, 0, &visible);
        out << visible;
    }
    return out;
}

/* The legend entries a graph shows, each as "name #rrggbb" (its colour). */
QStringList Legend(int control)
{
    QStringList out;
    QChart *chart = qobject_cast<QChartView *>(fixture::Widget(control))->chart();
    if (!chart->legend()->isVisible()) return out;
    for (QLegendMarker *m : chart->legend()->markers())
        if (m->isVisible()) out << m->label() + ' ' + m->brush().color().name();
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

/* The 100 values and the colour of plot `plot` of the adjustment graph. */
QList<double> Bars(int plot, int *color)
{
    double v[100];
    const int n = GetGraphPlotData(panel, PANEL_GRAPH_ADJ, plot, v, 100, color);
    return QList<double>(v, v + qMax(n, 0));
}

/* 100 slots, 150 in `slot` unless it is -1. */
QList<double> OneBar(int slot)
{
    QList<double> out(100, 0.0);
    if (slot >= 0) out[slot] = 150;
    return out;
}

} // namespace

class Views : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase() { fixture::DiscardRealPanel(); }
    void visibility_data();
    void visibility();
    void adjustmentBars_data();
    void adjustmentBars();

  private:
    SensorSim sim;
};

void Views::initTestCase()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
    QVERIFY(linkfixture::ConnectTo(sim, 1));
}

void Views::visibility_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("menu");  // chosen from the View menu, else on the selector
    QTest::addColumn<Ints>("shown"); // DAT0 DAT1 NORM deco strip EDGE WIN adj jump
    QTest::addColumn<Ints>("traces");
    QTest::addColumn<QStringList>("legend"); // of the strip chart
    const Ints strip = {1, 1, 1, 1, 1, 0, 0, 0, 0}, adjust = {0, 0, 0, 0, 0, 1, 1, 1, 0};
    for (bool menu : {false, true}) {
        const char *how = menu ? ", View menu" : "";
        QTest::addRow("raw view%s", how) << 0 << menu << strip << Ints{1, 1, 0, 0, 0}
                                         << QStringList{"DAT0 #0072b2", "DAT1 #e69f00"};
        QTest::addRow("NORM view%s", how)
            << 1 << menu << strip << Ints{0, 0, 1, 1, 1}
            << QStringList{"NORM #000000", "THRESHOLD #d55e00", "HYSTERESIS #009e73"};
        // The adjustment view leaves the traces as they were (set to 1 0 1 0 1 below).
        QTest::addRow("adjustment view%s", how)
            << 2 << menu << adjust << Ints{1, 0, 1, 0, 1}
            << QStringList{"DAT0 #0072b2", "NORM #000000", "HYSTERESIS #009e73"};
    }
}

/* Each row starts from another view with the jump graph shown, as after a readout; the
** operator then selects the row's view, on the selector or from the View menu. The legend
** names the traces shown, in their colours; nothing on the panel moves; the View menu checks
** that view alone. */
void Views::visibility()
{
    QFETCH(int, source);
    QFETCH(bool, menu);
    QFETCH(Ints, shown);
    QFETCH(Ints, traces);
    QFETCH(QStringList, legend);
    SetCtrlVal(panel, PANEL_SOURCE, (source + 2) % 3);
    DispVis();
    const int pattern[5] = {1, 0, 1, 0, 1};
    for (int t = 1; t <= 5; t++)
        SetTraceAttribute(panel, PANEL_STRIPCHART, t, ATTR_TRACE_VISIBLE, pattern[t - 1]);
    SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 1);
    const QList<QRect> geometry = fixture::Geometry();

    if (menu)
        QVERIFY(fixture::ChooseMenuItem(MENU_VIEW_RAW + source));
    else
        SelectSource(source);
    QCOMPARE(vr::source, source);
    QCOMPARE(fixture::IntVal(PANEL_SOURCE), source);
    QCOMPARE(Visibility(), shown);
    QCOMPARE(TraceVisibility(), traces);
    QCOMPARE(Legend(PANEL_STRIPCHART), legend);
    QCOMPARE(fixture::Geometry(), geometry);
    Ints checks;
    for (int item = MENU_VIEW_RAW; item <= MENU_VIEW_ADJUST; item++) {
        int checked = -1;
        GetMenuBarAttribute(panel, item, ATTR_CHECKED, &checked);
        checks << checked;
    }
    QCOMPARE(checks, (Ints{source == 0, source == 1, source == 2}));
}

void Views::adjustmentBars_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("edgeSlot"); // -1: no bar
    QTest::addColumn<int>("windowSlot");
    // Times against an IN0-to-IN0 time of 1000.
    QTest::newRow("edge 0 %, window 99 %") << 0 << 990 << 0 << 99;
    QTest::newRow("edge 99.9 %, window 100 %") << 999 << 1000 << 99 << -1;
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
    fixture::PopupCatcher popups;
    Script script;
    script.add([] {
        if (GetGraphPlotCount(panel, PANEL_GRAPH_ADJ) < 2) return false;
        Press(ButtonStop);
        return true;
    });
    QVERIFY(PressGo());

    QCOMPARE(popups.count(), 0);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_ADJ), 2);
    int color = -1;
    QCOMPARE(Bars(0, &color), OneBar(edgeSlot));
    QCOMPARE(color, 0x0000FF);
    QCOMPARE(Bars(1, &color), OneBar(windowSlot));
    QCOMPARE(color, 0xFF0000);
    QCOMPARE(Legend(PANEL_GRAPH_ADJ), (QStringList{"EDGE [%] #0000ff", "WIN [%] #ff0000"}));
}

QTEST_MAIN(Views)
#include "tst_views.moc"
