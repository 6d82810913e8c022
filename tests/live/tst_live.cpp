/* tst_live.cpp: polling, the history, the views and charts, the jump buffer, recording and
** exports, on the real panel against the simulator. */
#include "support/fixture.h"

#include <QApplication>
#include <QChartView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <cstring>

using namespace fx;

namespace
{

typedef QList<double> Values;

/* Whether the strip chart shows anything but its background within a pixel of value y and 3
** of sample x (a dash-dot trace's gaps are 4 wide; points per screen 101), next to the pixel
** at the same x and value 10. */
bool DrawnAt(double x, double y)
{
    auto *view = qobject_cast<QChartView *>(W(PANEL_STRIPCHART));
    Settle(); /* a legend entry shown or hidden, or a resize, moves the plot area */
    QCoreApplication::processEvents();
    const QImage image = view->grab().toImage();
    auto pixel = [&](double px, double py) {
        const QPointF p = view->chart()->mapToPosition(QPointF(px, py));
        return view->mapFromScene(view->chart()->mapToScene(p)) + view->viewport()->pos();
    };
    const QRgb empty = image.pixel(pixel(x, 10));
    for (int dx = -3; dx <= 3; dx++)
        for (int dy = -1; dy <= 1; dy++)
            if (image.pixel(pixel(x, y) + QPoint(dx, dy)) != empty) return true;
    return false;
}

Values History()
{
    return Values(alldata, alldata + AnzAll);
}

/* The values of a strip chart trace (index 1..5) or of a graph's plot (0, 1). */
Values Plot(int control, int index)
{
    double v[200];
    const int n = control == PANEL_STRIPCHART
                      ? GetStripChartTrace(panel, control, index, v, 200, nullptr)
                      : GetGraphPlotData(panel, control, index, v, 200, nullptr);
    return Values(v, v + qMax(n, 0));
}

QChart *Chart(int control)
{
    return qobject_cast<QChartView *>(W(control))->chart();
}

/* The shown line series of a chart by colour, in drawing order (the last on top), or its
** legend entries as "name #rrggbb". */
QStringList Drawn(int control, bool legend = false)
{
    QStringList out;
    for (QAbstractSeries *s : Chart(control)->series())
        if (!legend && s->isVisible() && qobject_cast<QLineSeries *>(s))
            out << qobject_cast<QLineSeries *>(s)->pen().color().name();
    for (QLegendMarker *m : Chart(control)->legend()->markers())
        if (legend && Chart(control)->legend()->isVisible() && m->isVisible())
            out << m->label() + ' ' + m->brush().color().name();
    return out;
}

// clang-format off
/* after: data requests before the action, 0: in Go's settle wait; unanswered: the request in
** flight meanwhile gets no reply; sent: the action's frames */
const struct { const char *name, *action; int after; bool unanswered; Ints sent; bool ends; }
interrupts[] = {
    {"GetBuff", "GetBuff", 2, false, {6}, true},
    {"Send to RAM", "Send", 2, false, {1}, true},
    {"Get from RAM", "Get", 2, false, {3}, true},
    {"a port committed", "port", 2, false, {7, 3}, true},
    {"GetBuff in the reply wait", "GetBuff", 1, true, {6}, true},
    {"Send in the reply wait", "Send", 1, true, {1}, true},
    {"Get in the reply wait", "Get", 1, true, {3}, true},
    {"a port committed in the reply wait", "port", 1, true, {7, 3}, true},
    {"Stop in the reply wait: nothing read or shown", "Stop", 1, true, {}, true},
    {"the window closed", "close", 2, false, {}, true},
    {"the window closed in the settle wait: no loop", "close", 0, false, {}, true},
    {"GetBuff, Get, a port commit in the settle wait: ignored", "settle", 0, false, {}, false},
    {"a file saved: polling goes on", "file", 2, false, {}, false},
    {"a second Go: ignored, one Stop ends the loop", "Go", 2, false, {}, false},
    {"every menu command but Quit: polling goes on", "menus", 2, false, {}, false},
};
const int menus[] = {MENU_RECORD_START, MENU_EXPORT_HISTORY, MENU_EXPORT_JUMPBUF, MENU_SAVE_GRAPH,
    MENU_RECORD_STOP, MENU_VIEW_RAW, MENU_VIEW_NORM, MENU_HELP_KEYS, MENU_HELP_ABOUT};

/* shown: DAT0 DAT1 NORM deco strip-chart EDGE WIN adjustment jump, traces 1..5; the legend */
const struct { const char *name; int view; Ints shown; QStringList legend; } views[] = {
    {"raw", 0, {1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0}, {"DAT0 #0072b2", "DAT1 #e69f00"}},
    {"NORM", 1, {1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1},
     {"NORM #000000", "THRESHOLD #d55e00", "HYSTERESIS #009e73"}},
    {"adjustment: traces as they were", 2, {0, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1},
     {"DAT0 #0072b2", "NORM #000000", "HYSTERESIS #009e73"}},
};

/* times of 1000; slot -1: no bar */
const struct { const char *name; int edge, window, edgeSlot, windowSlot; } bars[] = {
    {"edge 0 %, window 100 %", 0, 1000, 0, -1},
    {"edge 99.9 %, window 0 %", 999, 0, 99, 0},
    {"edge 100 %, window 99 %", 1000, 990, -1, 99},
};

/* Cycles: a packet and its line's fields after the time, by hand (bytes low first): percent =
** 100 * time / IN0 time, rounded down, empty without an IN0 time (shown as 0); threshold 90,
** hysteresis 110. The first five fields are what the displays show. */
const struct { int dat0, dat1, norm, edge, in0, in1; const char *fields; } recorded[] = {
    {200, 50, 204, 0x0123, 1000, 600, "200,50,204,29,60,291,1000,600,90,110"},
    {10, 240, 10, 500, 0, 300, "10,240,10,,,500,0,300,90,110"},
    {255, 0, 255, 0xFFFF, 1, 0xFFFF, "255,0,255,6553500,6553500,65535,1,65535,90,110"},
    {128, 127, 128, 500, 2000, 1999, "128,127,128,25,99,500,2000,1999,90,110"},
};

/* The exports, read back: the file's line count and header line. */
const struct { const char *name; int item; const char *file; int lines; const char *header; }
exports[] = {
    {"history", MENU_EXPORT_HISTORY, "h.csv", 101, "sample,DAT0,DAT1,NORM,threshold,hysteresis"},
    {"jump buffer", MENU_EXPORT_JUMPBUF, "j.csv", 17, "index,value,threshold"},
    {"graph image", MENU_SAVE_GRAPH, "g.png", 0, nullptr},
};
// clang-format on

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
        auto *x = qobject_cast<QValueAxis *>(Chart(PANEL_STRIPCHART)->axes(Qt::Horizontal)[0]);
        QVERIFY(x->isVisible() && !x->titleText().isEmpty() && x->max() == 100); /* explained */
        std::strcpy(doc_dir, qPrintable(dir.path())); /* where the file dialogs open */
    }
    void cleanupTestCase() { Discard(); }
    void init()
    {
        QVERIFY(sim.cmd("clear"));
        QCOMPARE(poll, 0);
        SetCtrlVal(panel, PANEL_THRESHOLD, 90);
        SetCtrlVal(panel, PANEL_HYSTERESIS, 110);
    }

    /* Each cycle's number typed into the threshold the cycle before: every sample shows its
    ** cycle, in the fourth trace, never sent; the 101st cycle drops the first sample. */
    void historyAndThresholdEdits()
    {
        QVERIFY(sim.cmd(Sim::data(180, 60, 191, 0, 1000, 0)));
        SetCtrlVal(panel, PANEL_THRESHOLD, 1);
        const Ints packet = Packet();
        const int from = sim.frames().size();
        Values after100;
        auto each = [&](int n) {
            Type(PANEL_THRESHOLD, QString::number(n + 1));
            if (n == 100) after100 = History();
        };
        QCOMPARE(RunCycles(sim, 101, each), 101);
        for (int i = 0; i < 100; i++)
            QCOMPARE(after100.mid(5 * i, 4), (Values{180, 60, 191, double(i + 1)}));
        QCOMPARE(History().mid(0, 495), after100.mid(5));
        QCOMPARE(History().mid(495), (Values{180, 60, 191, 101, double(hysteresis)}));
        QCOMPARE(int(threshold), 101); /* the last cycle read 101; 102 came after it */
        QCOMPARE(sim.commands(from), Ints(101, 5));
        QCOMPARE(Packet(), packet);
        Values trace4{100}; /* 101 points a screen: the one before, then the 100 samples */
        for (int k = 2; k <= 101; k++)
            trace4 << k;
        QCOMPARE(Plot(PANEL_STRIPCHART, 4), trace4);
    }

    void whatEndsPolling_data() { AddRows(interrupts); }
    /* An operation, a port commit, Stop or the close ends the loop (in a reply wait too,
    ** unreported; Stop there reads and shows nothing) and runs alone; a file save, a second Go
    ** or a menu command does not; in Go's settle wait they are refused. Go is lit while the
    ** loop runs, the pointer normal. */
    void whatEndsPolling()
    {
        const auto &r = interrupts[Row()];
        const QString action = r.action, path = dir.filePath("during.dat");
        if (action == "file") Click(PANEL_SELECT_FILE);
        if (r.unanswered) QVERIFY(sim.cmd("fault 5 silent once"));
        const int from = sim.frames().size();
        auto requests = [&] { return sim.commands(from).count(5); };
        auto lit = [] { /* Go's face in the highlight colour */
                        const QPalette look = W(Go)->palette();
                        return look.color(QPalette::Button) ==
                               look.color(QPalette::Active, QPalette::Highlight);
        };
        bool wasLit = r.after == 0, normalPointer = false;
        int polling = 0; /* menu commands after which polling still ran */
        const QStringList before = action == "Stop" ? Snapshot() : QStringList();
        nBytesR = -777;
        Popups popups(action == "menus" ? QStringList{"a.csv", "b.csv", "c.csv", "d.png"}
                                        : QStringList{path});
        When act([&] { return going && (r.after ? requests() >= r.after : busy == 1); },
                 [&] {
                     wasLit = wasLit || lit();
                     normalPointer = r.after == 0 || !QApplication::overrideCursor();
                     if (action == "port" || action == "settle") CommitPort(1);
                     if (action == "close") W(PANEL_STATUS)->window()->close();
                     if (action == "GetBuff" || action == "settle") Click(GetBuff);
                     if (action == "Send" || action == "file") Click(Send);
                     if (action == "Get" || action == "settle") Click(Get);
                     if (action == "Go") Click(Go);
                     if (action == "Stop") Click(Stop);
                     if (action == "menus")
                         for (int item : menus)
                             polling += Menu(item) && poll == 1;
                 });
        When stop([&] { return act.done && requests() >= r.after + 3; }, [] { Click(Stop); });
        QVERIFY(PressGo());
        QVERIFY(act.done && wasLit && normalPointer && !lit());
        QCOMPARE(stop.done, !r.ends);
        QCOMPARE(poll + going, 0);
        QCOMPARE(popups.count(), action == "menus" ? 2 : 0); /* the help popups */
        QCOMPARE(polling, action == "menus" ? int(std::size(menus)) : 0);
        QCOMPARE(popups.dialogs, action == "menus" ? 4 : int(action == "file"));
        const Ints sent = sim.commands(from, true);
        QCOMPARE(sent, Ints(sent.count(5), 5) + r.sent);
        if (r.unanswered || (!r.after && r.ends)) QCOMPARE(sent.count(5), r.after);
        if (action == "file") QVERIFY(QFileInfo(path).size() > 0);
        if (action == "Stop") QCOMPARE(Snapshot(), before);
        if (action == "Stop") QCOMPARE(nBytesR, -777);
        if (action == "file") Click(PANEL_SELECT_RAM);
        quitting = 0;
    }

    void viewShown_data() { AddRows(views); }
    /* From another view, with the jump graph shown as after a readout, the operator selects
    ** the view on the ring, then from the View menu, which checks that view alone. */
    void viewShown()
    {
        const auto &r = views[Row()];
        for (bool menu : {false, true}) {
            SetCtrlVal(panel, PANEL_SOURCE, (r.view + 2) % 3);
            DispVis();
            for (int t = 1; t <= 5; t++)
                SetTraceAttribute(panel, PANEL_STRIPCHART, t, ATTR_TRACE_VISIBLE, t % 2);
            SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 1);
            const char *view = "source, ring, shown, traces";
            const QStringList before = Snapshot();
            if (menu)
                QVERIFY(Menu(MENU_VIEW_RAW + r.view));
            else
                Choose(PANEL_SOURCE, r.view);
            QCOMPARE(Snapshot().filter(view).value(0),
                     Line("source, ring, shown, traces:", Ints{r.view, r.view} + r.shown));
            QCOMPARE(Without(Snapshot(), view), Without(before, view)); /* nothing moves */
            QCOMPARE(Drawn(PANEL_STRIPCHART, true), r.legend);
            Ints checks(3, -1);
            for (int i = 0; i < 3; i++)
                GetMenuBarAttribute(panel, MENU_VIEW_RAW + i, ATTR_CHECKED, &checks[i]);
            QCOMPARE(checks, (Ints{r.view == 0, r.view == 1, r.view == 2}));
        }
    }

    void adjustmentBars_data() { AddRows(bars); }
    /* One adjustment cycle: a blue edge bar and a red window bar 150 high in the slot of the
    ** percentage, 100 % and more none; the red one, drawn second, on top at every redraw. */
    void adjustmentBars()
    {
        const auto &r = bars[Row()];
        QVERIFY(sim.cmd(Sim::data(90, 90, 127, r.edge, 1000, r.window)));
        Choose(PANEL_SOURCE, 2);
        DeleteGraphPlot(panel, PANEL_GRAPH_ADJ, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
        When stop([] { return GetGraphPlotCount(panel, PANEL_GRAPH_ADJ) == 2; },
                  [] { Click(Stop); });
        QVERIFY(PressGo());
        for (int plot = 0; plot < 2; plot++) {
            const int slot = plot ? r.windowSlot : r.edgeSlot;
            Values bar(AnzBars, 0.0);
            if (slot >= 0) bar[slot] = 150;
            QCOMPARE(Plot(PANEL_GRAPH_ADJ, plot), bar);
        }
        QCOMPARE(Drawn(PANEL_GRAPH_ADJ), (QStringList{"#0000ff", "#ff0000"}));
        QCOMPARE(Drawn(PANEL_GRAPH_ADJ, true),
                 (QStringList{"EDGE [%] #0000ff", "WIN [%] #ff0000"}));
        Choose(PANEL_SOURCE, 1);
    }

    /* Traces at their own levels: drawn only while shown (the last too), over the grid, where
    ** the window's growth moved the plot; one hidden while samples came shows them all once
    ** shown again. */
    void stripChartDrawsShownTraces()
    {
        DeleteGraphPlot(panel, PANEL_STRIPCHART, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
        SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 101);
        QWidget *window = PanelWidget(panel);
        const QSize size = window->size();
        const auto restore = qScopeGuard([=] { window->resize(size); });
        for (int shown : {1, 5}) {
            if (shown == 5) window->resize(size + QSize(300, 200));
            for (int t = 1; t <= 5; t++)
                SetTraceAttribute(panel, PANEL_STRIPCHART, t, ATTR_TRACE_VISIBLE, t == shown);
            if (shown == 1)
                for (int level5 : {230, 215}) {
                    const int level[5] = {40, 70, 120, 180, level5};
                    double y[500];
                    for (int k = 0; k < 500; k++)
                        y[k] = level[k % 5];
                    QCOMPARE(PlotStripChart(panel, PANEL_STRIPCHART, y, 500, 0, 0, VAL_DOUBLE), 0);
                }
            QVERIFY(DrawnAt(65, 50)); // the grid line at 50
            for (int level : {40, 70, 120, 180, 215, 230})
                QVERIFY2(DrawnAt(65, level) == (level == (shown == 1 ? 40 : 215)),
                         qPrintable(QString::number(level)));
        }
        Choose(PANEL_SOURCE, 1); // the view's traces again
    }

    /* The 16 values as a blue staircase under a black line at the typed (unsent) threshold,
    ** the jump graph alone shown, the frame carrying pp. */
    void jumpBufferDrawn()
    {
        Values ramp;
        for (int i = 1; i <= 16; i++)
            ramp << 10 * i;
        QVERIFY(sim.cmd(Line("jump", Ints(ramp.begin(), ramp.end()))));
        Type(PANEL_THRESHOLD, "80");
        const Ints packet = Packet();
        const int from = sim.frames().size();
        Popups popups;
        for (int readout = 1; readout <= 2; readout++) { /* the black line on top every time */
            Click(GetBuff);
            QCOMPARE(Drawn(PANEL_GRAPH_JUMPBUF), (QStringList{"#0000ff", "#000000"}));
        }
        QCOMPARE(sim.frames().mid(from),
                 (QList<Ints>{Sim::frame(6, packet), Sim::frame(6, packet)}));
        QCOMPARE(Packet(), packet);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 2);
        QCOMPARE(Plot(PANEL_GRAPH_JUMPBUF, 0), ramp);
        QCOMPARE(Plot(PANEL_GRAPH_JUMPBUF, 1), Values(16, 80));
        QList<QPointF> steps;
        for (QAbstractSeries *s : Chart(PANEL_GRAPH_JUMPBUF)->series())
            if (s->isVisible() && qobject_cast<QLineSeries *>(s)->pen().color() == Qt::blue)
                steps = qobject_cast<QLineSeries *>(s)->points().mid(0, 4);
        QCOMPARE(steps, (QList<QPointF>{{0, 10}, {1, 10}, {1, 20}, {2, 20}}));
        QCOMPARE(Ints({Val(PANEL_STRIPCHART, ATTR_VISIBLE), Val(PANEL_GRAPH_ADJ, ATTR_VISIBLE),
                       Val(PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE)}),
                 (Ints{0, 0, 1}));
    }

    /* Each cycle shows its packet on the displays. Recording across Stop and Go: a header, then
    ** a line a cycle (local time with ms, the fields), in the file by the next cycle, shown by
    ** indicator and menu. A disk full mid-line stops it, reported with file and reason; the
    ** whole lines stay, polling goes on. */
    void cyclesShownAndRecorded()
    {
        const QString path = dir.filePath("run.csv");
        const QByteArray header = "time,DAT0,DAT1,NORM,EDGE %,WIN %,edge count,IN0 count,"
                                  "IN1 count,threshold,hysteresis";
        Popups popups({"run", "full.csv"});
        QVERIFY(Menu(MENU_RECORD_START));
        QCOMPARE(QString(record_name), path);
        auto shown = [] {
            int checked = -1, dimmed = -1;
            GetMenuBarAttribute(panel, MENU_RECORD_START, ATTR_CHECKED, &checked);
            GetMenuBarAttribute(panel, MENU_RECORD_STOP, ATTR_DIMMED, &dimmed);
            return Ints{recording, Val(PANEL_RECORDING, ATTR_VISIBLE), checked, 1 - dimmed};
        };
        QCOMPARE(shown(), Ints(4, 1));
        Ints seen;
        QList<Ints> displays;
        int next = 0;
        auto feed = [&] {
            const auto &r = recorded[next++ % 4];
            QVERIFY(sim.cmd(Sim::data(r.dat0, r.dat1, r.norm, r.edge, r.in0, r.in1)));
        };
        auto each = [&](int) {
            seen << int(Contents(path).trimmed().split('\n').size()) - 1;
            displays << Ints{Val(PANEL_DAT0), Val(PANEL_DAT1), Val(PANEL_NORM), Val(PANEL_EDGE),
                             Val(PANEL_WIN)};
            feed();
        };
        const QDateTime start = QDateTime::currentDateTime().addMSecs(-1);
        feed();
        QCOMPARE(RunCycles(sim, 2, each), 2);
        QCOMPARE(RunCycles(sim, 2, each), 2);
        QVERIFY(Menu(MENU_RECORD_STOP));
        QCOMPARE(shown(), Ints(4, 0));
        QCOMPARE(seen, (Ints{1, 2, 3, 4}));
        QList<QByteArray> lines = Contents(path).trimmed().split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], header);
        QDateTime last = start;
        for (int i = 0; i < 4; i++) {
            const QDateTime t = QDateTime::fromString(lines[i + 1].left(23), Qt::ISODateWithMs);
            QVERIFY2(t >= last && t <= QDateTime::currentDateTime(), lines[i + 1].constData());
            last = t;
            QCOMPARE(lines[i + 1].mid(23), QByteArray(",") + recorded[i].fields);
            const QList<QByteArray> f = QByteArray(recorded[i].fields).split(',');
            QCOMPARE(displays.value(i),
                     (Ints{f[0].toInt(), f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4].toInt()}));
        }

        QCOMPARE(popups.count(), 0);
        QVERIFY(Menu(MENU_RECORD_START));
        const int line = 24 + int(std::strlen(recorded[0].fields)) + 1;
        {
            SizeLimit limit(header.size() + 1 + 2 * line + line / 2);
            QVERIFY(limit.ok);
            QCOMPARE(RunCycles(sim, 4, [&](int) { next = 0, feed(); }), 4);
        }
        QCOMPARE(shown(), Ints(4, 0));
        const QString report = popups.count() == 1 ? popups.list[0].text : QString();
        QVERIFY2(report.contains(dir.filePath("full.csv")) && report.contains(" 2 lines") &&
                     report.contains(std::strerror(EFBIG)),
                 qPrintable(report));
        QCOMPARE(QFileInfo(dir.filePath("full.csv")).size(), header.size() + 1 + 2 * line);
    }

    void exportsReadBack_data() { AddRows(exports); }
    /* An export reads back as what the program holds; again into a full disk, it is confirmed,
    ** fails, is reported by name, and the old file stays with no leftover. */
    void exportsReadBack()
    {
        const auto &r = exports[Row()];
        QVERIFY(sim.cmd(Sim::data(255, 0, 255, 0, 1000, 0)) && sim.cmd(Line("jump", Ints(16, 7))));
        QCOMPARE(RunCycles(sim, 1), 1);
        Click(GetBuff);
        const QString path = dir.filePath(r.file);
        Popups popups({r.file, r.file});
        popups.confirm = true;
        QVERIFY(Menu(r.item));
        QCOMPARE(popups.count(), 0);
        const QList<QByteArray> lines = Contents(path).trimmed().split('\n');
        if (r.header) {
            QCOMPARE(lines.size(), r.lines);
            QCOMPARE(lines[0], QByteArray(r.header));
            QCOMPARE(lines.last(), r.lines == 101 ? "100,255,0,255,90,110" : "16,7,90");
        } else {
            QCOMPARE(QImage(path, "PNG").size(), W(PANEL_GRAPH_JUMPBUF)->size());
        }
        const QByteArray old = Contents(path);
        {
            SizeLimit limit(10);
            QVERIFY(limit.ok && Menu(r.item));
        }
        QCOMPARE(popups.count(), 2);
        QVERIFY2(popups.list[0].text.contains("already exists"), qPrintable(popups.list[0].text));
        QVERIFY2(popups.list[1].title == "INFO" && popups.list[1].text.contains(path),
                 qPrintable(popups.list[1].text));
        QCOMPARE(Contents(path), old);
        QCOMPARE(QDir(dir.path()).entryList({QString(r.file) + "*"}, QDir::Files | QDir::Hidden),
                 QStringList{r.file});
    }

    /* The displays are repainted with every cycle's values while polling runs (a cycle's
    ** repaint may come in the next wait), and at once inside a wait or a popup that a
    ** callback runs in a cycle. */
    void repaintsWhilePolling()
    {
        struct Paints : QObject {
            int n = 0;
            bool eventFilter(QObject *, QEvent *e) override
            {
                return n += e->type() == QEvent::Paint, false;
            }
        } display, status;
        QList<QWidget *> parts = W(PANEL_DAT0)->findChildren<QWidget *>();
        for (QWidget *w : parts << W(PANEL_DAT0))
            w->installEventFilter(&display);
        W(PANEL_STATUS)->installEventFilter(&status);
        Ints inWait, inPopup, shown;
        Popups popups;
        QCOMPARE(RunCycles(sim, 6,
                           [&](int k) {
                               shown << display.n;
                               QVERIFY(sim.cmd(Sim::data(10 * k, 0, 0, 0, 1000, 0)));
                               const int before = status.n;
                               SetCtrlVal(panel, PANEL_STATUS, qPrintable(QString::number(k)));
                               if (k == 2) WaitSeconds(0.1), inWait << status.n - before;
                               if (k == 3) MessagePopup("INFO", "x"), inPopup << status.n - before;
                           }),
                 6);
        QCOMPARE(popups.count(), 1);
        QVERIFY2(inWait.value(0) > 0 && inPopup.value(0) > 0,
                 qPrintable(Line("", inWait + inPopup)));
        for (int k = 2; k < shown.size(); k++) /* the last cycle's values by this cycle */
            QVERIFY2(shown[k] > shown[k - 1], qPrintable(Line("paints", shown)));
        QTRY_VERIFY(display.n > shown.last());
    }
};

QTEST_MAIN(Live)
#include "tst_live.moc"
