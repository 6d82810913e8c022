/* tst_pages.cpp: the basic and extended parameter pages on the real panel: exactly one page of
** six inputs shown after start-up and every switch, hides before shows, nothing moved, values
** and dimming kept, a value typed into an input now hidden still read by GetPanelValues, and
** every text of the panel inside its control at four text sizes.
*/
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOption>

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

/* The texts a control can show and the room it has for them, as its style lays it out. */
struct Room {
    QStringList texts;
    QRect room;
};

Room RoomOf(QWidget *w)
{
    QStyle *style = w->style();
    if (auto *label = qobject_cast<QLabel *>(w)) {
        if (label->wordWrap() || !label->pixmap().isNull()) return {};
        return {{label->text()},
                label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                               -label->margin())};
    }
    if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = button->text();
        const bool box = qobject_cast<QCheckBox *>(w);
        return {
            {button->text()},
            style->subElementRect(box ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents,
                                  &opt, button)};
    }
    if (auto *ring = qobject_cast<QComboBox *>(w)) {
        QStyleOptionComboBox opt;
        opt.initFrom(ring);
        QStringList items;
        for (int i = 0; i < ring->count(); i++)
            items << ring->itemText(i);
        return {items, style->subControlRect(QStyle::CC_ComboBox, &opt,
                                             QStyle::SC_ComboBoxEditField, ring)};
    }
    if (auto *spin = qobject_cast<QSpinBox *>(w)) {
        QStyleOptionSpinBox opt;
        opt.initFrom(spin);
        opt.buttonSymbols = spin->buttonSymbols();
        opt.frame = spin->hasFrame();
        opt.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField;
        if (opt.buttonSymbols != QAbstractSpinBox::NoButtons)
            opt.subControls |= QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        // The edit keeps 2 pixels either side of its text.
        const QRect edit =
            style->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxEditField, spin)
                .adjusted(2, 0, -2, 0);
        QStringList extremes;
        for (int v : {spin->minimum(), spin->maximum()})
            extremes << spin->prefix() + QString::number(v) + spin->suffix();
        return {extremes, edit};
    }
    if (auto *line = qobject_cast<QLineEdit *>(w))
        return {{line->text()}, line->contentsRect().adjusted(2, 0, -2, 0)};
    return {};
}

/* Every text of the panel that does not fit its control, as "text (needed > room)". */
QStringList Clipped()
{
    QStringList out;
    for (QWidget *w : fixture::PanelWindow()->findChildren<QWidget *>()) {
        if (qobject_cast<QSpinBox *>(w->parentWidget()) ||
            qobject_cast<QComboBox *>(w->parentWidget()))
            continue; // parts of a control
        const Room r = RoomOf(w);
        const QFontMetrics fm(w->font());
        for (const QString &t : r.texts)
            if (fm.horizontalAdvance(t) > r.room.width() || fm.height() > r.room.height())
                out << QStringLiteral("%1 (%2x%3 > %4x%5)")
                           .arg(t)
                           .arg(fm.horizontalAdvance(t))
                           .arg(fm.height())
                           .arg(r.room.width())
                           .arg(r.room.height());
    }
    return out;
}

} // namespace

class Pages : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { font = QApplication::font(); }
    void init() { QVERIFY(fixture::LoadRealPanel() > 0); }
    void cleanup()
    {
        fixture::DiscardRealPanel();
        QApplication::setFont(font);
    }
    void switchShowsOnePage();
    void switchKeepsValuesAndDimming();
    void hiddenInputIsRead_data();
    void hiddenInputIsRead();
    void textsFit_data();
    void textsFit();

  private:
    QFont font; /* the application's own */
};

/* Start-up shows the basic page; each of four switches shows the other page alone, its
** inputs shown only after all of the old page's are hidden, each page in its own order, in
** the place of the inputs it hides: nothing on the panel moves. */
void Pages::switchShowsOnePage()
{
    QCOMPARE(int(para), 1);
    QCOMPARE(ShownInputs(), Set(basicPage));
    const QList<QRect> geometry = fixture::Geometry();
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
        QCOMPARE(fixture::Geometry(), geometry);
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

void Pages::textsFit_data()
{
    QTest::addColumn<double>("scale");
    QTest::newRow("1x") << 1.0;
    QTest::newRow("1.25x") << 1.25;
    QTest::newRow("1.5x") << 1.5;
    QTest::newRow("2x") << 2.0;
}

/* With the text `scale` times its size (QT_SCALE_FACTOR grows controls and text alike; a
** larger desktop font grows the text alone), the window at its smallest, on both pages and
** with the dead-time unit in ms (the longer label): no text is wider or taller than the room
** its control gives it. Hidden controls keep their room and are measured too. */
void Pages::textsFit()
{
    QFETCH(double, scale);
    fixture::DiscardRealPanel();
    QFont larger = font;
    larger.setPointSizeF(font.pointSizeF() * scale);
    QApplication::setFont(larger);
    QVERIFY(fixture::LoadRealPanel() > 0);
    QWidget *window = fixture::PanelWindow();
    SetCtrlVal(panel, PANEL_DEADTIMEMODE, 1);
    CBF_EditDeadTimeMode(panel, PANEL_DEADTIMEMODE, EVENT_COMMIT, nullptr, 0, 0);
    for (int page = 0; page < 2; page++) {
        window->resize(1, 1);
        QTRY_COMPARE(window->size(), window->minimumSize());
        const QStringList clipped = Clipped();
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(", "))));
        ClickPageSwitch();
    }
}

QTEST_MAIN(Pages)
#include "tst_pages.moc"
