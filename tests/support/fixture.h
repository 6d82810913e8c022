/* fixture.h: what every test program shares: the real panel loaded offscreen, the operator's
** clicks and keys on the real window, the popup catcher, the snapshot of everything an
** operation may change, and the sensor simulator (tools/sensorsim) as the peer.
*/
#ifndef TESTS_FIXTURE_H
#define TESTS_FIXTURE_H

#include "app/Veltrav20.h"
#include "gui/gui.h"
#include "link/com232.h"
#include "live/live.h"
#include "params/params.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace vr;
typedef QList<int> Ints;

namespace fx
{

enum { Send = 3, Get = 4, Go = 5, Stop = 6, GetBuff = 7 }; /* buttons of the panel file */
extern const char TimeoutText[]; /* the TIMEOUT popup's text, titled "INFO" */
QString LineOk();                /* status after a passed line check */

/* Loads "Veltrav20.uir" with the program's callbacks, sets pp and the parameter variables to
** zero as in a fresh program, runs InitVars (no port opened) and shows the panel. */
int Load();
void Discard(); /* closes the port in use and discards the panel */

QWidget *W(int control);
QWidget *W(const char *objectName);
/* The operator's input on the real window; each returns once the callback has returned. */
void Click(int control);
void RightClick(QWidget *w, QPoint at = QPoint(-1, -1)); /* default: the centre */
void Type(int control, const QString &text, bool enter = true);
void Choose(int ring, int value); /* with the arrow keys */
void CommitPort(int port);

int Val(int control);
int Attr(int control, int attribute);
QString Text(int control, int attribute = 0); /* the value, or a text attribute */
QString Status();
Ints Params(); /* the twelve inputs in packet order, power in percent */
void SetParams(const Ints &values);
Ints Packet(); /* pp */
Ints Vars();   /* the fifteen parameter variables in packet order */
/* Everything an operation may change but the status line, one "name: values" line each:
** the inputs with their dimming and the dead-time ring, pp, the variables, target, page,
** view and the visibility it decides, port, poll, data packet, displays, history, jump
** buffer and its graph. */
QStringList Snapshot();

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
};

/* Runs `act` once, from a 5 ms timer and so inside whatever event processing the code under
** test does, as soon as `cond` holds; never re-entered while `act` runs. */
class When : public QObject
{
  public:
    When(std::function<bool()> cond, std::function<void()> act);
    bool done = false;

  private:
    QTimer timer;
    bool busy = false;
};

/* Calls `each(n)` inside the n-th polling cycle that draws the strip chart, after its
** displays, history and drawing, before its event processing. */
class Cycles : public QObject
{
  public:
    explicit Cycles(std::function<void(int)> each);
    int count = 0;
};

/* Presses Go; returns when the loop has ended. False when a watchdog had to end it. */
bool PressGo(int limitMs = 30000);
/* Go, `each` in every strip-chart cycle and Stop inside the n-th: returns the cycles run. */
int RunCycles(int n, std::function<void(int)> each = nullptr);

} // namespace fx

/* The simulator on a pseudo-terminal, reached through a link in a private directory that
** stays the same across restart(); its frame log read back. Every wait processes events. */
class Sim
{
  public:
    ~Sim() { stop(); }
    bool start(const QStringList &faults = {}); /* --fault values */
    bool restart();                             /* the device comes back; log empty again */
    void stop();
    QString link() const { return dir.filePath("tty"); }
    void assign(int port) const; /* VELTRAV20_COM<port> names the link */
    /* One control command (sensorsim --help); true on "ok", the rest into *values. */
    bool cmd(const QString &line, QString *values = nullptr);
    Ints get(const QString &what); /* "ram", "eeprom" or "jump" */
    QList<Ints> frames() const;    /* the frames received, oldest first */
    Ints commands(int from = 0) const;
    bool waitFrames(int n) const;
    QString error;

    static Ints frame(int command, const Ints &packet);       /* 0x55, command, the packet */
    static QString set(const char *what, const Ints &values); /* e.g. "ram 1 2 .." */
    static QString data(int dat0, int dat1, int norm, int edge, int in0, int in1);

  private:
    bool readLine(QByteArray *line);
    QTemporaryDir dir;
    QProcess process;
    QStringList faults;
};

namespace fx
{
/* Starts `sim` with `ram` as its RAM set, points COM `port` at it and commits the port on
** the panel: true when the line check passed and nothing popped up. */
bool Connect(Sim &sim, int port, const Ints &ram = {});
} // namespace fx

#endif
