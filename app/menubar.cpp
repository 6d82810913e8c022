/* menubar.cpp: the main panel's menu bar: the table of its File, View and Help menus, and the
** commands of the shell among them (Quit, keyboard shortcuts, About). No menu command starts
** or stops a sensor exchange.
*/
#include "Veltrav20.h"

#include "../live/live.h"

namespace vr
{

const MenuEntry menuTable[] = {
    {"&File", "Start recording...", MENU_RECORD_START, "Ctrl+R", CBF_MenuRecord},
    {"&File", "Stop recording", MENU_RECORD_STOP, nullptr, CBF_MenuRecord},
    {"&File", nullptr, 0, nullptr, nullptr},
    {"&File", "Export history (CSV)...", MENU_EXPORT_HISTORY, nullptr, CBF_MenuRecord},
    {"&File", "Export jump buffer (CSV)...", MENU_EXPORT_JUMPBUF, nullptr, CBF_MenuRecord},
    {"&File", "Save graph image (PNG)...", MENU_SAVE_GRAPH, nullptr, CBF_MenuRecord},
    {"&File", nullptr, 0, nullptr, nullptr},
    {"&File", "Quit", MENU_QUIT, "Ctrl+Q", CBF_MenuQuit},
    {"&View", "Raw data (DAT0, DAT1)", MENU_VIEW_RAW, nullptr, CBF_MenuView},
    {"&View", "NORM with threshold and hysteresis", MENU_VIEW_NORM, nullptr, CBF_MenuView},
    {"&View", "Adjustment bars (ADJ EXT)", MENU_VIEW_ADJUST, nullptr, CBF_MenuView},
    {"&Help", "Keyboard shortcuts", MENU_HELP_KEYS, nullptr, CBF_MenuHelp},
    {"&Help", "About", MENU_HELP_ABOUT, nullptr, CBF_MenuHelp},
};
const int menuTableLen = sizeof menuTable / sizeof menuTable[0];

static const char InfoShortcuts[] = " F8    GetBuff: read the sensor's jump buffer \n"
                                    " F9    Send: write the parameters to the target \n"
                                    " F10   Get: read the parameters from the target \n"
                                    " F11   Go: start polling the live data \n"
                                    " F12   Stop: stop polling \n"
                                    " \n"
                                    " Ctrl+R   start recording the live data \n"
                                    " Ctrl+Q   quit ";

static const char InfoAbout[] = " Veltra-Razov V2.0 \n \n"
                                " Front end of the optical edge sensor: parameters, \n"
                                " live data, recording and the jump buffer. ";

void CBF_MenuQuit(int pan, int)
{
    CBF_P(pan, EVENT_CLOSE, nullptr, 0, 0);
}

void CBF_MenuHelp(int, int menuItem)
{
    if (menuItem == MENU_HELP_KEYS) MessagePopup("Keyboard shortcuts", InfoShortcuts);
    if (menuItem == MENU_HELP_ABOUT) MessagePopup("About", InfoAbout);
}

} // namespace vr
