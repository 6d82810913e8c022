/* Veltrav20.cpp: the program's lifecycle: start-up, the event loop, shutdown and the close
** event of the main panel, and the table that binds the panel file's callback names.
*/
#include "Veltrav20.h"

#include "../gui/gui.h"
#include "../link/com232.h"
#include "../live/live.h"
#include "../params/params.h"

#include <cstring>

namespace vr
{

/* Program-wide variables of the shell, documented in Veltrav20.h. */
int panel = 0;
char proj_dir[260];
char doc_dir[260];
int quitting = 0;

// clang-format off
#define CBF_CTRL(name) {#name, name, nullptr}
// clang-format on
const CallbackEntry cbfTable[] = {
    {"CBF_P", nullptr, CBF_P},
    CBF_CTRL(CBF_EditConnect),
    CBF_CTRL(CBF_ButtonSend),
    CBF_CTRL(CBF_ButtonGet),
    CBF_CTRL(CBF_ButtonGo),
    CBF_CTRL(CBF_ButtonStop),
    CBF_CTRL(CBF_ButtonGetBuff),
    CBF_CTRL(CBF_SelectRAM),
    CBF_CTRL(CBF_SelectEEPROM),
    CBF_CTRL(CBF_SelectFILE),
    CBF_CTRL(CBF_ParaVisible),
    CBF_CTRL(CBF_SelectSource),
    CBF_CTRL(CBF_EditThreshold),
    CBF_CTRL(CBF_EditHysteresis),
    CBF_CTRL(CBF_EditTrigger),
    CBF_CTRL(CBF_EditPmod),
    CBF_CTRL(CBF_EditPower),
    CBF_CTRL(CBF_EditHold),
    CBF_CTRL(CBF_EditBacklim),
    CBF_CTRL(CBF_EditRegcnt),
    CBF_CTRL(CBF_EditAverage),
    CBF_CTRL(CBF_EditOutmode),
    CBF_CTRL(CBF_EditDeadTimeMode),
    CBF_CTRL(CBF_EditDeadTime),
    CBF_CTRL(CBF_DECO1),
    CBF_CTRL(CBF_DECO2),
    CBF_CTRL(CBF_DECO3),
    CBF_CTRL(CBF_DECO4),
    CBF_CTRL(CBF_DECO5),
    CBF_CTRL(CBF_DECO6),
    CBF_CTRL(CBF_DispDat0),
    CBF_CTRL(CBF_DispDat1),
    CBF_CTRL(CBF_DispNORM),
    CBF_CTRL(CBF_DispEdge),
    CBF_CTRL(CBF_DispWin),
    CBF_CTRL(CBF_DispStatus),
    CBF_CTRL(CBF_GraphRaw1),
    CBF_CTRL(CBF_GraphData1),
    CBF_CTRL(CBF_GraphData2),
};
#undef CBF_CTRL
const int cbfTableLen = sizeof cbfTable / sizeof cbfTable[0];

int WinMain(int argc, char *argv[])
{
    if (InitRunTime(argc, argv) == 0) return -1;
    BindCallbacks(cbfTable, cbfTableLen);
    panel = LoadPanel(0, "Veltrav20.uir", 1);
    if (panel < 0) return -1;
    InstallMenuBar(panel, menuTable, menuTableLen);
    GetProjectDir(proj_dir);
    GetDocumentDir(doc_dir);
    InitVars();
    InitRS232(com);
    DisplayPanel(panel);
    RunUserInterface();
    StopRecording();
    CloseCom(com);
    DiscardPanel(panel);
    return 0;
}

void InitVars(void)
{
    com = 1;
    sync = 0x55;
    order = CmdWriteRam;
    target = RAM;
    poll = 0;
    busy = 0;
    quitting = 0;
    std::strcpy(szStatus, "InitVars");
    SetCtrlVal(panel, PANEL_STATUS, szStatus);
    SetCtrlVal(panel, PANEL_PARA_VISIBLE, 1);
    GetCtrlVal(panel, PANEL_PARA_VISIBLE, &para);
    ParaVis();
    DispVis();
    RecordVis();
    ShowLogo(5);
    GetPanelValues();
    WatchComDevices(ShowComDevice);
}

int CBF_P(int, int event, void *, int, int)
{
    if (event == EVENT_CLOSE) {
        poll = 0;
        quitting = 1;
        QuitUserInterface(0);
    }
    return 0;
}

} // namespace vr
