/* live.h: the live data: the measurement polling loop, the numeric displays and the
** 100-sample history, the graph views and source selection, and the jump buffer readout.
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
extern int going;                      /* 1 while a Go callback runs; CBF_ButtonGo */

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

int CBF_ButtonGo(int, int, int, void *, int, int);
int CBF_ButtonStop(int, int, int, void *, int, int);
int CBF_SelectSource(int, int, int, void *, int, int);
int CBF_ButtonGetBuff(int, int, int, void *, int, int);

} // namespace vr

#endif
