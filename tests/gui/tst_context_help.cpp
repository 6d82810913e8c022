/* tst_context_help.cpp: right clicks on the real panel: every control of the help table opens
** the "Info" popup with its own text and changes nothing else; the six place decorations
** show the help of the input their place shows on the page in force.
*/
#include <QtTest>

#include "gui/gui.h"
#include "live/live.h"
#include "params/params.h"
#include "support/panelfixture.h"

using namespace vr;
using fixture::PopupCatcher;

namespace
{

enum View { RawView, AdjView, JumpView };

/* The twelve parameter inputs, basic page first. */
const int inputs[12] = {PANEL_THRESHOLD, PANEL_HYSTERESIS, PANEL_TRIGGER,      PANEL_PMOD,
                        PANEL_POWER,     PANEL_HOLD,       PANEL_BACKLIM,      PANEL_REGCNT,
                        PANEL_AVERAGE,   PANEL_OUTMODE,    PANEL_DEADTIMEMODE, PANEL_DEADTIME};

QWidget *Named(const char *objectName)
{
    return fixture::PanelWindow()->findChild<QWidget *>(QLatin1String(objectName));
}

/* Everything a right click must leave alone: the inputs' values, visibility and dimming, the
** target and its toggles, the page, the view, the status line and the polling flag. */
QStringList PanelState()
{
    QStringList s;
    for (int id : inputs)
        s << QStringLiteral("%1: %2 vis %3 dim %4")
                 .arg(id)
                 .arg(fixture::IntVal(id))
                 .arg(fixture::Attr(id, ATTR_VISIBLE))
                 .arg(fixture::Attr(id, ATTR_DIMMED));
    char status[256] = "";
    GetCtrlVal(panel, PANEL_STATUS, status);
    s << QStringLiteral("target %1 toggles %2%3%4")
             .arg(target)
             .arg(fixture::IntVal(PANEL_SELECT_RAM))
             .arg(fixture::IntVal(PANEL_SELECT_EEPROM))
             .arg(fixture::IntVal(PANEL_SELECT_FILE))
      << QStringLiteral("para %1 switch %2").arg(para).arg(fixture::IntVal(PANEL_PARA_VISIBLE))
      << QStringLiteral("source %1 %2").arg(source).arg(fixture::IntVal(PANEL_SOURCE))
      << QStringLiteral("port %1 poll %2 status %3")
             .arg(fixture::IntVal(PANEL_COMPORT))
             .arg(poll)
             .arg(QLatin1String(status));
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

/* The operator's right click at a point of `w`, sent to the window. */
void RightClickAt(QWidget *w, QPoint at)
{
    QWidget *top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::RightButton, Qt::NoModifier, w->mapTo(top, at));
}

/* Sets the graph view the way the program does, so that the control under test is on top. */
void ShowView(View view)
{
    if (view == AdjView) {
        SetCtrlVal(panel, PANEL_SOURCE, 2);
        DispVis();
    } else if (view == JumpView) {
        SetCtrlAttribute(panel, PANEL_GRAPH_ADJ, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 1);
    }
}

/* The operator switches the page with the switch (a left click toggles it). */
void ClickPageSwitch()
{
    QTest::mouseClick(fixture::Widget(PANEL_PARA_VISIBLE), Qt::LeftButton);
}

} // namespace

class ContextHelp : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void controlShowsItsText_data();
    void controlShowsItsText();
    void decorationFollowsPage_data();
    void decorationFollowsPage();
    void placeFourAfterSwitching();
};

void ContextHelp::init()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
}

void ContextHelp::cleanup()
{
    fixture::DiscardRealPanel();
}

void ContextHelp::controlShowsItsText_data()
{
    QTest::addColumn<QString>("control"); /* object name in the panel file */
    QTest::addColumn<int>("view");
    QTest::addColumn<bool>("extendedPage");
    QTest::addColumn<int>("dimmed"); /* control dimmed first, 0 for none */
    QTest::addColumn<QString>("text");

    struct Row {
        const char *name, *control;
        View view;
        bool extended;
        int dimmed;
        const char *text;
    };
    const Row rows[] = {
        {"COM port", "comPort", RawView, false, 0, InfoEditConnect},
        {"Send", "send", RawView, false, 0, InfoButtonSend},
        {"Get", "get", RawView, false, 0, InfoButtonGet},
        {"Go", "go", RawView, false, 0, InfoButtonGo},
        {"Stop", "stop", RawView, false, 0, InfoButtonStop},
        {"GetBuff", "getBuff", RawView, false, 0, InfoButtonGetBuff},
        {"RAM toggle", "selectRam", RawView, false, 0, InfoSelectMEM},
        {"EEPROM toggle", "selectEeprom", RawView, false, 0, InfoSelectMEM},
        {"FILE toggle", "selectFile", RawView, false, 0, InfoSelectMEM},
        {"page switch", "paraVisible", RawView, false, 0, InfoSwitchPara},
        {"source ring", "source", RawView, false, 0, InfoSelectSource},
        {"threshold", "threshold", RawView, false, 0, InfoEditThreshold},
        {"hysteresis", "hysteresis", RawView, false, 0, InfoEditHysteresis},
        {"trigger mode", "trigger", RawView, false, 0, InfoEditTrigger},
        {"power mode", "pmod", RawView, false, 0, InfoEditPmod},
        {"power", "power", RawView, false, 0, InfoEditPower},
        {"power dimmed", "power", RawView, false, PANEL_POWER, InfoEditPower},
        {"hold", "hold", RawView, false, 0, InfoEditHold},
        {"intensity limit", "backlim", RawView, true, 0, InfoEditBacklim},
        {"correction interval", "regcnt", RawView, true, 0, InfoEditRegcnt},
        {"correction interval dimmed", "regcnt", RawView, true, PANEL_REGCNT, InfoEditRegcnt},
        {"averaging", "average", RawView, true, 0, InfoEditAverage},
        {"output mode", "outmode", RawView, true, 0, InfoEditOutmode},
        {"dead-time mode", "deadtimemode", RawView, true, 0, InfoEditDeadTimeMode},
        {"dead-time mode dimmed", "deadtimemode", RawView, true, PANEL_DEADTIMEMODE,
         InfoEditDeadTimeMode},
        {"dead time", "deadtime", RawView, true, 0, InfoEditDeadTime},
        {"DAT0", "dat0", RawView, false, 0, InfoDispDat0},
        {"DAT1", "dat1", RawView, false, 0, InfoDispDat1},
        {"NORM", "norm", RawView, false, 0, InfoDispNORM},
        {"edge", "edge", AdjView, false, 0, InfoDispEDGE},
        {"window", "win", AdjView, false, 0, InfoDispWIN},
        {"status line", "status", RawView, false, 0, InfoStatus},
        {"strip chart", "stripChart", RawView, false, 0, InfoGraph},
        {"jump buffer graph", "graphJumpbuf", JumpView, false, 0, InfoGraphData1},
        {"adjustment graph", "graphAdj", AdjView, false, 0, InfoGraphData2},
    };
    for (const Row &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.control) << int(r.view) << r.extended
                              << r.dimmed << QString::fromLatin1(r.text);
}

void ContextHelp::controlShowsItsText()
{
    QFETCH(QString, control);
    QFETCH(int, view);
    QFETCH(bool, extendedPage);
    QFETCH(int, dimmed);
    QFETCH(QString, text);

    QWidget *w = Named(control.toLatin1().constData());
    QVERIFY(w);
    ShowView(View(view));
    if (extendedPage) {
        ClickPageSwitch();
        QCOMPARE(int(para), 0);
    }
    if (dimmed) {
        SetCtrlAttribute(panel, dimmed, ATTR_DIMMED, 1);
        QVERIFY(!w->isEnabled());
    }
    QVERIFY(w->isVisible());
    const QPoint at = FreePoint(w);
    QVERIFY2(at.x() >= 0, "the control is covered");

    const QStringList before = PanelState();
    PopupCatcher catcher;
    RightClickAt(w, at);
    QTRY_COMPARE_WITH_TIMEOUT(catcher.count(), 1, 10000);
    QCOMPARE(catcher.popups[0].title, QStringLiteral("Info"));
    QCOMPARE(catcher.popups[0].text, text);
    QCOMPARE(PanelState(), before);
}

void ContextHelp::decorationFollowsPage_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<bool>("extendedPage");
    QTest::addColumn<QString>("text");

    /* place, the basic input's text, the extended input's text */
    const struct {
        int place;
        const char *basic, *extended;
    } places[] = {
        {1, InfoEditThreshold, InfoEditBacklim}, {2, InfoEditHysteresis, InfoEditRegcnt},
        {3, InfoEditTrigger, InfoEditAverage},   {4, InfoEditHold, InfoEditOutmode},
        {5, InfoEditPmod, InfoEditDeadTimeMode}, {6, InfoEditPower, InfoEditDeadTime},
    };
    for (const auto &p : places) {
        QTest::addRow("place %d, basic page", p.place)
            << p.place << false << QString::fromLatin1(p.basic);
        QTest::addRow("place %d, extended page", p.place)
            << p.place << true << QString::fromLatin1(p.extended);
    }
}

void ContextHelp::decorationFollowsPage()
{
    QFETCH(int, place);
    QFETCH(bool, extendedPage);
    QFETCH(QString, text);

    if (extendedPage) ClickPageSwitch();
    QCOMPARE(int(para), extendedPage ? 0 : 1);
    QWidget *deco = Named(QStringLiteral("deco%1").arg(place).toLatin1().constData());
    QVERIFY(deco);
    const QPoint at = FreePoint(deco);
    QVERIFY2(at.x() >= 0, "the decoration is covered");

    const QStringList before = PanelState();
    PopupCatcher catcher;
    RightClickAt(deco, at);
    QTRY_COMPARE_WITH_TIMEOUT(catcher.count(), 1, 10000);
    QCOMPARE(catcher.popups[0].title, QStringLiteral("Info"));
    QCOMPARE(catcher.popups[0].text, text);
    QCOMPARE(PanelState(), before);
}

/* Place 4 through a round trip: hold time, output mode, hold time again. */
void ContextHelp::placeFourAfterSwitching()
{
    QWidget *deco = Named("deco4");
    QVERIFY(deco);
    PopupCatcher catcher;
    RightClickAt(deco, FreePoint(deco));
    ClickPageSwitch();
    RightClickAt(deco, FreePoint(deco));
    ClickPageSwitch();
    RightClickAt(deco, FreePoint(deco));
    QTRY_COMPARE_WITH_TIMEOUT(catcher.count(), 3, 10000);
    QCOMPARE(catcher.popups[0].text, QString::fromLatin1(InfoEditHold));
    QCOMPARE(catcher.popups[1].text, QString::fromLatin1(InfoEditOutmode));
    QCOMPARE(catcher.popups[2].text, QString::fromLatin1(InfoEditHold));
}

QTEST_MAIN(ContextHelp)
#include "tst_context_help.moc"
