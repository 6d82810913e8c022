/* graphview.cpp: the three views of the live data (raw and NORM strip chart, adjustment
** bars), the source selector and the drawing of each polling cycle.
*/
#include "live.h"

#include "../gui/gui.h"

namespace vr
{

int source;
int graphshown = PANEL_STRIPCHART;

static const int BarHeight = 150;
static const int ColourEdge = 0x0000FF, ColourWindow = 0xFF0000;
static const double AdjustWait = 1.0; /* seconds between two adjustment-view cycles */

/* The displays and graphs that depend on the view, and in which of the three views each is
** shown; the jump buffer graph is hidden by every view. */
static const struct {
    int control;
    unsigned char shown[3]; /* raw, NORM, adjustment */
} viewControls[] = {
    {PANEL_GRAPH_JUMPBUF, {0, 0, 0}}, {PANEL_GRAPH_ADJ, {0, 0, 1}}, {PANEL_EDGE, {0, 0, 1}},
    {PANEL_WIN, {0, 0, 1}},           {PANEL_DAT0, {1, 1, 0}},      {PANEL_DAT1, {1, 1, 0}},
    {PANEL_NORM, {1, 1, 0}},          {PANEL_NORM_DECO, {1, 1, 0}}, {PANEL_STRIPCHART, {1, 1, 0}},
};

void DispVis(void)
{
    GetCtrlVal(panel, PANEL_SOURCE, &source);
    if (source < 0 || source > 2) return;
    for (int shown = 0; shown <= 1; shown++) // every hide before every show
        for (const auto &v : viewControls)
            if (v.shown[source] == shown) SetCtrlAttribute(panel, v.control, ATTR_VISIBLE, shown);
    graphshown = source == 2 ? PANEL_GRAPH_ADJ : PANEL_STRIPCHART;
    for (int view = 0; view <= 2; view++) // the View menu's check marks follow the selector
        SetMenuBarAttribute(panel, MENU_VIEW_RAW + view, ATTR_CHECKED, view == source);
    // Raw view: traces 1 and 2 (DAT0, DAT1); NORM view: 3 to 5 (NORM, threshold,
    // hysteresis). The adjustment view leaves the traces as they are.
    if (source != 2)
        for (int trace = 1; trace <= AnzTrace; trace++)
            SetTraceAttribute(panel, PANEL_STRIPCHART, trace, ATTR_TRACE_VISIBLE,
                              (trace <= 2) == (source == 0) ? 1 : 0);
}

void ShowGraph(void)
{
    if (source == 2) {
        WaitSeconds(AdjustWait);
        int edge = 0, win = 0;
        GetCtrlVal(panel, PANEL_EDGE, &edge);
        GetCtrlVal(panel, PANEL_WIN, &win);
        unsigned char edgeBars[AnzBars] = {0};
        unsigned char winBars[AnzBars] = {0};
        // 100 slots, one per percent: 100 % and more draws no bar.
        if (edge >= 0 && edge < AnzBars) edgeBars[edge] = BarHeight;
        if (win >= 0 && win < AnzBars) winBars[win] = BarHeight;
        DeleteGraphPlot(panel, PANEL_GRAPH_ADJ, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
        PlotY(panel, PANEL_GRAPH_ADJ, edgeBars, AnzBars, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
              ColourEdge);
        PlotY(panel, PANEL_GRAPH_ADJ, winBars, AnzBars, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
              ColourWindow);
    } else {
        SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, AnzHist + 1);
        PlotStripChart(panel, PANEL_STRIPCHART, alldata, AnzAll, 0, 0, VAL_DOUBLE);
    }
}

int CBF_SelectSource(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) DispVis();
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoSelectSource);
    return 0;
}

void CBF_MenuView(int, int menuItem)
{
    SetCtrlVal(panel, PANEL_SOURCE, menuItem - MENU_VIEW_RAW);
    DispVis();
}

} // namespace vr
