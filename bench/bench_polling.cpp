/* bench_polling.cpp: timing and cost of the measurement polling loop against the simulated
** sensor at the real line rate. Rounds of child processes, alternating the offscreen platform
** and a real X window (Xvfb), each measure the cycle period, the CPU use and the sleeps per
** cycle in the strip chart and the adjustment view next to a busy wait, and the resident
** memory, and the strip chart cycle with a recording running; the report gives the median of
** the rounds beside each round's figure. Divisions: options and figures; the simulator's frame
** log; one polling run; the busy wait; recording; one round; rounds and the report; main.
*/
#include "app/Veltrav20.h"
#include "link/com232.h"
#include "live/live.h"
#include "params/params.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

/* ---- Options and figures ---------------------------------------------------------------- */

enum { ButtonGo = 5, ButtonStop = 6 }; /* control identifiers in the panel file */
enum { ViewNorm = 1, ViewAdjust = 2 };

const double LineRateCycle = 26 * 10.0 / 4800.0 + 0.050; /* 17 + 9 bytes, 8N1, + pause, s */
const double AdjustWait = 1.0;                           /* extra wait of the adjustment view */
const double CompareCap = 5.0; /* longest busy wait, s (it loads a whole core) */

struct Options {
    int rounds = 3;      /* rounds of child processes (--rounds) */
    int cycles = 300;    /* strip chart view cycles (--cycles, --long) */
    int adjCycles = 10;  /* adjustment view cycles (--adj) */
    bool compare = true; /* the busy wait and the recording run; --no-compare skips */
    bool window = true;  /* rounds in an X window as well; --no-x skips them */
    bool round = false;  /* --round: one round in this process, figures as they come */
    QString against;     /* --against: another build of this benchmark, run alternately */
};

/* One figure of a round, on standard output as a tab-separated line: what, value, target.
** The report gathers figures by what they measure, in the order they first come, so a new
** run adds its own figures without touching the report. */
void Figure(const char *what, double value, const char *target = "")
{
    std::printf("%s\t%.3f\t%s\n", what, value, target);
    std::fflush(stdout);
}

struct Usage {
    double cpu = 0;    /* CPU seconds of this process, all threads */
    double system = 0; /* of which in the kernel */
    long sleeps = 0;   /* voluntary context switches: each a sleep and a wake */
};

Usage UsageNow()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    const double system = u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
    return {u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + system, system, u.ru_nvcsw};
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

/* Lets the toolkit run for `ms` milliseconds (start-up, window mapping); not measured. */
void Pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/* ---- The simulator's frame log ------------------------------------------------------------ */

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

struct PollingRun {
    int first = 0, last = 0; /* command-5 frames of this run: log count before and after */
    double wall = 0;         /* s from Go to the return of its callback */
    Usage used;              /* CPU and sleeps of this process meanwhile */
    Memory after100;         /* once 100 cycles of this run had passed (zero if fewer) */
    Memory end;              /* when Go returned */
    int popups = 0;          /* modal popups (TIMEOUT reports) closed by the bench */
};

/* Selects the view, presses Go and presses Stop once `cycles` data requests have gone out.
** Stop comes from a timer, so it reaches the loop as the operator's press does: from inside
** the loop's own event processing. The timer's rounds are few (its wakes count as the
** program's), and the cycles after the last one counted do no harm: the figures come from
** the frames the run sent. */
PollingRun RunPolling(FrameLog &log, int view, int cycles)
{
    PollingRun r;
    SetCtrlVal(vr::panel, vr::PANEL_SOURCE, view);
    r.first = log.Update();
    QTimer watch;
    watch.setInterval(500);
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
    const Usage before = UsageNow();
    clock.start();
    vr::CBF_ButtonGo(vr::panel, ButtonGo, EVENT_COMMIT, nullptr, 0, 0);
    r.wall = clock.nsecsElapsed() / 1e9;
    const Usage after = UsageNow();
    r.used = {after.cpu - before.cpu, after.system - before.system, after.sleeps - before.sleeps};
    r.end = MemoryNow();
    watch.stop();
    Pause(300); // the simulator logs the last frame when its last byte has arrived
    r.last = log.Update();
    return r;
}

/* The figures of one run: cycle period from the frame log, CPU and sleeps per cycle. */
void ReportPolling(const std::string &view, const PollingRun &r, const std::vector<double> &times,
                   double lineRate, const char *periodTarget, const char *cpuTarget)
{
    std::vector<double> p;
    for (int i = r.first + 1; i < r.last && i < int(times.size()); i++)
        p.push_back((times[i] - times[i - 1]) * 1000.0);
    std::sort(p.begin(), p.end());
    const int cycles = std::max(r.last - r.first, 1);
    Figure((view + ": cycle period median, ms").c_str(), Percentile(p, 0.5), periodTarget);
    Figure((view + ": cycle period p10, ms").c_str(), Percentile(p, 0.1));
    Figure((view + ": cycle period p90, ms").c_str(), Percentile(p, 0.9));
    Figure((view + ": median above the line rate, ms").c_str(),
           Percentile(p, 0.5) - lineRate * 1000.0);
    Figure((view + ": CPU, % of one core").c_str(), 100.0 * r.used.cpu / r.wall, cpuTarget);
    Figure((view + ": CPU per cycle, ms").c_str(), 1000.0 * r.used.cpu / cycles);
    Figure((view + ": of which in the kernel, ms").c_str(), 1000.0 * r.used.system / cycles);
    Figure((view + ": sleeps per cycle").c_str(), double(r.used.sleeps) / cycles);
    if (r.popups) Figure((view + ": TIMEOUT reports").c_str(), r.popups, "0");
}

/* ---- The busy wait -------------------------------------------------------------------------- */

/* CPU share of one core over `seconds` of the naive wait loop: plain event processing, which
** never sleeps. */
double BusyWaitCpu(double seconds)
{
    QElapsedTimer clock;
    const Usage before = UsageNow();
    clock.start();
    while (clock.nsecsElapsed() / 1e9 < seconds)
        QCoreApplication::processEvents();
    return 100.0 * (UsageNow().cpu - before.cpu) / (clock.nsecsElapsed() / 1e9);
}

/* ---- Recording ----------------------------------------------------------------------------- */

/* The strip chart run again with a recording to a file in `dir` (its cycle period beside the
** plain run's of the same round), then the time RecordData takes for one line (write and sync
** to the disk), called alone 100 times. */
void RunRecording(FrameLog &log, const QString &dir, int cycles)
{
    const QByteArray path = QDir(dir).filePath(QStringLiteral("recording.csv")).toLocal8Bit();
    std::snprintf(vr::record_name, sizeof vr::record_name, "%s", path.constData());
    if (!vr::OpenRecording()) return;
    const PollingRun r = RunPolling(log, ViewNorm, cycles + 1);
    const long lines = vr::recordLines;
    vr::StopRecording();
    ReportPolling("strip chart view, recording", r, log.Times(), LineRateCycle,
                  "as without recording", "");
    Figure("recording: lines recorded per cycle", double(lines) / std::max(r.last - r.first, 1),
           "1");

    std::vector<double> lineMs;
    if (!vr::OpenRecording()) return;
    for (int i = 0; i < 100; i++) {
        QElapsedTimer clock;
        clock.start();
        vr::RecordData();
        lineMs.push_back(clock.nsecsElapsed() / 1e6);
        Sleep(10);
    }
    vr::StopRecording();
    std::sort(lineMs.begin(), lineMs.end());
    Figure("recording: one line to the disk (write and sync), median ms", Percentile(lineMs, 0.5));
    Figure("recording: one line to the disk, p90 ms", Percentile(lineMs, 0.9));
}

/* ---- One round -------------------------------------------------------------------------- */

/* The program on the platform QT_QPA_PLATFORM names (offscreen by default) against its own
** simulator: the strip chart run, the adjustment run, the busy wait and the memory figures. */
int RunRound(int argc, char *argv[], const Options &o)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!InitRunTime(argc, argv)) return 1;

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
    Pause(500);
    if (std::strncmp(vr::szStatus, "LINE OK", 7) != 0) {
        std::fprintf(stderr, "bench_polling: line check failed on %s: %s\n", device.constData(),
                     vr::szStatus);
        return 1;
    }

    FrameLog log(logPath);
    const Memory start = MemoryNow();
    const PollingRun strip = RunPolling(log, ViewNorm, o.cycles + 1);
    PollingRun adj;
    if (o.adjCycles > 0) adj = RunPolling(log, ViewAdjust, o.adjCycles + 1);
    const std::vector<double> times = log.Times();

    ReportPolling("strip chart view", strip, times, LineRateCycle, "within 1 ms of 104.2",
                  "1.0 at most");
    if (o.adjCycles > 0)
        ReportPolling("adjustment view", adj, times, LineRateCycle + AdjustWait,
                      "within 5 ms of 1104.2", "");
    if (o.compare)
        Figure("busy wait (plain processEvents): CPU, % of one core",
               BusyWaitCpu(std::min(strip.wall, CompareCap)));

    // Heap in use tells a leak from pages the allocator or the toolkit keep: a leak grows
    // both, a cache or fragmentation only the resident set.
    if (strip.after100.rssKiB) {
        Figure("memory: resident at the start, KiB", start.rssKiB);
        Figure("memory: resident after 100 cycles, KiB", strip.after100.rssKiB);
        Figure("memory: resident growth from cycle 100 to the end, KiB",
               strip.end.rssKiB - strip.after100.rssKiB, "0");
        Figure("memory: heap growth from cycle 100 to the end, B",
               strip.end.heapBytes - strip.after100.heapBytes, "0");
    }
    if (o.compare) RunRecording(log, dir.path(), std::max(std::min(o.cycles, 900) / 3, 2));

    DiscardPanel(vr::panel);
    CloseCom(vr::com);
    sim.write("quit\n");
    if (!sim.waitForFinished(3000)) sim.kill();
    return 0;
}

/* ---- Rounds and the report ---------------------------------------------------------------- */

/* One column of the report: a build of this benchmark on one platform. */
struct Column {
    std::string title;
    QString program;
    QByteArray platform;                               /* QT_QPA_PLATFORM of its rounds */
    std::map<std::string, std::vector<double>> values; /* per figure, one value per round */
};

struct Row {
    std::string what, target;
};

/* Runs one round of `c` in a child process and adds its figures; false when it fails. */
bool RunChild(Column &c, const Options &o, const QByteArray &display, std::vector<Row> &rows)
{
    QStringList args{QStringLiteral("--round"), QStringLiteral("--cycles"),
                     QString::number(o.cycles), QStringLiteral("--adj"),
                     QString::number(o.adjCycles)};
    if (!o.compare) args << QStringLiteral("--no-compare");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(c.platform));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!display.isEmpty()) env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(c.program, args);
    if (!child.waitForFinished(30 * 60 * 1000) || child.exitCode() != 0) {
        std::fprintf(stderr, "bench_polling: a round of %s failed\n", c.title.c_str());
        return false;
    }
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() != 3) continue;
        const std::string what = f[0].toStdString();
        if (std::none_of(rows.begin(), rows.end(), [&](const Row &r) { return r.what == what; }))
            rows.push_back({what, f[2].toStdString()});
        c.values[what].push_back(f[1].toDouble());
    }
    return true;
}

/* "median [round 1, round 2, ..]" of one figure, or "-" when it has no value. */
std::string Cell(std::vector<double> v)
{
    if (v.empty()) return "-";
    auto number = [](double x) {
        char b[32];
        std::snprintf(b, sizeof b, std::abs(x) >= 1000 ? "%.0f" : "%.2f", x);
        return std::string(b);
    };
    std::string rounds;
    for (double x : v)
        rounds += (rounds.empty() ? "" : " ") + number(x);
    std::sort(v.begin(), v.end());
    return number(v[v.size() / 2]) + (v.size() > 1 ? " [" + rounds + "]" : "");
}

std::string LoadAverage()
{
    char text[64] = "?";
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(text, sizeof text, f)) text[0] = '\0';
        std::fclose(f);
    }
    text[std::strcspn(text, "\n")] = '\0';
    return text;
}

int RunRounds(const Options &o, const QString &self)
{
    QProcess xvfb;
    QByteArray display;
    if (o.window) {
        // -displayfd: the server writes its display number once it accepts clients.
        xvfb.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (xvfb.waitForStarted(5000) && xvfb.waitForReadyRead(10000))
            display = ':' + xvfb.readLine().trimmed();
        else
            std::fprintf(stderr, "bench_polling: no X server (Xvfb): offscreen rounds only\n");
    }

    std::vector<Column> columns;
    std::vector<QByteArray> platforms{"offscreen"};
    if (!display.isEmpty()) platforms.push_back("xcb");
    for (const QByteArray &p : platforms) {
        const std::string where = p == "xcb" ? "X window" : "offscreen";
        columns.push_back({where, self, p, {}});
        if (!o.against.isEmpty()) columns.push_back({where + ", --against", o.against, p, {}});
    }

    std::printf("Polling against sensorsim at the line rate: %d rounds of %d strip chart and %d "
                "adjustment view cycles\nload average at the start: %s\n",
                o.rounds, o.cycles, o.adjCycles, LoadAverage().c_str());
    if (!o.against.isEmpty()) std::printf("--against: %s\n", o.against.toLocal8Bit().constData());
    std::fflush(stdout);
    std::vector<Row> rows;
    bool failed = false;
    for (int round = 1; round <= o.rounds; round++) {
        for (Column &c : columns)
            failed |= !RunChild(c, o, c.platform == "xcb" ? display : QByteArray(), rows);
        std::printf("round %d done, load average %s\n", round, LoadAverage().c_str());
        std::fflush(stdout);
    }
    if (xvfb.state() != QProcess::NotRunning) {
        xvfb.terminate();
        if (!xvfb.waitForFinished(3000)) xvfb.kill();
    }

    std::printf("\n%-56s", "Figure: median of the rounds [each round]");
    for (const Column &c : columns)
        std::printf("  %-34s", c.title.c_str());
    std::printf("  target\n");
    for (const Row &r : rows) {
        std::printf("%-56s", r.what.c_str());
        for (const Column &c : columns) {
            const auto it = c.values.find(r.what);
            std::printf("  %-34s",
                        Cell(it == c.values.end() ? std::vector<double>() : it->second).c_str());
        }
        std::printf("  %s\n", r.target.c_str());
    }
    std::printf("line-rate minimum: 104.2 ms (17 + 9 bytes at 4800 baud 8N1 and the 50 ms "
                "pause), 1104.2 ms in the adjustment view\n");
    return failed ? 1 : 0;
}

/* ---- Main ------------------------------------------------------------------------------------ */

bool ParseOptions(int argc, char *argv[], Options *o)
{
    for (int i = 1; i < argc; i++) {
        const bool value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--rounds") && value)
            o->rounds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--cycles") && value)
            o->cycles = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--adj") && value)
            o->adjCycles = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--long"))
            o->cycles = 10000, o->rounds = 1, o->window = false;
        else if (!std::strcmp(argv[i], "--no-compare"))
            o->compare = false;
        else if (!std::strcmp(argv[i], "--no-x"))
            o->window = false;
        else if (!std::strcmp(argv[i], "--round"))
            o->round = true;
        else if (!std::strcmp(argv[i], "--against") && value)
            o->against = QString::fromLocal8Bit(argv[++i]);
        else
            return false;
    }
    return o->rounds >= 1 && o->cycles >= 2 && o->adjCycles >= 0;
}

} // namespace

int main(int argc, char *argv[])
{
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) {
        std::fprintf(stderr,
                     "usage: bench_polling [--rounds N] [--cycles N | --long] [--adj N]\n"
                     "                     [--no-compare] [--no-x] [--against PROGRAM] [--round]\n"
                     "  --rounds N    rounds of each platform, alternated (default 3)\n"
                     "  --cycles N    strip chart view cycles per round (default 300)\n"
                     "  --long        10000 strip chart view cycles, one offscreen round\n"
                     "  --adj N       adjustment view cycles per round (default 10, 0 skips)\n"
                     "  --no-compare  skip the busy wait and the recording run\n"
                     "  --no-x        offscreen rounds only\n"
                     "  --against P   also run P (another build of this benchmark) in every\n"
                     "                round, its figures in the columns beside\n"
                     "  --round       one round in this process on QT_QPA_PLATFORM (default\n"
                     "                offscreen), figures as tab-separated lines (profiling)\n");
        return 2;
    }
    if (opt.round) {
        int qtArgc = 1;
        return RunRound(qtArgc, argv, opt);
    }
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    return RunRounds(opt, QCoreApplication::applicationFilePath());
}
