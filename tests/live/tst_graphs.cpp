/* tst_graphs.cpp: the graph services on the real panel's three charts: step plots drawn as
** staircases and bars, deletion and reuse of plots, the interleaved and scrolling strip
** chart, trace visibility, the axes of each chart and the calls a chart refuses.
*/
#include <QtTest>

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

#include "app/Veltrav20.h"
#include "support/panelfixture.h"

using namespace vr;

namespace
{

QChartView *View(int control)
{
    return qobject_cast<QChartView *>(fixture::Widget(control));
}

/* The line series of a chart that are shown (deleted plots may linger hidden for reuse). */
QList<QLineSeries *> Shown(int control)
{
    QList<QLineSeries *> out;
    for (QAbstractSeries *s : View(control)->chart()->series()) {
        auto *line = qobject_cast<QLineSeries *>(s);
        if (line && line->isVisible() && line->count() > 0) out << line;
    }
    return out;
}

QValueAxis *Axis(int control, Qt::Orientation o)
{
    const QList<QAbstractAxis *> axes = View(control)->chart()->axes(o);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes.first());
}

QList<double> Trace(int trace, int *visible = nullptr)
{
    double v[200];
    const int n = GetStripChartTrace(panel, PANEL_STRIPCHART, trace, v, 200, visible);
    QList<double> out;
    for (int i = 0; i < n; i++)
        out << v[i];
    return out;
}

} // namespace

class Graphs : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void stepPlotIsStaircase();
    void adjustmentBars_data();
    void adjustmentBars();
    void deleteAllAndOne();
    void redrawingReusesPlots();
    void stripChartInterleaves();
    void stripChartScrolls();
    void traceVisibility();
    void axes_data();
    void axes();
    void refusals();
};

void Graphs::initTestCase()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
}

void Graphs::cleanupTestCase()
{
    fixture::DiscardRealPanel();
}

void Graphs::stepPlotIsStaircase()
{
    const unsigned char y[3] = {10, 20, 30};
    DeleteGraphPlot(panel, PANEL_GRAPH_JUMPBUF, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    const int h = PlotY(panel, PANEL_GRAPH_JUMPBUF, y, 3, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
                        0x0000FF);
    QVERIFY(h > 0);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 1);

    double values[8] = {};
    int color = -1;
    QCOMPARE(GetGraphPlotData(panel, PANEL_GRAPH_JUMPBUF, 0, values, 8, &color), 3);
    QCOMPARE(values[0], 10.0);
    QCOMPARE(values[2], 30.0);
    QCOMPARE(color, 0x0000FF);

    // Each value held from x = i to x = i + 1.
    const QList<QLineSeries *> shown = Shown(PANEL_GRAPH_JUMPBUF);
    QCOMPARE(shown.size(), 1);
    const QList<QPointF> expected = {{0, 10}, {1, 10}, {1, 20}, {2, 20}, {2, 30}, {3, 30}};
    QCOMPARE(shown[0]->points(), expected);
    QCOMPARE(shown[0]->pen().color(), QColor(0, 0, 255));
}

void Graphs::adjustmentBars_data()
{
    QTest::addColumn<int>("slot");
    QTest::newRow("slot 0") << 0;
    QTest::newRow("slot 57") << 57;
    QTest::newRow("slot 99") << 99;
}

/* A 100-slot array with 150 in one slot draws a bar one slot wide between slot and slot+1,
** at height 150, inside the 0..100 % axis. */
void Graphs::adjustmentBars()
{
    QFETCH(int, slot);
    unsigned char bars[100] = {};
    bars[slot] = 150;
    DeleteGraphPlot(panel, PANEL_GRAPH_ADJ, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    QVERIFY(PlotY(panel, PANEL_GRAPH_ADJ, bars, 100, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
                  0xFF0000) > 0);
    const QList<QLineSeries *> shown = Shown(PANEL_GRAPH_ADJ);
    QCOMPARE(shown.size(), 1);
    QList<QPointF> high;
    for (const QPointF &p : shown[0]->points())
        if (p.y() > 0) high << p;
    const QList<QPointF> expected = {{double(slot), 150}, {double(slot + 1), 150}};
    QCOMPARE(high, expected);
    QCOMPARE(shown[0]->pen().color(), QColor(255, 0, 0));
    QVERIFY(shown[0]->points().last().x() <= Axis(PANEL_GRAPH_ADJ, Qt::Horizontal)->max());
}

void Graphs::deleteAllAndOne()
{
    const unsigned char a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8}, c[4] = {9, 9, 9, 9};
    DeleteGraphPlot(panel, PANEL_GRAPH_JUMPBUF, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    const int ha = PlotY(panel, PANEL_GRAPH_JUMPBUF, a, 4, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0,
                         1, 0x0000FF);
    const int hb = PlotY(panel, PANEL_GRAPH_JUMPBUF, b, 4, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0,
                         1, 0x000000);
    const int hc = PlotY(panel, PANEL_GRAPH_JUMPBUF, c, 4, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0,
                         1, 0x00FF00);
    QVERIFY(ha > 0 && hb > 0 && hc > 0 && ha != hb && hb != hc && ha != hc);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 3);

    // Deleting the middle plot keeps the other two in their order.
    QCOMPARE(DeleteGraphPlot(panel, PANEL_GRAPH_JUMPBUF, hb, VAL_IMMEDIATE_DRAW), 0);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 2);
    double v[4];
    int color = -1;
    GetGraphPlotData(panel, PANEL_GRAPH_JUMPBUF, 0, v, 4, &color);
    QCOMPARE(v[0], 1.0);
    GetGraphPlotData(panel, PANEL_GRAPH_JUMPBUF, 1, v, 4, &color);
    QCOMPARE(v[0], 9.0);
    QCOMPARE(color, 0x00FF00);
    QCOMPARE(Shown(PANEL_GRAPH_JUMPBUF).size(), 2);
    QVERIFY(DeleteGraphPlot(panel, PANEL_GRAPH_JUMPBUF, hb, VAL_IMMEDIATE_DRAW) < 0);

    QCOMPARE(DeleteGraphPlot(panel, PANEL_GRAPH_JUMPBUF, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW), 0);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 0);
    QCOMPARE(Shown(PANEL_GRAPH_JUMPBUF).size(), 0);
    QVERIFY(GetGraphPlotData(panel, PANEL_GRAPH_JUMPBUF, 0, v, 4, nullptr) < 0);
}

/* The adjustment view deletes and redraws two plots every cycle for as long as it runs:
** the chart must not collect series. */
void Graphs::redrawingReusesPlots()
{
    unsigned char bars[100] = {};
    for (int cycle = 0; cycle < 300; cycle++) {
        bars[cycle % 100] = 150;
        DeleteGraphPlot(panel, PANEL_GRAPH_ADJ, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
        PlotY(panel, PANEL_GRAPH_ADJ, bars, 100, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
              0x0000FF);
        PlotY(panel, PANEL_GRAPH_ADJ, bars, 100, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
              0xFF0000);
        bars[cycle % 100] = 0;
    }
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_ADJ), 2);
    QVERIFY(View(PANEL_GRAPH_ADJ)->chart()->series().size() <= 3);
}

/* 500 values interleaved as 100 samples of five: value k belongs to trace k % 5 + 1. */
void Graphs::stripChartInterleaves()
{
    DeleteGraphPlot(panel, PANEL_STRIPCHART, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 101);
    double y[500];
    for (int k = 0; k < 500; k++)
        y[k] = k % 5 * 50 + k / 5 % 2; // trace t: 50(t-1), +1 odd
    QCOMPARE(PlotStripChart(panel, PANEL_STRIPCHART, y, 500, 0, 0, VAL_DOUBLE), 0);
    for (int t = 1; t <= 5; t++) {
        const QList<double> v = Trace(t);
        QCOMPARE(v.size(), 100);
        QCOMPARE(v[0], 50.0 * (t - 1));
        QCOMPARE(v[1], 50.0 * (t - 1) + 1);
        QCOMPARE(v[99], 50.0 * (t - 1) + 1);
    }
    QCOMPARE(GetGraphPlotCount(panel, PANEL_STRIPCHART), 5);

    // Every fourth value from index 2: 2, 6, 10, 14, 18 -> traces 1..5.
    DeleteGraphPlot(panel, PANEL_STRIPCHART, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    for (int k = 0; k < 500; k++)
        y[k] = k;
    QCOMPARE(PlotStripChart(panel, PANEL_STRIPCHART, y, 5, 2, 3, VAL_DOUBLE), 0);
    const double first[5] = {2, 6, 10, 14, 18};
    for (int t = 1; t <= 5; t++)
        QCOMPARE(Trace(t), QList<double>{first[t - 1]});
}

/* With 101 points per screen a second batch of 100 keeps the newest point of the first
** batch in front of itself; the x axis spans the 101 points. */
void Graphs::stripChartScrolls()
{
    DeleteGraphPlot(panel, PANEL_STRIPCHART, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 101);
    double y[500];
    for (int k = 0; k < 500; k++)
        y[k] = k / 5; // sample number 0..99 on every trace
    PlotStripChart(panel, PANEL_STRIPCHART, y, 500, 0, 0, VAL_DOUBLE);
    for (int k = 0; k < 500; k++)
        y[k] = 100 + k / 5; // samples 100..199
    PlotStripChart(panel, PANEL_STRIPCHART, y, 500, 0, 0, VAL_DOUBLE);

    const QList<double> v = Trace(3);
    QCOMPARE(v.size(), 101);
    QCOMPARE(v[0], 99.0);
    QCOMPARE(v[1], 100.0);
    QCOMPARE(v[100], 199.0);

    QLineSeries *drawn = nullptr;
    for (QAbstractSeries *s : View(PANEL_STRIPCHART)->chart()->series()) {
        auto *line = qobject_cast<QLineSeries *>(s);
        if (line && line->count() == 101 && line->at(0).y() == 99.0) drawn = line;
    }
    QVERIFY(drawn);
    QCOMPARE(drawn->at(0), QPointF(0, 99));
    QCOMPARE(drawn->at(100), QPointF(100, 199));
    QCOMPARE(Axis(PANEL_STRIPCHART, Qt::Horizontal)->min(), 0.0);
    QCOMPARE(Axis(PANEL_STRIPCHART, Qt::Horizontal)->max(), 100.0);

    // Fewer points per screen: the next batch keeps only that many, the newest.
    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 20);
    PlotStripChart(panel, PANEL_STRIPCHART, y, 500, 0, 0, VAL_DOUBLE);
    const QList<double> w = Trace(3);
    QCOMPARE(w.size(), 20);
    QCOMPARE(w[0], 180.0);
    QCOMPARE(w[19], 199.0);
    QCOMPARE(Axis(PANEL_STRIPCHART, Qt::Horizontal)->max(), 19.0);
}

void Graphs::traceVisibility()
{
    const int pattern[5] = {1, 0, 0, 1, 0};
    for (int t = 1; t <= 5; t++)
        QCOMPARE(SetTraceAttribute(panel, PANEL_STRIPCHART, t, ATTR_TRACE_VISIBLE, pattern[t - 1]),
                 0);
    int colorsSeen = 0;
    for (int t = 1; t <= 5; t++) {
        int visible = -1;
        Trace(t, &visible);
        QCOMPARE(visible, pattern[t - 1]);
    }
    // The drawn series follow, and the five traces have five different colours.
    QSet<QRgb> colors;
    int shown = 0;
    for (QAbstractSeries *s : View(PANEL_STRIPCHART)->chart()->series()) {
        auto *line = qobject_cast<QLineSeries *>(s);
        colors.insert(line->pen().color().rgb());
        shown += line->isVisible() ? 1 : 0;
        colorsSeen++;
    }
    QCOMPARE(colorsSeen, 5);
    QCOMPARE(colors.size(), 5);
    QCOMPARE(shown, 2);
}

void Graphs::axes_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<double>("yMax");
    QTest::addColumn<double>("xMax");
    // The strip chart's x axis spans the 101 points per screen, the jump graph's the 16
    // steps of its last plot.
    QTest::newRow("strip chart 0..255") << int(PANEL_STRIPCHART) << 255.0 << 100.0;
    QTest::newRow("adjustment 0..160, 0..100 %") << int(PANEL_GRAPH_ADJ) << 160.0 << 100.0;
    QTest::newRow("jump buffer 0..255") << int(PANEL_GRAPH_JUMPBUF) << 255.0 << 16.0;
}

void Graphs::axes()
{
    QFETCH(int, control);
    QFETCH(double, yMax);
    QFETCH(double, xMax);
    if (control == PANEL_GRAPH_JUMPBUF) {
        unsigned char y[16] = {};
        DeleteGraphPlot(panel, control, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
        PlotY(panel, control, y, 16, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1, 0);
    }
    if (control == PANEL_STRIPCHART) { // the x axis follows the points per screen when drawn
        const double y[500] = {};
        SetCtrlAttribute(panel, control, ATTR_POINTS_PER_SCREEN, 101);
        PlotStripChart(panel, control, y, 500, 0, 0, VAL_DOUBLE);
    }
    QVERIFY(Axis(control, Qt::Vertical));
    QCOMPARE(Axis(control, Qt::Vertical)->min(), 0.0);
    QCOMPARE(Axis(control, Qt::Vertical)->max(), yMax);
    QCOMPARE(Axis(control, Qt::Horizontal)->min(), 0.0);
    QCOMPARE(Axis(control, Qt::Horizontal)->max(), xMax);
    QVERIFY(!View(control)->chart()->legend()->isVisible());
    QCOMPARE(View(control)->chart()->animationOptions(), QChart::NoAnimation);
}

void Graphs::refusals()
{
    const unsigned char y[5] = {1, 2, 3, 4, 5};
    const double d[7] = {};
    const int before = GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF);
    QVERIFY(PlotY(panel, PANEL_STRIPCHART, y, 5, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1, 0) < 0);
    QVERIFY(PlotY(panel, PANEL_DAT0, y, 5, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1, 0) < 0);
    QVERIFY(PlotY(panel, PANEL_GRAPH_JUMPBUF, y, 0, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1, 0) <
            0);
    QVERIFY(PlotY(panel, PANEL_GRAPH_JUMPBUF, y, 5, VAL_DOUBLE, VAL_STEP_PLOT, 0, 0, 1, 0) < 0);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), before);

    const QList<double> trace1 = Trace(1);
    QVERIFY(PlotStripChart(panel, PANEL_GRAPH_ADJ, d, 5, 0, 0, VAL_DOUBLE) < 0);
    QVERIFY(PlotStripChart(panel, PANEL_STRIPCHART, d, 7, 0, 0, VAL_DOUBLE) < 0); // not 5 traces
    QVERIFY(PlotStripChart(panel, PANEL_STRIPCHART, d, 5, 0, 0, VAL_UNSIGNED_CHAR) < 0);
    QCOMPARE(Trace(1), trace1);

    QVERIFY(SetTraceAttribute(panel, PANEL_STRIPCHART, 0, ATTR_TRACE_VISIBLE, 1) < 0);
    QVERIFY(SetTraceAttribute(panel, PANEL_STRIPCHART, 6, ATTR_TRACE_VISIBLE, 1) < 0);
    QVERIFY(SetTraceAttribute(panel, PANEL_GRAPH_ADJ, 1, ATTR_TRACE_VISIBLE, 1) < 0);
    QVERIFY(GetStripChartTrace(panel, PANEL_STRIPCHART, 6, nullptr, 0, nullptr) < 0);
    QVERIFY(GetGraphPlotCount(panel, PANEL_DAT0) < 0);
}

QTEST_MAIN(Graphs)
#include "tst_graphs.moc"
