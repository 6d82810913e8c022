/* poll.cpp: the measurement polling loop run by Go and ended through poll, the data
** variables and numeric displays, the 100-sample history and its array routines.
*/
#include "live.h"

#include "../gui/gui.h"
#include "../params/params.h"

namespace vr
{

/* Program-wide variables of the polling loop, documented in live.h. */
int poll;
unsigned char databuf[AnzData];
unsigned char dataDat0;
unsigned char dataDat1;
unsigned char dataNorm;
unsigned char dataAdjedgeL;
unsigned char dataAdjedgeH;
unsigned char dataAdjin0L;
unsigned char dataAdjin0H;
unsigned char dataAdjin1L;
unsigned char dataAdjin1H;
double alldata[AnzAll];
int going;

static_assert(AnzData == 9, "the data packet carries nine bytes");
static_assert(AnzAll == 500, "100 samples of DAT0, DAT1, NORM, threshold, hysteresis");

static const int PauseMs = 50; /* pause between two polling cycles */

void GetData(void)
{
    poll = 1;
    DispVis();
    while (poll == 1) {
        const int r = ReadExchange(CmdReadData, AnzData);
        if (r < 0) return;     // stopped while waiting for the reply
        double recorded = 0.0; // seconds the recording's line took
        if (r == 1) {
            TakeDataReply();
            const double start = Timer();
            RecordData();
            recorded = Timer() - start;
        } else {
            TimeoutReport();
            poll = 0;
        }
        ProcessSystemEvents();
        // The line's way to the disk (a few milliseconds for the sync) is taken out of the
        // pause, so that a recording does not lengthen the cycle; the sensor still has the
        // pause, to the millisecond, between its reply and the next request.
        Sleep(PauseMs - static_cast<int>(recorded * 1000.0 + 0.5));
    }
}

void TakeDataReply(void)
{
    GetRxBufData();
    CopyDatatoVars();
    SetPanelData();
    ShowGraph();
}

void CopyDatatoVars(void)
{
    dataDat0 = databuf[0];
    dataDat1 = databuf[1];
    dataNorm = databuf[2];
    dataAdjedgeL = databuf[3];
    dataAdjedgeH = databuf[4];
    dataAdjin0L = databuf[5];
    dataAdjin0H = databuf[6];
    dataAdjin1L = databuf[7];
    dataAdjin1H = databuf[8];
}

void SetPanelData(void)
{
    const unsigned int adjedge = dataAdjedgeH * 256u + dataAdjedgeL;
    const unsigned int adjin0 = dataAdjin0H * 256u + dataAdjin0L;
    const unsigned int adjin1 = dataAdjin1H * 256u + dataAdjin1L;
    // Without an IN0-to-IN0 time there is no 100 % reference: both percentages show 0.
    SetCtrlVal(panel, PANEL_WIN, adjin0 ? static_cast<int>(100 * adjin1 / adjin0) : 0);
    SetCtrlVal(panel, PANEL_EDGE, adjin0 ? static_cast<int>(100 * adjedge / adjin0) : 0);
    SetCtrlVal(panel, PANEL_DAT0, dataDat0);
    SetCtrlVal(panel, PANEL_DAT1, dataDat1);
    SetCtrlVal(panel, PANEL_NORM, dataNorm);
    GetCtrlVal(panel, PANEL_THRESHOLD, &threshold);
    GetCtrlVal(panel, PANEL_HYSTERESIS, &hysteresis);
    Shift(alldata, AnzAll, -AnzTrace, alldata);
    alldata[AnzAll - 5] = dataDat0;
    alldata[AnzAll - 4] = dataDat1;
    alldata[AnzAll - 3] = dataNorm;
    alldata[AnzAll - 2] = threshold;
    alldata[AnzAll - 1] = hysteresis;
}

int Copy1D(const double *in, int n, double *out)
{
    if (n < 1) return ErrArrayLen;
    for (int i = 0; i < n; i++)
        out[i] = in[i];
    return 0;
}

int Shift(const double *in, int n, int shift, double *out)
{
    if (n < 1) return ErrArrayLen;
    const int s = shift < 0 ? -shift : shift;
    if (s >= n) return ErrShiftLen;
    if (shift == 0) return Copy1D(in, n, out);
    // The copying direction keeps the shift right when in and out are the same array.
    if (shift > 0) {
        for (int i = n - 1; i >= s; i--)
            out[i] = in[i - s];
        for (int i = 0; i < s; i++)
            out[i] = 0.0;
    } else {
        for (int i = 0; i <= n - s - 1; i++)
            out[i] = in[i + s];
        for (int i = n - 1; i >= n - s; i--)
            out[i] = 0.0;
    }
    return 0;
}

int CBF_ButtonGo(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) {
        // A second Go while one runs would nest a second loop inside the first.
        if (going || !BeginSensorOp()) return 0;
        going = 1;
        SettleWait();
        EndSensorOp(); // the loop itself is no sensor operation: one started inside ends it
        // The panel may have been closed during the settle wait: then no loop starts.
        if (!quitting) {
            SetCtrlAttribute(panel, PANEL_GO, ATTR_HIGHLIGHTED, 1);
            GetData();
            SetCtrlAttribute(panel, PANEL_GO, ATTR_HIGHLIGHTED, 0);
        }
        going = 0;
    }
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoButtonGo);
    return 0;
}

int CBF_ButtonStop(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) poll = 0;
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoButtonStop);
    return 0;
}

} // namespace vr
