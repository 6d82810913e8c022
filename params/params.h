/* params.h: the parameter set: the twelve parameter variables and three spare bytes, their
** 15-byte packet pp, their mapping to and from the panel, the transfer target, the
** transfers to the sensor's RAM and EEPROM, and the parameter files.
*/
#ifndef PARAMS_H
#define PARAMS_H

#include "../app/Veltrav20.h"
#include "../link/com232.h"

namespace vr
{

enum { RAM = 1, EEPROM = 2, DATFILE = 3 }; /* transfer targets */
enum { PowerSteps = 46 };                  /* raw power: 0 full intensity .. 46 none */

/* Parameter variables, raw sensor bytes. Written by GetPanelValues, CopyPPtoVars,
** InitPanelValues and the mode commit handlers; threshold and hysteresis also by the
** measurement display, threshold by the jump buffer readout. */
extern unsigned char threshold;    /* pp[0]: lower NORM threshold of an edge */
extern unsigned char hysteresis;   /* pp[1]: NORM must rise above it before the next edge */
extern unsigned char power;        /* pp[2]: transmitter power, raw 0 (full) .. 46 (none) */
extern unsigned char pmod;         /* pp[3]: power mode, 0 static, else dynamic */
extern unsigned char hold;         /* pp[4]: pulse length of OUT0 */
extern unsigned char trigger;      /* pp[5]: trigger mode, 0 continuous */
extern unsigned char backlim;      /* pp[6]: intensity limit at DAT0 */
extern unsigned char regcnt;       /* pp[7]: main-loop runs between power corrections */
extern unsigned char average;      /* pp[8]: values averaged into NORM */
extern unsigned char deadtimemode; /* pp[9]: dead-time unit, 0 percent, else ms */
extern unsigned char deadtime;     /* pp[10]: dead-time ring index 0..15 */
extern unsigned char outmode;      /* pp[11]: OUT0 switching sense, DIRECT or INVERSE */
extern unsigned char frei13;       /* pp[12]: spare, carried from the last packet read, 0 before */
extern unsigned char frei14;       /* pp[13]: spare, as frei13 */
extern unsigned char frei15;       /* pp[14]: spare, as frei13 */
extern unsigned char pp[AnzPara];  /* the parameter packet, in the order above; CopyVarsToPP,
                                      GetRxBufPara, a file load */

extern int target; /* RAM, EEPROM or DATFILE, RAM at start; InitVars and the toggle callbacks */
extern char file_name[260]; /* path picked in the last file dialog; the file transfers */

/* Record and packet. */
void GetPanelValues(void);  /* twelve controls into the variables, power percent -> raw */
void SetPanelValues(void);  /* variables into the controls, power raw -> percent */
void InitPanelValues(void); /* dimming and the dead-time ring from the mode controls */
void CopyVarsToPP(void);
void CopyPPtoVars(void);
unsigned char PercentToRaw(int percent);       /* 46 - percent*46/100, truncated */
unsigned char RawToPercent(unsigned char raw); /* 100*(46-raw)/46; raw above 46 shows 0 */

/* Transfers. */
void SendPara(void); /* clears poll; panel -> pp; command 1 (RAM) or 2 (EEPROM) */
void GetPara(void);  /* clears poll; command 3 (RAM, also FILE) or 4 (EEPROM) into panel */
/* Success steps of a parameter read: the reply in szReadBuf into pp, the variables and the
** panel, the dimming and the dead-time ring re-derived. */
void TakeParaReply(void);

/* Files: the dialog, then save or load; failures reported in a popup. */
void SendParaToFile(void);
void ReadParaFromFile(void);

int CBF_EditTrigger(int, int, int, void *, int, int);
int CBF_EditPmod(int, int, int, void *, int, int);
int CBF_EditDeadTimeMode(int, int, int, void *, int, int);
int CBF_SelectRAM(int, int, int, void *, int, int);
int CBF_SelectEEPROM(int, int, int, void *, int, int);
int CBF_SelectFILE(int, int, int, void *, int, int);
int CBF_ButtonSend(int, int, int, void *, int, int);
int CBF_ButtonGet(int, int, int, void *, int, int);

} // namespace vr

#endif
