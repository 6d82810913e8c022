/* bench_polling.cpp: timing and cost of the measurement polling loop against the simulated
** sensor at the real line rate: cycle period in the strip chart and adjustment views, CPU use
** while polling next to a naive busy wait, resident memory over a long run, and the cycle
** with and without a recording. Divisions: options and measures; the simulator; one polling
** run; the comparison waits; recording; main.
*/
#include "app/Veltrav20.h"
#include "link/com232.h"
#include "live/live.h"
#include "params/params.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

/* ---- Options and measures --------------------------------------------------------------- */

enum { ButtonGo = 5, ButtonStop = 6 }; /* control identifiers in the panel file */
enum { ViewNorm = 1, ViewAdjust = 2 };

const double LineRateCycle = 26 * 10.0 / 4800.0 + 0.050; /* 17 + 9 bytes, 8N1, + pause, s */
const double AdjustWait = 1.0;                           /* extra wait of the adjustment view */
const double CompareCap = 15.0; /* longest busy-wait comparison, s (it loads a whole core) */

struct Options {
    int cycles = 300;    /* strip chart view cycles (--cycles, --long) */
    int adjCycles = 10;  /* adjustment view cycles (--adj) */
    bool compare = true; /* the comparison waits; --no-compare skips them, for profiling */
};

double CpuSeconds()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

long RssKiB()
{
    long size = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

/* Nearest-rank percentile of sorted values. */
double Percentile(const std::vector<double> &sorted, double p)
{
    if (sorted.empty()) return 0;
    const std::size_t i = static_cast<std::size_t>(p * (sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

/* ---- The simulator ------------------------------------------------------------------------ */

/* The simulator's frame log is the measure of the cycle period: one line per frame received,
** stamped by the simulator's monotonic clock when the frame's last byte arrived. The time
** between two command-5 frames is one whole cycle as the line sees it (reply wait, display,
** drawing, event processing, pause, flush and the next write), it needs no hook in the
** program's logic, and the reading of the log does not run inside the timed code. While
** polling runs the log is only counted, so the bench's own memory does not grow with the run;
** the times are read once all figures of the run are taken. */
class FrameLog
{
  public:
    explicit FrameLog(const QString &path) : file(path) {}
    /* Counts the command-5 frames among the lines added since the last call; returns the
    ** count so far. */
    int Update()
    {
        if (!file.isOpen() && !file.open(QIODevice::ReadOnly)) return count;
        char line[128];
        qint64 n;
        while ((n = file.readLine(line, sizeof line)) > 0) {
            if (line[n - 1] != '\n') { // a line still being written: read it again later
                file.seek(file.pos() - n);
                break;
            }
            const char *command = std::strchr(line, ' ');
            if (command && std::strncmp(command, " 55 05 ", 7) == 0) count++;
        }
        return count;
    }
    /* Times of all command-5 frames so far, s. */
    std::vector<double> Times() const
    {
        std::vector<double> times;
        QFile all(file.fileName());
        if (!all.open(QIODevice::ReadOnly)) return times;
        while (!all.atEnd()) {
            const QList<QByteArray> f = all.readLine().trimmed().split(' ');
            if (f.size() == 18 && f[2] == "05") times.push_back(f[0].toDouble());
        }
        return times;
    }

  private:
    QFile file;
    int count = 0;
};

/* ---- One polling run ---------------------------------------------------------------------- */

struct Memory {
    long rssKiB = 0;    /* resident set */
    long heapBytes = 0; /* bytes allocated and not freed */
};

Memory MemoryNow()
{
    const struct mallinfo2 m = mallinfo2();
    return {RssKiB(), long(m.uordblks)};
}

struct RunResult {
    int first = 0, last = 0; /* command-5 frames of this run: log count before and after */
    double wall = 0;         /* s from Go to the return of its callback */
    double cpu = 0;          /* CPU seconds of this process meanwhile */
    Memory after100;         /* once 100 cycles of this run had passed (zero if fewer) */
    Memory end;              /* when Go returned */
    int popups = 0;          /* modal popups (TIMEOUT reports) closed by the bench */
};

/* Selects the view, presses Go and presses Stop once `cycles` data requests have gone out.
** Stop comes from a timer, so it reaches the loop as the operator's press does: from inside
** the loop's own event processing. */
RunResult RunPolling(FrameLog &log, int view, int cycles)
{
    RunResult r;
    SetCtrlVal(vr::panel, vr::PANEL_SOURCE, view);
    r.first = log.Update();
    QTimer watch;
    watch.setInterval(50);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) { // a TIMEOUT report
            r.popups++;
            modal->close();
        }
        const int done = log.Update() - r.first;
        if (done >= 100 && r.after100.rssKiB == 0) r.after100 = MemoryNow();
        if (done >= cycles) vr::CBF_ButtonStop(vr::panel, ButtonStop, EVENT_COMMIT, nullptr, 0, 0);
    });
    watch.start();
    QElapsedTimer clock;
    const double cpu0 = CpuSeconds();
    clock.start();
    vr::CBF_ButtonGo(vr::panel, ButtonGo, EVENT_COMMIT, nullptr, 0, 0);
    r.wall = clock.nsecsElapsed() / 1e9;
    r.cpu = CpuSeconds() - cpu0;
    r.end = MemoryNow();
    watch.stop();
    r.last = log.Update();
    return r;
}

/* Milliseconds between consecutive command-5 frames with indices first..last-1. */
std::vector<double> Periods(const std::vector<double> &times, int first, int last)
{
    std::vector<double> p;
    for (int i = first + 1; i < last && i < int(times.size()); i++)
        p.push_back((times[i] - times[i - 1]) * 1000.0);
    return p;
}

void PrintPeriods(const char *name, std::vector<double> p, double minimum)
{
    std::sort(p.begin(), p.end());
    if (p.empty()) {
        std::printf("%-22s no complete cycles\n", name);
        return;
    }
    std::printf("%-22s %6zu %8.1f %8.1f %8.1f %8.1f %8.1f %10.1f %+8.1f\n", name, p.size(),
                p.front(), Percentile(p, 0.1), Percentile(p, 0.5), Percentile(p, 0.9), p.back(),
                minimum, Percentile(p, 0.5) - minimum);
}

/* ---- The comparison waits ------------------------------------------------------------------ */

/* CPU share of one core over `seconds` of a wait loop that calls `pass` on every round. */
template <typename Pass> double WaitLoopCpu(double seconds, Pass pass)
{
    if (seconds <= 0) return 0;
    QElapsedTimer clock;
    const double cpu0 = CpuSeconds();
    clock.start();
    while (clock.nsecsElapsed() / 1e9 < seconds)
        pass();
    return 100.0 * (CpuSeconds() - cpu0) / (clock.nsecsElapsed() / 1e9);
}

/* ---- Recording ----------------------------------------------------------------------------- */

/* The strip chart cycle with and without a recording to a file in `dir`, side by side: six
** runs of cycles / 3 cycles each, alternating, so that other load on the machine falls on
** both alike; then the time RecordData takes for one line (write and sync to the disk),
** called alone 200 times. */
void CompareRecording(FrameLog &log, const QString &dir, int cycles)
{
    const int block = std::max(cycles / 3, 2);
    const QByteArray path = QDir(dir).filePath(QStringLiteral("recording.csv")).toLocal8Bit();
    std::snprintf(vr::record_name, sizeof vr::record_name, "%s", path.constData());
    std::vector<std::pair<int, int>> runs[2]; /* log ranges without [0] and with [1] */
    long lines = 0;
    for (int i = 0; i < 6; i++) {
        const int with = i % 2;
        if (with && !vr::OpenRecording()) return;
        const RunResult r = RunPolling(log, ViewNorm, block + 1);
        runs[with].push_back({r.first, r.last});
        lines += with ? vr::recordLines : 0;
        if (with) vr::StopRecording();
    }
    const std::vector<double> times = log.Times();
    std::vector<double> periods[2];
    for (int with = 0; with < 2; with++)
        for (const auto &run : runs[with]) {
            const std::vector<double> p = Periods(times, run.first, run.second);
            periods[with].insert(periods[with].end(), p.begin(), p.end());
        }

    std::vector<double> lineMs;
    if (vr::OpenRecording()) {
        for (int i = 0; i < 200; i++) {
            QElapsedTimer clock;
            clock.start();
            vr::RecordData();
            lineMs.push_back(clock.nsecsElapsed() / 1e6);
            Sleep(10);
        }
        vr::StopRecording();
    }
    std::sort(lineMs.begin(), lineMs.end());

    std::printf("\nRecording (to %s), alternating runs of %d cycles\n", path.constData(), block);
    std::printf("Cycle period, ms        cycles      min      p10   median      p90      max"
                "   line-rate  median-lr\n");
    PrintPeriods("without recording", periods[0], LineRateCycle * 1000.0);
    PrintPeriods("with recording", periods[1], LineRateCycle * 1000.0);
    std::sort(periods[0].begin(), periods[0].end());
    std::sort(periods[1].begin(), periods[1].end());
    std::printf("median with - without: %+.2f ms; %ld lines recorded in %zu cycles\n",
                Percentile(periods[1], 0.5) - Percentile(periods[0], 0.5), lines,
                periods[1].size() + runs[1].size());
    std::printf("one line to the disk (RecordData: write and sync), ms: median %.2f, p90 %.2f, "
                "max %.2f of %zu\n",
                Percentile(lineMs, 0.5), Percentile(lineMs, 0.9),
                lineMs.empty() ? 0.0 : lineMs.back(), lineMs.size());
}

/* ---- Main ------------------------------------------------------------------------------------ */

bool ParseOptions(int argc, char *argv[], Options *o)
{
    for (int i = 1; i < argc; i++) {
        const bool value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--cycles") && value)
            o->cycles = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--adj") && value)
            o->adjCycles = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--long"))
            o->cycles = 10000;
        else if (!std::strcmp(argv[i], "--no-compare"))
            o->compare = false;
        else
            return false;
    }
    return o->cycles >= 2 && o->adjCycles >= 0;
}

} // namespace

int main(int argc, char *argv[])
{
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) {
        std::fprintf(stderr, "usage: bench_polling [--cycles N | --long] [--adj N] [--no-compare]\n"
                             "  --cycles N  strip chart view cycles (default 300)\n"
                             "  --long      10000 strip chart view cycles\n"
                             "  --adj N     adjustment view cycles (default 10, 0 skips)\n"
                             "  --no-compare  skip the comparison waits (for profiling)\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    if (!InitRunTime(qtArgc, argv)) return 1;

    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("frames.log"));
    QProcess sim;
    sim.start(QStringLiteral(VELTRA_BIN_DIR "/sensorsim"), {QStringLiteral("--log"), logPath});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_polling: the simulator does not start\n");
        return 1;
    }
    const QByteArray device = sim.readLine().trimmed();
    qputenv("VELTRAV20_COM1", device);

    BindCallbacks(vr::cbfTable, vr::cbfTableLen);
    vr::panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
    if (vr::panel < 0) {
        std::fprintf(stderr, "bench_polling: the panel does not load (%d)\n", vr::panel);
        return 1;
    }
    GetProjectDir(vr::proj_dir);
    GetDocumentDir(vr::doc_dir);
    vr::InitVars();
    vr::InitRS232(vr::com);
    DisplayPanel(vr::panel);
    for (int i = 0; i < 50; i++)
        ProcessSystemEvents();
    if (std::strncmp(vr::szStatus, "LINE OK", 7) != 0) {
        std::fprintf(stderr, "bench_polling: line check failed on %s: %s\n", device.constData(),
                     vr::szStatus);
        return 1;
    }

    FrameLog log(logPath);
    const Memory start = MemoryNow();
    std::printf("Polling against sensorsim on %s, line-rate pacing, offscreen panel\n",
                device.constData());
    std::fflush(stdout);
    const RunResult strip = RunPolling(log, ViewNorm, opt.cycles + 1);
    RunResult adj;
    if (opt.adjCycles > 0) adj = RunPolling(log, ViewAdjust, opt.adjCycles + 1);
    const std::vector<double> times = log.Times();

    const double compare = opt.compare ? std::min(strip.wall, CompareCap) : 0.0;
    const double busyCpu = WaitLoopCpu(compare, [] { QCoreApplication::processEvents(); });
    const double idleCpu = WaitLoopCpu(compare, [] { ProcessSystemEvents(); });

    std::printf("\nCycle period, ms        cycles      min      p10   median      p90      max"
                "   line-rate  median-lr\n");
    PrintPeriods("strip chart (NORM)", Periods(times, strip.first, strip.last),
                 LineRateCycle * 1000.0);
    if (opt.adjCycles > 0)
        PrintPeriods("adjustment", Periods(times, adj.first, adj.last),
                     (LineRateCycle + AdjustWait) * 1000.0);
    if (strip.popups + adj.popups > 0)
        std::printf("polling ended %d times with a TIMEOUT report\n", strip.popups + adj.popups);
    std::printf("target: median within 2 ms of the line-rate minimum (104.2 ms; 1104.2 ms)\n");

    const double stripCpu = 100.0 * strip.cpu / strip.wall;
    std::printf("\nCPU, %% of one core\n");
    std::printf("  polling, strip chart view      %6.2f %%  over %.1f s   target < 2 %%\n",
                stripCpu, strip.wall);
    if (opt.adjCycles > 0)
        std::printf("  polling, adjustment view       %6.2f %%  over %.1f s\n",
                    100.0 * adj.cpu / adj.wall, adj.wall);
    if (opt.compare) {
        std::printf("  idle wait, ProcessSystemEvents %6.2f %%  over %.1f s\n", idleCpu, compare);
        std::printf("  busy wait, plain processEvents %6.2f %%  over %.1f s   %.0fx the polling\n",
                    busyCpu, compare, stripCpu > 0 ? busyCpu / stripCpu : 0.0);
    }

    // Heap in use tells a leak from pages the allocator or the toolkit keep: a leak grows
    // both, a cache or fragmentation only the resident set.
    std::printf(
        "\nMemory              start   after 100 cycles   after %d cycles   growth after 100"
        "   target\n",
        opt.cycles);
    std::printf("  resident, KiB  %8ld   %16ld   %*ld   %+16ld   0\n", start.rssKiB,
                strip.after100.rssKiB, 12 + int(std::to_string(opt.cycles).size()),
                strip.end.rssKiB,
                strip.after100.rssKiB ? strip.end.rssKiB - strip.after100.rssKiB : 0);
    std::printf("  heap in use, B %8ld   %16ld   %*ld   %+16ld   0\n", start.heapBytes,
                strip.after100.heapBytes, 12 + int(std::to_string(opt.cycles).size()),
                strip.end.heapBytes,
                strip.after100.rssKiB ? strip.end.heapBytes - strip.after100.heapBytes : 0);

    CompareRecording(log, dir.path(), std::min(opt.cycles, 900));

    DiscardPanel(vr::panel);
    CloseCom(vr::com);
    sim.write("quit\n");
    if (!sim.waitForFinished(3000)) sim.kill();
    return 0;
}
