/* tst_transfer.cpp: Send and Get with the targets RAM and EEPROM, through the real panel and
** serial layer against the sensor simulator: the settle wait before a read, replies of the
** wrong length that leave everything as it was, the round trip of the parameter set, frames
** byte for byte, with the power conversion's asymmetry, and operations started inside another
** one's wait, which are refused.
*/
#include <QtTest>

#include <QApplication>
#include <QCursor>

#include "link/com232.h"
#include "params/params.h"
#include "live/live.h"
#include "support/linkfixture.h"
#include "support/livefixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace linkfixture;

typedef QList<int> Ints_;

namespace
{

const int Port = 2;
/* The sensor's RAM set at connection, spare bytes 7, 8, 9; power raw 23 is 50 %. */
const Ints_ SensorRam{90, 120, 23, 0, 15, 0, 25, 4, 3, 0, 2, 0, 7, 8, 9};
const Ints_ SensorRamOnPanel{90, 120, 50, 0, 15, 0, 25, 4, 3, 0, 2, 0};
/* An EEPROM set given to the simulator; power raw 0 is 100 %. */
const Ints_ SensorEeprom{60, 70, 0, 1, 8, 1, 9, 10, 11, 1, 12, 1, 13, 14, 15};
const Ints_ SensorEepromOnPanel{60, 70, 100, 1, 8, 1, 9, 10, 11, 1, 12, 1};

int Command(const QByteArray &frame)
{
    return static_cast<unsigned char>(frame.at(1));
}

/* Clicks a button and measures when the next frame reaches the simulator, in ms after the
** click; -1 when none came while the click's callback ran. */
qint64 ClickAndTimeNextFrame(SensorSim &sim, int button)
{
    const int before = sim.frames().size();
    QElapsedTimer clock;
    qint64 at = -1;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (at < 0 && sim.frames().size() > before) at = clock.elapsed();
    });
    timer.start(2);
    clock.start();
    Click(button);
    return at;
}

/* The operator's command of a row of operationInsideAnotherRefused; "port" commits `port`. */
void Operate(const QString &what, int port)
{
    if (what == "send") Click(ButtonSend);
    if (what == "get" || what == "get eeprom") Click(ButtonGet);
    if (what == "getbuff") Click(livefixture::ButtonGetBuff);
    if (what == "go") Click(livefixture::ButtonGo);
    if (what == "port") CommitPort(port);
}

} // namespace

class Transfer : public QObject
{
    Q_OBJECT

    SensorSim sim;

  private slots:
    void init()
    {
        ZeroParameterSet();
        QVERIFY(fixture::LoadRealPanel() > 0);
        QVERIFY(ConnectTo(sim, Port, SensorRam));
        QVERIFY(sim.waitForFrames(2));
        QCOMPARE(PanelParams(), SensorRamOnPanel);
    }
    void cleanup()
    {
        CloseCom(com);
        sim.stop();
        fixture::DiscardRealPanel();
    }

    void getSettleWait_data()
    {
        QTest::addColumn<int>("toggle");   /* lit at the click */
        QTest::addColumn<int>("switchTo"); /* clicked 0.3 s after, or 0 */
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("belowMs"); /* the wait is not the longer one */
        const int R = PANEL_SELECT_RAM, E = PANEL_SELECT_EEPROM;
        QTest::newRow("RAM: command 3 after 0.1 s") << R << 0 << 3 << 100 << 1500;
        QTest::newRow("EEPROM: command 4 after 1.5 s") << E << 0 << 4 << 1500 << -1;
        /* the wait's length follows the target at the click, the command the one after it */
        QTest::newRow("EEPROM, then RAM: command 3 after 1.5 s") << E << R << 3 << 1500 << -1;
    }
    void getSettleWait()
    {
        QFETCH(int, toggle);
        QFETCH(int, switchTo);
        QFETCH(int, command);
        QFETCH(int, minMs);
        QFETCH(int, belowMs);
        QVERIFY(sim.command(SetCommand("eeprom", SensorEeprom)));
        /* A reply 0.3 s late keeps the read going while the frame's arrival is noted. */
        QVERIFY(sim.command(QStringLiteral("fault %1 late 300").arg(command)));
        if (toggle != PANEL_SELECT_RAM) Click(toggle);
        if (switchTo) QTimer::singleShot(300, [=] { Click(switchTo); });
        SetPanelParams({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});

        fixture::PopupCatcher popups;
        const qint64 ms = ClickAndTimeNextFrame(sim, ButtonGet);
        QVERIFY2(ms >= minMs, qPrintable(QString::number(ms)));
        if (belowMs > 0) QVERIFY2(ms < belowMs, qPrintable(QString::number(ms)));
        const QList<QByteArray> frames = sim.frames();
        QCOMPARE(frames.size(), 3);
        QCOMPARE(Ints(frames[2]), (Ints_{0x55, command} + SensorRam)); /* pp goes with it */
        QCOMPARE(popups.count(), 0);
        QCOMPARE(Status(), LineOkText());
        QCOMPARE(PanelParams(), command == 4 ? SensorEepromOnPanel : SensorRamOnPanel);
        QCOMPARE(Ints(Packet()), command == 4 ? SensorEeprom : SensorRam);
    }

    void refusedReplies_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("minMs"); /* earliest end of the read */
        QTest::newRow("14 of 15 bytes") << "fault 3 short" << 3000;
        QTest::newRow("16 bytes") << "fault 3 long" << 0;
    }
    void refusedReplies()
    {
        QFETCH(QString, fault);
        QFETCH(int, minMs);
        QVERIFY(
            sim.command(SetCommand("ram", {33, 44, 46, 1, 55, 1, 66, 77, 88, 1, 9, 1, 1, 2, 3})));
        QVERIFY(sim.command(fault));
        const Ints_ edited{5, 6, 80, 0, 7, 0, 8, 9, 10, 0, 11, 0}; /* unsent edits */
        SetPanelParams(edited);

        fixture::PopupCatcher popups;
        QElapsedTimer clock;
        clock.start();
        Click(ButtonGet);
        const qint64 ms = clock.elapsed();
        QVERIFY(sim.waitForFrames(3));
        QCOMPARE(Command(sim.frames().at(2)), 3);
        /* Refused: the TIMEOUT report; pp, the variables and the panel's edits unchanged. */
        QVERIFY2(ms >= minMs, qPrintable(QString::number(ms)));
        QCOMPARE(popups.count(), 1);
        QCOMPARE(popups.popups[0].title, QString::fromLatin1(TimeoutTitle));
        QCOMPARE(popups.popups[0].text, QString::fromLatin1(TimeoutText));
        QCOMPARE(Status(), QStringLiteral("TIMEOUT"));
        QCOMPARE(PanelParams(), edited);
        QCOMPARE(Ints(Packet()), SensorRam);
        QCOMPARE(Ints(Vars()), SensorRam);

        /* A later send that the port takes shows nothing: "TIMEOUT" stays. It carries the
        ** edits, 80 % as raw 46 - 3680 / 100 = 10, and the spare bytes read earlier. */
        QVERIFY(sim.command("clear"));
        Click(ButtonSend);
        QVERIFY(sim.waitForFrames(4));
        QCOMPARE(Ints(sim.frames().at(3)),
                 (Ints_{0x55, 1, 5, 6, 10, 0, 7, 0, 8, 9, 10, 0, 11, 0, 7, 8, 9}));
        QCOMPARE(popups.count(), 1);
        QCOMPARE(Status(), QStringLiteral("TIMEOUT"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("toggle");
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("rawBack");
        /* percent = 100 * (46 - raw) / 46, raw = 46 - percent * 46 / 100, both truncated */
        const int R = PANEL_SELECT_RAM, E = PANEL_SELECT_EEPROM;
        QTest::newRow("RAM, raw 0") << R << 0 << 100 << 0;
        QTest::newRow("RAM, raw 10") << R << 10 << 78 << 11;
        QTest::newRow("EEPROM, raw 23") << E << 23 << 50 << 23;
        QTest::newRow("EEPROM, raw 46") << E << 46 << 0 << 46;
    }
    /* Sensor -> panel -> sensor: Get, then Send. The frame carries every byte back, spare
    ** bytes included; the power comes back one step higher except at 0, 23 and 46. The other
    ** memory is untouched. */
    void roundTrip()
    {
        QFETCH(int, toggle);
        QFETCH(int, raw);
        QFETCH(int, percent);
        QFETCH(int, rawBack);
        const bool ram = toggle == PANEL_SELECT_RAM;
        const char *memory = ram ? "ram" : "eeprom", *other = ram ? "eeprom" : "ram";
        Ints_ set{101, 102, raw, 0, 104, 2, 106, 107, 108, 1, 13, 1, 250, 251, 252};
        QVERIFY(sim.command(SetCommand(memory, set)));
        if (!ram) Click(toggle);
        const QByteArray untouched = sim.get(other);
        fixture::PopupCatcher popups;
        Click(ButtonGet);
        QCOMPARE(fixture::IntVal(PANEL_POWER), percent);
        Click(ButtonSend);
        QVERIFY(sim.waitForFrames(4));
        QCOMPARE(sim.frames().size(), 4);
        set[2] = rawBack;
        QCOMPARE(Ints(sim.frames()[3]), (Ints_{0x55, ram ? 1 : 2} + set));
        QCOMPARE(Ints(Packet()), set);
        QCOMPARE(Ints(Vars()), set);
        QCOMPARE(Ints(sim.get(memory)), set);
        QCOMPARE(sim.get(other), untouched);
        QCOMPARE(popups.count(), 0); /* a write the port takes in full shows nothing */
        QCOMPARE(Status(), LineOkText());
    }

    void operationInsideAnotherRefused_data()
    {
        QTest::addColumn<QString>("outer");  /* "get", "get eeprom", "getbuff" or "port" */
        QTest::addColumn<int>("late");       /* its reply to this command 0.5 s late, and the
                                                inner one given after the frame; 0: in the
                                                settle wait */
        QTest::addColumn<QString>("inner");  /* given while the outer one waits */
        QTest::addColumn<Ints_>("commands"); /* every frame sent */
        QTest::newRow("Get in Get's settle wait") << "get eeprom" << 0 << "get" << Ints_{4};
        QTest::newRow("Send in Get's reply wait") << "get" << 3 << "send" << Ints_{3};
        QTest::newRow("port commit in Get's reply wait") << "get" << 3 << "port" << Ints_{3};
        QTest::newRow("Go in GetBuff's settle wait") << "getbuff" << 0 << "go" << Ints_{6};
        QTest::newRow("Get in GetBuff's reply wait") << "getbuff" << 6 << "get" << Ints_{6};
        QTest::newRow("GetBuff in the line check") << "port" << 7 << "getbuff" << Ints_{7, 3};
        QTest::newRow("Send in the read after the line check")
            << "port" << 3 << "send" << Ints_{7, 3};
    }
    /* The inner operation sends nothing, shows nothing and changes nothing: the outer one
    ** ends as it would alone. Meanwhile the pointer shows busy. */
    void operationInsideAnotherRefused()
    {
        QFETCH(QString, outer);
        QFETCH(int, late);
        QFETCH(QString, inner);
        QFETCH(Ints_, commands);
        const Ints_ edited{5, 6, 80, 0, 7, 0, 8, 9, 10, 0, 11, 0}; /* what a Send would carry */
        QVERIFY(sim.command(SetCommand("eeprom", SensorEeprom)));
        if (late) QVERIFY(sim.command(QStringLiteral("fault %1 late 500").arg(late)));
        if (outer == "get eeprom") Click(PANEL_SELECT_EEPROM);
        SetPanelParams(edited);
        const QByteArray jump = sim.get("jump");
        const int before = int(sim.frames().size());

        fixture::PopupCatcher popups;
        QTimer stop; /* ends a polling loop that should never have started */
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [] { poll = 0; });
        int pointer = -1;
        bool given = false;
        livefixture::Script script;
        script.add([&] {
            if (!busy || (late && !livefixture::Commands(sim, before).contains(late))) return false;
            const QCursor *cursor = QApplication::overrideCursor();
            pointer = cursor ? int(cursor->shape()) : -1;
            stop.start(3000);
            Operate(inner, Port + 1); /* committed, com would follow */
            given = stop.isActive();  /* returned at once */
            return true;
        });
        Operate(outer, Port);
        QVERIFY(given);
        QCOMPARE(CommandsSent(sim, before), commands);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(Status(), LineOkText());
        QCOMPARE(com, Port);
        QCOMPARE(PanelParams(), outer == "get eeprom" ? SensorEepromOnPanel
                                : outer == "getbuff"  ? edited
                                                      : SensorRamOnPanel);
        QCOMPARE(Ints(Packet()), outer == "get eeprom" ? SensorEeprom : SensorRam);
        if (outer == "getbuff") QCOMPARE(livefixture::JumpBuf(), Ints(jump));
        QCOMPARE(pointer, int(Qt::BusyCursor));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(busy, 0);
    }
};

QTEST_MAIN(Transfer)
#include "tst_transfer.moc"
