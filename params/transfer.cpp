/* transfer.cpp: the transfer target and its three toggles, and the Send and Get buttons
** with the parameter write to and read from the sensor's RAM and EEPROM.
*/
#include "params.h"

#include "../gui/gui.h"
#include "../live/live.h"

namespace vr
{

int target;

/* Toggle rule: the operator's toggle switched on makes its target the one lit; any toggle
** switched off makes RAM the target, so exactly one toggle is lit afterwards. */
static void SelectTarget(int pan, int control, int newTarget, int other1, int other2)
{
    int on = 0;
    GetCtrlVal(pan, control, &on);
    if (on) {
        SetCtrlVal(pan, control, 1);
        target = newTarget;
        SetCtrlVal(pan, other1, 0);
        SetCtrlVal(pan, other2, 0);
    } else {
        target = RAM;
        SetCtrlVal(pan, PANEL_SELECT_RAM, 1);
    }
}

int CBF_SelectRAM(int pan, int control, int event, void *, int, int)
{
    if (event == EVENT_VAL_CHANGED)
        SelectTarget(pan, control, RAM, PANEL_SELECT_EEPROM, PANEL_SELECT_FILE);
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoSelectMEM);
    return 0;
}

int CBF_SelectEEPROM(int pan, int control, int event, void *, int, int)
{
    if (event == EVENT_VAL_CHANGED)
        SelectTarget(pan, control, EEPROM, PANEL_SELECT_RAM, PANEL_SELECT_FILE);
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoSelectMEM);
    return 0;
}

int CBF_SelectFILE(int pan, int control, int event, void *, int, int)
{
    if (event == EVENT_VAL_CHANGED)
        SelectTarget(pan, control, DATFILE, PANEL_SELECT_EEPROM, PANEL_SELECT_RAM);
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoSelectMEM);
    return 0;
}

void SendPara(void)
{
    poll = 0;
    GetPanelValues();
    CopyVarsToPP();
    WriteExchange(target == RAM ? CmdWriteRam : CmdWriteEeprom);
}

void GetPara(void)
{
    poll = 0;
    // With FILE selected (a port set-up's line check) the sensor's RAM is read, as at start-up.
    if (ReadExchange(target == EEPROM ? CmdReadEeprom : CmdReadRam, AnzPara) == 1)
        TakeParaReply();
    else
        TimeoutReport();
}

void TakeParaReply(void)
{
    GetRxBufPara();
    CopyPPtoVars();
    SetPanelValues();
    InitPanelValues();
}

int CBF_ButtonSend(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) {
        if (target == DATFILE) {
            SendParaToFile();
        } else if (BeginSensorOp()) {
            SendPara();
            EndSensorOp();
        }
    }
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoButtonSend);
    return 0;
}

int CBF_ButtonGet(int, int, int event, void *, int, int)
{
    // The rule holds with FILE selected too: the target is read again after the settle wait.
    if (event == EVENT_COMMIT && BeginSensorOp()) {
        SettleWait();
        if (target == DATFILE)
            ReadParaFromFile();
        else
            GetPara();
        EndSensorOp();
    }
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoButtonGet);
    return 0;
}

} // namespace vr
