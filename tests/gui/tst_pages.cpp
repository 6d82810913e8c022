/* tst_pages.cpp: the basic and extended parameter pages on the real panel: one page of six
** inputs visible after start-up and after every switch, hides before shows, values and
** dimming kept, and hidden inputs still read and written by the parameter transfers.
*/
#include <QtTest>

#include <QComboBox>

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

/* Inputs and labels the operator sees, as the widgets show them (not as recorded). */
QList<int> ShownInputs()
{
    QList<int> shown;
    for (int id : basicPage + extendedPage) {
        QWidget *w = fixture::Widget(id), *label = fixture::LabelOf(id);
        if (w->isVisible()) shown << id;
        if (label && label->isVisible() != w->isVisible()) shown << -id; /* label astray */
    }
    std::sort(shown.begin(), shown.end());
    return shown;
}

QList<int> Sorted(QList<int> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

void ClickPageSwitch()
{
    QTest::mouseClick(fixture::Widget(PANEL_PARA_VISIBLE), Qt::LeftButton);
}

/* Values and dimming of all twelve inputs. */
QStringList InputState()
{
    QStringList s;
    for (int id : basicPage + extendedPage)
        s << QStringLiteral("%1=%2%3")
                 .arg(id)
                 .arg(fixture::IntVal(id))
                 .arg(fixture::Attr(id, ATTR_DIMMED) ? QStringLiteral(" dimmed") : QString());
    return s;
}

/* The operator picks the item of a ring that has `value`, with the arrow keys. */
void ChooseRingValue(int control, int value)
{
    auto *ring = qobject_cast<QComboBox *>(fixture::Widget(control));
    QVERIFY(ring);
    const int index = ring->findData(value);
    QVERIFY(index >= 0);
    ring->setFocus();
    while (ring->currentIndex() < index)
        QTest::keyClick(ring, Qt::Key_Down);
    while (ring->currentIndex() > index)
        QTest::keyClick(ring, Qt::Key_Up);
}

/* Records the order in which the twelve inputs are shown and hidden. */
class ShowHideLog : public QObject
{
  public:
    ShowHideLog()
    {
        for (int id : basicPage + extendedPage) {
            fixture::Widget(id)->installEventFilter(this);
            ids[fixture::Widget(id)] = id;
        }
    }
    QList<int> events; /* +id shown, -id hidden */

  protected:
    bool eventFilter(QObject *obj, QEvent *ev) override
    {
        if (ev->type() == QEvent::Show) events << ids.value(obj);
        if (ev->type() == QEvent::Hide) events << -ids.value(obj);
        return false;
    }

  private:
    QHash<QObject *, int> ids;
};

} // namespace

class Pages : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void startsOnBasicPage();
    void switchShowsOnePage_data();
    void switchShowsOnePage();
    void hidesBeforeShows();
    void commitAtSameValue_data();
    void commitAtSameValue();
    void switchKeepsValuesAndDimming();
    void modeDimmingReachesHiddenPage();
    void hiddenInputsTakePart_data();
    void hiddenInputsTakePart();
    void hiddenInputWrittenByTransfer();
};

void Pages::init()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
}

void Pages::cleanup()
{
    fixture::DiscardRealPanel();
}

void Pages::startsOnBasicPage()
{
    QCOMPARE(int(para), 1);
    QCOMPARE(fixture::IntVal(PANEL_PARA_VISIBLE), 1);
    QCOMPARE(ShownInputs(), Sorted(basicPage));
}

void Pages::switchShowsOnePage_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("page"); /* para afterwards */

    QTest::newRow("to extended") << 1 << 0;
    QTest::newRow("and back") << 2 << 1;
    QTest::newRow("extended again") << 3 << 0;
    QTest::newRow("basic again") << 4 << 1;
}

void Pages::switchShowsOnePage()
{
    QFETCH(int, clicks);
    QFETCH(int, page);

    for (int i = 0; i < clicks; ++i) {
        ClickPageSwitch();
        /* After every switch, not only the last: exactly one page. */
        const bool basic = (i % 2) == 1;
        QCOMPARE(ShownInputs(), Sorted(basic ? basicPage : extendedPage));
        QCOMPARE(int(para), basic ? 1 : 0);
    }
    QCOMPARE(int(para), page);
    QCOMPARE(fixture::IntVal(PANEL_PARA_VISIBLE), page);
    for (int id : basicPage)
        QCOMPARE(fixture::Attr(id, ATTR_VISIBLE), page);
    for (int id : extendedPage)
        QCOMPARE(fixture::Attr(id, ATTR_VISIBLE), 1 - page);
}

/* The two inputs of a place are never visible together: every hide before every show, each
** page in its own order. */
void Pages::hidesBeforeShows()
{
    QList<int> toExtended, toBasic; /* -id hidden, +id shown */
    for (int id : basicPage)
        toExtended << -id;
    for (int id : extendedPage)
        toExtended << id;
    for (int id : extendedPage)
        toBasic << -id;
    for (int id : basicPage)
        toBasic << id;

    ShowHideLog log;
    ClickPageSwitch();
    QCOMPARE(log.events, toExtended);
    log.events.clear();
    ClickPageSwitch();
    QCOMPARE(log.events, toBasic);
}

void Pages::commitAtSameValue_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("basic page") << 1;
    QTest::newRow("extended page") << 0;
}

/* A commit of the switch at the value it already has applies the same page again. */
void Pages::commitAtSameValue()
{
    QFETCH(int, page);
    if (page == 0) ClickPageSwitch();
    const QList<int> shown = ShownInputs();
    const QStringList state = InputState();

    ShowHideLog log;
    CBF_ParaVisible(panel, PANEL_PARA_VISIBLE, EVENT_COMMIT, nullptr, 0, 0);
    QCOMPARE(int(para), page);
    QCOMPARE(ShownInputs(), shown);
    QCOMPARE(log.events, QList<int>());
    QCOMPARE(InputState(), state);
}

void Pages::switchKeepsValuesAndDimming()
{
    /* Values away from the panel's defaults, and a few inputs dimmed by the program. */
    const struct {
        int id, value;
    } values[] = {{PANEL_THRESHOLD, 123}, {PANEL_HYSTERESIS, 141}, {PANEL_POWER, 57},
                  {PANEL_HOLD, 9},        {PANEL_BACKLIM, 33},     {PANEL_REGCNT, 17},
                  {PANEL_AVERAGE, 5},     {PANEL_DEADTIME, 11}};
    for (const auto &v : values)
        SetCtrlVal(panel, v.id, v.value);
    SetCtrlAttribute(panel, PANEL_HOLD, ATTR_DIMMED, 1);
    SetCtrlAttribute(panel, PANEL_AVERAGE, ATTR_DIMMED, 1);
    SetCtrlAttribute(panel, PANEL_POWER, ATTR_DIMMED, 0);
    SetCtrlAttribute(panel, PANEL_REGCNT, ATTR_DIMMED, 1);
    const QStringList state = InputState();
    QVERIFY(state.contains(QStringLiteral("%1=9 dimmed").arg(PANEL_HOLD)));

    for (int i = 0; i < 3; ++i) {
        ClickPageSwitch();
        QCOMPARE(InputState(), state);
    }
}

/* Trigger and power mode chosen on the basic page dim inputs of the hidden extended page at
** once, and the dimming holds when that page is shown. */
void Pages::modeDimmingReachesHiddenPage()
{
    ChooseRingValue(PANEL_TRIGGER, 1); /* external trigger: no dead time */
    QCOMPARE(fixture::IntVal(PANEL_TRIGGER), 1);
    QCOMPARE(fixture::Attr(PANEL_DEADTIMEMODE, ATTR_DIMMED), 1);
    QCOMPARE(fixture::Attr(PANEL_DEADTIME, ATTR_DIMMED), 1);

    ChooseRingValue(PANEL_PMOD, 1); /* dynamic power: the correction interval counts */
    QCOMPARE(fixture::Attr(PANEL_REGCNT, ATTR_DIMMED), 0);
    ChooseRingValue(PANEL_PMOD, 0); /* static power: no power correction */
    QCOMPARE(fixture::IntVal(PANEL_PMOD), 0);
    QCOMPARE(fixture::Attr(PANEL_REGCNT, ATTR_DIMMED), 1);
    QCOMPARE(fixture::Attr(PANEL_REGCNT, ATTR_VISIBLE), 0);

    ClickPageSwitch();
    QCOMPARE(ShownInputs(), Sorted(extendedPage));
    QVERIFY(!fixture::Widget(PANEL_DEADTIMEMODE)->isEnabled());
    QVERIFY(!fixture::Widget(PANEL_DEADTIME)->isEnabled());
    QVERIFY(!fixture::Widget(PANEL_REGCNT)->isEnabled());
    QVERIFY(fixture::Widget(PANEL_BACKLIM)->isEnabled());
}

void Pages::hiddenInputsTakePart_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("typedOnExtended"); /* typed on the extended page, then back */
    QTest::addColumn<QString>("typed");

    QTest::newRow("threshold, hidden by the extended page")
        << int(PANEL_THRESHOLD) << false << QStringLiteral("123");
    QTest::newRow("hold, hidden by the extended page")
        << int(PANEL_HOLD) << false << QStringLiteral("7");
    QTest::newRow("intensity limit, hidden by the basic page")
        << int(PANEL_BACKLIM) << true << QStringLiteral("77");
    QTest::newRow("averaging, hidden by the basic page")
        << int(PANEL_AVERAGE) << true << QStringLiteral("4");
}

/* A value typed into an input and then hidden by a switch is what GetPanelValues reads. */
void Pages::hiddenInputsTakePart()
{
    QFETCH(int, control);
    QFETCH(bool, typedOnExtended);
    QFETCH(QString, typed);

    if (typedOnExtended) ClickPageSwitch();
    fixture::TypeAndEnter(fixture::Widget(control), typed);
    QCOMPARE(fixture::IntVal(control), typed.toInt());
    ClickPageSwitch();
    QVERIFY(!fixture::Widget(control)->isVisible());

    GetPanelValues();
    unsigned char read = 0;
    switch (control) {
    case PANEL_THRESHOLD: read = threshold; break;
    case PANEL_HOLD: read = hold; break;
    case PANEL_BACKLIM: read = backlim; break;
    case PANEL_AVERAGE: read = average; break;
    default: QFAIL("no variable for this control");
    }
    QCOMPARE(int(read), typed.toInt());
}

/* A Get or a file load writes hidden inputs too: they show the values when their page comes. */
void Pages::hiddenInputWrittenByTransfer()
{
    GetPanelValues();
    backlim = 55;
    regcnt = 12;
    average = 6;
    SetPanelValues();
    QCOMPARE(int(para), 1);
    ClickPageSwitch();
    QCOMPARE(fixture::IntVal(PANEL_BACKLIM), 55);
    QCOMPARE(fixture::IntVal(PANEL_REGCNT), 12);
    QCOMPARE(fixture::IntVal(PANEL_AVERAGE), 6);
}

QTEST_MAIN(Pages)
#include "tst_pages.moc"
