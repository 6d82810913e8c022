/* tst_pages.cpp: the basic and extended parameter pages on the real panel: exactly one page of
** six inputs shown after start-up and every switch, hides before shows, values and dimming
** kept, and a value typed into an input now hidden still read by GetPanelValues.
*/
#include <QtTest>

#include "gui/gui.h"
#include "params/params.h"
#include "support/panelfixture.h"

using namespace vr;

namespace
{

/* The inputs of each page in the order the page operations touch them. */
const QList<int> basicPage = {PANEL_THRESHOLD, PANEL_HYSTERESIS, PANEL_TRIGGER,
                              PANEL_PMOD,      PANEL_POWER,      PANEL_HOLD};
const QList<int> extendedPage = {PANEL_BACKLIM, PANEL_REGCNT,       PANEL_AVERAGE,
                                 PANEL_OUTMODE, PANEL_DEADTIMEMODE, PANEL_DEADTIME};

/* Inputs the operator sees, as the widgets show them; -id for a label astray. */
QSet<int> ShownInputs()
{
    QSet<int> shown;
    for (int id : basicPage + extendedPage) {
        QWidget *w = fixture::Widget(id), *label = fixture::LabelOf(id);
        if (w->isVisible()) shown << id;
        if (label && label->isVisible() != w->isVisible()) shown << -id;
    }
    return shown;
}

QSet<int> Set(const QList<int> &ids)
{
    return QSet<int>(ids.begin(), ids.end());
}

/* Value and dimming of the twelve inputs, as the widgets show them. */
QStringList InputState()
{
    QStringList s;
    for (int id : basicPage + extendedPage)
        s << QStringLiteral("%1=%2%3")
                 .arg(id)
                 .arg(fixture::IntVal(id))
                 .arg(fixture::Widget(id)->isEnabled() ? "" : " dimmed");
    return s;
}

void ClickPageSwitch()
{
    QTest::mouseClick(fixture::Widget(PANEL_PARA_VISIBLE), Qt::LeftButton);
}

/* Records, in order, +id when one of the twelve inputs is shown and -id when it is hidden. */
struct ShowHideLog : QObject {
    QList<int> events;
    ShowHideLog()
    {
        for (int id : basicPage + extendedPage)
            fixture::Widget(id)->installEventFilter(this);
    }
    bool eventFilter(QObject *obj, QEvent *ev) override
    {
        const int id = ControlIdOf(static_cast<QWidget *>(obj));
        if (ev->type() == QEvent::Show) events << id;
        if (ev->type() == QEvent::Hide) events << -id;
        return false;
    }
};

} // namespace

class Pages : public QObject
{
    Q_OBJECT

  private slots:
    void init() { QVERIFY(fixture::LoadRealPanel() > 0); }
    void cleanup() { fixture::DiscardRealPanel(); }
    void switchShowsOnePage();
    void switchKeepsValuesAndDimming();
    void hiddenInputIsRead_data();
    void hiddenInputIsRead();
};

/* Start-up shows the basic page; each of four switches shows the other page alone, its
** inputs shown only after all of the old page's are hidden, each page in its own order. */
void Pages::switchShowsOnePage()
{
    QCOMPARE(int(para), 1);
    QCOMPARE(ShownInputs(), Set(basicPage));
    for (int i = 1; i <= 4; ++i) {
        const bool basic = i % 2 == 0;
        const QList<int> &from = basic ? extendedPage : basicPage,
                         &to = basic ? basicPage : extendedPage;
        QList<int> order;
        for (int id : from)
            order << -id;
        order << to;
        ShowHideLog log;
        ClickPageSwitch();
        QCOMPARE(log.events, order);
        QCOMPARE(ShownInputs(), Set(to));
        QCOMPARE(int(para), basic ? 1 : 0);
        QCOMPARE(fixture::IntVal(PANEL_PARA_VISIBLE), basic ? 1 : 0);
    }
}

void Pages::switchKeepsValuesAndDimming()
{
    /* Values away from the start values, a dimmed input on each page and an undimmed one. */
    const int values[][2] = {{PANEL_THRESHOLD, 123}, {PANEL_HYSTERESIS, 141}, {PANEL_POWER, 57},
                             {PANEL_HOLD, 9},        {PANEL_BACKLIM, 33},     {PANEL_REGCNT, 17},
                             {PANEL_AVERAGE, 5},     {PANEL_DEADTIME, 11}};
    for (const auto &v : values)
        SetCtrlVal(panel, v[0], v[1]);
    SetCtrlAttribute(panel, PANEL_HOLD, ATTR_DIMMED, 1);
    SetCtrlAttribute(panel, PANEL_AVERAGE, ATTR_DIMMED, 1);
    SetCtrlAttribute(panel, PANEL_POWER, ATTR_DIMMED, 0);
    SetCtrlAttribute(panel, PANEL_REGCNT, ATTR_DIMMED, 1);
    const QStringList state = InputState();
    QVERIFY(state.contains(QStringLiteral("%1=9 dimmed").arg(PANEL_HOLD)));
    QVERIFY(state.contains(QStringLiteral("%1=17 dimmed").arg(PANEL_REGCNT)));
    QVERIFY(state.contains(QStringLiteral("%1=57").arg(PANEL_POWER)));

    for (int i = 0; i < 3; ++i) {
        ClickPageSwitch();
        QCOMPARE(InputState(), state);
    }
}

void Pages::hiddenInputIsRead_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("onExtended"); /* typed on the extended page, then back */
    QTest::addColumn<int>("typed");
    QTest::newRow("threshold") << int(PANEL_THRESHOLD) << false << 123;
    QTest::newRow("intensity limit") << int(PANEL_BACKLIM) << true << 77;
}

/* A value typed into an input, which a switch then hides, is what GetPanelValues reads. */
void Pages::hiddenInputIsRead()
{
    QFETCH(int, control);
    QFETCH(bool, onExtended);
    QFETCH(int, typed);
    if (onExtended) ClickPageSwitch();
    fixture::TypeAndEnter(fixture::Widget(control), QString::number(typed));
    ClickPageSwitch();
    QVERIFY(!fixture::Widget(control)->isVisible());

    GetPanelValues();
    QCOMPARE(int(control == PANEL_THRESHOLD ? threshold : backlim), typed);
}

QTEST_MAIN(Pages)
#include "tst_pages.moc"
