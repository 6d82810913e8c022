/* live.h: the live data: the measurement polling loop, the numeric displays and the
** 100-sample history, the graph views and source selection, the jump buffer readout, and
** the recording and export of what they show.
*/
#ifndef LIVE_H
#define LIVE_H

#include "../app/Veltrav20.h"
#include "../link/com232.h"

namespace vr
{

enum { AnzHist = 100, AnzTrace = 5, AnzAll = AnzHist * AnzTrace, AnzBars = 100 };
enum { ErrArrayLen = -20003, ErrShiftLen = -20102 }; /* Copy1D and Shift status codes */

extern int poll; /* 1 while the polling loop is to go on; set by GetData, cleared by Stop, the
                    panel's close, a port set-up, the transfers, GetBuff and a failed cycle */
extern unsigned char databuf[AnzData]; /* last accepted data packet; GetRxBufData */
/* The bytes of the last good data packet, written only by CopyDatatoVars. */
extern unsigned char dataDat0;     /* receiver DAT0, raw 0..255 */
extern unsigned char dataDat1;     /* receiver DAT1, raw 0..255 */
extern unsigned char dataNorm;     /* NORM = DAT0*255/(DAT0+DAT1) */
extern unsigned char dataAdjedgeL; /* edge time, low byte */
extern unsigned char dataAdjedgeH; /* edge time, high byte */
extern unsigned char dataAdjin0L;  /* IN0 to IN0 time (100 %), low byte */
extern unsigned char dataAdjin0H;  /* IN0 to IN0 time, high byte */
extern unsigned char dataAdjin1L;  /* active window length, low byte */
extern unsigned char dataAdjin1H;  /* active window length, high byte */
extern double alldata[AnzAll]; /* history: 100 samples of DAT0, DAT1, NORM, threshold, hysteresis,
                                  oldest first, newest at 495..499; SetPanelData */
extern int source;             /* view: 0 raw, 1 NORM, 2 adjustment; DispVis */
extern unsigned char jumpbuf[AnzJump]; /* last good readout, zeros before; GetJmpBuf */
extern unsigned char jumpthreshold;    /* threshold drawn with it, from the panel; GetJmpBuf */
extern int graphshown; /* the graph on view: PANEL_STRIPCHART or PANEL_GRAPH_ADJ by the view
                          (DispVis), PANEL_GRAPH_JUMPBUF after a readout (GetJmpBuf) */
extern int going;      /* 1 while a Go callback runs; CBF_ButtonGo */

enum { AnzLine = 160 };            /* recording line buffer, bytes */
extern int recording;              /* 1 while good cycles are recorded; OpenRecording,
                                      StopRecording */
extern int recordFile;             /* line file of the recording, -1 none; the same */
extern long recordLines;           /* data lines in the current recording; RecordData */
extern char record_name[260];      /* path of the recording file; StartRecording */
extern char export_name[260];      /* path of the last export; the export procedures */
extern char szRecordLine[AnzLine]; /* the last recording line; RecordData */

void GetData(void);
/* Success steps of a polling cycle: the reply in szReadBuf into databuf, the data variables,
** the displays and the history, and the graph of the view drawn. */
void TakeDataReply(void);
void CopyDatatoVars(void);
void SetPanelData(void);
int Copy1D(const double *in, int n, double *out);
int Shift(const double *in, int n, int shift, double *out);

void DispVis(void);
void ShowGraph(void);

void GetJmpBuf(void);

/* Recording (record.cpp). StartRecording asks for a "*.csv" file (a dialog for saving) and
** calls OpenRecording. OpenRecording creates or empties record_name, writes the header line
** and turns recording on; returns 1, or 0 after reporting a file that cannot be written.
** RecordData appends one line for the cycle just completed while recording is on; a failed
** write stops the recording and is reported, the lines before stay in the file. Neither
** touches poll or the port. */
void StartRecording(void);
int OpenRecording(void);
void StopRecording(void);
void RecordData(void);
/* Shows whether recording is on: the panel's indicator and the File menu's items. */
void RecordVis(void);
/* Exports, each through a dialog for saving and an atomic save, failures reported: the
** 100-sample history and the last jump buffer as CSV, the graph on view as PNG. */
void ExportHistory(void);
void ExportJumpBuf(void);
void SaveGraphImage(void);

int CBF_ButtonGo(int, int, int, void *, int, int);
int CBF_ButtonStop(int, int, int, void *, int, int);
int CBF_SelectSource(int, int, int, void *, int, int);
int CBF_ButtonGetBuff(int, int, int, void *, int, int);
/* Menu commands: File's recording and export items; View's three views (as PANEL_SOURCE). */
void CBF_MenuRecord(int panel, int menuItem);
void CBF_MenuView(int panel, int menuItem);

} // namespace vr

#endif
