/* gui.cpp: the help popup and the right-click callbacks of the controls this folder owns,
** and the two parameter pages: the page flag, the page switch and the six place decorations.
*/
#include "gui.h"

namespace vr
{

unsigned char para;

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

/* The decorations, and the inputs, displays and graphs whose only event is the right click:
** a decoration shows the help of the input its place holds on the page in force, every other
** control its own help text. */
#define CBF_PLACE_HELP(name, place)                                                                \
    int name(int, int, int event, void *, int, int)                                                \
    {                                                                                              \
        if (event == EVENT_RIGHT_CLICK) ShowPlaceHelp(place);                                      \
        return 0;                                                                                  \
    }
#define CBF_HELP_ONLY(name, text)                                                                  \
    int name(int, int, int event, void *, int, int)                                                \
    {                                                                                              \
        if (event == EVENT_RIGHT_CLICK) ShowHelp(text);                                            \
        return 0;                                                                                  \
    }

CBF_PLACE_HELP(CBF_DECO1, 1)
CBF_PLACE_HELP(CBF_DECO2, 2)
CBF_PLACE_HELP(CBF_DECO3, 3)
CBF_PLACE_HELP(CBF_DECO4, 4)
CBF_PLACE_HELP(CBF_DECO5, 5)
CBF_PLACE_HELP(CBF_DECO6, 6)

CBF_HELP_ONLY(CBF_EditThreshold, InfoEditThreshold)
CBF_HELP_ONLY(CBF_EditHysteresis, InfoEditHysteresis)
CBF_HELP_ONLY(CBF_EditPower, InfoEditPower)
CBF_HELP_ONLY(CBF_EditHold, InfoEditHold)
CBF_HELP_ONLY(CBF_EditBacklim, InfoEditBacklim)
CBF_HELP_ONLY(CBF_EditRegcnt, InfoEditRegcnt)
CBF_HELP_ONLY(CBF_EditAverage, InfoEditAverage)
CBF_HELP_ONLY(CBF_EditOutmode, InfoEditOutmode)
CBF_HELP_ONLY(CBF_EditDeadTime, InfoEditDeadTime)
CBF_HELP_ONLY(CBF_DispDat0, InfoDispDat0)
CBF_HELP_ONLY(CBF_DispDat1, InfoDispDat1)
CBF_HELP_ONLY(CBF_DispNORM, InfoDispNORM)
CBF_HELP_ONLY(CBF_DispEdge, InfoDispEDGE)
CBF_HELP_ONLY(CBF_DispWin, InfoDispWIN)
CBF_HELP_ONLY(CBF_DispStatus, InfoStatus)
CBF_HELP_ONLY(CBF_GraphRaw1, InfoGraph)
CBF_HELP_ONLY(CBF_GraphData1, InfoGraphData1)
CBF_HELP_ONLY(CBF_GraphData2, InfoGraphData2)

#undef CBF_PLACE_HELP
#undef CBF_HELP_ONLY

} // namespace vr
