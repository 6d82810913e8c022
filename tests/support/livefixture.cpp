/* livefixture.cpp: Go, Stop and GetBuff pressed as the operator presses them, the per-cycle
** hook, scripted steps inside the polling loop, the frame log by command.
*/
#include "livefixture.h"

#include "panelfixture.h"
#include "simulator.h"

#include "live/live.h"
#include "platform/qtpanel.h"

#include <QApplication>
#include <QSerialPort>
#include <QTest>
#include <QWidget>

namespace livefixture
{

QString DataCommand(int dat0, int dat1, int norm, int edge, int in0, int in1)
{
    return QStringLiteral("data %1 %2 %3 %4 %5 %6 %7 %8 %9")
        .arg(dat0)
        .arg(dat1)
        .arg(norm)
        .arg(edge & 0xFF)
        .arg(edge >> 8)
        .arg(in0 & 0xFF)
        .arg(in0 >> 8)
        .arg(in1 & 0xFF)
        .arg(in1 >> 8);
}

void Press(int control)
{
    QWidget *w = fixture::Widget(control);
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton);
}

bool PressGo(int limitMs)
{
    bool stopped = false;
    QTimer watchdog;
    watchdog.setInterval(limitMs);
    QObject::connect(&watchdog, &QTimer::timeout, [&stopped] {
        stopped = true;
        if (QWidget *modal = QApplication::activeModalWidget()) modal->close();
        vr::poll = 0;
    });
    watchdog.start();
    Press(ButtonGo);
    return !stopped;
}

CycleWatch::CycleWatch(const SensorSim &sim, std::function<void(int)> each)
    : m_sim(sim), m_base(Count(sim, 5)), m_each(std::move(each))
{
    QSerialPort *port = vrplatform::openSerialPort(vr::com);
    if (!port) {
        qWarning("CycleWatch: the port is not open");
        return;
    }
    vr::nBytesR = -1;
    // Data that arrives ends the reply wait, so a check queued then runs at the next event
    // processing: the cycle's own once its reply is complete.
    connect(port, &QSerialPort::readyRead, this,
            [this] { QMetaObject::invokeMethod(this, &CycleWatch::check, Qt::QueuedConnection); });
}

void CycleWatch::check()
{
    if (vr::nBytesR != vr::AnzData) return; // no reply read since the last cycle counted
    vr::nBytesR = -1;
    count = Count(m_sim, 5) - m_base;
    if (m_each) m_each(count);
}

Script::Script()
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_timer.start();
}

void Script::add(std::function<bool()> step)
{
    m_steps.append(std::move(step));
}

void Script::tick()
{
    if (m_running || finished()) return;
    m_running = true;
    if (m_steps[m_next]()) m_next++;
    m_running = false;
}

QList<int> Commands(const SensorSim &sim, int from)
{
    QList<int> out;
    const QList<QByteArray> frames = sim.frames();
    for (int i = from; i < frames.size(); i++)
        out << static_cast<unsigned char>(frames[i].at(1));
    return out;
}

int Count(const SensorSim &sim, int command)
{
    return int(Commands(sim).count(command));
}

QList<double> History()
{
    return QList<double>(vr::alldata, vr::alldata + vr::AnzAll);
}

QList<int> JumpBuf()
{
    QList<int> out;
    for (unsigned char b : vr::jumpbuf)
        out << b;
    return out;
}

} // namespace livefixture
