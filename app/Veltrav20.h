/* Veltrav20.h: the application shell: start-up, event loop and shutdown, the map of the
** main panel's controls and the table that binds the panel file's callback names.
*/
#ifndef VELTRAV20_H
#define VELTRAV20_H

#include "../platform/platform.h"

/* The logic lives in namespace vr: `poll` and `sync` would otherwise clash with the C
** library's functions of the same names. */
namespace vr
{

/* Control identifiers of the main panel (panel 1 of "Veltrav20.uir"). */
enum {
    PANEL_COMPORT = 2,        /* numeric input: COM port number, int */
    PANEL_GO = 5,             /* Go button: lit while polling runs */
    PANEL_SELECT_FILE = 9,    /* toggle, target FILE, int 0/1 */
    PANEL_SELECT_EEPROM = 10, /* toggle, target EEPROM, int 0/1 */
    PANEL_SELECT_RAM = 11,    /* toggle, target RAM, int 0/1 */
    PANEL_LOGO = 12,          /* picture */
    PANEL_STATUS = 13,        /* text indicator: serial status line */
    PANEL_OUTMODE = 15,       /* parameter ring, 8-bit */
    PANEL_AVERAGE = 19,       /* parameter input, 8-bit */
    PANEL_HOLD = 20,          /* parameter input, 8-bit */
    PANEL_TRIGGER = 22,       /* parameter ring (trigger mode), 8-bit */
    PANEL_DEADTIME = 24,      /* ring of 16 items, values 0..15, 8-bit */
    PANEL_DEADTIMEMODE = 25,  /* parameter ring (dead-time mode), 8-bit */
    PANEL_NORM_DECO = 27,     /* decoration shown with PANEL_NORM */
    PANEL_GRAPH_ADJ = 30,     /* graph: edge and window bars */
    PANEL_GRAPH_JUMPBUF = 31, /* graph: jump buffer */
    PANEL_SOURCE = 32,        /* ring: display source 0, 1, 2, int */
    PANEL_REGCNT = 33,        /* parameter input, 8-bit */
    PANEL_PMOD = 34,          /* parameter ring (power mode), 8-bit */
    PANEL_BACKLIM = 35,       /* parameter input, 8-bit */
    PANEL_DAT0 = 36,          /* numeric indicator, 8-bit */
    PANEL_DAT1 = 37,          /* numeric indicator, 8-bit */
    PANEL_NORM = 39,          /* numeric indicator, 8-bit */
    PANEL_EDGE = 40,          /* numeric indicator: edge position in percent, int */
    PANEL_WIN = 41,           /* numeric indicator: window length in percent, int */
    PANEL_PARA_VISIBLE = 42,  /* switch: basic (1) or extended (0) page, 8-bit */
    PANEL_POWER = 43,         /* parameter input: power in percent 0..100, 8-bit */
    PANEL_HYSTERESIS = 44,    /* parameter input, 8-bit */
    PANEL_THRESHOLD = 46,     /* parameter input, 8-bit */
    PANEL_HEADER_DECO = 47,   /* decoration framing the branding header */
    PANEL_STRIPCHART = 48,    /* strip chart, five traces */
    PANEL_COMDEVICE = 49,     /* text message: the device of the COM port in use */
    PANEL_RECORDING = 50      /* text message "REC", shown while live data is recorded */
};

/* Items of the main panel's menu bar (menuTable). */
enum {
    MENU_RECORD_START = 1, /* File: Start recording... (checked while recording) */
    MENU_RECORD_STOP,      /* File: Stop recording */
    MENU_EXPORT_HISTORY,   /* File: Export history (CSV)... */
    MENU_EXPORT_JUMPBUF,   /* File: Export jump buffer (CSV)... */
    MENU_SAVE_GRAPH,       /* File: Save graph image (PNG)... */
    MENU_QUIT,             /* File: Quit, as closing the panel */
    MENU_VIEW_RAW,         /* View: the three views of PANEL_SOURCE, in its order */
    MENU_VIEW_NORM,
    MENU_VIEW_ADJUST,
    MENU_HELP_KEYS, /* Help: Keyboard shortcuts */
    MENU_HELP_ABOUT /* Help: About */
};

extern int panel;          /* handle of the main panel; written by WinMain */
extern char proj_dir[260]; /* data directory of the program; written by WinMain */
extern char doc_dir[260];  /* directory the file dialogs open in (writable); WinMain */
extern int quitting;       /* 1 once the operator closed the panel; written by CBF_P */

extern const CallbackEntry cbfTable[]; /* every CBF_ callback by name */
extern const int cbfTableLen;
extern const MenuEntry menuTable[]; /* the main panel's menu bar: File, View, Help */
extern const int menuTableLen;

/* Program entry: start-up, event loop, shutdown. 0 after a normal close, -1 when the
** run-time or the panel cannot be loaded (nothing shown then). */
int WinMain(int argc, char *argv[]);
/* Start values of the program-wide variables; runs once between LoadPanel and InitRS232.
** From then on the device shown beside COM PORT follows the devices coming and going. */
void InitVars(void);

int CBF_P(int panel, int event, void *callbackData, int eventData1, int eventData2);
/* File: Quit, as the operator's close of the panel. */
void CBF_MenuQuit(int panel, int menuItem);
/* Help: the keyboard shortcuts and the program's name and version, each in a popup. */
void CBF_MenuHelp(int panel, int menuItem);

} // namespace vr

#endif
