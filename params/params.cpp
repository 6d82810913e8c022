/* params.cpp: the parameter record: the twelve parameter variables and three spare bytes,
** the packet pp, the mapping to and from the panel with the power conversion, and the
** dimming and dead-time ring rules with the commit handlers of the three mode controls.
*/
#include "params.h"

#include "../gui/gui.h"

#include <cstdio>

namespace vr
{

/* The parameter record and packet, documented in params.h. */
unsigned char threshold;
unsigned char hysteresis;
unsigned char power;
unsigned char pmod;
unsigned char hold;
unsigned char trigger;
unsigned char backlim;
unsigned char regcnt;
unsigned char average;
unsigned char deadtimemode;
unsigned char deadtime;
unsigned char outmode;
unsigned char frei13;
unsigned char frei14;
unsigned char frei15;
unsigned char pp[AnzPara];

static_assert(AnzPara == 15, "the packet carries twelve parameters and three spare bytes");

/* The packet order, shared by both copies. */
static unsigned char *const packetVars[AnzPara] = {
    &threshold, &hysteresis,   &power,    &pmod,    &hold,   &trigger, &backlim, &regcnt,
    &average,   &deadtimemode, &deadtime, &outmode, &frei13, &frei14,  &frei15};

unsigned char PercentToRaw(int percent)
{
    return static_cast<unsigned char>(PowerSteps - (percent * PowerSteps / 100));
}

unsigned char RawToPercent(unsigned char raw)
{
    // A raw value above 46 (from the sensor or a file) has no percent; its formula result
    // would be negative and show as 254 % or be clipped to 100 % (full intensity).
    if (raw > PowerSteps) return 0;
    return static_cast<unsigned char>(100 * (PowerSteps - raw) / PowerSteps);
}

void GetPanelValues(void)
{
    GetCtrlVal(panel, PANEL_THRESHOLD, &threshold);
    GetCtrlVal(panel, PANEL_HYSTERESIS, &hysteresis);
    GetCtrlVal(panel, PANEL_TRIGGER, &trigger);
    GetCtrlVal(panel, PANEL_PMOD, &pmod);
    GetCtrlVal(panel, PANEL_POWER, &power);
    power = PercentToRaw(power);
    GetCtrlVal(panel, PANEL_HOLD, &hold);
    GetCtrlVal(panel, PANEL_BACKLIM, &backlim);
    GetCtrlVal(panel, PANEL_REGCNT, &regcnt);
    GetCtrlVal(panel, PANEL_AVERAGE, &average);
    GetCtrlVal(panel, PANEL_OUTMODE, &outmode);
    GetCtrlVal(panel, PANEL_DEADTIMEMODE, &deadtimemode);
    GetCtrlVal(panel, PANEL_DEADTIME, &deadtime);
}

void SetPanelValues(void)
{
    SetCtrlVal(panel, PANEL_THRESHOLD, threshold);
    SetCtrlVal(panel, PANEL_HYSTERESIS, hysteresis);
    SetCtrlVal(panel, PANEL_TRIGGER, trigger);
    SetCtrlVal(panel, PANEL_PMOD, pmod);
    SetCtrlVal(panel, PANEL_POWER, RawToPercent(power));
    SetCtrlVal(panel, PANEL_HOLD, hold);
    SetCtrlVal(panel, PANEL_BACKLIM, backlim);
    SetCtrlVal(panel, PANEL_REGCNT, regcnt);
    SetCtrlVal(panel, PANEL_AVERAGE, average);
    SetCtrlVal(panel, PANEL_OUTMODE, outmode);
    SetCtrlVal(panel, PANEL_DEADTIMEMODE, deadtimemode);
    SetCtrlVal(panel, PANEL_DEADTIME, deadtime);
}

/* Power mode: static mode edits the power, dynamic mode the correction interval. */
static void ApplyPmodRule(void)
{
    GetCtrlVal(panel, PANEL_PMOD, &pmod);
    SetCtrlAttribute(panel, PANEL_POWER, ATTR_DIMMED, pmod == 0 ? 0 : 1);
    SetCtrlAttribute(panel, PANEL_REGCNT, ATTR_DIMMED, pmod == 0 ? 1 : 0);
}

/* Dead-time ring: labels in percent (6 per step) or milliseconds (2 per step); the item
** values stay 0..15, so the selected index does not change. */
static void ApplyDeadTimeRule(void)
{
    GetCtrlVal(panel, PANEL_DEADTIMEMODE, &deadtimemode);
    const int scale = deadtimemode == 0 ? 6 : 2;
    SetCtrlAttribute(panel, PANEL_DEADTIME, ATTR_LABEL_TEXT,
                     deadtimemode == 0 ? "DEAD TIME[%]" : "DEAD TIME[ms]");
    for (int i = 0; i < 16; i++) {
        char label[8];
        std::snprintf(label, sizeof label, "%d", scale * i);
        ReplaceListItem(panel, PANEL_DEADTIME, i, label, i);
    }
}

/* Trigger: the dead-time settings apply only in continuous mode. */
static void ApplyTriggerRule(void)
{
    GetCtrlVal(panel, PANEL_TRIGGER, &trigger);
    SetCtrlAttribute(panel, PANEL_DEADTIMEMODE, ATTR_DIMMED, trigger == 0 ? 0 : 1);
    SetCtrlAttribute(panel, PANEL_DEADTIME, ATTR_DIMMED, trigger == 0 ? 0 : 1);
}

void InitPanelValues(void)
{
    ApplyPmodRule();
    ApplyDeadTimeRule();
    ApplyTriggerRule();
}

void CopyVarsToPP(void)
{
    for (int i = 0; i < AnzPara; i++)
        pp[i] = *packetVars[i];
}

void CopyPPtoVars(void)
{
    for (int i = 0; i < AnzPara; i++)
        *packetVars[i] = pp[i];
}

int CBF_EditTrigger(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) ApplyTriggerRule();
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditTrigger);
    return 0;
}

int CBF_EditPmod(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) ApplyPmodRule();
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditPmod);
    return 0;
}

int CBF_EditDeadTimeMode(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) ApplyDeadTimeRule();
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditDeadTimeMode);
    return 0;
}

} // namespace vr
