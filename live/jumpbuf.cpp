/* jumpbuf.cpp: the jump buffer readout: the sensor's 16 minimum NORM values at its last
** edges, plotted against the threshold on the panel.
*/
#include "live.h"

#include "../gui/gui.h"
#include "../params/params.h"

#include <cstring>

namespace vr
{

unsigned char jumpbuf[AnzJump];
unsigned char jumpthreshold;

static const int ColourValues = 0x0000FF, ColourThreshold = 0x000000;

void GetJmpBuf(void)
{
    poll = 0;
    if (ReadExchange(CmdReadJump, AnzJump) != 1) {
        TimeoutReport();
        return;
    }
    unsigned char reference[AnzJump];
    GetCtrlVal(panel, PANEL_THRESHOLD, &threshold);
    jumpthreshold = threshold;
    std::memcpy(jumpbuf, szReadBuf, AnzJump);
    std::memset(reference, threshold, AnzJump);
    DeleteGraphPlot(panel, PANEL_GRAPH_JUMPBUF, VAL_DELETE_ALL, VAL_IMMEDIATE_DRAW);
    SetCtrlAttribute(panel, PANEL_GRAPH_ADJ, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 1);
    graphshown = PANEL_GRAPH_JUMPBUF;
    PlotY(panel, PANEL_GRAPH_JUMPBUF, jumpbuf, AnzJump, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
          ColourValues);
    PlotY(panel, PANEL_GRAPH_JUMPBUF, reference, AnzJump, VAL_UNSIGNED_CHAR, VAL_STEP_PLOT, 0, 0, 1,
          ColourThreshold);
}

int CBF_ButtonGetBuff(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT && BeginSensorOp()) {
        SettleWait();
        GetJmpBuf();
        EndSensorOp();
    }
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoButtonGetBuff);
    return 0;
}

} // namespace vr
