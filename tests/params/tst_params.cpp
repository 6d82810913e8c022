/* tst_params.cpp: the parameter set on the real panel against the simulator: the power
** conversions, the target toggles, the settle wait before a read, Get and Send byte for byte
** with the dimming and dead-time rules, and the operator's commits of the mode rings.
*/
#include "support/fixture.h"

using namespace fx;

namespace
{

const int R = PANEL_SELECT_RAM, E = PANEL_SELECT_EEPROM, F = PANEL_SELECT_FILE;

Ints Lit()
{
    return {Val(R), Val(E), Val(F)};
}

Ints Dimmed()
{
    return {Attr(PANEL_POWER, ATTR_DIMMED), Attr(PANEL_REGCNT, ATTR_DIMMED),
            Attr(PANEL_DEADTIMEMODE, ATTR_DIMMED), Attr(PANEL_DEADTIME, ATTR_DIMMED)};
}

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

    /* percent = 100 * (46 - raw) / 46 and raw = 46 - percent * 46 / 100, both truncated. */
    void percentToRaw_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("raw");
        for (auto r : {Ints{100, 0}, {98, 1}, {97, 2}, {50, 23}, {2, 46}, {1, 46}, {0, 46}})
            QTest::addRow("%d %%", r[0]) << r[0] << r[1];
    }
    void percentToRaw()
    {
        QFETCH(int, percent);
        QFETCH(int, raw);
        SetCtrlVal(panel, PANEL_POWER, percent);
        GetPanelValues();
        QCOMPARE(int(power), raw);
    }
    void rawToPercent_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("rawBack"); /* the percent read back */
        for (auto r : {Ints{0, 100, 0},
                       {1, 97, 2},
                       {10, 78, 11},
                       {23, 50, 23},
                       {24, 47, 25},
                       {45, 2, 46},
                       {46, 0, 46},
                       {47, 0, 46},
                       {255, 0, 46}})
            QTest::addRow("raw %d", r[0]) << r[0] << r[1] << r[2];
    }
    void rawToPercent()
    {
        QFETCH(int, raw);
        QFETCH(int, percent);
        QFETCH(int, rawBack);
        power = static_cast<unsigned char>(raw);
        SetPanelValues();
        QCOMPARE(Val(PANEL_POWER), percent);
        GetPanelValues();
        QCOMPARE(int(power), rawBack);
    }

    void toggles_data()
    {
        QTest::addColumn<Ints>("clicks");
        QTest::addColumn<Ints>("lit"); /* RAM, EEPROM, FILE afterwards */
        QTest::addColumn<int>("result");
        QTest::newRow("lit RAM switched off stays RAM") << Ints{R} << Ints{1, 0, 0} << int(RAM);
        QTest::newRow("EEPROM on") << Ints{E} << Ints{0, 1, 0} << int(EEPROM);
        QTest::newRow("FILE on") << Ints{F} << Ints{0, 0, 1} << int(DATFILE);
        QTest::newRow("lit EEPROM switched off gives RAM") << Ints{E, E} << Ints{1, 0, 0} << 1;
        QTest::newRow("lit FILE switched off gives RAM") << Ints{F, F} << Ints{1, 0, 0} << 1;
        QTest::newRow("FILE on while EEPROM lit") << Ints{E, F} << Ints{0, 0, 1} << int(DATFILE);
        QTest::newRow("EEPROM on while FILE lit") << Ints{F, E} << Ints{0, 1, 0} << int(EEPROM);
        QTest::newRow("RAM on while FILE lit") << Ints{F, R} << Ints{1, 0, 0} << int(RAM);
    }
    /* After every click exactly one toggle is lit and the target names it. */
    void toggles()
    {
        QFETCH(Ints, clicks);
        QFETCH(Ints, lit);
        QFETCH(int, result);
        QCOMPARE(Lit(), (Ints{1, 0, 0}));
        for (int id : clicks) {
            Click(id);
            QCOMPARE(Lit().count(1), 1);
            QCOMPARE(target, Lit()[0] ? int(RAM) : Lit()[1] ? int(EEPROM) : int(DATFILE));
        }
        QCOMPARE(Lit(), lit);
        QCOMPARE(target, result);
    }

    void settleWait_data()
    {
        QTest::addColumn<int>("toggle");   /* lit at the click */
        QTest::addColumn<int>("switchTo"); /* clicked 0.3 s after it, or 0 */
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("minMs");
        QTest::newRow("RAM: command 3 after 0.1 s") << R << 0 << 3 << 100;
        QTest::newRow("EEPROM: command 4 after 1.5 s") << E << 0 << 4 << 1500;
        /* the wait follows the target at the click, the command the target after it */
        QTest::newRow("EEPROM, then RAM: command 3 after 1.5 s") << E << R << 3 << 1500;
    }
    void settleWait()
    {
        QFETCH(int, toggle);
        QFETCH(int, switchTo);
        QFETCH(int, command);
        QFETCH(int, minMs);
        if (toggle != R) Click(toggle);
        if (switchTo) QTimer::singleShot(300, [=] { Click(switchTo); });
        const int from = sim.frames().size();
        qint64 at = -1;
        QElapsedTimer clock;
        When seen([&] { return sim.frames().size() > from; }, [&] { at = clock.elapsed(); });
        QVERIFY(sim.cmd(QString("fault %1 late 200 once").arg(command))); /* frame noted first */
        clock.start();
        Click(Get);
        QVERIFY2(at >= minMs, qPrintable(QString::number(at)));
        QCOMPARE(sim.commands(from), Ints{command});
    }

    void getAndSend_data()
    {
        QTest::addColumn<int>("toggle");
        QTest::addColumn<Ints>("set");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("rawBack");
        QTest::addColumn<Ints>("dimmed");  /* power, interval, dead-time mode, dead time */
        QTest::addColumn<QString>("ring"); /* empty: not checked */
        QTest::newRow("RAM: raw 0, static, continuous")
            << R << Ints{101, 102, 0, 0, 104, 0, 106, 107, 108, 0, 5, 1, 250, 251, 252} << 100 << 0
            << Ints{0, 1, 0, 0} << "DEAD TIME[%] 30";
        QTest::newRow("RAM: raw 10, dynamic, EXT, dead time in ms")
            << R << Ints{1, 2, 10, 1, 3, 1, 5, 6, 7, 1, 15, 1, 7, 8, 9} << 78 << 11
            << Ints{1, 0, 1, 1} << "DEAD TIME[ms] 30";
        QTest::newRow("EEPROM: raw 23, extremes")
            << E << Ints{255, 0, 23, 1, 255, 3, 0, 255, 0, 0, 0, 0, 255, 0, 255} << 50 << 23
            << Ints{1, 0, 1, 1} << "DEAD TIME[%] 0";
        QTest::newRow("EEPROM: raw 46, values no ring lists")
            << E << Ints{1, 2, 46, 9, 3, 7, 5, 6, 7, 200, 40, 5, 0, 0, 1} << 0 << 46
            << Ints{1, 0, 1, 1} << "";
    }
    /* Get shows the sensor's set and re-derives the dimming and the dead-time ring; Send
    ** writes it back byte for byte, spare bytes too, the power one step higher but at 0, 23
    ** and 46; the other memory is untouched. A write the port takes shows nothing: the status
    ** line keeps an earlier "TIMEOUT". */
    void getAndSend()
    {
        QFETCH(int, toggle);
        QFETCH(Ints, set);
        QFETCH(int, percent);
        QFETCH(int, rawBack);
        QFETCH(Ints, dimmed);
        QFETCH(QString, ring);
        const char *memory = toggle == R ? "ram" : "eeprom",
                   *other = toggle == R ? "eeprom" : "ram";
        QVERIFY(sim.cmd(Sim::set(memory, set)));
        if (toggle != R) Click(toggle);
        const Ints untouched = sim.get(other);
        SetCtrlVal(panel, PANEL_STATUS, "TIMEOUT");
        const int from = sim.frames().size();
        Popups popups;
        Click(Get);
        QCOMPARE(Packet(), set);
        QCOMPARE(Vars(), set);
        QCOMPARE(Val(PANEL_POWER), percent);
        QCOMPARE(Dimmed(), dimmed);
        if (!ring.isEmpty())
            QCOMPARE(Text(PANEL_DEADTIME, ATTR_LABEL_TEXT) + " " + Text(PANEL_DEADTIME), ring);
        Click(Send);
        set[2] = rawBack;
        QVERIFY(sim.waitFrames(from + 2));
        QCOMPARE(sim.frames()[from + 1], Sim::frame(toggle == R ? 1 : 2, set));
        QCOMPARE(sim.commands(from), (Ints{toggle == R ? 3 : 4, toggle == R ? 1 : 2}));
        QCOMPARE(sim.get(memory), set);
        QCOMPARE(sim.get(other), untouched);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(Status(), QString("TIMEOUT"));
    }

    /* The operator's commits re-derive at once, the hidden interval's dimming too; the
    ** dead-time unit relabels the ring and the next packet still carries the same step. */
    void operatorCommits()
    {
        QVERIFY(sim.cmd("ram 80 100 10 0 20 0 30 5 4 0 5 0 0 0 0"));
        Click(Get);
        QCOMPARE(Dimmed(), (Ints{0, 1, 0, 0}));
        Choose(PANEL_PMOD, 1);
        QCOMPARE(Dimmed(), (Ints{1, 0, 0, 0}));
        QCOMPARE(Attr(PANEL_REGCNT, ATTR_VISIBLE), 0);
        Choose(PANEL_TRIGGER, 2);
        QCOMPARE(Dimmed(), (Ints{1, 0, 1, 1}));
        Choose(PANEL_TRIGGER, 0);
        QCOMPARE(Dimmed(), (Ints{1, 0, 0, 0}));
        Click(PANEL_PARA_VISIBLE);
        QCOMPARE(Text(PANEL_DEADTIME, ATTR_LABEL_TEXT) + " " + Text(PANEL_DEADTIME),
                 QString("DEAD TIME[%] 30"));
        Choose(PANEL_DEADTIMEMODE, 1);
        QCOMPARE(Text(PANEL_DEADTIME, ATTR_LABEL_TEXT) + " " + Text(PANEL_DEADTIME),
                 QString("DEAD TIME[ms] 10"));
        Click(PANEL_PARA_VISIBLE);
        const int from = sim.frames().size();
        Click(Send);
        QVERIFY(sim.waitFrames(from + 1));
        QCOMPARE(sim.frames()[from].mid(2),
                 (Ints{80, 100, 11, 1, 20, 0, 30, 5, 4, 1, 5, 0, 0, 0, 0}));
    }
};

QTEST_MAIN(ParameterSet)
#include "tst_params.moc"
