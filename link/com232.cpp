/* com232.cpp: the sensor link: port set-up and line check, the device in view, the frame
** and reply buffers, the rule of one sensor operation at a time, the writing and reading
** exchanges, the settle wait and the TIMEOUT report.
*/
#include "com232.h"

#include "../gui/gui.h"
#include "../live/live.h"
#include "../params/params.h"

#include <cstdio>
#include <cstring>

namespace vr
{

/* Program-wide variables of the link, documented in com232.h. */
int com;
int ret;
char szStatus[64];
unsigned char sync;
unsigned char order;
unsigned char szWriteBuf[ComQueueLen];
unsigned char szReadBuf[ComQueueLen];
int nBytesW;
int nBytesR;
double tstart;
double tdiff;
int busy;

static_assert(FrameLen == 17, "a command frame is sync, command and the 15-byte packet");
static_assert(sizeof szReadBuf >= 16, "the longest reply is the 16-byte jump buffer");

const char InfoTimeout[] = " ATTENTION! \n \n TIMEOUT \n NO SERIAL CONNECTION TO SENSOR";
const char szLineOk[] = "LINE OK                              V2.0";
static_assert(sizeof szLineOk == 42, "LINE OK, 30 spaces, V2.0");

static const double ReplyLimit = 3.0;   /* seconds from the frame's write */
static const char Dot[] = " \xC2\xB7 "; /* separator in the device texts (UTF-8 middle dot) */

/* Fixed status texts for a failed port open, by the open's negative result. */
static const char *OpenErrorText(int code)
{
    switch (code) {
    case ComErrUnknown: return "Unknown system error";
    case ComErrBadPort: return "Invalid port number";
    case ComErrNotOpen: return "Port is not open";
    case ComErrIO: return "Unknown I/0 error";
    case ComErrNoDevice: return "No serial port found";
    case ComErrCannotOpen: return "Cannot open port";
    case ComErrTimeout: return "Timeout";
    default: return "RS-232 error!";
    }
}

static void ShowStatus(const char *text)
{
    std::strncpy(szStatus, text, sizeof szStatus - 1);
    szStatus[sizeof szStatus - 1] = '\0';
    SetCtrlVal(panel, PANEL_STATUS, szStatus);
}

void InitRS232(int port)
{
    poll = 0;
    ret = OpenComConfig(port, "", 4800, 0, 8, 1, ComQueueLen, ComQueueLen);
    ShowComDevice();
    if (ret < 0) {
        ShowStatus(OpenErrorText(ret));
        return;
    }
    SetComTime(port, 2.0);
    FlushInQ(port);
    FlushOutQ(port);
    SetCTSMode(port, 0);
    CheckComLine();
}

void CheckComLine(void)
{
    static const unsigned char lineOk[AnzLineCheck] = {0xAA, 0x02, 0x00};
    if (ReadExchange(CmdLineCheck, AnzLineCheck) == 1 &&
        std::memcmp(szReadBuf, lineOk, AnzLineCheck) == 0) {
        ShowStatus(szLineOk);
        GetPara();
    } else {
        TimeoutReport();
    }
}

/* Appends `text` to the string in `buffer`, cut to fit its `capacity`. */
static void AppendText(char *buffer, std::size_t capacity, const char *text)
{
    const std::size_t len = std::strlen(buffer);
    if (len + 1 < capacity) std::strncat(buffer, text, capacity - len - 1);
}

void ShowComDevice(void)
{
    enum { MaxPort = 255 };
    char device[128], how[128], line[300], title[400], list[2048] = "";
    const int present = GetComPortInfo(com, device, how);
    if (present < 0)
        std::snprintf(line, sizeof line, "no device for COM %d", com);
    else
        std::snprintf(line, sizeof line, "%s%s%s", device, Dot,
                      present == 0 ? "not present"
                      : *how       ? how
                                   : "present");
    SetCtrlVal(panel, PANEL_COMDEVICE, line);
    std::snprintf(title, sizeof title, "Veltra-Razov V2.0%sCOM %d%s%s%s", Dot, com, Dot,
                  present < 0 ? "no device" : device, present == 0 ? " (not present)" : "");
    SetPanelAttribute(panel, ATTR_TITLE, title);
    for (int n = 1; n <= MaxPort; n++) {
        const int found = GetComPortInfo(n, device, how);
        if (found < 0) continue;
        std::snprintf(line, sizeof line, "%sCOM %d: %s%s%s%s", *list ? "\n" : "", n, device,
                      *how ? Dot : "", how, found == 0 ? " (not present)" : "");
        AppendText(list, sizeof list, line);
    }
    SetCtrlAttribute(panel, PANEL_COMDEVICE, ATTR_TOOLTIP_TEXT,
                     *list ? list : "No serial port found");
}

void FillTxBuf(unsigned char command)
{
    szWriteBuf[0] = sync;
    szWriteBuf[1] = command;
    std::memcpy(szWriteBuf + 2, pp, AnzPara);
}

void GetRxBufPara(void)
{
    std::memcpy(pp, szReadBuf, AnzPara);
}

void GetRxBufData(void)
{
    std::memcpy(databuf, szReadBuf, AnzData);
}

/* One sensor operation at a time. Every wait processes events, so a command the operator
** gives while an operation waits would start its exchange inside that wait, on the same port
** with the same buffers and timers: the outer exchange could then take the inner one's reply,
** or the tail of one and the head of the other, for its own. So every sensor operation the
** operator starts (a port set-up, Send or Get to or from the sensor, GetBuff, and Go until
** polling starts) runs between BeginSensorOp and EndSensorOp, and one that finds another
** under way is refused. The polling loop is not such an operation: one started inside it
** clears poll and then runs, and the loop, whose reply wait tests poll, ends without reading
** (GetData). Stop and the panel's close never pass here: they are never refused. */
int BeginSensorOp(void)
{
    if (busy) return 0;
    busy = 1;
    SetWaitCursor(1);
    return 1;
}

void EndSensorOp(void)
{
    busy = 0;
    SetWaitCursor(0);
}

int WriteExchange(unsigned char command)
{
    order = command;
    FillTxBuf(order);
    nBytesW = ComWrt(com, szWriteBuf, FrameLen);
    if (nBytesW != FrameLen) {
        TimeoutReport();
        return 0;
    }
    return 1;
}

int ReadExchange(unsigned char command, int replyLen)
{
    // Flush first: a late reply to an earlier request would be taken for this one. The line
    // check follows the port set-up, which has just flushed both queues.
    if (command != CmdLineCheck) {
        FlushInQ(com);
        FlushOutQ(com);
    }
    order = command;
    FillTxBuf(order);
    ComWrt(com, szWriteBuf, FrameLen);
    tstart = Timer();
    int n;
    // Each pass sleeps until an event, the limit or the complete reply: nothing runs while the
    // bytes are on the line, and Stop or the last byte ends the pass at once.
    do {
        ProcessSystemEventsUntil(tstart + ReplyLimit, com, replyLen);
        n = GetInQLen(com);
        if (command == CmdReadData && poll == 0) return -1;
        tdiff = Timer() - tstart;
    } while (tdiff <= ReplyLimit && n < replyLen);
    return ReadReply(n, replyLen);
}

int ReadReply(int queued, int replyLen)
{
    // A queue count of zero or less reads nothing and fails like a short reply.
    nBytesR = queued > 0 ? ComRd(com, szReadBuf, queued) : 0;
    return nBytesR == replyLen ? 1 : 0;
}

void SettleWait(void)
{
    WaitSeconds(target == EEPROM ? 1.5 : 0.1);
}

void WaitSeconds(double seconds)
{
    tstart = Timer();
    tdiff = 0.0;
    do {
        ProcessSystemEventsUntil(tstart + seconds, 0, 0);
        tdiff = Timer() - tstart;
    } while (tdiff < seconds);
}

void TimeoutReport(void)
{
    SetCtrlVal(panel, PANEL_STATUS, "TIMEOUT");
    MessagePopup("INFO", InfoTimeout);
}

int CBF_EditConnect(int pan, int control, int event, void *, int, int)
{
    if (event == EVENT_COMMIT && BeginSensorOp()) {
        poll = 0;
        CloseCom(com);
        GetCtrlVal(pan, control, &com);
        SetCtrlVal(pan, PANEL_STATUS, "Init COM-Port ...");
        InitRS232(com);
        EndSensorOp();
    }
    if (event == EVENT_RIGHT_CLICK) ShowHelp(InfoEditConnect);
    return 0;
}

} // namespace vr
