/* gui.cpp: the help popup and the right-click callbacks of the controls this folder owns,
** and the two parameter pages: the page flag, the page switch and the six place decorations.
*/
#include "gui.h"

namespace vr
{

unsigned char para; /* page in force: 1 basic, 0 extended; InitVars, CBF_ParaVisible */

/* The inputs of each page, in the order the page operations touch them. */
static const int basicPage[6] = {PANEL_THRESHOLD, PANEL_HYSTERESIS, PANEL_TRIGGER,
                                 PANEL_PMOD,      PANEL_POWER,      PANEL_HOLD};
static const int extendedPage[6] = {PANEL_BACKLIM, PANEL_REGCNT,       PANEL_AVERAGE,
                                    PANEL_OUTMODE, PANEL_DEADTIMEMODE, PANEL_DEADTIME};

/* Help of the six places, index 0 is place 1: the text of the basic input lying there and
** of the extended input sharing the place with it. Place order is not page order: hold
** time shares place 4 with the output mode, the power mode place 5 with the dead-time mode. */
static const char *const placeHelp[6][2] = {
    {InfoEditThreshold, InfoEditBacklim}, {InfoEditHysteresis, InfoEditRegcnt},
    {InfoEditTrigger, InfoEditAverage},   {InfoEditHold, InfoEditOutmode},
    {InfoEditPmod, InfoEditDeadTimeMode}, {InfoEditPower, InfoEditDeadTime},
};

void ShowHelp(const char *text)
{
    MessagePopup("Info", text);
}

/* Sets the visibility of the six inputs of one page on `panel`, in page order. */
static void SetPageVisible(const int (&page)[6], int visible)
{
    for (int id : page)
        SetCtrlAttribute(panel, id, ATTR_VISIBLE, visible);
}

void ParaVis(void)
{
    SetPageVisible(extendedPage, 0); /* hide first: the two inputs of a place never show together */
    SetPageVisible(basicPage, 1);
}

void ParaInVis(void)
{
    SetPageVisible(basicPage, 0);
    SetPageVisible(extendedPage, 1);
}

/* Right click on the decoration of `place` (1..6): the help of the input the page in force
** shows there. */
static void ShowPlaceHelp(int place)
{
    ShowHelp(placeHelp[place - 1][para == 1 ? 0 : 1]);
}

int CBF_ParaVisible(int pnl, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) {
        GetCtrlVal(pnl, PANEL_PARA_VISIBLE, &para);
        if (para == 0)
            ParaInVis();
        else
            ParaVis();
    } else if (event == EVENT_RIGHT_CLICK) {
        ShowHelp(InfoSwitchPara);
    }
    return 0;
}

/* The decorations, and the inputs, displays and graphs whose only event is the right click. */

int CBF_DECO1(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowPlaceHelp(1);
    return 0;
}

int CBF_DECO2(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowPlaceHelp(2);
    return 0;
}

int CBF_DECO3(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowPlaceHelp(3);
    return 0;
}

int CBF_DECO4(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowPlaceHelp(4);
    return 0;
}

int CBF_DECO5(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowPlaceHelp(5);
    return 0;
}

int CBF_DECO6(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowPlaceHelp(6);
    return 0;
}

int CBF_EditThreshold(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditThreshold);
    return 0;
}

int CBF_EditHysteresis(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditHysteresis);
    return 0;
}

int CBF_EditPower(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditPower);
    return 0;
}

int CBF_EditHold(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditHold);
    return 0;
}

int CBF_EditBacklim(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditBacklim);
    return 0;
}

int CBF_EditRegcnt(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditRegcnt);
    return 0;
}

int CBF_EditAverage(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditAverage);
    return 0;
}

int CBF_EditOutmode(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditOutmode);
    return 0;
}

int CBF_EditDeadTime(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditDeadTime);
    return 0;
}

int CBF_DispDat0(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoDispDat0);
    return 0;
}

int CBF_DispDat1(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoDispDat1);
    return 0;
}

int CBF_DispNORM(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoDispNORM);
    return 0;
}

int CBF_DispEdge(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoDispEDGE);
    return 0;
}

int CBF_DispWin(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoDispWIN);
    return 0;
}

int CBF_DispStatus(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoStatus);
    return 0;
}

int CBF_GraphRaw1(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoGraph);
    return 0;
}

int CBF_GraphData1(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoGraphData1);
    return 0;
}

int CBF_GraphData2(int, int, int event, void *, int, int)
{
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoGraphData2);
    return 0;
}

} // namespace vr
