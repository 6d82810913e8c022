/* graphview.cpp: the three views of the live data (raw and NORM strip chart, adjustment
** bars), the source selector and the drawing of each polling cycle.
*/
#include "live.h"

#include "../gui/gui.h"

namespace vr
{

int source; /* view: 0 raw, 1 NORM, 2 adjustment; DispVis */

static const int BarHeight = 150;
static const int ColourEdge = 0x0000FF, ColourWindow = 0xFF0000;
static const double AdjustWait = 1.0; /* seconds between two adjustment-view cycles */

static void ShowStripView(int rawTraces)
{
    SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panel, PANEL_GRAPH_ADJ, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panel, PANEL_EDGE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panel, PANEL_WIN, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panel, PANEL_DAT0, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, PANEL_DAT1, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, PANEL_NORM, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, PANEL_NORM_DECO, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_VISIBLE, 1);
    for (int trace = 1; trace <= AnzTrace; trace++)
        SetTraceAttribute(panel, PANEL_STRIPCHART, trace, ATTR_TRACE_VISIBLE,
                          (trace <= 2) == (rawTraces != 0) ? 1 : 0);
}

void DispVis(void)
{
    GetCtrlVal(panel, PANEL_SOURCE, &source);
    switch (source) {
    case 0: ShowStripView(1); break;
    case 1: ShowStripView(0); break;
    case 2:
        SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_DAT0, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_DAT1, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_NORM, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_NORM_DECO, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_EDGE, ATTR_VISIBLE, 1);
        SetCtrlAttribute(panel, PANEL_WIN, ATTR_VISIBLE, 1);
        SetCtrlAttribute(panel, PANEL_GRAPH_ADJ, ATTR_VISIBLE, 1);
        break;
    default: break;
    }
}

void ShowGraph(void)
{
    if (source == 2) {
        tstart = Timer();
        tdiff = 0.0;
        while (AdjustWait > tdiff) {
            ProcessSystemEvents();
            tdiff = Timer() - tstart;
        }
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

} // namespace vr
