/* tst_link.cpp: the sensor link against the simulator: the fault table, port commits and
** open texts, the vanished device, port numbering, bounded reads and input queue. */
#include "support/fixture.h"

#include <QSerialPort>
#include <array>

using namespace fx;

namespace
{

enum Op { LineCheck, GetRam, GetEeprom, GetBuffer, Polling };
const int Port = 4, R = PANEL_SELECT_RAM, E = PANEL_SELECT_EEPROM, F = PANEL_SELECT_FILE;
// clang-format off
/* faults: all the fast ones; a slow one (silent, short, late: 3.0 s) is met once or twice */
const struct { const char *name; int command, replyLen; const char *source, *faults; } ops[] = {
    {"line check", 7, AnzLineCheck, "ram", "silent long split wrong"},
    {"Get RAM", 3, AnzPara, "ram", "short late long split wrong"},
    {"Get EEPROM", 4, AnzPara, "eeprom", "long split"},
    {"GetBuff", 6, AnzJump, "jump", "short long split wrong"},
    {"polling cycle", 5, AnzData, "data", "silent long split wrong"},
};
const QMap<QString, QString> faultArgs{{"silent", "silent"}, {"short", "short"}, {"long", "long"},
    {"split", "split 1 300"}, {"late", "late 3400"}, {"wrong", "wrong"}};
const struct { const char *name, *device, *status /* null: LINE OK */; int lit; } opens[] = {
    {"no such device", "none", "No serial port found", R},
    {"held by another program", "held", "Cannot open port", R},
    {"a regular file", "file", "Unknown system error", R},
    {"port 255 answers, EEPROM lit: EEPROM read", "sim", nullptr, E},
    {"port 255 answers, FILE lit: RAM read", "sim", nullptr, F},
};
/* overridden: VELTRAV20_COM<n> names the simulator (0: none); ports: 1, 2, ..; first: port 1's */
const struct { const char *name, *system; int overridden; const char *ports, *first; }
numberings[] = {
    {"built-in ports by their numbers", "ttyS1;ttyS10;ttyS0;ttyS2", 0,
     "/dev/ttyS0 /dev/ttyS1 /dev/ttyS2 /dev/ttyS10", "built-in serial"},
    {"one adapter", "ttyUSB0=FT232R USB UART", 0, "/dev/ttyUSB0",
     "USB serial \u00B7 FT232R USB UART"},
    {"built-in first, then adapters by name", "ttyUSB1;ttyACM0=Sensor Link;ttyS1;ttyUSB0;ttyS0", 0,
     "/dev/ttyS0 /dev/ttyS1 /dev/ttyACM0 /dev/ttyUSB0 /dev/ttyUSB1", "built-in serial"},
    {"ttyUSB2 before ttyUSB10", "ttyUSB10;ttyUSB2", 0, "/dev/ttyUSB2 /dev/ttyUSB10", "USB serial"},
    {"VELTRAV20_COM2 overrides the second", "ttyS0;ttyS1;ttyS2", 2, "/dev/ttyS0 sim /dev/ttyS2",
     "built-in serial"},
    {"no serial port", "", 0, "", ""},
};
// clang-format on

} // namespace

class Link : public QObject
{
    Q_OBJECT
    Sim sim;
    int rows = 0;

  private slots:
    void initTestCase() { QVERIFY(Load() > 0); }
    void cleanupTestCase() { Discard(); }
    void init()
    {
        SetCtrlVal(panel, PANEL_SOURCE, 1);
        if (!Val(R)) Click(R);
        QVERIFY(Connect(sim, Port));
    }

    void faultTable_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("fault");
        for (int op = 0; op < int(std::size(ops)); op++)
            for (const QString &fault : QString(ops[op].faults).split(' '))
                QTest::addRow("%s: %s", ops[op].name, qPrintable(fault)) << op << fault;
    }
    /* A good reply (split, or a wrong byte only the line check tells) is taken; any other
    ** reports TIMEOUT (a slow one no earlier than the limit) and changes nothing; a late one
    ** is flushed by the next exchange, which takes the newer data. */
    void faultTable()
    {
        QFETCH(int, op);
        QFETCH(QString, fault);
        const auto &o = ops[op];
        const bool ok = fault == "split" || (fault == "wrong" && op != LineCheck);
        const auto run = [&] {
            if (op == LineCheck) return CommitPort(Port);
            op == Polling ? void(RunCycles(sim, 1)) : Click(op == GetBuffer ? GetBuff : Get);
        };
        const auto taken = [op] { /* what the operation took from a good reply */
                                  if (op == GetBuffer) return Ints(jumpbuf, jumpbuf + AnzJump);
                                  return op == Polling ? Ints(databuf, databuf + AnzData)
                                                       : Packet();
        };
        if (op == GetEeprom) Click(E);
        DispVis(); /* as a readout leaves it: the view of the source */
        Ints fresh;
        for (int i = 0; i < (op == LineCheck ? AnzPara : o.replyLen); i++)
            fresh << (++rows * 7 + i) % 256;
        QVERIFY(sim.cmd(Line(o.source, fresh)));
        QVERIFY(sim.cmd(QString("fault %1 %2 once").arg(o.command).arg(faultArgs[fault])));
        const QStringList before = Snapshot();
        const QString status = Status();
        const Ints packet = Packet();
        const int from = sim.frames().size();
        Popups popups;
        run();
        const Ints sent = op == LineCheck && ok ? Ints{7, 3} : Ints{o.command};
        QCOMPARE(sim.commands(from, true), sent);
        QCOMPARE(sim.frames()[from], Sim::frame(o.command, packet));
        if (ok) {
            if (fault == "wrong") fresh.last() ^= 1;
            QCOMPARE(popups.count(), 0);
            QCOMPARE(Status(), op == LineCheck ? LineOk() : status);
            QCOMPARE(taken(), fresh);
            return;
        }
        QVERIFY(TimeoutReported(popups));
        QCOMPARE(Snapshot(), before);
        if (fault == "silent" || fault == "short" || fault == "late")
            QVERIFY2(popups.list[0].ms >= 3000, qPrintable(QString::number(popups.list[0].ms)));
        QVERIFY(GetInQLen(com) >= 0); /* the port stays open */
        if (fault != "late") return;
        QTRY_COMPARE(GetInQLen(com), o.replyLen);
        fresh[0] ^= 0xFF;
        QVERIFY(sim.cmd(Line(o.source, fresh)));
        run();
        QCOMPARE(taken(), fresh);
    }

    void openTexts_data() { AddRows(opens); }
    /* The status line tells why a committed port did not open (no popup, nothing else moved),
    ** or shows "Init COM-Port ..." while it is checked; the read after follows the target. */
    void openTexts()
    {
        const auto &r = opens[Row()];
        const QString device = r.device;
        QVERIFY(sim.cmd("eeprom 70 90 46 0 10 1 20 3 1 1 15 1 0 0 1"));
        QVERIFY(sim.cmd("fault 7 split 1 300 once"));
        if (!Val(r.lit)) Click(r.lit);
        QTemporaryDir dir;
        CloseCom(com);
        QSerialPort holder(sim.link());
        const QString name = device == "held" || device == "sim" ? sim.link() : dir.filePath("x");
        if (device == "held") QVERIFY(holder.open(QIODevice::ReadWrite));
        if (device == "file") QVERIFY(QFile(name).open(QIODevice::WriteOnly));
        qputenv("VELTRAV20_COM255", name.toLocal8Bit());
        const QStringList before = Without(Snapshot(), "port, input, poll|geometry");
        const int from = sim.frames().size();
        Popups popups;
        When seen([] { return Status() == "Init COM-Port ..."; }, [] {});
        CommitPort(255);
        QCOMPARE(Status(), r.status ? QString(r.status) : LineOk());
        QCOMPARE(popups.count(), 0);
        QCOMPARE(com, 255);
        QCOMPARE(Val(r.lit), 1);
        if (device != "sim") QCOMPARE(Without(Snapshot(), "port, input, poll|geometry"), before);
        if (device != "sim") return;
        QVERIFY(seen.done);
        QCOMPARE(sim.commands(from, true), (Ints{7, r.lit == E ? 4 : 3}));
        QCOMPARE(Packet(), sim.get(r.lit == E ? "eeprom" : "ram"));
    }

    /* The device vanishes in a Get's reply wait: TIMEOUT, nothing changed, port closed, Send
    ** fails at once; label, tooltip, title follow it; the number committed again reopens it. */
    void deviceGoneUntilCommitted()
    {
        const QString dot = " \u00B7 ", label = sim.link() + dot + "set by VELTRAV20_COM4";
        const QString title = "Veltra-Razov V2.0" + dot + "COM 4" + dot + sim.link();
        QCOMPARE(Text(PANEL_COMDEVICE), label);
        QCOMPARE(PanelWidget(panel)->windowTitle(), title);
        QVERIFY(W(PANEL_COMDEVICE)->toolTip().split('\n').contains("COM 4: " + label));
        QVERIFY(sim.cmd("fault 3 silent"));
        const QStringList before = Snapshot();
        const int from = sim.frames().size();
        Popups popups;
        When vanish([&] { return sim.frames().size() > from; }, [&] { sim.cmd("vanish 0"); });
        Click(Get);
        QVERIFY(TimeoutReported(popups, 1));
        QCOMPARE(Without(Snapshot(), "geometry"), Without(before, "geometry"));
        QTRY_VERIFY(GetInQLen(com) < 0);
        Click(Send);
        QVERIFY(TimeoutReported(popups, 2));
        QTRY_COMPARE(Text(PANEL_COMDEVICE), sim.link() + dot + "not present");
        QCOMPARE(PanelWidget(panel)->windowTitle(), title + " (not present)");
        const Ints sent = Packet();
        QVERIFY(sim.start() && sim.cmd("ram 110 150 0 0 30 0 40 6 2 0 3 0 4 5 6"));
        QTRY_COMPARE(Text(PANEL_COMDEVICE), label);
        QCOMPARE(Status(), QString("TIMEOUT"));
        CommitPort(Port);
        QCOMPARE(Status(), LineOk());
        QVERIFY(sim.waitFrames(2));
        QCOMPARE(sim.frames()[0], Sim::frame(7, sent));
        QCOMPARE(Params(), (Ints{110, 150, 100, 0, 30, 0, 40, 6, 2, 0, 3, 0}));
        QCOMPARE(popups.count(), 2);
    }

    void numbering_data() { AddRows(numberings); }
    /* Port n is the n-th device (built-in ports by number, then adapters by name; an override
    ** replaces one); one beyond names no device and fails with "No serial port found" (-6). */
    void numbering()
    {
        const auto &r = numberings[Row()];
        CloseCom(com);
        const QStringList ports = QString(r.ports).split(' ', Qt::SkipEmptyParts);
        for (int port = 1; port <= 6; ++port)
            qunsetenv("VELTRAV20_COM" + QByteArray::number(port));
        if (r.overridden) sim.assign(r.overridden);
        SetComDeviceList(r.system);
        char device[128], how[128];
        for (int port = 1; port <= ports.size(); ++port) {
            QCOMPARE(GetComPortInfo(port, device, how), 1);
            QCOMPARE(QString(device) == sim.link() ? "sim" : QString(device), ports[port - 1]);
            if (port == 1) QCOMPARE(QString::fromUtf8(how), QString(r.first));
        }
        QCOMPARE(GetComPortInfo(ports.size() + 1, device, how), -6);
        CommitPort(ports.size() + 1); /* the panel names the missing device */
        QCOMPARE(Text(PANEL_COMDEVICE), QString("no device for COM %1").arg(ports.size() + 1));
        QCOMPARE(PanelWidget(panel)->windowTitle(),
                 QString("Veltra-Razov V2.0 \u00B7 COM %1 \u00B7 no device").arg(ports.size() + 1));
        QCOMPARE(Status(), QString("No serial port found"));
        SetComDeviceList(nullptr);
    }

    /* Services refuse a port not open, leaving the buffer; a read takes no more than its buffer
    ** holds, it asks for and is queued. 2048 bytes at once: the queue holds 1024, the rest comes
    ** in order as reads make room; a full queue flushed, the next reply stands alone. */
    void readsAndQueueBounded()
    {
        unsigned char b[2048] = {0x55, 7}, small[4];
        for (int port : {0, 200, 256}) {
            QVERIFY(port == 200 || OpenComConfig(port, "", 4800, 0, 8, 1, 1024, 1024) == -2);
            QVERIFY(SetComTime(port, 2.0) < 0 && SetCTSMode(port, 0) < 0);
            QVERIFY(FlushInQ(port) < 0 && FlushOutQ(port) < 0 && GetInQLen(port) < 0);
            QVERIFY(ComWrt(port, b, 17) < 0 && ComRd(port, b, 3) < 0 && b[0] == 0x55);
        }
        std::fill(b, b + 40, 0xCC);
        QCOMPARE(WriteExchange(3), 1);
        QTRY_COMPARE(GetInQLen(com), 15);
        for (auto [at, size, asked, got] : {std::array{0, 8, 15, 8},
                                            {8, 0, 15, 0},
                                            {8, 32, -1, -1},
                                            {8, 32, 5, 5},
                                            {13, 32, 20, 2}}) /* at, holds, asks */
            QCOMPARE(ComRdBounded(com, b + at, size, asked), got);
        QCOMPARE(Ints(b, b + 15), sim.get("ram"));
        QCOMPARE(Ints(b + 15, b + 40), Ints(25, 0xCC));
        QCOMPARE(WriteExchange(3), 1);
        QTRY_COMPARE(GetInQLen(com), 15);
        QCOMPARE(ComRd(com, small, 15), 4); /* the array's own size bounds it */
        QCOMPARE(FlushInQ(com), 0);
        QVERIFY(sim.cmd("flood 2048"));
        QTRY_COMPARE(GetInQLen(com), 1024);
        QCOMPARE(ComRdBounded(com, b, 2048, 100), 100); /* a part of the full queue */
        QTRY_COMPARE(GetInQLen(com), 1024);             /* and reading resumes */
        QCOMPARE(ComRdBounded(com, b + 100, 2048, 2048), 1024);
        QTRY_COMPARE(GetInQLen(com), 924);
        QCOMPARE(ComRdBounded(com, b + 1124, 924, 924), 924);
        for (int i = 0; i < 2048; i++)
            QVERIFY2(b[i] == (i & 255), qPrintable(QString("byte %1").arg(i)));
        QVERIFY(sim.cmd("flood 2048 0x77"));
        QTRY_COMPARE(GetInQLen(com), 1024);
        QCOMPARE(FlushInQ(com), 0);
        QCOMPARE(GetInQLen(com), 0);
        CheckComLine();
        QCOMPARE(Status(), LineOk());
    }
};

QTEST_MAIN(Link)
#include "tst_link.moc"
