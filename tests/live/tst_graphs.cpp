/* tst_graphs.cpp: the graph services on the real panel's charts, where the live-data tests do
** not look: a step plot drawn as a staircase, the strip chart scrolling at its points per
** screen, and only the traces shown drawn on screen.
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

/* The line series of a chart that are shown and not empty. */
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

/* Whether the strip chart draws anything on the pixel of point (x, y) or next to it: any
** colour but the empty plot area's, taken at (x, 10). */
bool DrawnAt(double x, double y)
{
    auto *view = qobject_cast<QChartView *>(fixture::Widget(PANEL_STRIPCHART));
    QChart *chart = view->chart();
    const QImage image = view->grab().toImage();
    auto pixel = [&](double px, double py) {
        const QPointF p = chart->mapToPosition(QPointF(px, py), chart->series().first());
        return view->mapFromScene(chart->mapToScene(p)) + view->viewport()->pos();
    };
    const QRgb empty = image.pixel(pixel(x, 10));
    const QPoint at = pixel(x, y);
    for (int dx = -1; dx <= 1; dx++)
        for (int dy = -1; dy <= 1; dy++)
            if (image.pixel(at + QPoint(dx, dy)) != empty) return true;
    return false;
}

/* Makes `trace` the only one shown. */
void ShowOnly(int trace)
{
    for (int t = 1; t <= 5; t++)
        QCOMPARE(SetTraceAttribute(panel, PANEL_STRIPCHART, t, ATTR_TRACE_VISIBLE, t == trace), 0);
}

/* 100 samples with trace t at level[t - 1] throughout. */
void PlotLevels(const QList<int> &level)
{
    double y[500];
    for (int k = 0; k < 500; k++)
        y[k] = level[k % 5];
    QCOMPARE(PlotStripChart(panel, PANEL_STRIPCHART, y, 500, 0, 0, VAL_DOUBLE), 0);
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
    void stripChartDrawsShownTraces();
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
    QCOMPARE(Trace(1), v);
    QCOMPARE(XMax(PANEL_STRIPCHART), 100.0);

    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 20);
    PlotSamples(100);
    const QList<double> w = Trace(3);
    QCOMPARE(w.size(), 20);
    QCOMPARE(w[0], 180.0);
    QCOMPARE(w[19], 199.0);
    QCOMPARE(XMax(PANEL_STRIPCHART), 19.0);
}

/* Each trace at its own level, away from the grid lines: a trace is drawn only while shown
** (the last one, drawn on top of the others, included), and one hidden while samples came
** shows them all once it is shown again. */
void Graphs::stripChartDrawsShownTraces()
{
    DeleteGraphPlot(panel, PANEL_STRIPCHART, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 101);
    ShowOnly(1);
    PlotLevels({40, 70, 120, 180, 230});
    PlotLevels({40, 70, 120, 180, 215});
    QVERIFY(DrawnAt(60, 40));
    for (int level : {70, 120, 180, 215, 230})
        QVERIFY2(!DrawnAt(60, level), qPrintable(QString::number(level)));
    ShowOnly(5);
    QVERIFY(DrawnAt(60, 215));
    QVERIFY(!DrawnAt(60, 230));
    QVERIFY(!DrawnAt(60, 40));
}

QTEST_MAIN(Graphs)
#include "tst_graphs.moc"
