/* tst_graphs.cpp: the graph services on the real panel's charts, where the live-data tests do
** not look: axes and titles before the first plot, a step plot drawn as a staircase, the
** later plot always drawn on top, the strip chart scrolling at its points per screen, only
** the traces shown drawn on screen, and the chart area taking the room the window gains.
*/
#include <QtTest>

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLayout>
#include <QLineSeries>
#include <QScreen>
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

QValueAxis *Axis(int control, Qt::Orientation o)
{
    return qobject_cast<QValueAxis *>(Chart(control)->axes(o).first());
}

double XMax(int control)
{
    return Axis(control, Qt::Horizontal)->max();
}

/* An axis as the operator reads it: "title: min..max", and where its ticks fall ("every n"),
** its category labels, or "hidden". */
QString Reading(QValueAxis *axis)
{
    if (!axis->isVisible()) return QStringLiteral("hidden");
    QString out =
        QStringLiteral("%1: %2..%3").arg(axis->titleText()).arg(axis->min()).arg(axis->max());
    if (auto *categories = qobject_cast<QCategoryAxis *>(axis))
        return out + " labels " + categories->categoriesLabels().join(' ');
    if (axis->tickType() == QValueAxis::TicksDynamic && axis->tickAnchor() == 0)
        return out + QStringLiteral(" every %1").arg(axis->tickInterval());
    return out + " ticks not round";
}

/* The drawn series of a chart that are shown, in the order the chart draws them (the last
** on top), by colour. */
QStringList DrawingOrder(int control)
{
    QStringList out;
    for (QAbstractSeries *s : Chart(control)->series()) {
        auto *line = qobject_cast<QLineSeries *>(s);
        if (line && line->isVisible()) out << line->pen().color().name();
    }
    return out;
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
    void axesBeforeFirstPlot_data();
    void axesBeforeFirstPlot();
    void stepPlotIsStaircase();
    void laterPlotOnTop_data();
    void laterPlotOnTop();
    void stripChartScrolls();
    void stripChartDrawsShownTraces();
    void chartTakesRoomWindowGains();
};

void Graphs::axesBeforeFirstPlot_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("titled");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    const QString edges = "stored edge: 0..16 labels 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16";
    // 101 points per screen from the start, as every cycle draws them: x does not change at
    // the first sample.
    QTest::newRow("strip chart")
        << int(PANEL_STRIPCHART) << false
        << "samples, one per polling cycle (newest at the right): 0..100 every 10"
        << "value (0..255): 0..255 every 50";
    // Bar heights mean nothing: no y scale.
    QTest::newRow("adjustment graph")
        << int(PANEL_GRAPH_ADJ) << true
        << "% of the time from one IN0 edge to the next: 0..100 every 10"
        << "hidden";
    QTest::newRow("jump buffer graph")
        << int(PANEL_GRAPH_JUMPBUF) << true << edges << "NORM (0..255): 0..255 every 50";
}

/* Straight after loading, before anything is plotted, each chart shows its title and axes. */
void Graphs::axesBeforeFirstPlot()
{
    QFETCH(int, control);
    QFETCH(bool, titled);
    QFETCH(QString, x);
    QFETCH(QString, y);
    QCOMPARE(GetGraphPlotCount(panel, control), 0);
    QCOMPARE(!Chart(control)->title().isEmpty(), titled);
    QCOMPARE(Reading(Axis(control, Qt::Horizontal)), x);
    QCOMPARE(Reading(Axis(control, Qt::Vertical)), y);
}

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

void Graphs::laterPlotOnTop_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("second"); // colour of the plot drawn second
    QTest::newRow("adjustment bars") << int(PANEL_GRAPH_ADJ) << 0xFF0000;
    QTest::newRow("jump buffer and threshold") << int(PANEL_GRAPH_JUMPBUF) << 0x000000;
}

/* Redrawn as every cycle or readout does (delete all, plot blue, plot the second), the plot
** drawn second lies on top every time, so a slot where both meet keeps its colour. */
void Graphs::laterPlotOnTop()
{
    QFETCH(int, control);
    QFETCH(int, second);
    const unsigned char y[16] = {0, 150, 0, 80, 80, 80};
    const QStringList order = {"#0000ff", QColor(QRgb(second)).name()};
    for (int redraw = 1; redraw <= 3; redraw++) {
        DeleteGraphPlot(panel, control, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
        PlotY(panel, control, y, 16, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1, 0x0000FF);
        PlotY(panel, control, y + 2, 14, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1, second);
        QCOMPARE(DrawingOrder(control), order);
    }
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
    QVERIFY(DrawnAt(65, 40));
    QVERIFY(DrawnAt(65, 50)); // the grid line at 50, under the traces
    for (int level : {70, 120, 180, 215, 230})
        QVERIFY2(!DrawnAt(65, level), qPrintable(QString::number(level)));
    ShowOnly(5);
    QVERIFY(DrawnAt(65, 215));
    QVERIFY(!DrawnAt(65, 230));
    QVERIFY(!DrawnAt(65, 40));
}

/* The window can grow and shrink, and the chart area takes what it gains while the
** parameter column keeps its width. The panel's own size fits a 1366x768 screen with its
** window frame; shown on the narrower test screen (800 pixels, as a 1600x1200 screen at scale
** factor 2) the window fits that screen, and its smallest size fits 800x600 with the frame;
** the window has a layout (a menu bar can be added). */
void Graphs::chartTakesRoomWindowGains()
{
    QWidget *window = fixture::PanelWindow();
    QVERIFY(window->layout());
    const int unshown = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
    QVERIFY(unshown > 0);
    const QSize own = PanelWidget(unshown)->size();
    DiscardPanel(unshown);
    QVERIFY(own.width() <= 1366 - 16 && own.height() <= 768 - 88);
    QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
    QVERIFY(window->minimumSize().width() <= 800 - 16 &&
            window->minimumSize().height() <= 600 - 72);

    window->resize(own);
    QTRY_COMPARE(window->size(), own);
    QWidget *chart = fixture::Widget(PANEL_STRIPCHART), *place = fixture::Widget(PANEL_HOLD);
    const QSize chartBefore = chart->size();
    const int placeWidth = place->width();
    window->resize(own + QSize(300, 200));
    QTRY_COMPARE(chart->size(), chartBefore + QSize(300, 200));
    QCOMPARE(place->width(), placeWidth);
    for (int id : {PANEL_GRAPH_ADJ, PANEL_GRAPH_JUMPBUF})
        QCOMPARE(fixture::Widget(id)->geometry(), chart->geometry());
}

QTEST_MAIN(Graphs)
#include "tst_graphs.moc"
