/* linkfixture.cpp: the parameter set read back from the panel, the variables and pp; the
** operator's clicks and port commits; connecting the program to a simulator.
*/
#include "linkfixture.h"

#include "panelfixture.h"
#include "simulator.h"

#include "params/params.h"

#include <QTest>
#include <QWidget>

namespace linkfixture
{

const char TimeoutTitle[] = "INFO";
const char TimeoutText[] = " ATTENTION! \n \n TIMEOUT \n NO SERIAL CONNECTION TO SENSOR";

QString LineOkText()
{
    return QStringLiteral("LINE OK") + QString(30, ' ') + "V2.0";
}

namespace
{
const int paramControls[12] = {vr::PANEL_THRESHOLD,    vr::PANEL_HYSTERESIS, vr::PANEL_POWER,
                               vr::PANEL_PMOD,         vr::PANEL_HOLD,       vr::PANEL_TRIGGER,
                               vr::PANEL_BACKLIM,      vr::PANEL_REGCNT,     vr::PANEL_AVERAGE,
                               vr::PANEL_DEADTIMEMODE, vr::PANEL_DEADTIME,   vr::PANEL_OUTMODE};
} // namespace

QList<int> PanelParams()
{
    QList<int> out;
    for (int id : paramControls)
        out << fixture::IntVal(id);
    return out;
}

void SetPanelParams(const QList<int> &values)
{
    for (int i = 0; i < 12 && i < values.size(); ++i)
        SetCtrlVal(vr::panel, paramControls[i], values[i]);
}

QByteArray Packet()
{
    return QByteArray(reinterpret_cast<const char *>(vr::pp), vr::AnzPara);
}

void ZeroParameterSet()
{
    using namespace vr;
    unsigned char *vars[AnzPara] = {&threshold, &hysteresis, &power,  &pmod,    &hold,
                                    &trigger,   &backlim,    &regcnt, &average, &deadtimemode,
                                    &deadtime,  &outmode,    &frei13, &frei14,  &frei15};
    for (int i = 0; i < AnzPara; ++i) {
        *vars[i] = 0;
        pp[i] = 0;
    }
}

QByteArray Vars()
{
    using namespace vr;
    const unsigned char v[AnzPara] = {threshold, hysteresis, power,  pmod,    hold,
                                      trigger,   backlim,    regcnt, average, deadtimemode,
                                      deadtime,  outmode,    frei13, frei14,  frei15};
    return QByteArray(reinterpret_cast<const char *>(v), AnzPara);
}

QString Status()
{
    char text[128] = "";
    GetCtrlVal(vr::panel, vr::PANEL_STATUS, text);
    return QString::fromLatin1(text);
}

void Click(int control)
{
    QWidget *w = fixture::Widget(control);
    QVERIFY(w);
    QVERIFY(w->isEnabled());
    QTest::mouseClick(w, Qt::LeftButton);
}

void CommitPort(int port)
{
    QWidget *w = fixture::Widget(vr::PANEL_COMPORT);
    QVERIFY(w);
    fixture::TypeAndEnter(w, QString::number(port));
}

bool ConnectTo(SensorSim &sim, int port, const QList<int> &ram, bool pace)
{
    SensorSim::Options options;
    options.pace = pace;
    if (!sim.start(options)) {
        qWarning("%s", qPrintable(sim.lastError()));
        return false;
    }
    if (!ram.isEmpty() && !sim.command(SetCommand("ram", ram))) {
        qWarning("%s", qPrintable(sim.lastError()));
        return false;
    }
    sim.assignPort(port);
    fixture::PopupCatcher popups;
    CommitPort(port);
    if (Status() != LineOkText() || popups.count() != 0) {
        qWarning("status after the port commit: \"%s\", %d popups", qPrintable(Status()),
                 int(popups.count()));
        return false;
    }
    return true;
}

QString SetCommand(const char *memory, const QList<int> &values)
{
    QString line = QString::fromLatin1(memory);
    for (int v : values)
        line += ' ' + QString::number(v);
    return line;
}

QList<int> CommandsSent(const SensorSim &sim, int from)
{
    const int logged = int(sim.frames().size());
    vr::FillTxBuf(0);
    if (ComWrt(vr::com, vr::szWriteBuf, vr::FrameLen) != vr::FrameLen ||
        !sim.waitForFrames(logged + 1))
        qWarning("the simulator did not log the frame of command 0");
    QList<int> out;
    const QList<QByteArray> frames = sim.frames();
    for (int i = from; i < frames.size() - 1; i++)
        out << static_cast<unsigned char>(frames[i].at(1));
    return out;
}

QList<int> Ints(const QByteArray &bytes)
{
    QList<int> out;
    for (char c : bytes)
        out << static_cast<unsigned char>(c);
    return out;
}

} // namespace linkfixture
