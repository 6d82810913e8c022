/* tst_jump_buffer.cpp: the jump buffer readout on the real panel against the simulator: the
** 16 values and the threshold drawn, the threshold taken from the panel unsent, replies of
** 15 and 17 bytes refused with nothing changed, and the jump graph hidden again by Go.
*/
#include <QtTest>

#include <QChart>
#include <QChartView>
#include <QLineSeries>

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
    void cleanupTestCase();
    void init();
    void readout();
    void wrongLength_data();
    void wrongLength();
    void hiddenAgainByGo();

  private:
    SensorSim sim;
};

void JumpBuffer::initTestCase()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
    QVERIFY(linkfixture::ConnectTo(sim, 1, ramSet));
    QCOMPARE(int(pp[0]), 120);
}

void JumpBuffer::cleanupTestCase()
{
    fixture::DiscardRealPanel();
}

void JumpBuffer::init()
{
    QVERIFY(sim.command(QStringLiteral("fault 6 none")));
}

/* 10, 20, .. 160 with 80 typed into the threshold and not sent: the values in order, a blue
** staircase of them and a black flat line at 80; the strip chart and the adjustment graph
** hidden; the frame carries the packet as it was. */
void JumpBuffer::readout()
{
    QVERIFY(sim.command(JumpCommand(Ramp(10, 10))));
    SetCtrlVal(panel, PANEL_SOURCE, 0);
    DispVis();
    fixture::TypeAndEnter(fixture::Widget(PANEL_THRESHOLD), QStringLiteral("80"));
    const QByteArray packet = linkfixture::Packet();
    const Ints displays = {Attr(PANEL_DAT0, ATTR_VISIBLE), Attr(PANEL_EDGE, ATTR_VISIBLE)};
    const int before = int(sim.frames().size());
    fixture::PopupCatcher popups;
    Press(ButtonGetBuff);

    QCOMPARE(popups.count(), 0);
    QCOMPARE(JumpBuf(), Ramp(10, 10));
    QCOMPARE(int(threshold), 80);
    QCOMPARE(linkfixture::Packet(), packet);
    QCOMPARE(int(pp[0]), 120);
    QCOMPARE(Commands(sim, before), Ints{6});
    QCOMPARE(sim.frames().last(), SensorSim::frame(6, packet));

    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 2);
    int color = -1;
    QCOMPARE(PlotValues(0, &color), Ramp(10, 10));
    QCOMPARE(color, 0x0000FF);
    QCOMPARE(PlotValues(1, &color), Ints(16, 80));
    QCOMPARE(color, 0x000000);
    QCOMPARE(Graphs(), (Ints{0, 0, 1}));
    QCOMPARE(vr::source, 0);
    QCOMPARE((Ints{Attr(PANEL_DAT0, ATTR_VISIBLE), Attr(PANEL_EDGE, ATTR_VISIBLE)}), displays);

    // Drawn: the staircase rises 10 at every whole x from 1 to 15 and ends at x = 16.
    auto *view = qobject_cast<QChartView *>(fixture::Widget(PANEL_GRAPH_JUMPBUF));
    QList<QLineSeries *> shown;
    for (QAbstractSeries *s : view->chart()->series()) {
        auto *line = qobject_cast<QLineSeries *>(s);
        if (line && line->isVisible() && line->count() > 0) shown << line;
    }
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0]->pen().color(), QColor(0, 0, 255));
    QCOMPARE(shown[0]->at(0), QPointF(0, 10));
    QCOMPARE(shown[0]->at(1), QPointF(1, 10));
    QCOMPARE(shown[0]->at(2), QPointF(1, 20));
    QCOMPARE(shown[0]->points().last(), QPointF(16, 160));
    QCOMPARE(shown[1]->pen().color(), QColor(0, 0, 0));
    for (const QPointF &p : shown[1]->points())
        QCOMPARE(p.y(), 80.0);
}

void JumpBuffer::wrongLength_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("15 bytes") << "short";
    QTest::newRow("17 bytes") << "long";
}

/* A good readout, then the raw view selected (jump graph hidden), then a readout whose reply
** has the wrong length: the TIMEOUT report, and jumpbuf, the graph's plots, the visibility
** and the threshold stay as they were. */
void JumpBuffer::wrongLength()
{
    QFETCH(QString, fault);
    QVERIFY(sim.command(JumpCommand(Ramp(200, -5))));
    SetCtrlVal(panel, PANEL_THRESHOLD, 90);
    Press(ButtonGetBuff);
    QCOMPARE(JumpBuf(), Ramp(200, -5));
    SetCtrlVal(panel, PANEL_SOURCE, 0);
    DispVis();
    const Ints graphs = Graphs();
    QCOMPARE(graphs, (Ints{1, 0, 0}));

    QVERIFY(sim.command(JumpCommand(Ramp(1, 1))));
    QVERIFY(sim.command(QStringLiteral("fault 6 ") + fault));
    SetCtrlVal(panel, PANEL_THRESHOLD, 33);
    fixture::PopupCatcher popups;
    Press(ButtonGetBuff);

    QCOMPARE(popups.count(), 1);
    QCOMPARE(popups.popups[0].title, QString::fromLatin1(linkfixture::TimeoutTitle));
    QCOMPARE(popups.popups[0].text, QString::fromLatin1(linkfixture::TimeoutText));
    QCOMPARE(linkfixture::Status(), QStringLiteral("TIMEOUT"));
    QCOMPARE(JumpBuf(), Ramp(200, -5));
    QCOMPARE(int(threshold), 90);
    QCOMPARE(GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF), 2);
    int color = -1;
    QCOMPARE(PlotValues(0, &color), Ramp(200, -5));
    QCOMPARE(PlotValues(1, &color), Ints(16, 90));
    QCOMPARE(Graphs(), graphs);
}

/* Go after a readout shows the selected view again and hides the jump graph. */
void JumpBuffer::hiddenAgainByGo()
{
    QVERIFY(sim.command(JumpCommand(Ramp(10, 10))));
    Press(ButtonGetBuff);
    QCOMPARE(Graphs(), (Ints{0, 0, 1}));
    SetCtrlVal(panel, PANEL_SOURCE, 1);
    CycleWatch watch([](int n) {
        if (n == 1) Press(ButtonStop);
    });
    QVERIFY(PressGo());
    QCOMPARE(watch.count, 1);
    QCOMPARE(Graphs(), (Ints{1, 0, 0}));
}

QTEST_MAIN(JumpBuffer)
#include "tst_jump_buffer.moc"
