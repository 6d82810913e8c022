/* fixture.h: what every test program shares: the real panel offscreen, the operator's input,
** the popup catcher, the snapshot, tables of rows, and the sensor simulator as the peer. */
#ifndef TESTS_FIXTURE_H
#define TESTS_FIXTURE_H

#include "app/Veltrav20.h"
#include "gui/gui.h"
#include "link/com232.h"
#include "live/live.h"
#include "params/params.h"
#include "platform/probe.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <sys/resource.h>

using namespace vr;
typedef QList<int> Ints;

/* The simulator on a pseudo-terminal behind a link that stays the same when it is started
** again, and its frame log. Every wait processes events. */
class Sim
{
  public:
    ~Sim() /* stops it and takes back the ports it was assigned */
    {
        stop();
        for (int port : assigned)
            qunsetenv("VELTRAV20_COM" + QByteArray::number(port));
    }
    bool start(const QStringList &faults = {}); /* --fault values; restarts a running one */
    void stop();
    QString link() const { return dir.filePath("tty"); }
    void assign(int port) /* VELTRAV20_COM<port> names the link */
    {
        assigned << port;
        qputenv("VELTRAV20_COM" + QByteArray::number(port), link().toLocal8Bit());
    }
    bool cmd(const QString &line, QString *values = nullptr); /* true on "ok [values]" */
    Ints get(const QString &what);                            /* "ram", "eeprom", "jump" */
    QList<Ints> frames() const; /* the frames received, oldest first */
    /* The commands of the frames from `from` on; first, when `all`, a frame of command 0
    ** (ignored by the sensor) is written and awaited: every frame written before is in. */
    Ints commands(int from = 0, bool all = false) const;
    bool waitFrames(int n) const;

    static Ints frame(int command, const Ints &packet) { return Ints{0x55, command} + packet; }
    static QString data(int dat0, int dat1, int norm, int edge, int in0, int in1);

  private:
    QByteArray readLine();
    QTemporaryDir dir;
    QProcess process;
    Ints assigned; /* the ports assign() named, taken back by the destructor */
};

namespace fx
{

enum { Send = 3, Get = 4, Go = 5, Stop = 6, GetBuff = 7 }; /* buttons of the panel file */
extern const char TimeoutText[]; /* the TIMEOUT popup's text, titled "INFO" */
inline QString LineOk()          /* the status after a passed line check */
{
    return "LINE OK" + QString(30, ' ') + "V2.0";
}

/* A table of rows, each with a `name`: one data row per entry; Row() is the current one's. */
template <typename T, std::size_t N> void AddRows(const T (&rows)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; i++)
        QTest::newRow(rows[i].name) << int(i);
}
inline int Row()
{
    return *static_cast<int *>(QTest::qData("row", qMetaTypeId<int>()));
}
/* A name and values, as the simulator's commands and the snapshot's lines write them. */
template <typename T> QString Line(const char *name, const QList<T> &values)
{
    QStringList words{name};
    for (T v : values)
        words << QString::number(v);
    return words.join(' ');
}

/* Loads "Veltrav20.uir" with the program's callbacks, clears pp and the parameter variables
** as in a fresh program, runs `beforeInit`, InitVars (no port opened) and shows the panel. */
int Load(std::function<void()> beforeInit = nullptr);
void Discard(); /* closes the port in use, discards the panel */

/* The operator's input on the real window; each returns once the callback has returned. */
inline QWidget *W(int control)
{
    return ControlWidget(panel, control);
}
inline void Click(int control)
{
    QTest::mouseClick(W(control), Qt::LeftButton);
}
bool Menu(int item); /* chooses an enabled item of the menu bar; false when there is none */
void Type(int control, const QString &text, bool enter = true);
void Choose(int ring, int value); /* with the arrow keys */
inline void CommitPort(int port)
{
    Type(PANEL_COMPORT, QString::number(port));
}

int Val(int control, int attribute = 0);      /* the value, or an attribute */
QString Text(int control, int attribute = 0); /* the text, or a text attribute */
inline QString Status()
{
    return Text(PANEL_STATUS);
}
Ints Params(); /* the twelve inputs in packet order, power in percent */
void SetParams(const Ints &values);
inline Ints Packet()
{
    return Ints(pp, pp + AnzPara);
}
Ints Vars();                              /* the fifteen parameter variables in packet order */
QByteArray Contents(const QString &path); /* a file's bytes, "<none>" when it cannot be read */
/* Limits the size of every file this process writes while alive, as a full disk does. */
struct SizeLimit {
    explicit SizeLimit(rlim_t bytes);
    ~SizeLimit() { setrlimit(RLIMIT_FSIZE, &normal); }
    rlimit normal;
    bool ok = false;
};
/* All an operation may change but the status line, a line each: inputs, dimming, dead-time
** ring, pp, variables, target, page, view and what it shows, port, poll, data packet,
** displays, history, jump buffer and its graph, where every control lies. */
QStringList Snapshot();
/* Runs the layouts that changed sizes have asked for (they run at the next event processing),
** a few passes, as a layout that runs may ask for its parent's: geometry and drawing as the
** operator sees them once the window has settled. */
inline void Settle()
{
    for (int pass = 0; pass < 3; pass++)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}
QStringList Without(const QStringList &snapshot, const char *names); /* "a|b": lines dropped */

struct Popup {
    QString title, text;
    qint64 ms; /* since the catcher was made */
};
/* Records and closes modal popups while alive; a question gets Yes when `confirm` is set. A
** file dialog gets the next of `files` (none left or an empty one cancels); `beforeAccept`
** runs just before a name is accepted. */
class Popups : public QObject
{
  public:
    explicit Popups(QStringList files = {}, std::function<void()> beforeAccept = nullptr);
    QList<Popup> list;
    int count() const { return int(list.size()); }
    bool confirm = false;
    int dialogs = 0;

  private:
    QTimer timer;
    QElapsedTimer clock;
    QPointer<QWidget> answered;
};
/* The TIMEOUT report `count` times and no other popup, and "TIMEOUT" in the status line. */
bool TimeoutReported(const Popups &popups, int count = 1);

/* Runs `act` once, from a 5 ms timer and so inside whatever event processing the code under
** test does, as soon as `cond` holds; never re-entered. */
class When : public QObject
{
  public:
    When(std::function<bool()> cond, std::function<void()> act);
    bool done = false;

  private:
    QTimer timer;
    bool busy = false;
};

/* Presses Go; returns when the loop has ended; false when a watchdog had to end it. */
bool PressGo(int limitMs = 30000);
/* Go, `each(k)` inside the k-th polling cycle, counted by the data requests `sim` logged, at
** the cycle's first event processing after its reply was taken (and recorded), and Stop
** inside the n-th: returns the cycles run. A failed reply does not count. */
int RunCycles(const Sim &sim, int n, std::function<void(int)> each = nullptr);

/* Starts `sim` with `ram` as its RAM set, points COM `port` at it and commits the port on
** the panel: true when the line check passed and nothing popped up. */
bool Connect(Sim &sim, int port, const Ints &ram = {});
} // namespace fx

#endif
