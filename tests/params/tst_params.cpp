/* tst_params.cpp: the parameter set on the real panel against the simulator: conversions,
** targets, the settle wait, Get and Send byte for byte, nested operations, the mode rings. */
#include "support/fixture.h"

#include <algorithm>

using namespace fx;

namespace
{

const int R = PANEL_SELECT_RAM, E = PANEL_SELECT_EEPROM, F = PANEL_SELECT_FILE;
const auto Lit = [] { return Ints{Val(R), Val(E), Val(F)}; };
const auto Ring = [] { return Text(PANEL_DEADTIME, ATTR_LABEL_TEXT) + " " + Text(PANEL_DEADTIME); };

/* Power, correction interval, dead-time mode, dead time: whether dimmed. A dimmed input and
** its label name the mode that dims it in their tooltip; an undimmed one has none. */
Ints Dimmed()
{
    const std::pair<int, const char *> rules[] = {{PANEL_POWER, "POWER MODE = DYN"},
                                                  {PANEL_REGCNT, "POWER MODE = STAT"},
                                                  {PANEL_DEADTIMEMODE, "TRIGGER = CONT"},
                                                  {PANEL_DEADTIME, "TRIGGER = CONT"}};
    Ints out;
    for (const auto &[id, by] : rules) {
        const QString tip = W(id)->toolTip();
        const bool told = Val(id, ATTR_DIMMED) ? tip.contains(by) : tip.isEmpty();
        out << (told && ControlLabel(panel, id)->toolTip() == tip ? Val(id, ATTR_DIMMED) : -1);
    }
    return out;
}

/* The colour most of a widget's pixels show as drawn: its face. */
QRgb Face(QWidget *w)
{
    const QImage image = w->grab().toImage();
    QHash<QRgb, int> count;
    for (int y = 0; y < image.height(); y++)
        for (int x = 0; x < image.width(); x++)
            count[image.pixel(x, y) | 0xFF000000]++;
    return std::max_element(count.begin(), count.end()).key();
}

// clang-format off
/* percent = 100 * (46 - raw) / 46, raw = 46 - percent * 46 / 100, both truncated. */
const struct { const char *name; int raw /* -1: set in percent */, percent, rawBack; } powers[] = {
    {"100 %", -1, 100, 0},   {"98 %", -1, 98, 1},   {"50 %", -1, 50, 23},  {"1 %", -1, 1, 46},
    {"0 %", -1, 0, 46},      {"raw 0", 0, 100, 0},  {"raw 1", 1, 97, 2},   {"raw 10", 10, 78, 11},
    {"raw 24", 24, 47, 25},  {"raw 45", 45, 2, 46}, {"raw 46", 46, 0, 46}, {"raw 47", 47, 0, 46},
    {"raw 255", 255, 0, 46},
};
/* lit: RAM, EEPROM, FILE afterwards */
const struct { const char *name; Ints clicks, lit; int target; } toggles[] = {
    {"lit RAM switched off stays RAM", {R}, {1, 0, 0}, RAM}, {"EEPROM on", {E}, {0, 1, 0}, EEPROM},
    {"FILE on", {F}, {0, 0, 1}, DATFILE}, {"RAM on while FILE lit", {F, R}, {1, 0, 0}, RAM},
    {"lit EEPROM switched off gives RAM", {E, E}, {1, 0, 0}, RAM},
    {"lit FILE switched off gives RAM", {F, F}, {1, 0, 0}, RAM},
    {"FILE on while EEPROM lit", {E, F}, {0, 0, 1}, DATFILE},
};
/* switchTo: clicked 0.3 s into the wait, which follows the target at the click */
const struct { const char *name; int toggle, switchTo, command, minMs; } settles[] = {
    {"RAM: command 3 after 0.1 s", R, 0, 3, 100},
    {"EEPROM: command 4 after 1.5 s", E, 0, 4, 1500},
    {"EEPROM, then RAM: command 3 after 1.5 s", E, R, 3, 1500},
};
const struct { const char *name; int toggle; Ints set; int percent, rawBack; Ints dimmed;
               const char *ring; /* empty: not checked */ } transfers[] = {
    {"RAM: raw 0, static, CONT", R, {101, 102, 0, 0, 104, 0, 106, 107, 108, 0, 5, 1, 250, 251, 252},
     100, 0, {0, 1, 0, 0}, "DEAD TIME[%] 30"},
    {"RAM: raw 10, dynamic, EXT, ms", R, {1, 2, 10, 1, 3, 1, 5, 6, 7, 1, 15, 1, 7, 8, 9},
     78, 11, {1, 0, 1, 1}, "DEAD TIME[ms] 30"},
    {"EEPROM: raw 23, extremes", E, {255, 0, 23, 1, 255, 3, 0, 255, 0, 0, 0, 0, 255, 0, 255},
     50, 23, {1, 0, 1, 1}, "DEAD TIME[%] 0"},
    {"EEPROM: raw 46, values no ring lists", E, {1, 2, 46, 9, 3, 7, 5, 6, 7, 200, 40, 5, 0, 0, 1},
     0, 46, {1, 0, 1, 1}, ""},
};
/* late: the outer one's reply to this command 0.5 s late, the inner one given after its
** frame; 0: in the settle wait. sent: every frame */
const struct { const char *name, *outer; int late; const char *inner; Ints sent; } nested[] = {
    {"Get in Get's settle wait", "get eeprom", 0, "get", {4}},
    {"Send in Get's reply wait", "get", 3, "send", {3}},
    {"port commit in Get's reply wait", "get", 3, "port", {3}},
    {"Go in GetBuff's settle wait", "getbuff", 0, "go", {6}},
    {"Get in GetBuff's reply wait", "getbuff", 6, "get", {6}},
    {"GetBuff in the line check", "port", 7, "getbuff", {7, 3}},
    {"Send in the read after the line check", "port", 3, "send", {7, 3}},
};
// clang-format on

void Operate(const QString &w, int port)
{
    if (w == "port") return CommitPort(port);
    Click(w == "go" ? Go : w == "send" ? Send : w == "getbuff" ? GetBuff : Get);
}

} // namespace

class ParameterSet : public QObject
{
    Q_OBJECT
    Sim sim;

  private slots:
    void initTestCase() { QVERIFY(Load() > 0 && Connect(sim, 2)); }
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
    /* After every click exactly one toggle is lit and the target names it; as drawn, the lit
    ** toggle's face differs from the unlit ones'. */
    void toggleRule()
    {
        const auto &r = toggles[Row()];
        QCOMPARE(Lit(), (Ints{1, 0, 0}));
        for (int id : r.clicks) {
            Click(id);
            QCOMPARE(Lit().count(1), 1);
            QCOMPARE(target, Lit()[0] ? int(RAM) : Lit()[1] ? int(EEPROM) : int(DATFILE));
        }
        QCOMPARE(target, r.target);
        const QRgb lit = Face(W(Ints{R, E, F}[r.lit.indexOf(1)]));
        Ints same;
        for (int id : {R, E, F})
            same << int(Face(W(id)) == lit);
        QCOMPARE(same, r.lit);
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
    /* Get shows the set, dimming and dead-time ring; Send writes it back byte for byte (the
    ** power a step higher but at 0, 23, 46), the other memory untouched, the status kept. */
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

    void operationInsideAnother_data() { AddRows(nested); }
    /* An operation given while another waits sends nothing, shows nothing and changes nothing:
    ** the outer one ends as it would alone. Meanwhile the pointer shows busy. */
    void operationInsideAnother()
    {
        const auto &r = nested[Row()];
        const QString outer = r.outer;
        const Ints ram{90, 120, 23, 0, 15, 0, 25, 4, 3, 0, 2, 0, 7, 8, 9},
            eeprom{60, 70, 0, 1, 8, 1, 9, 10, 11, 1, 12, 1, 13, 14, 15},
            edited{5, 6, 80, 0, 7, 0, 8, 9, 10, 0, 11, 0}; /* what a Send would carry */
        QVERIFY(sim.cmd(Line("ram", ram)) && sim.cmd(Line("eeprom", eeprom)));
        if (r.late) QVERIFY(sim.cmd(QString("fault %1 late 500 once").arg(r.late)));
        if (outer == "get eeprom") Click(E);
        SetParams(edited);
        const Ints jump = sim.get("jump");
        const QString status = outer == "port" ? LineOk() : Status();
        const int from = sim.frames().size();
        Popups popups;
        QTimer stop; /* ends a polling loop that should never have started */
        QObject::connect(&stop, &QTimer::timeout, [] { poll = 0; });
        int pointer = -1, given = false;
        When inner([&] { return busy && (!r.late || sim.commands(from).contains(r.late)); },
                   [&] {
                       if (const QCursor *c = QApplication::overrideCursor()) pointer = c->shape();
                       stop.start(3000);
                       Operate(r.inner, 3);
                       given = stop.isActive(); /* returned at once */
                   });
        Operate(outer, 2);
        QVERIFY(given);
        QCOMPARE(sim.commands(from, true), r.sent);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(Status(), status);
        QCOMPARE(com, 2);
        const Ints shown = outer == "get eeprom" ? Ints{60, 70, 100, 1, 8, 1, 9, 10, 11, 1, 12, 1}
                           : outer == "getbuff"  ? edited
                                                 : Ints{90, 120, 50, 0, 15, 0, 25, 4, 3, 0, 2, 0};
        QCOMPARE(Params(), shown);
        if (outer != "getbuff") QCOMPARE(Packet(), outer == "get eeprom" ? eeprom : ram);
        if (outer == "getbuff") QCOMPARE(Ints(jumpbuf, jumpbuf + AnzJump), jump);
        QCOMPARE(pointer, int(Qt::BusyCursor));
        QVERIFY(!QApplication::overrideCursor() && !busy);
    }

    /* Commits re-derive the dimming at once, hidden inputs too (Dimmed: with the reason as
    ** tooltip); the dead-time unit relabels the ring, which keeps the step selected. */
    void operatorCommits()
    {
        QVERIFY(sim.cmd("ram 80 100 10 0 20 0 30 5 4 0 5 0 0 0 0"));
        Click(Get);
        QCOMPARE(Dimmed(), (Ints{0, 1, 0, 0}));
        for (auto [ring, value, dimmed] : {std::tuple{PANEL_PMOD, 1, Ints{1, 0, 0, 0}},
                                           {PANEL_TRIGGER, 2, {1, 0, 1, 1}},
                                           {PANEL_TRIGGER, 0, {1, 0, 0, 0}}}) {
            Choose(ring, value);
            QCOMPARE(Dimmed(), dimmed);
        }
        QCOMPARE(Val(PANEL_REGCNT, ATTR_VISIBLE), 0);
        Click(PANEL_PARA_VISIBLE);
        QCOMPARE(Ring(), QString("DEAD TIME[%] 30"));
        Choose(PANEL_DEADTIMEMODE, 1);
        QCOMPARE(Ring(), QString("DEAD TIME[ms] 10"));
        Click(PANEL_PARA_VISIBLE);
    }
};

QTEST_MAIN(ParameterSet)
#include "tst_params.moc"
