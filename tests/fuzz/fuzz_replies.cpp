/* fuzz_replies.cpp: libFuzzer target for the reply handling of the reading exchanges. Input:
** byte 0 selects the command (3, 4, 5, 6, 7), byte 1 the number of split points (0..3), then
** one byte per split point, then the stream, which a pseudo-terminal writes in those pieces
** while the real serial layer queues it. The queue is read as an exchange reads it and a reply
** of the command's length taken through the real success steps into the panel. */
#include "app/Veltrav20.h"
#include "gui/gui.h"
#include "link/com232.h"
#include "live/live.h"
#include "params/params.h"

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace vr;

namespace
{

int master = -1;

void check(bool ok)
{
    if (!ok) __builtin_trap();
}

/* Lets the serial layer take in what the pseudo-terminal holds: `expected` bytes, or as many
** as the bounded input queue takes. */
void settle(int expected)
{
    if (expected > ComQueueLen) expected = ComQueueLen;
    const double deadline = Timer() + 2.0;
    while (Timer() < deadline && GetInQLen(com) < expected)
        ProcessSystemEventsUntil(deadline, com, expected);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    master = posix_openpt(O_RDWR | O_NOCTTY);
    check(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    setenv("VELTRAV20_COM1", ptsname(master), 1);
    check(InitRunTime(*argc, *argv) == 1);
    BindCallbacks(cbfTable, cbfTableLen);
    panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
    check(panel > 0);
    InitVars();
    check(OpenComConfig(com, "", 4800, 0, 8, 1, ComQueueLen, ComQueueLen) >= 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size < 2 || size > 4096) return 0;
    static const unsigned char commands[5] = {CmdReadRam, CmdReadEeprom, CmdReadData, CmdReadJump,
                                              CmdLineCheck};
    static const int lengths[5] = {AnzPara, AnzPara, AnzData, AnzJump, AnzLineCheck};
    const int which = data[0] % 5;
    const int splits = data[1] % 4;
    if (size < 2u + splits) return 0;
    const unsigned char *stream = data + 2 + splits;
    const std::size_t len = size - 2 - splits;

    FlushInQ(com);
    std::size_t at = 0;
    for (int s = 0; s <= splits && at < len; s++) {
        std::size_t piece = s < splits ? data[2 + s] : len - at;
        if (piece > len - at) piece = len - at;
        if (piece) check(write(master, stream + at, piece) == static_cast<ssize_t>(piece));
        at += piece;
        settle(static_cast<int>(at));
    }

    const int n = GetInQLen(com);
    check(n <= ComQueueLen);
    std::memset(szReadBuf, 0, sizeof szReadBuf);
    const int taken = ReadReply(n, lengths[which]);
    check(nBytesR <= n && taken == (nBytesR == lengths[which]));
    if (!taken) return 0;
    switch (commands[which]) {
    case CmdReadRam:
    case CmdReadEeprom:
        TakeParaReply();
        GetPanelValues(); // a packet shown on the panel reads back as bytes again
        break;
    case CmdReadData: TakeDataReply(); break;
    default: break;
    }
    return 0;
}
