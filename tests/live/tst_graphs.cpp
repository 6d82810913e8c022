/* tst_graphs.cpp: the graph services on the real panel's charts, where the live-data tests do
** not look: a step plot drawn as a staircase, and the strip chart scrolling at its points per
** screen.
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

QChart *Chart(int control)
{
    return qobject_cast<QChartView *>(fixture::Widget(control))->chart();
}

/* The drawn line series of a chart that are shown and not empty. */
QList<QLineSeries *> Shown(int control)
{
    QList<QLineSeries *> out;
    for (QAbstractSeries *s : Chart(control)->series()) {
        auto *line = qobject_cast<QLineSeries *>(s);
        if (line && line->isVisible() && line->count() > 0) out << line;
    }
    return out;
}

double XMax(int control)
{
    return qobject_cast<QValueAxis *>(Chart(control)->axes(Qt::Horizontal).first())->max();
}

QList<double> Trace(int trace)
{
    double v[200];
    const int n = GetStripChartTrace(panel, PANEL_STRIPCHART, trace, v, 200, nullptr);
    return QList<double>(v, v + qMax(n, 0));
}

/* Draws 100 samples numbered first, first + 1, .. on all five traces. */
void PlotSamples(int first)
{
    double y[500];
    for (int k = 0; k < 500; k++)
        y[k] = first + k / 5;
    QCOMPARE(PlotStripChart(panel, PANEL_STRIPCHART, y, 500, 0, 0, VAL_DOUBLE), 0);
}

} // namespace

class Graphs : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(fixture::LoadRealPanel() > 0); }
    void cleanupTestCase() { fixture::DiscardRealPanel(); }
    void stepPlotIsStaircase();
    void stripChartScrolls();
};

/* Each value is held from x = i to x = i + 1, in the plot's colour. */
void Graphs::stepPlotIsStaircase()
{
    const unsigned char y[3] = {10, 20, 30};
    DeleteGraphPlot(panel, PANEL_GRAPH_JUMPBUF, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    QVERIFY(PlotY(panel, PANEL_GRAPH_JUMPBUF, y, 3, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
                  0x0000FF) > 0);
    const QList<QLineSeries *> shown = Shown(PANEL_GRAPH_JUMPBUF);
    QCOMPARE(shown.size(), 1);
    const QList<QPointF> expected = {{0, 10}, {1, 10}, {1, 20}, {2, 20}, {2, 30}, {3, 30}};
    QCOMPARE(shown[0]->points(), expected);
    QCOMPARE(shown[0]->pen().color(), QColor(0, 0, 255));
}

/* A second batch of 100 keeps as many of the newest points as the screen holds: with 101
** per screen the newest point of the first batch stays in front, drawn from x = 0 to 100;
** with 20 per screen only the 20 newest remain. */
void Graphs::stripChartScrolls()
{
    DeleteGraphPlot(panel, PANEL_STRIPCHART, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 101);
    PlotSamples(0);
    PlotSamples(100);
    const QList<double> v = Trace(3);
    QCOMPARE(v.size(), 101);
    QCOMPARE(v[0], 99.0);
    QCOMPARE(v[1], 100.0);
    QCOMPARE(v[100], 199.0);
    const QList<QLineSeries *> shown = Shown(PANEL_STRIPCHART); // the traces the view shows
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown[0]->count(), 101);
    QCOMPARE(shown[0]->at(0), QPointF(0, 99));
    QCOMPARE(shown[0]->at(100), QPointF(100, 199));
    QCOMPARE(XMax(PANEL_STRIPCHART), 100.0);

    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 20);
    PlotSamples(100);
    const QList<double> w = Trace(3);
    QCOMPARE(w.size(), 20);
    QCOMPARE(w[0], 180.0);
    QCOMPARE(w[19], 199.0);
    QCOMPARE(XMax(PANEL_STRIPCHART), 19.0);
}

QTEST_MAIN(Graphs)
#include "tst_graphs.moc"
