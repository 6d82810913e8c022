/* tst_link.cpp: the sensor link against the simulator: the fault table (every reading
** operation against the faults of a reply), the port commit, the port-open texts, a vanished
** device, and the serial services' refusals, bounded reads and bounded input queue.
*/
#include "support/fixture.h"

#include <QSerialPort>

using namespace fx;

namespace
{

enum Op { LineCheck, GetRam, GetEeprom, GetBuffer, Polling };
const struct {
    const char *name;
    int command, replyLen;
    const char *source; /* the simulator's data the reply carries */
    /* The faults this operation meets. The fast ones for every operation; a slow one (silent,
    ** short, late: each waits out the 3.0 s limit) runs the same wait in every operation, so
    ** each slow fault is met once or twice, not by all five. */
    const char *faults;
} ops[] = {
    {"line check", 7, AnzLineCheck, "ram", "silent long split wrong"},
    {"Get RAM", 3, AnzPara, "ram", "short late long split wrong"},
    {"Get EEPROM", 4, AnzPara, "eeprom", "long split"},
    {"GetBuff", 6, AnzJump, "jump", "short long split wrong"},
    {"polling cycle", 5, AnzData, "data", "silent long split wrong"},
};
const QMap<QString, QString> faultArgs{{"silent", "silent"},  {"short", "short"},
                                       {"long", "long"},      {"split", "split 1 300"},
                                       {"late", "late 3400"}, {"wrong", "wrong"}};
const int Port = 4;

/* What the operation took from a good reply. */
Ints Result(int op)
{
    if (op == GetBuffer) return Ints(jumpbuf, jumpbuf + AnzJump);
    if (op == Polling) return Ints(databuf, databuf + AnzData);
    return Packet();
}

void Run(int op)
{
    switch (op) {
    case LineCheck: CommitPort(Port); break;
    case GetRam:
    case GetEeprom: Click(Get); break;
    case GetBuffer: Click(GetBuff); break;
    case Polling: RunCycles(1); break;
    }
}

void CheckTimeoutReport(const Popups &popups, int count)
{
    QCOMPARE(popups.count(), count);
    QCOMPARE(popups.list.last().title, QString("INFO"));
    QCOMPARE(popups.list.last().text, QString(TimeoutText));
    QCOMPARE(Status(), QString("TIMEOUT"));
}

QStringList WithoutPort(QStringList snapshot)
{
    return snapshot.filter(QRegularExpression("^(?!port)"));
}

} // namespace

class Link : public QObject
{
    Q_OBJECT
    Sim sim;
    int rows = 0;

  private slots:
    void initTestCase()
    {
        QVERIFY(Load() > 0);
        SetCtrlVal(panel, PANEL_SOURCE, 1);
    }
    void cleanupTestCase() { Discard(); }
    void init() { QVERIFY(Connect(sim, Port)); }

    void faultTable_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("fault");
        for (int op = 0; op < int(std::size(ops)); op++)
            for (const QString &fault : QString(ops[op].faults).split(' '))
                QTest::addRow("%s: %s", ops[op].name, qPrintable(fault)) << op << fault;
    }
    /* Fresh data at the sensor, then the operation with the fault on its reply. A good reply
    ** (in two pieces, or with a wrong byte that only the line check can tell) is taken; any
    ** other brings the TIMEOUT report, no earlier than the limit for a slow fault, and
    ** changes nothing else. A late reply waits in the queue until the next exchange flushes
    ** it: the operation repeated takes the sensor's new data. */
    void faultTable()
    {
        QFETCH(int, op);
        QFETCH(QString, fault);
        const auto &o = ops[op];
        const bool ok = fault == "split" || (fault == "wrong" && op != LineCheck);
        const int wanted = op == GetEeprom ? PANEL_SELECT_EEPROM : PANEL_SELECT_RAM;
        if (!Val(wanted)) Click(wanted);
        DispVis(); /* as a readout leaves it: the view of the source */
        Ints fresh;
        for (int i = 0; i < (op == LineCheck ? AnzPara : o.replyLen); i++)
            fresh << (++rows * 7 + i) % 256;
        QVERIFY(sim.cmd(Sim::set(o.source, fresh)));
        QVERIFY(sim.cmd(QString("fault %1 %2 once").arg(o.command).arg(faultArgs[fault])));
        const QStringList before = Snapshot();
        const QString status = Status();
        const Ints packet = Packet();
        const int from = sim.frames().size();
        Popups popups;
        Run(op);

        const Ints sent = op == LineCheck && ok ? Ints{7, 3} : Ints{o.command};
        QVERIFY(sim.waitFrames(from + sent.size()));
        QCOMPARE(sim.commands(from), sent);
        QCOMPARE(sim.frames()[from], Sim::frame(o.command, packet));
        if (ok) {
            if (fault == "wrong") fresh.last() ^= 1;
            QCOMPARE(popups.count(), 0);
            QCOMPARE(Status(), op == LineCheck ? LineOk() : status);
            QCOMPARE(Result(op), fresh);
            return;
        }
        CheckTimeoutReport(popups, 1);
        QCOMPARE(Snapshot(), before);
        if (fault == "silent" || fault == "short" || fault == "late")
            QVERIFY2(popups.list[0].ms >= 3000, qPrintable(QString::number(popups.list[0].ms)));
        QVERIFY(GetInQLen(com) >= 0); /* the port stays open */
        if (fault == "late") {
            QTRY_COMPARE(GetInQLen(com), o.replyLen);
            fresh.first() ^= 0xFF;
            QVERIFY(sim.cmd(Sim::set(o.source, fresh)));
            Run(op);
            QCOMPARE(Result(op), fresh);
        }
    }

    void commitReadsByTarget_data()
    {
        QTest::addColumn<int>("toggle");
        QTest::addColumn<int>("command");
        QTest::newRow("EEPROM lit: command 4") << int(PANEL_SELECT_EEPROM) << 4;
        QTest::newRow("FILE lit: the RAM, command 3") << int(PANEL_SELECT_FILE) << 3;
    }
    /* "Init COM-Port ..." while the new port is checked; the read after it follows the
    ** target, which stays. */
    void commitReadsByTarget()
    {
        QFETCH(int, toggle);
        QFETCH(int, command);
        const Ints eeprom{70, 90, 46, 0, 10, 1, 20, 3, 1, 1, 15, 1, 0, 0, 1};
        QVERIFY(sim.cmd(Sim::set("eeprom", eeprom)));
        QVERIFY(sim.cmd("fault 7 split 1 300 once"));
        Click(toggle);
        QStringList seen;
        When look([&] { return Status() == "Init COM-Port ..."; }, [&] { seen << Status(); });
        const int from = sim.frames().size();
        CommitPort(Port);
        QCOMPARE(seen, QStringList{"Init COM-Port ..."});
        QCOMPARE(Status(), LineOk());
        QVERIFY(sim.waitFrames(from + 2));
        QCOMPARE(sim.commands(from), (Ints{7, command}));
        QCOMPARE(Packet(), command == 4 ? eeprom : sim.get("ram"));
        QCOMPARE(Val(toggle), 1);
        Click(PANEL_SELECT_RAM);
    }

    void openTexts_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("text");
        QTest::newRow("no such device") << "none"
                                        << "No serial port found";
        QTest::newRow("held by another program") << "held"
                                                 << "Cannot open port";
        QTest::newRow("a regular file") << "file"
                                        << "Unknown system error";
        QTest::newRow("port 255 answers") << "sim" << LineOk();
    }
    /* The status line tells why a committed port did not open; no popup, nothing else moved. */
    void openTexts()
    {
        QFETCH(QString, device);
        QFETCH(QString, text);
        QTemporaryDir dir;
        CloseCom(com);
        QSerialPort holder(sim.link());
        QString name = device == "held" || device == "sim" ? sim.link() : dir.filePath("tty");
        if (device == "held") QVERIFY(holder.open(QIODevice::ReadWrite));
        if (device == "file") QVERIFY(QFile(name).open(QIODevice::WriteOnly));
        qputenv("VELTRAV20_COM255", name.toLocal8Bit());
        const QStringList before = Snapshot();
        Popups popups;
        CommitPort(255);
        QCOMPARE(Status(), text);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(com, 255);
        if (device != "sim") QCOMPARE(WithoutPort(Snapshot()), WithoutPort(before));
    }

    /* The device vanishes while a Get awaits its reply: TIMEOUT, nothing changed, the port
    ** closed; a Send then fails at once. Enter on the same number opens the device that came
    ** back, and its line check carries pp. */
    void vanishedUntilCommitted()
    {
        QVERIFY(sim.cmd("fault 3 silent"));
        const QStringList before = Snapshot();
        const int from = sim.frames().size();
        Popups popups;
        When vanish([&] { return sim.frames().size() > from; }, [&] { sim.cmd("vanish 0"); });
        Click(Get);
        CheckTimeoutReport(popups, 1);
        QCOMPARE(Snapshot(), before);
        QTRY_VERIFY(GetInQLen(com) < 0);
        Click(Send);
        CheckTimeoutReport(popups, 2);

        QVERIFY(sim.restart());
        const Ints ram{110, 150, 0, 0, 30, 0, 40, 6, 2, 0, 3, 0, 4, 5, 6};
        QVERIFY(sim.cmd(Sim::set("ram", ram)));
        const Ints sent = Packet();
        CommitPort(Port);
        QCOMPARE(Status(), LineOk());
        QVERIFY(sim.waitFrames(2));
        QCOMPARE(sim.frames()[0], Sim::frame(7, sent));
        QCOMPARE(Params(), (Ints{110, 150, 100, 0, 30, 0, 40, 6, 2, 0, 3, 0}));
        QCOMPARE(popups.count(), 2);
    }

    /* Every service refuses a port that is not open, without touching the buffer. */
    void closedPortsRefuse()
    {
        QCOMPARE(OpenComConfig(0, "", 4800, 0, 8, 1, 1024, 1024), -2);
        QCOMPARE(OpenComConfig(256, "", 4800, 0, 8, 1, 1024, 1024), -2);
        CloseCom(com);
        for (int port : {0, com, 200, 256}) {
            unsigned char buffer[17] = {0x55, 7};
            QVERIFY(SetComTime(port, 2.0) < 0 && SetCTSMode(port, 0) < 0);
            QVERIFY(FlushInQ(port) < 0 && FlushOutQ(port) < 0);
            QVERIFY(ComWrt(port, buffer, 17) < 0 && GetInQLen(port) < 0);
            QVERIFY(ComRd(port, buffer, 3) < 0);
            QCOMPARE(buffer[0], 0x55);
        }
        QVERIFY(sim.waitFrames(2));
        QCOMPARE(sim.frames().size(), 2); /* the connection's, nothing more */
    }

    /* A read takes no more than its buffer holds, asks for and finds queued; the rest stays
    ** queued in order. */
    void readsBounded()
    {
        const Ints ram = sim.get("ram");
        unsigned char b[40];
        std::fill(b, b + 40, 0xCC);
        QCOMPARE(WriteExchange(3), 1);
        QTRY_COMPARE(GetInQLen(com), 15);
        QCOMPARE(ComRdBounded(com, b, 8, 15), 8);
        QCOMPARE(ComRdBounded(com, b + 8, 0, 15), 0);
        QCOMPARE(ComRdBounded(com, b + 8, 32, -1), -1);
        QCOMPARE(ComRdBounded(com, b + 8, 32, 5), 5);
        QCOMPARE(ComRdBounded(com, b + 13, 32, 20), 2);
        QCOMPARE(Ints(b, b + 15), ram);
        QCOMPARE(Ints(b + 15, b + 40), Ints(25, 0xCC));
        unsigned char small[4];
        QCOMPARE(WriteExchange(3), 1);
        QTRY_COMPARE(GetInQLen(com), 15);
        QCOMPARE(ComRd(com, small, 15), 4); /* the array's own size bounds it */
    }

    /* 2048 bytes at once: the queue holds 1024, the rest waits in the system and comes in
    ** order once a read makes room. A full queue flushed: the next reply stands alone. */
    void inputQueueBounded()
    {
        unsigned char b[2048];
        QVERIFY(sim.cmd("flood 2048"));
        QTRY_COMPARE(GetInQLen(com), 1024);
        QCOMPARE(ComRdBounded(com, b, 2048, 2048), 1024);
        QTRY_COMPARE(GetInQLen(com), 1024);
        QCOMPARE(ComRdBounded(com, b + 1024, 1024, 1024), 1024);
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
