/* livefixture.h: what the live-data tests share: the Go, Stop and GetBuff buttons pressed as
** the operator presses them, a hook into every polling cycle, scripted steps that run inside
** the polling loop's event processing, and the frame log by command.
*/
#ifndef LIVEFIXTURE_H
#define LIVEFIXTURE_H

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class SensorSim;

namespace livefixture
{

/* Identifiers of the live-data buttons in the panel file. */
enum { ButtonGo = 5, ButtonStop = 6, ButtonGetBuff = 7 };

/* Data packet bytes, for "data ..." simulator commands: DAT0, DAT1, NORM and the three
** 16-bit times, low byte first. */
QString DataCommand(int dat0, int dat1, int norm, int edge, int in0, int in1);

/* The operator presses Go. Returns when Go's callback has returned, that is when the polling
** loop has ended. A watchdog presses Stop after limitMs (and closes any modal widget): the
** result is then false, and the test has failed to end the loop itself. */
bool PressGo(int limitMs = 20000);
/* A left click on a button of the main panel; returns when its callback has returned. */
void Press(int control);

/* Counts the polling cycles since the watch's creation by the data requests (command 5) the
** simulator has logged, and calls `each` with n inside the n-th: at the cycle's first event
** processing after its reply was read and displayed (in a strip chart view, after its drawing;
** in the adjustment view, in its 1.0 s wait). A cycle whose reply fails does not count. The
** watch notes each reply it has seen by setting nBytesR to -1. */
class CycleWatch : public QObject
{
  public:
    explicit CycleWatch(const SensorSim &sim, std::function<void(int)> each = nullptr);
    int count = 0;

  private:
    void check();
    const SensorSim &m_sim;
    int m_base;
    std::function<void(int)> m_each;
};

/* Steps run from a 5 ms timer, so inside whatever event processing the code under test does
** (its settle wait, its reply wait, the end of a cycle). Each step is called until it
** returns true, then the next one; a step is never re-entered while it runs (it may press a
** button whose callback processes events). */
class Script : public QObject
{
  public:
    Script();
    void add(std::function<bool()> step);
    bool finished() const { return m_next >= m_steps.size(); }

  private:
    void tick();
    QTimer m_timer;
    QList<std::function<bool()>> m_steps;
    int m_next = 0;
    bool m_running = false;
};

/* Command codes of the frames the simulator logged, oldest first, from index `from`. */
QList<int> Commands(const SensorSim &sim, int from = 0);
/* Number of logged frames with command code `command`. */
int Count(const SensorSim &sim, int command);

/* The 500-value history as a list; the 16 jump buffer bytes as ints. */
QList<double> History();
QList<int> JumpBuf();

} // namespace livefixture

#endif
