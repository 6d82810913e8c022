/* tst_jump_buffer.cpp: the jump buffer readout on the real panel against the simulator: the
** 16 values and the threshold drawn, the threshold taken from the panel unsent, and replies
** of 15 and 17 bytes refused with nothing changed.
*/
#include <QtTest>

#include "live/live.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/livefixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace livefixture;
using fixture::Attr;

namespace
{

typedef QList<int> Ints;

/* RAM set of the simulator: threshold 120, so a panel threshold of 80 is an unsent edit. */
const Ints ramSet = {120, 100, 10, 0, 20, 0, 30, 5, 4, 0, 5, 0, 0, 0, 0};

QString JumpCommand(const Ints &values)
{
    QString line = QStringLiteral("jump");
    for (int v : values)
        line += ' ' + QString::number(v);
    return line;
}

Ints Ramp(int first, int step)
{
    Ints out;
    for (int i = 0; i < 16; i++)
        out << first + i * step;
    return out;
}

Ints PlotValues(int plot, int *color)
{
    double v[32];
    const int n = GetGraphPlotData(panel, PANEL_GRAPH_JUMPBUF, plot, v, 32, color);
    Ints out;
    for (int i = 0; i < n; i++)
        out << int(v[i]);
    return out;
}

/* Visibility of the strip chart, the adjustment graph and the jump graph. */
Ints Graphs()
{
    return {Attr(PANEL_STRIPCHART, ATTR_VISIBLE), Attr(PANEL_GRAPH_ADJ, ATTR_VISIBLE),
            Attr(PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE)};
}

} // namespace

class JumpBuffer : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase() { fixture::DiscardRealPanel(); }
    void init();
    void readout_data();
    void readout();

  private:
    SensorSim sim;
};

void JumpBuffer::initTestCase()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
    QVERIFY(linkfixture::ConnectTo(sim, 1, ramSet));
    QCOMPARE(int(pp[0]), 120);
}

void JumpBuffer::init()
{
    QVERIFY(sim.command(QStringLiteral("fault 6 none")));
}

void JumpBuffer::readout_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<Ints>("values"); // jumpbuf and the blue plot afterwards
    QTest::addColumn<int>("line");    // the black plot's level and the threshold afterwards
    QTest::addColumn<Ints>("graphs"); // strip chart, adjustment graph, jump graph shown
    QTest::addColumn<int>("timeouts");
    QTest::newRow("16 bytes") << "none" << Ramp(10, 10) << 80 << Ints{0, 0, 1} << 0;
    QTest::newRow("15 bytes") << "short" << Ramp(200, -5) << 90 << Ints{1, 0, 0} << 1;
    QTest::newRow("17 bytes") << "long" << Ramp(200, -5) << 90 << Ints{1, 0, 0} << 1;
}

/* After a good readout of 200, 195, .. with threshold 90 and the raw view selected again,
** the sensor holds 10, 20, .. 160 and the operator types 80 into the threshold (not sent) and
** presses GetBuff: a good reply is drawn as a blue staircase and a black line at the
** threshold with only the jump graph shown; a reply of the wrong length brings the TIMEOUT
** report and changes nothing. */
void JumpBuffer::readout()
{
    QFETCH(QString, fault);
    QFETCH(Ints, values);
    QFETCH(int, line);
    QFETCH(Ints, graphs);
    QFETCH(int, timeouts);
    QVERIFY(sim.command(JumpCommand(Ramp(200, -5))));
    SetCtrlVal(panel, PANEL_THRESHOLD, 90);
    Press(ButtonGetBuff);
    QCOMPARE(JumpBuf(), Ramp(200, -5));
    SetCtrlVal(panel, PANEL_SOURCE, 0);
    DispVis();
    QCOMPARE(Graphs(), (Ints{1, 0, 0}));

    QVERIFY(sim.command(JumpCommand(Ramp(10, 10))));
    QVERIFY(sim.command(QStringLiteral("fault 6 ") + fault));
    fixture::TypeAndEnter(fixture::Widget(PANEL_THRESHOLD), QStringLiteral("80"));
    const QByteArray packet = linkfixture::Packet();
    const int before = int(sim.frames().size());
    fixture::PopupCatcher popups;
    Press(ButtonGetBuff);

    QCOMPARE(Commands(sim, before), Ints{6});
    QCOMPARE(sim.frames().last(), SensorSim::frame(6, packet));
    QCOMPARE(linkfixture::Packet(), packet);
    QCOMPARE(popups.count(), timeouts);
    for (const fixture::Popup &p : popups.popups) {
        QCOMPARE(p.title, QString::fromLatin1(linkfixture::TimeoutTitle));
        QCOMPARE(p.text, QString::fromLatin1(linkfixture::TimeoutText));
    }
    QCOMPARE(JumpBuf(), values);
    QCOMPARE(int(threshold), line);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 2);
    int color = -1;
    QCOMPARE(PlotValues(0, &color), values);
    QCOMPARE(color, 0x0000FF);
    QCOMPARE(PlotValues(1, &color), Ints(16, line));
    QCOMPARE(color, 0x000000);
    QCOMPARE(Graphs(), graphs);
}

QTEST_MAIN(JumpBuffer)
#include "tst_jump_buffer.moc"
