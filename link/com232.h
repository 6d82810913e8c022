/* com232.h: the sensor link: serial port set-up and line check, the device in view, the
** 17-byte command frames, the rule of one sensor operation at a time, the writing and reading
** exchanges with their 3.0-second reply limit, the settle wait and the TIMEOUT report.
*/
#ifndef COM232_H
#define COM232_H

#include "../app/Veltrav20.h"

namespace vr
{

enum { AnzPara = 15 }; /* bytes in the parameter packet pp and in a frame's payload */
enum { AnzData = 9 };  /* bytes in the data packet databuf */
enum { FrameLen = AnzPara + 2, ComQueueLen = 1024 };
enum { AnzJump = 16, AnzLineCheck = 3 }; /* reply lengths of the jump buffer and line check */

/* Command codes, byte 1 of a frame, with the reply each awaits. */
enum {
    CmdWriteRam = 1,    /* the packet into the sensor's RAM; no reply */
    CmdWriteEeprom = 2, /* the packet into the sensor's EEPROM; no reply */
    CmdReadRam = 3,     /* the packet from RAM; AnzPara bytes */
    CmdReadEeprom = 4,  /* the packet from EEPROM; AnzPara bytes */
    CmdReadData = 5,    /* one measurement packet; AnzData bytes */
    CmdReadJump = 6,    /* the jump buffer; AnzJump bytes */
    CmdLineCheck = 7    /* line check; AnzLineCheck bytes, AA 02 00 */
};

extern int com;             /* COM port number in use, 1 at start; InitVars, CBF_EditConnect */
extern int ret;             /* result of the last port open, negative: the error code; InitRS232 */
extern char szStatus[64];   /* text for PANEL_STATUS; InitVars, InitRS232, CheckComLine */
extern unsigned char sync;  /* first byte of every frame, 0x55; InitVars, never changed after */
extern unsigned char order; /* command code of the last frame built, 1..7; the exchanges */
extern unsigned char szWriteBuf[ComQueueLen]; /* frame buffer, the frame in 0..16; FillTxBuf */
extern unsigned char szReadBuf[ComQueueLen];  /* reply buffer, as large as the input queue; every
                                                 read starts at its beginning */
extern int nBytesW;   /* bytes accepted by the last parameter write; WriteExchange */
extern int nBytesR;   /* bytes read by the last reading exchange; ReadExchange */
extern double tstart; /* start of the current wait, seconds; every wait */
extern double tdiff;  /* elapsed time of the current wait, seconds; every wait */
extern int busy;      /* 1 while a sensor operation other than the polling loop is under way, 0 at
                         start; BeginSensorOp, EndSensorOp, InitVars */

extern const char InfoTimeout[]; /* the TIMEOUT popup's text */
extern const char szLineOk[];    /* status text after a passed line check */

/* Opens and configures `port` (4800 8N1, 1024-byte queues, 2.0 s port time-out, no CTS);
** clears poll. A failed open puts its fixed text into the status line and stops there;
** otherwise the line check runs. */
void InitRS232(int port);
/* Command 7: writes the frame, waits up to 3.0 s for 3 bytes, passes on AA 02 00: "LINE OK"
** text and GetPara; otherwise the TIMEOUT report. */
void CheckComLine(void);

/* The device of port com beside the COM PORT input and in the window title, whether it is
** present, and in the label's tooltip the system's ports with their numbers. Also called
** when devices appear or disappear (WatchComDevices). */
void ShowComDevice(void);

/* Frame: sync, command, the 15 bytes of pp. */
void FillTxBuf(unsigned char command);
void GetRxBufPara(void); /* szReadBuf[0..14] into pp */
void GetRxBufData(void); /* szReadBuf[0..8] into databuf */

/* Entry of a sensor operation the operator starts (port set-up, Send or Get to or from the
** sensor, GetBuff, Go until polling starts): 0 while another one is under way (the new one
** is refused then and does nothing at all), otherwise 1, busy set and the busy pointer shown.
** Every entry that returned 1 is followed by one EndSensorOp. */
int BeginSensorOp(void);
void EndSensorOp(void); /* busy cleared, the normal pointer */

/* Writing exchange for CmdWriteRam or CmdWriteEeprom: order set, the frame built and
** written, the TIMEOUT report unless all 17 bytes were accepted. Returns 1 when they were. */
int WriteExchange(unsigned char command);
/* Reading exchange: flushes both queues (unless CmdLineCheck), sets order, writes the frame
** for `command`, waits up to 3.0 s from the write for `replyLen` queued bytes while
** processing events, then takes the reply with ReadReply. CmdReadData also ends at once when
** poll is found 0 in the wait: returns -1 then, nothing read, no report. Otherwise returns
** ReadReply's result (the caller reports a failure). */
int ReadExchange(unsigned char command, int replyLen);
/* Reads the `queued` bytes the last look at the input queue found into szReadBuf (count in
** nBytesR; a count of zero or less reads nothing). Returns 1 when exactly replyLen bytes
** were read, 0 otherwise: a short, missing or long reply. */
int ReadReply(int queued, int replyLen);
/* Waits 1.5 s when target is EEPROM, else 0.1 s, processing events at least once. */
void SettleWait(void);
/* Waits `seconds` from now, processing events on every pass and at least once; tstart and
** tdiff time the wait. */
void WaitSeconds(double seconds);
/* "TIMEOUT" into the status line and the modal "INFO" popup with InfoTimeout. */
void TimeoutReport(void);

int CBF_EditConnect(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);

} // namespace vr

#endif
