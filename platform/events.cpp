/* events.cpp: starting the run-time, the event loop and nested event processing, the
** seconds timer, sleeping, and the program's data and document directories.
*/
#include "qtpanel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{

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

} // namespace

namespace vrplatform
{

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
    enum { WakeBoundMs = 4 };
    if (!QCoreApplication::instance()) return -1;
    // Dispatch what is pending; if nothing is, sleep in the event dispatcher until an event
    // arrives, bounded by a precise timer. A plain processEvents() here would make every wait
    // loop spin a core at 100 %. Serial data and the operator's input wake the dispatcher at
    // once, so the bound only sets how far a timed wait (settle, reply limit) may overrun:
    // 4 ms costs about 1.6 % of a core while polling, 1 ms about 2.7 % (bench_polling).
    static QTimer *wake = nullptr;
    if (!wake) {
        wake = new QTimer(QCoreApplication::instance());
        wake->setSingleShot(true);
        wake->setTimerType(Qt::PreciseTimer);
    }
    wake->start(WakeBoundMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
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
