/* graphs.cpp: graphs and strip charts on Qt Charts: plots of byte arrays (lines and steps),
** the scrolling five-trace strip chart, plot deletion, trace visibility, the picture of a
** chart as a PNG file and the read-back used by checks. Divisions: chart set-up; graphs; strip
** charts; pictures; read-back.
*/
#include "qtpanel.h"

#include <QBuffer>
#include <QPixmap>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QList>
#include <QPointF>
#include <QValueAxis>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

using namespace vrplatform;

namespace
{

/* ---- Chart set-up -------------------------------------------------------------------- */

enum { StripTraces = 5, DefaultPointsPerScreen = 100 };

/* Strip chart traces in the order the history interleaves them: DAT0, DAT1, NORM,
** threshold, hysteresis. */
const int TraceColors[StripTraces] = {0x0000FF, 0x00A000, 0xFF0000, 0x000000, 0xFF8000};

struct Plot {
    int handle = 0;
    QLineSeries *series = nullptr;
    std::vector<double> values; // the values as given, for read-back
    int color = 0;
};

/* What the platform keeps per chart control. Plots deleted from a graph go to `spare` and
** are reused by the next PlotY, so redrawing a graph every cycle creates no chart items. */
struct Chart {
    QChart *chart = nullptr;
    QValueAxis *x = nullptr;
    QValueAxis *y = nullptr;
    bool strip = false;
    bool fixedX = false;     // the x range belongs to the chart kind, not to the plots
    std::vector<Plot> plots; // graphs: the live plots, oldest first
    std::vector<QLineSeries *> spare;
    QLineSeries *traces[StripTraces] = {};
    QList<double> traceValues[StripTraces]; // strip charts: the last points of each trace
};

std::map<QChartView *, std::unique_ptr<Chart>> charts;
int nextPlotHandle = 1;

QColor colorOf(int rgb)
{
    return QColor::fromRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QLineSeries *newSeries(Chart &c)
{
    auto *s = new QLineSeries(c.chart);
    c.chart->addSeries(s);
    s->attachAxis(c.x);
    s->attachAxis(c.y);
    return s;
}

int pointsPerScreen(QChartView *view)
{
    const QVariant v = view->property("vrPointsPerScreen");
    return v.isValid() && v.toInt() >= 2 ? v.toInt() : DefaultPointsPerScreen;
}

/* The chart record of a chart control, set up on first use: raster drawing without
** animation or legend, axes by the kind the panel file gives ("strip", "adj", "jump"). */
Chart *chartOf(int panel, int control)
{
    Control *ctl = findControl(panel, control);
    if (!ctl || ctl->kind != Kind::Chart) return nullptr;
    auto *view = static_cast<QChartView *>(ctl->widget.data());
    auto it = charts.find(view);
    if (it != charts.end()) return it->second.get();

    auto c = std::make_unique<Chart>();
    c->chart = view->chart();
    c->chart->setAnimationOptions(QChart::NoAnimation);
    c->chart->legend()->hide();
    c->chart->setBackgroundRoundness(0);
    c->chart->setMargins(QMargins(4, 4, 4, 4));
    view->setRenderHint(QPainter::Antialiasing, false);

    c->x = new QValueAxis(c->chart);
    c->y = new QValueAxis(c->chart);
    c->x->setLabelFormat(QStringLiteral("%d"));
    c->y->setLabelFormat(QStringLiteral("%d"));
    c->chart->addAxis(c->x, Qt::AlignBottom);
    c->chart->addAxis(c->y, Qt::AlignLeft);

    const QString kind = view->property("chartKind").toString();
    if (kind == QLatin1String("adj")) {
        c->fixedX = true;
        c->x->setRange(0, 100);
        c->x->setTickCount(11);
        c->x->setTitleText(QStringLiteral("%"));
        c->y->setRange(0, 160);
    } else {
        c->strip = kind == QLatin1String("strip");
        c->x->setRange(0, c->strip ? pointsPerScreen(view) - 1 : 16);
        c->y->setRange(0, 255);
    }
    c->y->setTickCount(6);

    if (c->strip) {
        for (int t = 0; t < StripTraces; t++) {
            c->traces[t] = newSeries(*c);
            c->traces[t]->setPen(QPen(colorOf(TraceColors[t]), 1));
        }
    }
    Chart *raw = c.get();
    QObject::connect(view, &QObject::destroyed, [view] { charts.erase(view); });
    charts[view] = std::move(c);
    return raw;
}

void removePlots(Chart &c)
{
    for (Plot &p : c.plots) {
        p.series->clear();
        p.series->setVisible(false);
        c.spare.push_back(p.series);
    }
    c.plots.clear();
}

} // namespace

/* ---- Graphs -------------------------------------------------------------------------- */

int PlotY(int panel, int control, const unsigned char *y, int n, int dataType, int plotStyle, int,
          int, int, int color)
{
    Chart *c = chartOf(panel, control);
    if (!c || c->strip || !y || n < 1 || dataType != VAL_UNSIGNED_CHAR) return -1;

    // A step plot holds value i from x = i to x = i + 1; any other style joins the points.
    const bool step = plotStyle == VAL_STEP_PLOT;
    QList<QPointF> points;
    points.reserve(step ? 2 * n : n);
    Plot p;
    p.values.reserve(n);
    for (int i = 0; i < n; i++) {
        p.values.push_back(y[i]);
        points.append(QPointF(i, y[i]));
        if (step) points.append(QPointF(i + 1, y[i]));
    }

    if (c->spare.empty()) {
        p.series = newSeries(*c);
    } else {
        p.series = c->spare.back();
        c->spare.pop_back();
    }
    p.series->setPen(QPen(colorOf(color), 2));
    p.series->replace(points);
    p.series->setVisible(true);
    p.handle = nextPlotHandle++;
    p.color = color;
    if (!c->fixedX && c->x->max() != (step ? n : n - 1)) c->x->setRange(0, step ? n : n - 1);
    c->plots.push_back(std::move(p));
    return c->plots.back().handle;
}

int DeleteGraphPlot(int panel, int control, int plotHandle, int)
{
    Chart *c = chartOf(panel, control);
    if (!c) return -1;
    if (c->strip) {
        // A strip chart has no plots of its own: deleting clears its traces.
        for (int t = 0; t < StripTraces; t++) {
            c->traceValues[t].clear();
            c->traces[t]->clear();
        }
        return 0;
    }
    if (plotHandle == VAL_DELETE_ALL) {
        removePlots(*c);
        return 0;
    }
    auto it = std::find_if(c->plots.begin(), c->plots.end(),
                           [plotHandle](const Plot &p) { return p.handle == plotHandle; });
    if (it == c->plots.end()) return -1;
    it->series->clear();
    it->series->setVisible(false);
    c->spare.push_back(it->series);
    c->plots.erase(it);
    return 0;
}

/* ---- Strip charts -------------------------------------------------------------------- */

int PlotStripChart(int panel, int control, const double *y, int n, int start, int skip,
                   int dataType)
{
    Chart *c = chartOf(panel, control);
    if (!c || !c->strip || !y || n < 1 || start < 0 || skip < 0 || dataType != VAL_DOUBLE ||
        n % StripTraces != 0)
        return -1;
    Control *ctl = findControl(panel, control);
    const int screen = pointsPerScreen(static_cast<QChartView *>(ctl->widget.data()));

    // Value k taken is y[start + k * (skip + 1)]; values go to the traces in turn.
    for (int k = 0; k < n; k++)
        c->traceValues[k % StripTraces].append(y[start + k * (skip + 1)]);

    QList<QPointF> points;
    points.reserve(screen);
    for (int t = 0; t < StripTraces; t++) {
        QList<double> &v = c->traceValues[t];
        if (v.size() > screen) v.remove(0, v.size() - screen);
        points.clear();
        for (int i = 0; i < v.size(); i++)
            points.append(QPointF(i, v[i]));
        c->traces[t]->replace(points);
    }
    if (c->x->max() != screen - 1) c->x->setRange(0, screen - 1);
    return 0;
}

int SetTraceAttribute(int panel, int control, int trace, int attribute, int value)
{
    Chart *c = chartOf(panel, control);
    if (!c || !c->strip || trace < 1 || trace > StripTraces || attribute != ATTR_TRACE_VISIBLE)
        return -1;
    c->traces[trace - 1]->setVisible(value != 0);
    return 0;
}

/* ---- Pictures ------------------------------------------------------------------------- */

int SaveCtrlImage(int panel, int control, const char *fileName)
{
    Control *ctl = findControl(panel, control);
    if (!ctl || !fileName || !*fileName)
        return fileFailure(-1, QStringLiteral("no such control or no file name"));
    const QPixmap picture = ctl->widget->grab();
    QByteArray png;
    QBuffer buffer(&png);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return fileFailure(-1, QStringLiteral("cannot make the picture of the control"));
    return saveAtomically(QString::fromLocal8Bit(fileName), png);
}

/* ---- Read-back ----------------------------------------------------------------------- */

/* Graphs: the number of plots. Strip charts: the number of traces holding points. */
int GetGraphPlotCount(int panel, int control)
{
    Chart *c = chartOf(panel, control);
    if (!c) return -1;
    if (!c->strip) return static_cast<int>(c->plots.size());
    int count = 0;
    for (const QList<double> &v : c->traceValues)
        count += v.isEmpty() ? 0 : 1;
    return count;
}

int GetGraphPlotData(int panel, int control, int index, double *values, int capacity, int *color)
{
    Chart *c = chartOf(panel, control);
    if (!c || c->strip || index < 0 || index >= static_cast<int>(c->plots.size())) return -1;
    const Plot &p = c->plots[index];
    const int n = std::min<int>(static_cast<int>(p.values.size()), std::max(capacity, 0));
    if (values) std::copy(p.values.begin(), p.values.begin() + n, values);
    if (color) *color = p.color;
    return n;
}

int GetStripChartTrace(int panel, int control, int trace, double *values, int capacity,
                       int *visible)
{
    Chart *c = chartOf(panel, control);
    if (!c || !c->strip || trace < 1 || trace > StripTraces) return -1;
    const QList<double> &v = c->traceValues[trace - 1];
    const int n = std::min<int>(static_cast<int>(v.size()), std::max(capacity, 0));
    if (values) std::copy(v.begin(), v.begin() + n, values);
    if (visible) *visible = c->traces[trace - 1]->isVisible() ? 1 : 0;
    return n;
}
