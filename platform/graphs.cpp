/* graphs.cpp: graphs and strip charts on Qt Charts: plots of byte arrays (lines and steps),
** the scrolling five-trace strip chart, plot deletion, trace visibility, the picture of a
** chart as a PNG file and the read-back used by checks. Divisions: chart set-up; strip chart
** drawing; graphs; strip charts; pictures; read-back.
*/
#include "probe.h"
#include "qtpanel.h"

#include <QBuffer>
#include <QPixmap>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QList>
#include <QPainter>
#include <QPointF>
#include <QPolygonF>
#include <QValueAxis>
#include <QWidget>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

using namespace vrplatform;

namespace
{

/* ---- Chart set-up -------------------------------------------------------------------- */

enum { StripTraces = 5, DefaultPointsPerScreen = 100 };

/* Axis and grid colours: the grid light enough that a plot lying on a grid line stays seen. */
const QColor GridColor(0xd8, 0xd8, 0xd8), AxisColor(0x60, 0x60, 0x60);

struct Plot {
    int handle = 0;
    QLineSeries *series = nullptr;
    std::vector<double> values; // the values as given, for read-back
    int color = 0;
};

/* What the platform keeps per chart control. Plots deleted from a graph go to `spare` and
** are reused by the next PlotY, so redrawing a graph every cycle creates no chart items. */
class StripLayer;

struct Chart {
    QChart *chart = nullptr;
    QValueAxis *x = nullptr;
    QValueAxis *y = nullptr;
    bool strip = false;
    bool fixedX = false;     // the x range belongs to the chart kind, not to the plots
    QStringList plotNames;   // graphs: legend names by plot order; %1 is the plot's first value
    std::vector<Plot> plots; // graphs: the live plots, oldest first
    std::vector<QLineSeries *> spare;
    QLineSeries *traces[StripTraces] = {};
    QList<double> traceValues[StripTraces]; // strip charts: the last points of each trace
    StripLayer *layer = nullptr;            // strip charts: draws the traces
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
    QVariant v = view->property("vrPointsPerScreen");
    if (!v.isValid()) v = view->property("pointsPerScreen"); // the panel file's start value
    return v.isValid() && v.toInt() >= 2 ? v.toInt() : DefaultPointsPerScreen;
}

/* ---- Strip chart drawing ------------------------------------------------------------- */

/* Where value x of the x axis and value y of the y axis lie in plot area `area`. */
double xAt(const Chart &c, const QRectF &area, double x)
{
    return area.left() + (x - c.x->min()) * area.width() / (c.x->max() - c.x->min());
}
double yAt(const Chart &c, const QRectF &area, double y)
{
    return area.bottom() - (y - c.y->min()) * area.height() / (c.y->max() - c.y->min());
}

/* The plot area of a strip chart, drawn by a widget of its own laid over the chart view: the
** grid from a picture made once for the area's size and the axes' ranges, the axis lines
** along its edges, and one polyline per visible trace in the trace's series pen, in the order
** of the chart's series (a later one on top). Opaque, it is all a cycle repaints: the chart's
** scene, its items and the frame under it are left alone, and they cost more than the traces.
** The series stay in the chart without points, for their pens, visibility and legend: a
** series given points would be outlined anew (for hit tests) whenever they change, and drawn
** segment by segment. A change repaints only the band of the area that the changed traces
** cover, before and after. Mouse events go through to the chart. */
class StripLayer : public QWidget
{
  public:
    StripLayer(Chart &chart, QChartView *view) : QWidget(view->viewport()), c(chart), view(view)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        for (QValueAxis *axis : {c.x, c.y}) {
            gridPens.push_back(axis->gridLinePen());
            axis->setGridLineVisible(false);
            connect(axis, &QValueAxis::rangeChanged, this, [this] { grid = QPixmap(); });
        }
        // The plot area moves in the view when the chart lays itself out, and when the view's
        // size changes the way it centres the chart (after its own resize handling).
        connect(c.chart, &QChart::plotAreaChanged, this, &StripLayer::place);
        view->installEventFilter(this);
        place();
        show();
    }
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (watched == view && e->type() == QEvent::Resize)
            QMetaObject::invokeMethod(this, &StripLayer::place, Qt::QueuedConnection);
        return false;
    }

    /* Repaints trace t where it was and where it is, if its values or its visibility
    ** changed since it was drawn. */
    void refresh(int t)
    {
        const bool shown = c.traces[t]->isVisible();
        if (shown == drawnShown[t] && (!shown || c.traceValues[t] == drawn[t])) return;
        const QRectF dirty = band(drawn[t], drawnShown[t]).united(band(c.traceValues[t], shown));
        if (!dirty.isEmpty()) update(dirty.toAlignedRect());
        drawn[t] = shown ? c.traceValues[t] : QList<double>();
        drawnShown[t] = shown;
    }
    /* Everything anew: the axes' ranges changed. */
    void refreshAll()
    {
        for (int t = 0; t < StripTraces; t++) {
            drawn[t] = c.traces[t]->isVisible() ? c.traceValues[t] : QList<double>();
            drawnShown[t] = c.traces[t]->isVisible();
        }
        update();
    }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const qreal ratio = devicePixelRatioF();
        if (grid.isNull() || grid.devicePixelRatioF() != ratio) drawGrid(ratio);
        painter.drawPixmap(0, 0, grid);
        const QRectF area = plotArea();
        if (!scaled(area)) return;
        // Half a pixel more, so that a line along an edge of the area is drawn whole.
        painter.setClipRect(area.adjusted(-0.5, -0.5, 0.5, 0.5));
        for (QAbstractSeries *s : c.chart->series())
            for (int t = 0; t < StripTraces; t++) {
                if (s != c.traces[t] || !drawnShown[t]) continue;
                // The inner points of a level stretch are left out: the line from its first
                // point to its last covers the same pixels at a fraction of the cost.
                const QList<double> &v = drawn[t];
                points.clear();
                for (int i = 0; i < v.size(); i++)
                    if (i == 0 || i == v.size() - 1 || v[i] != v[i - 1] || v[i] != v[i + 1])
                        points.append(QPointF(xAt(c, area, i), yAt(c, area, v[i])));
                drawThick(&painter, c.traces[t]->pen());
            }
    }

  private:
    /* The chart's plot area in the view's viewport. */
    QRectF areaInView() const
    {
        return view->viewportTransform().mapRect(c.chart->mapRectToScene(c.chart->plotArea()));
    }
    /* Over the chart's plot area, in whole pixels. */
    void place()
    {
        setGeometry(areaInView().toAlignedRect());
        grid = QPixmap();
        update();
    }
    /* The chart's plot area in this widget's coordinates. */
    QRectF plotArea() const { return areaInView().translated(-pos()); }

    /* The points in `pen`, drawn as lines one device pixel wide side by side, as wide as the
    ** pen on the device: a pen wider than one pixel is outlined (stroked) anew for every line
    ** drawn, at about ten times the cost of the thin lines that cover the same pixels. Dashes
    ** keep their length. */
    void drawThick(QPainter *painter, QPen pen)
    {
        const qreal ratio = painter->device()->devicePixelRatioF();
        const int width = std::max(1, qRound(pen.widthF() * ratio)); // in device pixels
        if (pen.style() != Qt::SolidLine && pen.style() != Qt::NoPen) {
            QList<qreal> dashes = pen.dashPattern();
            for (qreal &d : dashes)
                d *= width;
            pen.setDashPattern(dashes);
        }
        pen.setWidth(0); // one device pixel, drawn by the fast line rasterizer
        painter->setPen(pen);
        for (int k = 0; k < 2 * width - 1; k++) {
            const QPointF offset = (k < width ? QPointF(k, 0) : QPointF(0, k - width + 1)) / ratio;
            painter->translate(offset);
            painter->drawPolyline(points);
            painter->translate(-offset);
        }
    }

    bool scaled(const QRectF &area) const
    {
        return !area.isEmpty() && c.x->max() > c.x->min() && c.y->max() > c.y->min();
    }
    /* The part of the plot area that values v cover drawn across its whole width, with room
    ** for the pen; empty when not shown. */
    QRectF band(const QList<double> &v, bool shown) const
    {
        const QRectF area = plotArea();
        if (!shown || v.isEmpty() || !scaled(area)) return QRectF();
        const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
        QRectF r(QPointF(area.left(), yAt(c, area, *hi)), QPointF(area.right(), yAt(c, area, *lo)));
        return r.adjusted(-2, -2, 2, 2).intersected(rect());
    }

    /* The ticks of `axis` within its range, as values. */
    static QList<double> ticks(const QValueAxis *axis)
    {
        QList<double> v;
        const double lo = axis->min(), hi = axis->max(), span = hi - lo;
        if (!(span > 0)) return v;
        if (axis->tickType() == QValueAxis::TicksDynamic && axis->tickInterval() > 0) {
            const double step = axis->tickInterval();
            for (double t = axis->tickAnchor() + std::ceil((lo - axis->tickAnchor()) / step) * step;
                 t <= hi + span * 1e-9; t += step)
                v.append(t);
        } else {
            for (int i = 0, n = std::max(axis->tickCount(), 2); i < n; i++)
                v.append(lo + i * span / (n - 1));
        }
        return v;
    }

    /* The picture under the traces: the chart's background, lines at the axes' ticks in the
    ** axes' grid pens, as the chart draws them, and the axis lines that lie along the edges. */
    void drawGrid(qreal ratio)
    {
        grid = QPixmap(size() * ratio);
        grid.setDevicePixelRatio(ratio);
        grid.fill(c.chart->backgroundBrush().color()); // opaque: copied, not blended
        const QRectF area = plotArea();
        if (!scaled(area)) return;
        QPainter p(&grid);
        p.setPen(gridPens[0]);
        for (double t : ticks(c.x))
            p.drawLine(QPointF(xAt(c, area, t), area.top()),
                       QPointF(xAt(c, area, t), area.bottom()));
        p.setPen(gridPens[1]);
        for (double t : ticks(c.y))
            p.drawLine(QPointF(area.left(), yAt(c, area, t)),
                       QPointF(area.right(), yAt(c, area, t)));
        if (c.x->isVisible() && c.x->isLineVisible()) {
            p.setPen(c.x->linePen());
            p.drawLine(area.bottomLeft(), area.bottomRight());
        }
        if (c.y->isVisible() && c.y->isLineVisible()) {
            p.setPen(c.y->linePen());
            p.drawLine(area.topLeft(), area.bottomLeft());
        }
    }

    Chart &c;
    QChartView *view;
    QList<double> drawn[StripTraces];  /* the values each trace is drawn with */
    bool drawnShown[StripTraces] = {}; /* whether each trace is drawn */
    QPolygonF points;                  /* one trace's points, reused */
    std::vector<QPen> gridPens;        /* grid pens of the x and the y axis */
    QPixmap grid;                      /* background, grid and axis lines; null: to be made */
};

/* Grid and axis lines one device pixel wide whatever the scale (a cosmetic pen): they look as
** with a pen of width 1, but a line of width 1 is outlined anew (stroked) every time the view
** looks for the lines it has to repaint. */
void thinLines(Chart &c)
{
    for (QValueAxis *axis : {c.x, c.y}) {
        QPen pen = axis->gridLinePen();
        pen.setWidthF(0);
        axis->setGridLinePen(pen);
        pen = axis->linePen();
        pen.setWidthF(0);
        axis->setLinePen(pen);
    }
}

/* A list property of the panel file ("a,b,c"), one entry per trace or plot. */
QStringList listProperty(QChartView *view, const char *name)
{
    return view->property(name).toString().split(QLatin1Char(','));
}

/* Ticks every `interval` from 0, so that the labels are round numbers whatever the range. */
void roundTicks(QValueAxis *axis, double interval)
{
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(interval);
}

/* A strip chart trace's pen from the panel file: colour ("#rrggbb") and style ("solid",
** "dash", "dashdot"); data traces solid, reference lines dashed so they stand apart. */
QPen tracePen(QChartView *view, int trace)
{
    const QString colour = listProperty(view, "traceColors").value(trace).trimmed();
    const QString style = listProperty(view, "traceStyles").value(trace).trimmed();
    QPen pen(QColor::fromString(colour.isEmpty() ? QStringLiteral("#000000") : colour), 2);
    if (style == QLatin1String("dash")) pen.setStyle(Qt::DashLine);
    if (style == QLatin1String("dashdot")) pen.setStyle(Qt::DashDotLine);
    return pen;
}

/* The chart record of a chart control: raster drawing without animation; axes by the kind
** the panel file gives ("strip", "adj", "jump"); chart title, axis titles, trace names,
** colours and styles and plot names from its properties ("title", "xTitle", "yTitle",
** "traceNames", "traceColors", "traceStyles", "plotNames"). The legend at the top names the
** traces and plots shown: a hidden trace's entry hides with it. */
Chart *setUp(QChartView *view)
{
    auto it = charts.find(view);
    if (it != charts.end()) return it->second.get();

    auto c = std::make_unique<Chart>();
    c->chart = view->chart();
    c->chart->setAnimationOptions(QChart::NoAnimation);
    c->chart->legend()->setAlignment(Qt::AlignTop);
    c->chart->setBackgroundRoundness(0);
    // Plain white: the theme's white-to-white gradient is computed anew, in worker threads, at
    // every repaint.
    c->chart->setBackgroundBrush(QBrush(Qt::white));
    c->chart->setMargins(QMargins(4, 4, 4, 4));
    c->chart->setTitle(view->property("title").toString());
    view->setRenderHint(QPainter::Antialiasing, false);

    const QString kind = view->property("chartKind").toString();
    c->x = kind == QLatin1String("jump") ? new QCategoryAxis(c->chart) : new QValueAxis(c->chart);
    c->y = new QValueAxis(c->chart);
    c->x->setLabelFormat(QStringLiteral("%d"));
    c->y->setLabelFormat(QStringLiteral("%d"));
    for (QValueAxis *axis : {c->x, c->y}) {
        axis->setGridLineColor(GridColor);
        axis->setLinePenColor(AxisColor);
        axis->setMinorTickCount(0);
    }
    c->x->setTitleText(view->property("xTitle").toString());
    c->y->setTitleText(view->property("yTitle").toString());
    c->chart->addAxis(c->x, Qt::AlignBottom);
    c->chart->addAxis(c->y, Qt::AlignLeft);
    c->plotNames = listProperty(view, "plotNames");

    if (kind == QLatin1String("adj")) {
        // Bars in 100 one-percent slots; their height means nothing, so no y scale.
        c->fixedX = true;
        c->x->setRange(0, 100);
        roundTicks(c->x, 10);
        c->y->setRange(0, 160);
        c->y->setVisible(false);
    } else if (kind == QLatin1String("jump")) {
        // 16 stored edges, value i held from x = i to i + 1: labelled 1..16 in their steps.
        auto *edges = static_cast<QCategoryAxis *>(c->x);
        c->fixedX = true;
        edges->setRange(0, 16);
        edges->setStartValue(0);
        for (int i = 1; i <= 16; i++)
            edges->append(QString::number(i), i);
        edges->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
        c->y->setRange(0, 255);
        roundTicks(c->y, 50);
    } else {
        c->strip = kind == QLatin1String("strip");
        c->x->setRange(0, c->strip ? pointsPerScreen(view) - 1 : 16);
        roundTicks(c->x, 10);
        c->y->setRange(0, 255);
        roundTicks(c->y, 50);
    }

    if (c->strip) {
        const QStringList names = listProperty(view, "traceNames");
        for (int t = 0; t < StripTraces; t++) {
            c->traces[t] = newSeries(*c);
            c->traces[t]->setPen(tracePen(view, t));
            c->traces[t]->setName(names.value(t).trimmed());
        }
    }
    thinLines(*c);
    if (c->strip) c->layer = new StripLayer(*c, view);
    Chart *raw = c.get();
    QObject::connect(view, &QObject::destroyed, [view] { charts.erase(view); });
    charts[view] = std::move(c);
    return raw;
}

/* The chart record of a chart control of a loaded panel, or nullptr. */
Chart *chartOf(int panel, int control)
{
    Control *ctl = findControl(panel, control);
    if (!ctl || ctl->kind != Kind::Chart) return nullptr;
    return setUp(static_cast<QChartView *>(ctl->widget.data()));
}

/* A series for a new plot, drawn over the live plots (the chart draws its series in the
** order they were added): a spare series the chart draws after all live ones, else a spare
** series added again on top, else a new one. Reusing spares keeps a graph redrawn every
** cycle from creating chart items; the order keeps the later plot always on top, so plots
** that overlap do not swap colours from one redraw to the next. */
QLineSeries *takeSeries(Chart &c)
{
    if (c.spare.empty()) return newSeries(c);
    const QList<QAbstractSeries *> order = c.chart->series();
    qsizetype top = -1;
    for (const Plot &p : c.plots)
        top = std::max(top, order.indexOf(p.series));
    for (qsizetype i = top + 1; i < order.size(); i++) {
        auto it = std::find(c.spare.begin(), c.spare.end(), order[i]);
        if (it == c.spare.end()) continue;
        QLineSeries *s = *it;
        c.spare.erase(it);
        return s;
    }
    QLineSeries *s = c.spare.front();
    c.spare.erase(c.spare.begin());
    c.chart->removeSeries(s);
    c.chart->addSeries(s);
    s->attachAxis(c.x);
    s->attachAxis(c.y);
    return s;
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

void vrplatform::setUpChart(QChartView *view)
{
    setUp(view);
}

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

    p.series = takeSeries(*c);
    QString name = c->plotNames.value(static_cast<int>(c->plots.size())).trimmed();
    if (name.contains(QLatin1String("%1"))) name = name.arg(int(y[0]));
    if (p.series->name() != name) p.series->setName(name);
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
        for (int t = 0; t < StripTraces; t++)
            c->traceValues[t].clear();
        c->layer->refreshAll();
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

    for (int t = 0; t < StripTraces; t++) {
        QList<double> &v = c->traceValues[t];
        if (v.size() > screen) v.remove(0, v.size() - screen);
    }
    // Only the traces on view are drawn, and only where they changed; a hidden one catches
    // up when it is shown again.
    if (c->x->max() != screen - 1) {
        c->x->setRange(0, screen - 1);
        c->layer->refreshAll();
    }
    for (int t = 0; t < StripTraces; t++)
        c->layer->refresh(t);
    return 0;
}

int SetTraceAttribute(int panel, int control, int trace, int attribute, int value)
{
    Chart *c = chartOf(panel, control);
    if (!c || !c->strip || trace < 1 || trace > StripTraces || attribute != ATTR_TRACE_VISIBLE)
        return -1;
    c->traces[trace - 1]->setVisible(value != 0);
    c->layer->refresh(trace - 1);
    return 0;
}

/* ---- Pictures ------------------------------------------------------------------------- */

int SaveCtrlImage(int panel, int control, const char *fileName)
{
    Control *ctl = findControl(panel, control);
    if (!ctl || !fileName || !*fileName) {
        setFileErrorText(QStringLiteral("no such control or no file name"));
        return -1;
    }
    const QPixmap picture = ctl->widget->grab();
    QByteArray png;
    QBuffer buffer(&png);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        setFileErrorText(QStringLiteral("cannot make the picture of the control"));
        return -1;
    }
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
