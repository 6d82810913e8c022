/* tst_params.cpp: the parameter set on the real panel against the simulator: the power
** conversions, the target toggles and the lit one drawn apart, the settle wait before a read,
** Get and Send byte for byte with the dimming and dead-time rules, and the operator's commits
** of the mode rings.
*/
#include "support/fixture.h"

#include <QToolTip>

using namespace fx;

namespace
{

const int R = PANEL_SELECT_RAM, E = PANEL_SELECT_EEPROM, F = PANEL_SELECT_FILE;

Ints Lit()
{
    return {Val(R), Val(E), Val(F)};
}

/* Power, correction interval, dead-time mode, dead time: whether dimmed. A dimmed input and
** its label name the mode that dims it in their tooltip; an undimmed one has none. */
Ints Dimmed()
{
    const struct {
        int id;
        const char *by;
    } rules[] = {{PANEL_POWER, "POWER MODE = DYN"},
                 {PANEL_REGCNT, "POWER MODE = STAT"},
                 {PANEL_DEADTIMEMODE, "TRIGGER = CONT"},
                 {PANEL_DEADTIME, "TRIGGER = CONT"}};
    Ints out;
    for (const auto &r : rules) {
        const QString tip = W(r.id)->toolTip();
        const bool told = Attr(r.id, ATTR_DIMMED) ? tip.contains(r.by) : tip.isEmpty();
        out << (told && ControlLabel(panel, r.id)->toolTip() == tip ? Attr(r.id, ATTR_DIMMED) : -1);
    }
    return out;
}

QString Ring()
{
    return Text(PANEL_DEADTIME, ATTR_LABEL_TEXT) + " " + Text(PANEL_DEADTIME);
}

/* percent = 100 * (46 - raw) / 46, raw = 46 - percent * 46 / 100, both truncated. */
const struct {
    const char *name;
    int raw, percent, rawBack; /* -1: that way not checked */
} powers[] = {
    {"100 %", -1, 100, 0}, {"98 %", -1, 98, 1},    {"97 %", -1, 97, 2},    {"50 %", -1, 50, 23},
    {"2 %", -1, 2, 46},    {"1 %", -1, 1, 46},     {"0 %", -1, 0, 46},     {"raw 0", 0, 100, 0},
    {"raw 1", 1, 97, 2},   {"raw 10", 10, 78, 11}, {"raw 23", 23, 50, 23}, {"raw 24", 24, 47, 25},
    {"raw 45", 45, 2, 46}, {"raw 46", 46, 0, 46},  {"raw 47", 47, 0, 46},  {"raw 255", 255, 0, 46},
};

const struct {
    const char *name;
    Ints clicks, lit; /* lit: RAM, EEPROM, FILE afterwards */
    int target;
} toggles[] = {
    {"lit RAM switched off stays RAM", {R}, {1, 0, 0}, RAM},
    {"EEPROM on", {E}, {0, 1, 0}, EEPROM},
    {"FILE on", {F}, {0, 0, 1}, DATFILE},
    {"lit EEPROM switched off gives RAM", {E, E}, {1, 0, 0}, RAM},
    {"lit FILE switched off gives RAM", {F, F}, {1, 0, 0}, RAM},
    {"FILE on while EEPROM lit", {E, F}, {0, 0, 1}, DATFILE},
    {"EEPROM on while FILE lit", {F, E}, {0, 1, 0}, EEPROM},
    {"RAM on while FILE lit", {F, R}, {1, 0, 0}, RAM},
};

const struct {
    const char *name;
    int toggle, switchTo, command, minMs; /* switchTo: clicked 0.3 s after, or 0 */
} settles[] = {
    {"RAM: command 3 after 0.1 s", R, 0, 3, 100},
    {"EEPROM: command 4 after 1.5 s", E, 0, 4, 1500},
    /* the wait follows the target at the click, the command the target after it */
    {"EEPROM, then RAM: command 3 after 1.5 s", E, R, 3, 1500},
};

const struct {
    const char *name;
    int toggle;
    Ints set;
    int percent, rawBack;
    Ints dimmed;
    const char *ring; /* empty: not checked */
} transfers[] = {
    {"RAM: raw 0, static, continuous",
     R,
     {101, 102, 0, 0, 104, 0, 106, 107, 108, 0, 5, 1, 250, 251, 252},
     100,
     0,
     {0, 1, 0, 0},
     "DEAD TIME[%] 30"},
    {"RAM: raw 10, dynamic, EXT, dead time in ms",
     R,
     {1, 2, 10, 1, 3, 1, 5, 6, 7, 1, 15, 1, 7, 8, 9},
     78,
     11,
     {1, 0, 1, 1},
     "DEAD TIME[ms] 30"},
    {"EEPROM: raw 23, extremes",
     E,
     {255, 0, 23, 1, 255, 3, 0, 255, 0, 0, 0, 0, 255, 0, 255},
     50,
     23,
     {1, 0, 1, 1},
     "DEAD TIME[%] 0"},
    {"EEPROM: raw 46, values no ring lists",
     E,
     {1, 2, 46, 9, 3, 7, 5, 6, 7, 200, 40, 5, 0, 0, 1},
     0,
     46,
     {1, 0, 1, 1},
     ""},
};

} // namespace

class ParameterSet : public QObject
{
    Q_OBJECT
    Sim sim;

  private slots:
    void initTestCase()
    {
        QVERIFY(Load() > 0);
        QVERIFY(Connect(sim, 2));
    }
    void cleanupTestCase() { Discard(); }
    void cleanup()
    {
        if (!Val(R)) Click(R);
    }

    void powerConversions_data() { AddRows(powers); }
    void powerConversions()
    {
        const auto &r = powers[Row()];
        power = static_cast<unsigned char>(r.raw);
        if (r.raw >= 0) SetPanelValues();
        if (r.raw < 0) SetCtrlVal(panel, PANEL_POWER, r.percent);
        QCOMPARE(Val(PANEL_POWER), r.percent);
        GetPanelValues();
        QCOMPARE(int(power), r.rawBack);
    }

    void toggleRule_data() { AddRows(toggles); }
    /* After every click exactly one toggle is lit and the target names it. */
    void toggleRule()
    {
        const auto &r = toggles[Row()];
        QCOMPARE(Lit(), (Ints{1, 0, 0}));
        for (int id : r.clicks) {
            Click(id);
            QCOMPARE(Lit().count(1), 1);
            QCOMPARE(target, Lit()[0] ? int(RAM) : Lit()[1] ? int(EEPROM) : int(DATFILE));
        }
        QCOMPARE(Lit(), r.lit);
        QCOMPARE(target, r.target);
    }

    /* As drawn: the lit toggle's face stands at 3:1 or more from the unlit ones', the text on
    ** each at 4.5:1 or more; the lit face moves with the click. */
    void litToggleStandsOut()
    {
        const Colours lit = Drawn(W(R)), unlit = Drawn(W(F));
        QVERIFY2(Contrast(lit.face, unlit.face) >= 3.0,
                 qPrintable(QString::number(Contrast(lit.face, unlit.face))));
        QVERIFY(Contrast(lit.ink, lit.face) >= 4.5 && Contrast(unlit.ink, unlit.face) >= 4.5);
        Click(E);
        QCOMPARE(Drawn(W(E)).face, lit.face);
        QCOMPARE(Drawn(W(R)).face, unlit.face);
    }

    void settleWait_data() { AddRows(settles); }
    void settleWait()
    {
        const auto &r = settles[Row()];
        if (r.toggle != R) Click(r.toggle);
        if (r.switchTo) QTimer::singleShot(300, [&r] { Click(r.switchTo); });
        const int from = sim.frames().size();
        QElapsedTimer clock;
        qint64 at = -1;
        When seen([&] { return sim.frames().size() > from; }, [&] { at = clock.elapsed(); });
        QVERIFY(sim.cmd(QString("fault %1 late 200 once").arg(r.command))); /* time to see it */
        clock.start();
        Click(Get);
        QVERIFY2(at >= r.minMs, qPrintable(QString::number(at)));
        QCOMPARE(sim.commands(from), Ints{r.command});
    }

    void getAndSend_data() { AddRows(transfers); }
    /* Get shows the sensor's set and re-derives the dimming and the dead-time ring; Send
    ** writes it back byte for byte, spare bytes too, the power one step higher but at 0, 23
    ** and 46; the other memory is untouched. A write the port takes shows nothing: the status
    ** line keeps an earlier "TIMEOUT". */
    void getAndSend()
    {
        const auto &r = transfers[Row()];
        const bool ram = r.toggle == R;
        const char *memory = ram ? "ram" : "eeprom", *other = ram ? "eeprom" : "ram";
        QVERIFY(sim.cmd(Line(memory, r.set)));
        if (!ram) Click(r.toggle);
        const Ints untouched = sim.get(other);
        SetCtrlVal(panel, PANEL_STATUS, "TIMEOUT");
        const Ints packet = Packet();
        const int from = sim.frames().size();
        Popups popups;
        Click(Get);
        QCOMPARE(Packet(), r.set);
        QCOMPARE(Vars(), r.set);
        QCOMPARE(Val(PANEL_POWER), r.percent);
        QCOMPARE(Dimmed(), r.dimmed);
        if (*r.ring) QCOMPARE(Ring(), QString(r.ring));
        Click(Send);
        Ints back = r.set;
        back[2] = r.rawBack;
        QVERIFY(sim.waitFrames(from + 2));
        QCOMPARE(sim.frames().mid(from),
                 (QList<Ints>{Sim::frame(ram ? 3 : 4, packet), Sim::frame(ram ? 1 : 2, back)}));
        QCOMPARE(sim.get(memory), back);
        QCOMPARE(sim.get(other), untouched);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(Status(), QString("TIMEOUT"));
    }

    /* The operator's commits re-derive at once, the hidden interval's dimming too, and a dimmed
    ** input tells why when hovered; the dead-time unit relabels the ring and the next packet
    ** still carries the same step. */
    void operatorCommits()
    {
        QVERIFY(sim.cmd("ram 80 100 10 0 20 0 30 5 4 0 5 0 0 0 0"));
        Click(Get);
        QCOMPARE(Dimmed(), (Ints{0, 1, 0, 0}));
        const Colours undimmed = Drawn(ControlLabel(panel, PANEL_POWER));
        Choose(PANEL_PMOD, 1);
        QCOMPARE(Dimmed(), (Ints{1, 0, 0, 0}));
        QCOMPARE(Attr(PANEL_REGCNT, ATTR_VISIBLE), 0);
        Choose(PANEL_TRIGGER, 2);
        QCOMPARE(Dimmed(), (Ints{1, 0, 1, 1}));
        Choose(PANEL_TRIGGER, 0);
        QCOMPARE(Dimmed(), (Ints{1, 0, 0, 0}));
        /* hovering the dimmed power input shows why; its label stays readable, paler */
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), W(PANEL_POWER)->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(W(PANEL_POWER), &hover);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains("POWER MODE = DYN"), qPrintable(QToolTip::text()));
        QToolTip::hideText();
        const Colours dimmed = Drawn(ControlLabel(panel, PANEL_POWER));
        QVERIFY(Contrast(dimmed.ink, dimmed.face) >= 4.5);
        QVERIFY(Contrast(dimmed.ink, dimmed.face) < Contrast(undimmed.ink, undimmed.face));
        Click(PANEL_PARA_VISIBLE);
        QCOMPARE(Ring(), QString("DEAD TIME[%] 30"));
        Choose(PANEL_DEADTIMEMODE, 1);
        QCOMPARE(Ring(), QString("DEAD TIME[ms] 10"));
        Click(PANEL_PARA_VISIBLE);
        const int from = sim.frames().size();
        Click(Send);
        QVERIFY(sim.waitFrames(from + 1));
        QCOMPARE(sim.frames()[from],
                 Sim::frame(1, {80, 100, 11, 1, 20, 0, 30, 5, 4, 1, 5, 0, 0, 0, 0}));
    }
};

QTEST_MAIN(ParameterSet)
#include "tst_params.moc"
