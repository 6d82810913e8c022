/* sensorsim.cpp: the edge sensor played on a pseudo-terminal, for the tests and for manual runs:
** 17-byte command frames in, fixed-length replies out at the 4800-baud line rate, live data,
** a frame log and fault injection. Divisions: usage text; state; parameter sets and live data;
** replies and faults; control commands from stdin; pseudo-terminal and event loop.
*/
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace
{

/* ---- Usage text ----------------------------------------------------------------------- */

/* Follows a first line "Usage: <program name> [options]". */
const char usageText[] =
    R"(
Plays the edge sensor on a pseudo-terminal. The first line on stdout is the name of the
terminal device the program under test opens (for example /dev/pts/3).

Options:
  --link PATH         also create the symbolic link PATH -> device (replaced if PATH is a
                      stale link; removed on exit and when the device vanishes)
  --eeprom FILE       keep the EEPROM parameter set in FILE: loaded at start when FILE
                      exists, rewritten on every EEPROM write (command 2). FILE holds the
                      15 bytes as decimal numbers separated by white space.
  --log FILE          log every complete frame received, one line per frame (see below)
  --no-pace           send replies at once instead of at the line rate
  --fault C:KIND[:A[:B]][:once]
                      fault for command C from the start; same kinds as the stdin command
                      "fault" (e.g. --fault 7:split:1:500, --fault 3:short:once); repeatable
  --vanish-after N    the device vanishes after N requests (as the stdin command "vanish")
  --exit-on-eof       exit when stdin reaches end of file (default: keep running)
  --help              this text

Line: 4800 baud, 8N1, so one byte takes 10 bit times = 2.0833 ms. A frame's 17 bytes count
as arriving over 17 byte times from its first byte; reply byte i (0-based) goes out at the
frame's end + (i+1) byte times. A command 5 cycle thus takes 26 byte times (54.2 ms).

Frames: byte 0 = 0x55 (sync), byte 1 = command, bytes 2..16 = the 15-byte parameter packet.
A byte other than 0x55 at the start of a frame is skipped; a partial frame is dropped after
a pause of 200 ms. Commands:
  1  packet into RAM, no reply           2  packet into EEPROM, no reply
  3  reply the 15 RAM bytes              4  reply the 15 EEPROM bytes
  5  reply the 9-byte data packet        6  reply the 16-byte jump buffer
  7  line check, reply AA 02 00          other codes: logged, no reply
At power-on RAM holds the EEPROM set.

Log (--log): one line per complete frame, written when its last byte arrives:
  <seconds since start, 6 decimals> <the 17 bytes, two lowercase hex digits each>
  e.g. "1.234567 55 07 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e"

Control commands on stdin, one per line; each is answered with one line on stdout: "ok",
"ok <values>" or "error <reason>". Byte values are decimal or 0x-prefixed hex.
  fault C KIND [once] fault for command C (1..7), in force until changed; with "once" it
                      applies to the next request of C only. KIND is one of:
                        none | clear     no fault
                        silent           no reply
                        short            the reply without its last byte
                        long             the reply plus one byte 0x00
                        wrong            the reply's last byte with bit 0 flipped
                                         (line check: AA 02 01)
                        late MS          the whole reply MS milliseconds later
                        split N MS       the first N bytes, the rest MS milliseconds later
  clear               every fault off and a pending vanish cancelled
  data b0 .. b8       every data reply (command 5) is these 9 bytes
  data auto           data replies generated again
  jump b0 .. b15      every jump buffer reply (command 6) is these 16 bytes
  jump auto           jump buffer replies generated again
  ram b0 .. b14       set the RAM parameter set
  eeprom b0 .. b14    set the EEPROM parameter set (and its file, with --eeprom)
  get ram|eeprom|jump answered "ok <bytes in two-digit hex>"
  pace on|off         replies at the line rate, or at once
  flood N [BYTE]      send N bytes at once, unpaced (BYTE, or 0, 1, 2, .. 255, 0, ..)
  vanish N            the device vanishes once the next N requests (complete frames of any
                      command) have been answered: 100 ms after the N-th reply has gone out,
                      later frames logged but not answered; 0: at once. The terminal is
                      closed and the link removed; the process keeps running and answering
                      stdin (use quit, SIGTERM or --exit-on-eof to end it).
  quit                exit
)";

/* ---- State ------------------------------------------------------------------------------ */

constexpr int FrameLen = 17;               /* sync, command, 15 packet bytes */
constexpr int PacketLen = 15;              /* parameter packet */
constexpr int DataLen = 9;                 /* data packet */
constexpr int JumpLen = 16;                /* jump buffer */
constexpr double ByteTime = 10.0 / 4800.0; /* one byte at 4800 baud, 8N1, seconds */
constexpr double FrameGap = 0.2;           /* a pause this long drops a partial frame, s */
constexpr double PassPeriod = 2.0;         /* an object passes every PassPeriod seconds */
constexpr double PassStart = 1.0;          /* ... starting this far into the period */
constexpr double PassLength = 0.4;         /* ... and taking this long */
const unsigned char defaultEeprom[PacketLen] = {80, 100, 10, 0, 20, 0, 30, 5, 4, 0, 5, 0, 0, 0, 0};

enum class FaultKind { None, Silent, Short, Long, Wrong, Late, Split };

struct Fault {
    FaultKind kind = FaultKind::None;
    int count = 0;     /* split: bytes sent before the pause */
    int ms = 0;        /* late, split: delay in milliseconds */
    bool once = false; /* cleared after the next request of its command */
};

struct TxByte {
    double due; /* time the byte is written to the terminal, s since start */
    unsigned char value;
};

const char *progName = "sensorsim"; /* argv[0]'s base name: the build's or the installed name */
int master = -1;                    /* pseudo-terminal master; -1 once vanished */
int slaveKeep = -1;      /* our own slave descriptor: keeps the master free of hang-ups */
std::string slaveName;   /* device the program under test opens */
std::string linkPath;    /* --link, empty if none */
std::string eepromPath;  /* --eeprom, empty if none */
FILE *logFile = nullptr; /* --log */
bool pace = true;        /* replies at the line rate */
bool exitOnEof = false;  /* --exit-on-eof */
bool stdinOpen = true;   /* false after end of file on stdin */
std::string stdinText;   /* stdin bytes not yet forming a whole line */
timespec startTime;      /* origin of all times */

unsigned char ram[PacketLen];    /* working parameter set */
unsigned char eeprom[PacketLen]; /* stored parameter set */
Fault faults[8];                 /* per command code 1..7; [0] unused */

unsigned char frame[FrameLen]; /* frame being received */
int frameFill = 0;             /* bytes of it received */
double frameFirst = 0;         /* arrival of its first byte */
double frameLast = 0;          /* arrival of its latest byte */

std::deque<TxByte> txQueue; /* reply bytes waiting for their time, in line order */
double lineFree = 0;        /* due time of the last byte queued */

constexpr double VanishGrace = 0.1; /* the last reply stays readable this long, s */
long vanishAfter = -1;              /* requests still answered before vanishing; -1: off */
bool vanishWhenDrained = false;     /* no more replies; vanish once txQueue is empty */
double vanishTime = -1;             /* time of vanishing once the queue drained; -1: none */

bool dataPinned = false;           /* data replies are pinnedData */
unsigned char pinnedData[DataLen]; /* from the "data" command */
bool jumpPinned = false;           /* jump replies are pinnedJump */
unsigned char pinnedJump[JumpLen]; /* from the "jump" command */
unsigned char jumpRing[JumpLen];   /* minimum NORM at the last 16 edges, ring order */
int jumpNext = 0;                  /* ring slot of the next edge */
long nextPass = -JumpLen;          /* first object pass not yet evaluated for an edge */
std::uint32_t noiseState = 12345u; /* generator state of the measurement noise */

volatile sig_atomic_t stopSignal = 0; /* set by SIGTERM, SIGINT, SIGHUP */

double Now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec - startTime.tv_sec) + double(t.tv_nsec - startTime.tv_nsec) * 1e-9;
}

std::string Hex(const unsigned char *bytes, int n)
{
    std::string s;
    char two[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, i ? " %02x" : "%02x", bytes[i]);
        s += two;
    }
    return s;
}

/* ---- Parameter sets and live data --------------------------------------------------- */

/* Parses a whole number from text: decimal, or hex with a 0x prefix. False unless the whole
** text is a number in lo..hi. */
bool ParseNumber(const std::string &text, long lo, long hi, long *value)
{
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno || *end || end == text.c_str() + (hex ? 2 : 0) || text[hex ? 2 : 0] == '-' ||
        text[hex ? 2 : 0] == '+' || v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

/* Reads the EEPROM file into eeprom: exactly 15 numbers 0..255. False if it cannot. */
bool LoadEeprom(const std::string &path)
{
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f) return false;
    unsigned char bytes[PacketLen];
    int n = 0;
    char word[32];
    bool good = true;
    while (good && std::fscanf(f, "%31s", word) == 1) {
        long v;
        good = n < PacketLen && ParseNumber(word, 0, 255, &v);
        if (good) bytes[n++] = static_cast<unsigned char>(v);
    }
    std::fclose(f);
    if (!good || n != PacketLen) return false;
    std::memcpy(eeprom, bytes, PacketLen);
    return true;
}

/* Writes eeprom to the EEPROM file through a temporary file, so a crash leaves the old one. */
void SaveEeprom()
{
    if (eepromPath.empty()) return;
    const std::string tmp = eepromPath + ".tmp";
    FILE *f = std::fopen(tmp.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", progName, tmp.c_str(), strerror(errno));
        return;
    }
    for (int i = 0; i < PacketLen; ++i)
        std::fprintf(f, i ? " %d" : "%d", eeprom[i]);
    std::fprintf(f, "\n");
    if (std::fclose(f) != 0 || std::rename(tmp.c_str(), eepromPath.c_str()) != 0)
        std::fprintf(stderr, "%s: cannot write %s: %s\n", progName, eepromPath.c_str(),
                     strerror(errno));
}

/* Uniform noise in -amplitude..amplitude. */
double Noise(double amplitude)
{
    noiseState = noiseState * 1664525u + 1013904223u;
    return amplitude * (double((noiseState >> 8) & 0xffff) / 32767.5 - 1.0);
}

int Norm(int dat0, int dat1)
{
    return dat0 + dat1 == 0 ? 0 : dat0 * 255 / (dat0 + dat1);
}

/* Receiver DAT0's level with no object in the beam, from the transmitter power in RAM
** (raw 0 = full intensity, 46 = none). DAT1 sees 90 % of it. */
double Level()
{
    const int power = ram[2] > 46 ? 46 : ram[2];
    return 40.0 + (46 - power) * 4.0;
}

/* How deep object pass k cuts into DAT0 at its middle: 0.70 .. 0.85. */
double PassDepth(long k)
{
    const std::uint32_t h = static_cast<std::uint32_t>(k) * 2654435761u;
    return 0.70 + double((h >> 16) % 16) * 0.01;
}

/* Records an edge for every object pass that ended by time t and whose minimum NORM fell
** below the RAM threshold. */
void RecordEdges(double t)
{
    while (double(nextPass) * PassPeriod + PassStart + PassLength <= t) {
        const double level = Level();
        const int minNorm = Norm(int(level * (1.0 - PassDepth(nextPass))), int(level * 0.9));
        if (minNorm < ram[0]) {
            jumpRing[jumpNext] = static_cast<unsigned char>(minNorm);
            jumpNext = (jumpNext + 1) % JumpLen;
        }
        ++nextPass;
    }
}

int Clamp(double v, int lo, int hi)
{
    const long r = std::lround(v);
    return r < lo ? lo : r > hi ? hi : int(r);
}

/* The data packet at time t: DAT0, DAT1, NORM, edge time, IN0-to-IN0 time and window time
** (16-bit, low byte first). DAT0 dips while an object passes; the times drift slowly. */
void MakeData(double t, unsigned char out[DataLen])
{
    RecordEdges(t);
    const double level = Level();
    double d0 = level;
    const double d1 = level * 0.9;
    const long k = long(std::floor(t / PassPeriod));
    const double phase = t - double(k) * PassPeriod - PassStart;
    if (phase >= 0 && phase < PassLength)
        d0 *= 1.0 - PassDepth(k) * (1.0 - std::fabs(phase - PassLength / 2) / (PassLength / 2));
    const int dat0 = Clamp(d0 + Noise(3), 0, 255);
    const int dat1 = Clamp(d1 + Noise(3), 0, 255);
    const int edge = Clamp(300 + 15 * std::sin(0.7 * t) + Noise(2), 0, 65535);
    const int in0 = Clamp(1000 + 20 * std::sin(0.25 * t) + Noise(2), 0, 65535);
    const int in1 = Clamp(600 + 15 * std::sin(0.4 * t + 1.0) + Noise(2), 0, 65535);
    out[0] = static_cast<unsigned char>(dat0);
    out[1] = static_cast<unsigned char>(dat1);
    out[2] = static_cast<unsigned char>(Norm(dat0, dat1));
    out[3] = static_cast<unsigned char>(edge & 0xff);
    out[4] = static_cast<unsigned char>(edge >> 8);
    out[5] = static_cast<unsigned char>(in0 & 0xff);
    out[6] = static_cast<unsigned char>(in0 >> 8);
    out[7] = static_cast<unsigned char>(in1 & 0xff);
    out[8] = static_cast<unsigned char>(in1 >> 8);
}

/* ---- Replies and faults ----------------------------------------------------------------- */

void RemoveLink()
{
    if (linkPath.empty()) return;
    char target[512];
    const ssize_t n = readlink(linkPath.c_str(), target, sizeof target - 1);
    if (n >= 0) {
        target[n] = '\0';
        if (slaveName == target) /* another simulator may have taken the link over */
            unlink(linkPath.c_str());
    }
}

/* The device disappears: the terminal is closed, queued bytes are lost, the link removed. */
void Vanish()
{
    if (master >= 0) close(master);
    if (slaveKeep >= 0) close(slaveKeep);
    master = slaveKeep = -1;
    txQueue.clear();
    frameFill = 0;
    vanishAfter = -1;
    vanishWhenDrained = false;
    vanishTime = -1;
    RemoveLink();
}

/* Queues reply bytes: at the line rate from `start` when pacing, else at `start`; each byte
** additionally delayed by delays[i] ms; never before a byte queued earlier. */
void QueueBytes(const std::vector<unsigned char> &bytes, double start,
                const std::vector<int> &delays)
{
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        double due = start + (pace ? double(i + 1) * ByteTime : 0.0) + delays[i] / 1000.0;
        const double earliest = txQueue.empty() ? 0.0 : lineFree + (pace ? ByteTime : 0.0);
        if (due < earliest) due = earliest;
        lineFree = due;
        txQueue.push_back({due, bytes[i]});
    }
}

void LogFrame(double t)
{
    if (!logFile) return;
    std::fprintf(logFile, "%.6f %s\n", t, Hex(frame, FrameLen).c_str());
    std::fflush(logFile);
}

/* A complete frame arrived at time t: act on it and queue its reply. */
void HandleFrame(double t)
{
    LogFrame(t);
    if (vanishWhenDrained) return; /* about to vanish: requests are no longer answered */
    const unsigned char command = frame[1];
    const unsigned char *packet = frame + 2;
    std::vector<unsigned char> reply;
    switch (command) {
    case 1: std::memcpy(ram, packet, PacketLen); break;
    case 2:
        std::memcpy(eeprom, packet, PacketLen);
        SaveEeprom();
        break;
    case 3: reply.assign(ram, ram + PacketLen); break;
    case 4: reply.assign(eeprom, eeprom + PacketLen); break;
    case 5: {
        unsigned char data[DataLen];
        if (dataPinned)
            std::memcpy(data, pinnedData, DataLen);
        else
            MakeData(t, data);
        reply.assign(data, data + DataLen);
        break;
    }
    case 6:
        RecordEdges(t);
        if (jumpPinned)
            reply.assign(pinnedJump, pinnedJump + JumpLen);
        else
            reply.assign(jumpRing, jumpRing + JumpLen);
        break;
    case 7: reply = {0xAA, 0x02, 0x00}; break;
    default: break;
    }

    std::vector<int> delays;
    if (command >= 1 && command <= 7) {
        Fault &f = faults[command];
        switch (f.kind) {
        case FaultKind::None: break;
        case FaultKind::Silent: reply.clear(); break;
        case FaultKind::Short:
            if (!reply.empty()) reply.pop_back();
            break;
        case FaultKind::Long: reply.push_back(0x00); break;
        case FaultKind::Wrong:
            if (!reply.empty()) reply.back() ^= 0x01;
            break;
        case FaultKind::Late: delays.assign(reply.size(), f.ms); break;
        case FaultKind::Split:
            for (std::size_t i = 0; i < reply.size(); ++i)
                delays.push_back(int(i) >= f.count ? f.ms : 0);
            break;
        }
        if (f.once) f = Fault{};
    }
    delays.resize(reply.size(), 0);

    /* the frame occupies the line for 17 byte times from its first byte */
    double end = t;
    if (pace && frameFirst + FrameLen * ByteTime > end) end = frameFirst + FrameLen * ByteTime;
    QueueBytes(reply, end, delays);

    if (vanishAfter > 0 && --vanishAfter == 0) vanishWhenDrained = true;
}

/* Bytes from the terminal, received at time t. */
void ReceiveBytes(const unsigned char *bytes, int n, double t)
{
    for (int i = 0; i < n; ++i) {
        if (frameFill > 0 && t - frameLast > FrameGap) frameFill = 0;
        if (frameFill == 0) {
            if (bytes[i] != 0x55) continue; /* resynchronise on the next sync byte */
            frameFirst = t;
        }
        frame[frameFill++] = bytes[i];
        frameLast = t;
        if (frameFill == FrameLen) {
            frameFill = 0;
            HandleFrame(t);
        }
    }
}

/* ---- Control commands from stdin ------------------------------------------------------ */

std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        std::size_t j = i;
        while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j])))
            ++j;
        if (j > i) words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

/* Reads exactly n bytes from words[first..]; false on a wrong count or value. */
bool ParseBytes(const std::vector<std::string> &words, std::size_t first, int n, unsigned char *out)
{
    if (words.size() != first + std::size_t(n)) return false;
    for (int i = 0; i < n; ++i) {
        long v;
        if (!ParseNumber(words[first + i], 0, 255, &v)) return false;
        out[i] = static_cast<unsigned char>(v);
    }
    return true;
}

std::string FaultCommand(const std::vector<std::string> &w)
{
    long command, a = 0, b = 0;
    if (w.size() < 3 || !ParseNumber(w[1], 1, 7, &command))
        return "error usage: fault C KIND [ARGS] [once], C = 1..7";
    std::vector<std::string> rest(w.begin() + 2, w.end());
    Fault f;
    if (rest.size() > 1 && rest.back() == "once") {
        f.once = true;
        rest.pop_back();
    }
    const std::string &kind = rest[0];
    const std::size_t args = rest.size() - 1;
    const long maxMs = 600000;
    if ((kind == "none" || kind == "clear") && args == 0)
        f = Fault{};
    else if (kind == "silent" && args == 0)
        f.kind = FaultKind::Silent;
    else if (kind == "short" && args == 0)
        f.kind = FaultKind::Short;
    else if (kind == "long" && args == 0)
        f.kind = FaultKind::Long;
    else if (kind == "wrong" && args == 0)
        f.kind = FaultKind::Wrong;
    else if (kind == "late" && args == 1 && ParseNumber(rest[1], 0, maxMs, &a)) {
        f.kind = FaultKind::Late;
        f.ms = int(a);
    } else if (kind == "split" && args == 2 && ParseNumber(rest[1], 0, 64, &a) &&
               ParseNumber(rest[2], 0, maxMs, &b)) {
        f.kind = FaultKind::Split;
        f.count = int(a);
        f.ms = int(b);
    } else
        return "error unknown fault: " + kind;
    faults[command] = f;
    return "ok";
}

/* Carries out one control command; returns its answer line (without the line feed). */
std::string RunCommand(const std::string &line)
{
    const std::vector<std::string> w = Words(line);
    const std::string &verb = w[0];
    long n;
    if (verb == "fault") return FaultCommand(w);
    if (verb == "clear" && w.size() == 1) {
        for (Fault &f : faults)
            f = Fault{};
        vanishAfter = -1;
        vanishWhenDrained = false;
        vanishTime = -1;
        return "ok";
    }
    if (verb == "data" || verb == "jump") {
        const bool data = verb == "data";
        if (w.size() == 2 && w[1] == "auto") {
            (data ? dataPinned : jumpPinned) = false;
            return "ok";
        }
        if (!ParseBytes(w, 1, data ? DataLen : JumpLen, data ? pinnedData : pinnedJump))
            return data ? "error usage: data b0 .. b8 | data auto"
                        : "error usage: jump b0 .. b15 | jump auto";
        (data ? dataPinned : jumpPinned) = true;
        return "ok";
    }
    if (verb == "ram" || verb == "eeprom") {
        unsigned char bytes[PacketLen];
        if (!ParseBytes(w, 1, PacketLen, bytes)) return "error usage: " + verb + " b0 .. b14";
        std::memcpy(verb == "ram" ? ram : eeprom, bytes, PacketLen);
        if (verb == "eeprom") SaveEeprom();
        return "ok";
    }
    if (verb == "get" && w.size() == 2) {
        if (w[1] == "ram") return "ok " + Hex(ram, PacketLen);
        if (w[1] == "eeprom") return "ok " + Hex(eeprom, PacketLen);
        if (w[1] == "jump") {
            RecordEdges(Now());
            return "ok " + Hex(jumpPinned ? pinnedJump : jumpRing, JumpLen);
        }
        return "error usage: get ram|eeprom|jump";
    }
    if (verb == "pace" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        pace = w[1] == "on";
        return "ok";
    }
    if (verb == "flood" && (w.size() == 2 || w.size() == 3) && ParseNumber(w[1], 0, 1000000, &n)) {
        long fixed = -1;
        if (w.size() == 3 && !ParseNumber(w[2], 0, 255, &fixed))
            return "error usage: flood N [BYTE]";
        if (master < 0) return "error the device has vanished";
        std::vector<unsigned char> bytes(static_cast<std::size_t>(n));
        for (long i = 0; i < n; ++i)
            bytes[i] = static_cast<unsigned char>(fixed >= 0 ? fixed : i & 0xff);
        const bool paced = pace;
        pace = false;
        QueueBytes(bytes, Now(), std::vector<int>(bytes.size(), 0));
        pace = paced;
        return "ok";
    }
    if (verb == "vanish" && w.size() == 2 && ParseNumber(w[1], 0, 1000000000, &n)) {
        if (n == 0)
            Vanish();
        else if (master >= 0)
            vanishAfter = n;
        return "ok";
    }
    return "error unknown command: " + line;
}

/* ---- Pseudo-terminal and event loop ---------------------------------------------------- */

void OnSignal(int)
{
    stopSignal = 1;
}

bool OpenTerminal()
{
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master))
        return false;
    slaveName = ptsname(master);
    slaveKeep = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    if (slaveKeep < 0) return false;
    termios tio;
    if (tcgetattr(slaveKeep, &tio) != 0) return false;
    cfmakeraw(&tio);
    cfsetspeed(&tio, B4800);
    if (tcsetattr(slaveKeep, TCSANOW, &tio) != 0) return false;
    return fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) == 0;
}

bool MakeLink()
{
    struct stat st;
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "%s: %s exists and is not a link\n", progName, linkPath.c_str());
            return false;
        }
        unlink(linkPath.c_str());
    }
    if (symlink(slaveName.c_str(), linkPath.c_str()) != 0) {
        std::fprintf(stderr, "%s: cannot create %s: %s\n", progName, linkPath.c_str(),
                     strerror(errno));
        return false;
    }
    return true;
}

/* Writes the reply bytes that are due. False when the terminal cannot take more now. */
bool SendDue(double t)
{
    unsigned char chunk[4096];
    while (!txQueue.empty() && txQueue.front().due <= t) {
        int n = 0;
        while (n < int(sizeof chunk) && n < int(txQueue.size()) && txQueue[n].due <= t) {
            chunk[n] = txQueue[n].value;
            ++n;
        }
        const ssize_t w = write(master, chunk, std::size_t(n));
        if (w < 0) {
            if (errno == EAGAIN || errno == EINTR) return false;
            std::fprintf(stderr, "%s: write: %s\n", progName, strerror(errno));
            txQueue.clear();
            return true;
        }
        txQueue.erase(txQueue.begin(), txQueue.begin() + w);
    }
    return true;
}

/* Reads stdin and runs the complete lines. False when the program is to exit. */
bool ReadControl()
{
    char buf[4096];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
        stdinOpen = false;
        return !exitOnEof;
    }
    stdinText.append(buf, std::size_t(n));
    std::size_t eol;
    while ((eol = stdinText.find('\n')) != std::string::npos) {
        std::string line = stdinText.substr(0, eol);
        stdinText.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> w = Words(line);
        if (w.empty() || w[0][0] == '#') continue;
        if (w[0] == "quit" && w.size() == 1) {
            std::printf("ok\n");
            std::fflush(stdout);
            return false;
        }
        std::printf("%s\n", RunCommand(line).c_str());
        std::fflush(stdout);
    }
    return true;
}

void Run()
{
    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGHUP);

    bool outputBlocked = false;
    while (!stopSignal) {
        double t = Now();
        if (master >= 0 && !txQueue.empty()) outputBlocked = !SendDue(t);
        if (vanishWhenDrained && txQueue.empty() && vanishTime < 0) vanishTime = t + VanishGrace;
        if (vanishTime >= 0 && t >= vanishTime) Vanish();

        pollfd fds[2];
        int nfds = 0;
        int masterIndex = -1, stdinIndex = -1;
        if (master >= 0) {
            masterIndex = nfds;
            fds[nfds++] = {master, short(POLLIN | (outputBlocked ? POLLOUT : 0)), 0};
        }
        if (stdinOpen) {
            stdinIndex = nfds;
            fds[nfds++] = {STDIN_FILENO, POLLIN, 0};
        }
        double wait = 1.0;
        if (master >= 0 && !txQueue.empty() && !outputBlocked) wait = txQueue.front().due - t;
        if (vanishTime >= 0 && vanishTime - t < wait) wait = vanishTime - t;
        if (wait < 0) wait = 0;
        if (wait > 1.0) wait = 1.0;
        timespec timeout{0, long(wait * 1e9)};
        if (wait >= 1.0) timeout = {1, 0};
        const int ready = ppoll(fds, nfds_t(nfds), &timeout, &waitMask);
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "%s: poll: %s\n", progName, strerror(errno));
            return;
        }
        t = Now();
        if (masterIndex >= 0 && (fds[masterIndex].revents & POLLOUT)) outputBlocked = false;
        if (masterIndex >= 0 && (fds[masterIndex].revents & POLLIN)) {
            unsigned char buf[4096];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) ReceiveBytes(buf, int(n), t);
        }
        if (stdinIndex >= 0 && (fds[stdinIndex].revents & (POLLIN | POLLHUP | POLLERR)))
            if (!ReadControl()) return;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    clock_gettime(CLOCK_MONOTONIC, &startTime);
#ifdef __linux__
    // The line's timing to the microsecond: by default the system may end each of the poll
    // waits that pace the reply bytes up to 50 us late, to gather wake-ups.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    if (argc > 0 && argv[0][0]) {
        const char *slash = std::strrchr(argv[0], '/');
        progName = slash ? slash + 1 : argv[0];
    }
    std::memcpy(eeprom, defaultEeprom, PacketLen);
    std::string logPath;
    std::vector<std::string> faultArgs;
    long vanishArg = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            std::printf("Usage: %s [options]\n", progName);
            std::fputs(usageText, stdout);
            return 0;
        } else if (a == "--link" && hasValue)
            linkPath = argv[++i];
        else if (a == "--eeprom" && hasValue)
            eepromPath = argv[++i];
        else if (a == "--log" && hasValue)
            logPath = argv[++i];
        else if (a == "--fault" && hasValue)
            faultArgs.push_back(argv[++i]);
        else if (a == "--vanish-after" && hasValue &&
                 ParseNumber(argv[i + 1], 0, 1000000000, &vanishArg))
            ++i;
        else if (a == "--no-pace")
            pace = false;
        else if (a == "--exit-on-eof")
            exitOnEof = true;
        else {
            std::fprintf(stderr, "%s: bad argument %s (see --help)\n", progName, a.c_str());
            return 2;
        }
    }
    for (const std::string &arg : faultArgs) {
        std::string line = "fault " + arg;
        for (char &c : line)
            if (c == ':') c = ' ';
        const std::string answer = RunCommand(line);
        if (answer != "ok") {
            std::fprintf(stderr, "%s: --fault %s: %s\n", progName, arg.c_str(), answer.c_str());
            return 2;
        }
    }
    if (!eepromPath.empty() && access(eepromPath.c_str(), F_OK) == 0 && !LoadEeprom(eepromPath)) {
        std::fprintf(stderr, "%s: %s does not hold 15 numbers 0..255\n", progName,
                     eepromPath.c_str());
        return 2;
    }
    std::memcpy(ram, eeprom, PacketLen);
    RecordEdges(0.0); /* the sensor has seen edges before: the jump buffer starts full */

    if (!logPath.empty() && !(logFile = std::fopen(logPath.c_str(), "w"))) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", progName, logPath.c_str(),
                     strerror(errno));
        return 2;
    }
    if (!OpenTerminal()) {
        std::fprintf(stderr, "%s: cannot create a pseudo-terminal: %s\n", progName,
                     strerror(errno));
        return 1;
    }
    if (!linkPath.empty() && !MakeLink()) return 1;
    std::printf("%s\n", slaveName.c_str());
    std::fflush(stdout);
    if (vanishArg == 0)
        Vanish();
    else if (vanishArg > 0)
        vanishAfter = vanishArg;

    Run();

    RemoveLink();
    if (master >= 0) close(master);
    if (slaveKeep >= 0) close(slaveKeep);
    if (logFile) std::fclose(logFile);
    return 0;
}
