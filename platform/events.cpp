/* events.cpp: starting the run-time, the event loop and nested event processing with the
** waits that sleep until an event, their deadline or a complete reply, the seconds timer,
** sleeping, and the program's data and document directories.
*/
#include "qtpanel.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/timerfd.h>
#endif

namespace
{

const double MinHold = 0.001; /* s: a reply wait shorter than this holds no data back */

QPointer<QEventLoop> runningLoop;
bool quitRequested = false;
int quitCode = 0;

QString unreachableDisplay; // set while the toolkit starts: why no display could be reached

/* A fatal message while the toolkit starts (no display, no platform plugin) would abort the
** process; it ends it instead with one line on stderr and status 255. Where the cause is a
** display that cannot be reached (the toolkit says so in a warning first), the line says that
** a graphical session is needed and how to run without one, not the toolkit's advice to
** reinstall. */
void startupMessages(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type != QtFatalMsg) {
        const QLatin1String x11("could not connect to display");
        if (msg.startsWith(x11)) {
            const QString name = msg.mid(x11.size()).trimmed();
            unreachableDisplay = name.isEmpty()
                                     ? QStringLiteral("DISPLAY is not set")
                                     : QStringLiteral("the display %1 cannot be reached").arg(name);
        } else if (msg.contains(QLatin1String("wl_display"))) {
            unreachableDisplay = QStringLiteral("the Wayland display cannot be reached");
        }
        return;
    }
    if (!unreachableDisplay.isEmpty())
        std::fprintf(stderr,
                     "veltrav20: needs a graphical session, and %s; without one, start it "
                     "under a virtual X server: xvfb-run -a veltrav20\n",
                     qPrintable(unreachableDisplay));
    else
        std::fprintf(stderr, "veltrav20: the user interface cannot start: %s\n",
                     qPrintable(msg.section(QLatin1Char('\n'), 0, 0)));
    std::fflush(stderr);
    _exit(255);
}

/* The wake of a wait at its deadline, through a timer descriptor with nanosecond resolution
** where the system has one: the toolkit's timers count in whole milliseconds, and the
** dispatcher's sleep may come later still. */
class DeadlineWake : public QObject
{
  public:
    explicit DeadlineWake(QObject *parent) : QObject(parent)
    {
#ifdef Q_OS_LINUX
        fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd >= 0) {
            auto *wake = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            connect(wake, &QSocketNotifier::activated, this, [this] {
                quint64 expirations;
                pending = false;
                if (read(fd, &expirations, sizeof expirations) < 0) return;
            });
            return;
        }
#endif
        timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this] { pending = false; });
    }
    ~DeadlineWake() override
    {
#ifdef Q_OS_LINUX
        if (fd >= 0) close(fd);
#endif
    }

    /* The dispatcher wakes at Timer() = deadline at the latest. A wake already set for the
    ** same deadline stays; one set for another deadline is replaced (and one left from an
    ** earlier wait wakes the dispatcher once, which ends no more than a pass). */
    void arm(double deadline)
    {
        if (pending && armedFor == deadline) return;
        armedFor = deadline;
        const double rest = deadline - Timer();
        if (timer) {
            timer->start(rest > 0 ? int(std::ceil(rest * 1000)) : 0);
            pending = true;
            return;
        }
#ifdef Q_OS_LINUX
        // Rounded up, so that the wake never comes before the deadline; 1 ns for a deadline
        // already passed (a zero time would disarm).
        const long long ns = rest > 0 ? static_cast<long long>(std::ceil(rest * 1e9)) : 1;
        itimerspec when{};
        when.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
        when.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
        pending = timerfd_settime(fd, 0, &when, nullptr) == 0;
#endif
    }

  private:
    double armedFor = 0;     /* the deadline of the wake set */
    bool pending = false;    /* a wake is set and has not come */
    QTimer *timer = nullptr; /* the deadline where there is no timer descriptor */
#ifdef Q_OS_LINUX
    int fd = -1; /* timer descriptor of the deadline */
#endif
};

/* The windows' repaints held back while ProcessSystemEvents dispatches, for the event
** processing that follows it. After a polling cycle that is the next cycle's reply wait: the
** repaint (displays and strip chart, half a millisecond and more with a window system) then
** runs while the request is on the line, instead of lengthening every cycle before its pause.
** Only the panels' repaints of the pass itself are held: a wait or a popup nested in a
** callback of the pass hands the held ones back (releaseRepaints) as it begins. */
class RepaintHold : public QObject
{
  public:
    explicit RepaintHold(QObject *parent) : QObject(parent) {}

    /* Holds the panels' repaint requests until release(). */
    void hold() { holding = true; }
    /* Stops holding; the held requests go back to the event queue, in the order they came. */
    void release()
    {
        holding = false;
        for (const QPointer<QObject> &window : held)
            if (window)
                QCoreApplication::postEvent(window, new QEvent(QEvent::UpdateRequest),
                                            Qt::LowEventPriority);
        held.clear();
    }
    bool eventFilter(QObject *obj, QEvent *ev) override
    {
        if (!holding || ev->type() != QEvent::UpdateRequest) return false;
        if (!held.contains(obj)) held.append(obj);
        return true;
    }

  private:
    bool holding = false;
    QList<QPointer<QObject>> held; /* windows whose repaint request was held */
};

RepaintHold *repaints()
{
    static QPointer<RepaintHold> hold;
    if (!hold) hold = new RepaintHold(QCoreApplication::instance());
    return hold;
}

} // namespace

namespace vrplatform
{

void holdRepaintsOf(QWidget *window)
{
    window->installEventFilter(repaints());
}

void releaseRepaints()
{
    repaints()->release();
}

QString projectDir()
{
    const QByteArray chosen = qgetenv("VELTRAV20_DATA_DIR");
    if (!chosen.isEmpty()) return QString::fromLocal8Bit(chosen);
    // Beside the program in a build tree; in the data directory of an installed program.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString installed = QDir(appDir).filePath(QStringLiteral("../share/veltrav20"));
    if (!QFileInfo::exists(QDir(appDir).filePath(QStringLiteral("Veltrav20.uir"))) &&
        QFileInfo::exists(QDir(installed).filePath(QStringLiteral("Veltrav20.uir"))))
        return QDir::cleanPath(installed);
    return appDir;
}

QString projectPath(const char *fileName)
{
    const QString name = QString::fromLocal8Bit(fileName);
    return QFileInfo(name).isRelative() ? QDir(projectDir()).filePath(name) : name;
}

int copyText(const QString &text, char *out, std::size_t capacity)
{
    if (!out || capacity == 0) return -1;
    const QByteArray bytes = text.toLocal8Bit();
    const std::size_t n = qMin<std::size_t>(bytes.size(), capacity - 1);
    std::memcpy(out, bytes.constData(), n);
    out[n] = '\0';
    return 0;
}

int copyPath(const QString &path, char *out, std::size_t capacity)
{
    const QByteArray bytes = QDir::toNativeSeparators(path).toLocal8Bit();
    if (!out || capacity == 0 || static_cast<std::size_t>(bytes.size()) >= capacity) return -1;
    std::memcpy(out, bytes.constData(), bytes.size() + 1);
    return 0;
}

} // namespace vrplatform

using namespace vrplatform;

int InitRunTime(int argc, char *argv[])
{
    if (QCoreApplication::instance()) return 1;
    static int keptArgc = argc; // QApplication keeps references to both
    static char **keptArgv = argv;
    QtMessageHandler previous = qInstallMessageHandler(startupMessages);
    new QApplication(keptArgc, keptArgv);
    qInstallMessageHandler(previous);
    return 1;
}

int RunUserInterface(void)
{
    if (!quitRequested) {
        QEventLoop loop;
        runningLoop = &loop;
        loop.exec();
        runningLoop = nullptr;
    }
    quitRequested = false;
    return quitCode;
}

int QuitUserInterface(int returnCode)
{
    quitRequested = true;
    quitCode = returnCode;
    if (runningLoop) runningLoop->exit(returnCode);
    return 0;
}

int ProcessSystemEvents(void)
{
    if (!QCoreApplication::instance()) return -1;
    repaints()->hold();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    repaints()->release();
    return 0;
}

int ProcessSystemEventsUntil(double deadline, int port, int awaitedBytes)
{
    if (!QCoreApplication::instance()) return -1;
    releaseRepaints(); // nested in a callback of ProcessSystemEvents: repaint now
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    static QPointer<DeadlineWake> wake;
    if (!wake) wake = new DeadlineWake(QCoreApplication::instance());
    QSerialPort *serial = port > 0 && awaitedBytes > 0 ? openSerialPort(port) : nullptr;
    const int missing = serial ? awaitedBytes - int(serial->bytesAvailable()) : 0;
    if (Timer() >= deadline || (serial && missing <= 0)) {
        dispatcher->processEvents(QEventLoop::AllEvents);
        return 0;
    }
    // One pass of the dispatcher that may block: it dispatches what is pending without
    // sleeping, else sleeps until the next event, so a callback it runs (Stop) ends the pass
    // at once. A pass that only looks first would cost a second pass per wait.
    // Until the reply can be in at the line's speed, its bytes wake nothing: the system wakes
    // a process for every byte that comes, even one that only waits for a count of them.
    // After that, the device holds back the bytes that leave the reply short, so that the
    // byte that completes it is the event.
    const double earliest = serial ? std::min(replyEarliest(port, awaitedBytes), deadline) : 0;
    const bool hold = earliest > Timer() + MinHold;
    if (hold) {
        holdReads(port, true);
        wake->arm(earliest);
    } else {
        if (serial) setReadThreshold(port, missing);
        wake->arm(deadline);
    }
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (hold)
        holdReads(port, false);
    else if (serial)
        setReadThreshold(port, 0);
    return 0;
}

double Timer(void)
{
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return clock.nsecsElapsed() / 1e9;
}

void Sleep(int milliseconds)
{
#ifdef Q_OS_LINUX
    // The system lets a sleep of this thread end up to 50 us late by default, to gather
    // wake-ups; the polling pause is part of every cycle, so it asks for the exact time.
    static const bool exact = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    Q_UNUSED(exact);
#endif
    if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

int GetProjectDirText(char *dir, std::size_t capacity)
{
    if (!QCoreApplication::instance()) return -1;
    return copyPath(projectDir(), dir, capacity);
}

int GetDocumentDirText(char *dir, std::size_t capacity)
{
    if (!QCoreApplication::instance()) return -1;
    const QString project = projectDir();
    const QFileInfo info(project);
    return copyPath(info.isDir() && info.isWritable() ? project : QDir::homePath(), dir, capacity);
}
