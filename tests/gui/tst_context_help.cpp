/* tst_context_help.cpp: right clicks on the real panel window: every control of the help table
** and every place decoration opens one "Info" popup with its text and moves nothing; a right
** click on a target toggle sends nothing.
*/
#include <QtTest>

#include "gui/gui.h"
#include "link/com232.h"
#include "live/live.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;

namespace
{

/* What the panel shows before the right click: start-up page, graph view or extended page. */
enum Setup { Basic, AdjView, JumpView, Extended };

/* What a right click must leave alone: page, target and toggles, view, port and polling. */
QList<int> State()
{
    QList<int> s{int(para), target, int(source), int(poll)};
    for (int id : {PANEL_PARA_VISIBLE, PANEL_SELECT_RAM, PANEL_SELECT_EEPROM, PANEL_SELECT_FILE,
                   PANEL_SOURCE, PANEL_COMPORT})
        s << fixture::IntVal(id);
    return s;
}

/* A point of `w` where the window finds `w` itself, not a control lying on top of it. */
QPoint FreePoint(QWidget *w)
{
    QWidget *top = w->window();
    for (int y = 0; y < w->height(); y += 2)
        for (int x = 0; x < w->width(); x += 2)
            if (QWidget *hit = top->childAt(w->mapTo(top, QPoint(x, y))))
                if (hit == w || w->isAncestorOf(hit)) return QPoint(x, y);
    return QPoint(-1, -1);
}

/* The operator's right click on `w`, sent to the window: one "Info" popup with `text` comes
** and State() is unchanged. */
void CheckHelp(QWidget *w, const char *text)
{
    QVERIFY(w && w->isVisible());
    const QPoint at = FreePoint(w);
    QVERIFY2(at.x() >= 0, "covered by other controls");
    const QList<int> before = State();
    fixture::PopupCatcher catcher;
    QWidget *top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::RightButton, Qt::NoModifier, w->mapTo(top, at));
    QTRY_COMPARE_WITH_TIMEOUT(catcher.count(), 1, 10000);
    QCOMPARE(catcher.popups[0].title, QStringLiteral("Info"));
    QCOMPARE(catcher.popups[0].text, QString::fromLatin1(text));
    QCOMPARE(State(), before);
}

} // namespace

class ContextHelp : public QObject
{
    Q_OBJECT

  private slots:
    void init() { QVERIFY(fixture::LoadRealPanel() > 0); }
    void cleanup()
    {
        CloseCom(com); /* fine when no port is open */
        fixture::DiscardRealPanel();
    }
    void controlShowsItsText_data();
    void controlShowsItsText();
    void targetToggleSendsNothing();
};

void ContextHelp::controlShowsItsText_data()
{
    QTest::addColumn<QString>("control"); /* object name in the panel file */
    QTest::addColumn<int>("setup");
    QTest::addColumn<int>("dimmed"); /* control dimmed first, 0 for none */
    QTest::addColumn<QByteArray>("text");
    /* The target toggles are in targetToggleSendsNothing. The decorations last: each shows the
    ** help of the input its place shows on the page in force (place 4: hold or output mode). */
    const struct {
        const char *name, *control;
        Setup setup;
        int dimmed;
        const char *text;
    } rows[] = {
        {"COM port", "comPort", Basic, 0, InfoEditConnect},
        {"Send", "send", Basic, 0, InfoButtonSend},
        {"Get", "get", Basic, 0, InfoButtonGet},
        {"Go", "go", Basic, 0, InfoButtonGo},
        {"Stop", "stop", Basic, 0, InfoButtonStop},
        {"GetBuff", "getBuff", Basic, 0, InfoButtonGetBuff},
        {"page switch", "paraVisible", Basic, 0, InfoSwitchPara},
        {"source ring", "source", Basic, 0, InfoSelectSource},
        {"threshold", "threshold", Basic, 0, InfoEditThreshold},
        {"hysteresis", "hysteresis", Basic, 0, InfoEditHysteresis},
        {"trigger mode", "trigger", Basic, 0, InfoEditTrigger},
        {"power mode", "pmod", Basic, 0, InfoEditPmod},
        {"power dimmed", "power", Basic, PANEL_POWER, InfoEditPower},
        {"hold", "hold", Basic, 0, InfoEditHold},
        {"intensity limit", "backlim", Extended, 0, InfoEditBacklim},
        {"correction interval dimmed", "regcnt", Extended, PANEL_REGCNT, InfoEditRegcnt},
        {"averaging", "average", Extended, 0, InfoEditAverage},
        {"output mode", "outmode", Extended, 0, InfoEditOutmode},
        {"dead-time mode", "deadtimemode", Extended, 0, InfoEditDeadTimeMode},
        {"dead time", "deadtime", Extended, 0, InfoEditDeadTime},
        {"DAT0", "dat0", Basic, 0, InfoDispDat0},
        {"DAT1", "dat1", Basic, 0, InfoDispDat1},
        {"NORM", "norm", Basic, 0, InfoDispNORM},
        {"edge", "edge", AdjView, 0, InfoDispEDGE},
        {"window", "win", AdjView, 0, InfoDispWIN},
        {"status line", "status", Basic, 0, InfoStatus},
        {"strip chart", "stripChart", Basic, 0, InfoGraph},
        {"jump buffer graph", "graphJumpbuf", JumpView, 0, InfoGraphData1},
        {"adjustment graph", "graphAdj", AdjView, 0, InfoGraphData2},
        {"place 1, basic page", "deco1", Basic, 0, InfoEditThreshold},
        {"place 1, extended page", "deco1", Extended, 0, InfoEditBacklim},
        {"place 2, basic page", "deco2", Basic, 0, InfoEditHysteresis},
        {"place 2, extended page", "deco2", Extended, 0, InfoEditRegcnt},
        {"place 3, basic page", "deco3", Basic, 0, InfoEditTrigger},
        {"place 3, extended page", "deco3", Extended, 0, InfoEditAverage},
        {"place 4, basic page", "deco4", Basic, 0, InfoEditHold},
        {"place 4, extended page", "deco4", Extended, 0, InfoEditOutmode},
        {"place 5, basic page", "deco5", Basic, 0, InfoEditPmod},
        {"place 5, extended page", "deco5", Extended, 0, InfoEditDeadTimeMode},
        {"place 6, basic page", "deco6", Basic, 0, InfoEditPower},
        {"place 6, extended page", "deco6", Extended, 0, InfoEditDeadTime},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.control) << int(r.setup) << r.dimmed
                              << QByteArray(r.text);
}

void ContextHelp::controlShowsItsText()
{
    QFETCH(QString, control);
    QFETCH(int, setup);
    QFETCH(int, dimmed);
    QFETCH(QByteArray, text);

    if (setup == AdjView) { /* the source ring's adjustment entry, as the program shows it */
        SetCtrlVal(panel, PANEL_SOURCE, 2);
        DispVis();
    } else if (setup == JumpView) { /* as after GetBuff */
        SetCtrlAttribute(panel, PANEL_GRAPH_ADJ, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 1);
    } else if (setup == Extended) {
        QTest::mouseClick(fixture::Widget(PANEL_PARA_VISIBLE), Qt::LeftButton);
    }
    QCOMPARE(int(para), setup == Extended ? 0 : 1);
    if (dimmed) SetCtrlAttribute(panel, dimmed, ATTR_DIMMED, 1);
    QWidget *w = fixture::PanelWindow()->findChild<QWidget *>(control);
    QVERIFY(w);
    QCOMPARE(w->isEnabled(), dimmed == 0);
    CheckHelp(w, text.constData());
}

/* With EEPROM lit, a right click on each target toggle shows its help, switches nothing
** (CheckHelp) and sends nothing: the next frame after the connection's two is the marker, a
** Send to RAM. */
void ContextHelp::targetToggleSendsNothing()
{
    SensorSim sim;
    QVERIFY(linkfixture::ConnectTo(sim, 4));
    QVERIFY(sim.waitForFrames(2));
    linkfixture::Click(PANEL_SELECT_EEPROM);
    QCOMPARE(target, int(EEPROM));
    for (int toggle : {PANEL_SELECT_RAM, PANEL_SELECT_EEPROM, PANEL_SELECT_FILE})
        CheckHelp(fixture::Widget(toggle), InfoSelectMEM);

    fixture::PopupCatcher catcher;
    linkfixture::Click(PANEL_SELECT_RAM);
    linkfixture::Click(linkfixture::ButtonSend);
    QVERIFY(sim.waitForFrames(3));
    QCOMPARE(sim.frames().at(2), SensorSim::frame(1, linkfixture::Packet()));
    QCOMPARE(sim.frames().size(), 3);
    QCOMPARE(catcher.count(), 0);
}

QTEST_MAIN(ContextHelp)
#include "tst_context_help.moc"
