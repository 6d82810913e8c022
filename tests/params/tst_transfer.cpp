/* tst_transfer.cpp: Send and Get with the targets RAM and EEPROM, through the real panel and
** serial layer against the sensor simulator: the frames byte for byte, the settle wait before
** a read, replies of the wrong length that leave everything as it was, and the round trip of
** the parameter set with the power conversion's asymmetry.
*/
#include <QtTest>

#include "link/com232.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace linkfixture;

typedef QList<int> Ints_;

namespace
{

const int Port = 2;
/* The sensor's RAM set at connection, spare bytes 7, 8, 9; power raw 23 is 50 %. */
const QList<int> SensorRam{90, 120, 23, 0, 15, 0, 25, 4, 3, 0, 2, 0, 7, 8, 9};
const QList<int> SensorRamOnPanel{90, 120, 50, 0, 15, 0, 25, 4, 3, 0, 2, 0};

int Command(const QByteArray &frame)
{
    return static_cast<unsigned char>(frame.at(1));
}

/* Clicks a button and measures when the next frame reaches the simulator, in ms after the
** click; -1 when none came while the click's callback ran. */
qint64 ClickAndTimeNextFrame(SensorSim &sim, int button)
{
    const int before = sim.loggedFrames().size();
    QElapsedTimer clock;
    qint64 at = -1;
    QTimer timer;
    timer.setInterval(2);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (at < 0 && sim.loggedFrames().size() > before) at = clock.elapsed();
    });
    timer.start();
    clock.start();
    Click(button);
    return at;
}

} // namespace

class Transfer : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void sendFrames_data();
    void sendFrames();
    void getSettleWait_data();
    void getSettleWait();
    void targetChangedDuringSettleWait();
    void getReplies_data();
    void getReplies();
    void powerRoundTrip_data();
    void powerRoundTrip();

  private:
    SensorSim sim_;
};

void Transfer::init()
{
    ZeroParameterSet();
    QVERIFY(fixture::LoadRealPanel() > 0);
    QVERIFY(ConnectTo(sim_, Port, SensorRam));
    QVERIFY(sim_.waitForFrames(2));
    QCOMPARE(PanelParams(), SensorRamOnPanel);
}

void Transfer::cleanup()
{
    CloseCom(com);
    sim_.stop();
    fixture::DiscardRealPanel();
}

void Transfer::sendFrames_data()
{
    QTest::addColumn<int>("toggle");
    QTest::addColumn<Ints_>("panelValues"); /* power in percent */
    QTest::addColumn<Ints_>("frame");
    QTest::newRow("RAM") << int(PANEL_SELECT_RAM)
                         << Ints_{12, 34, 97, 0, 56, 0, 78, 9, 10, 0, 11, 1}
                         << Ints_{0x55, 1, 12, 34, 2, 0, 56, 0, 78, 9, 10, 0, 11, 1, 7, 8, 9};
    QTest::newRow("EEPROM") << int(PANEL_SELECT_EEPROM)
                            << Ints_{200, 5, 0, 1, 255, 3, 0, 255, 1, 1, 15, 0}
                            << Ints_{0x55, 2, 200, 5, 46, 1, 255, 3, 0, 255, 1, 1, 15, 0, 7, 8, 9};
    QTest::newRow("RAM, power 100 % and 50 %")
        << int(PANEL_SELECT_RAM) << Ints_{1, 2, 100, 0, 3, 1, 4, 5, 6, 1, 0, 1}
        << Ints_{0x55, 1, 1, 2, 0, 0, 3, 1, 4, 5, 6, 1, 0, 1, 7, 8, 9};
    QTest::newRow("EEPROM, power 50 %")
        << int(PANEL_SELECT_EEPROM) << Ints_{0, 0, 50, 0, 0, 2, 0, 0, 0, 0, 8, 0}
        << Ints_{0x55, 2, 0, 0, 23, 0, 0, 2, 0, 0, 0, 0, 8, 0, 7, 8, 9};
}

void Transfer::sendFrames()
{
    QFETCH(int, toggle);
    QFETCH(Ints_, panelValues);
    QFETCH(Ints_, frame);
    if (toggle != PANEL_SELECT_RAM) Click(toggle);
    const QByteArray eepromBefore = sim_.get("eeprom");
    const QByteArray ramBefore = sim_.get("ram");
    SetPanelParams(panelValues);
    QCOMPARE(PanelParams(), panelValues);

    fixture::PopupCatcher popups;
    Click(ButtonSend);
    QVERIFY(sim_.waitForFrames(3));
    const QList<QByteArray> frames = sim_.frames();
    QCOMPARE(frames.size(), 3);
    QCOMPARE(Ints(frames[2]), frame);

    const QList<int> packet = frame.mid(2);
    QCOMPARE(Ints(Packet()), packet);
    QCOMPARE(Ints(Vars()), packet);
    /* The memory written holds the packet; the other one is untouched. */
    if (toggle == PANEL_SELECT_RAM) {
        QCOMPARE(Ints(sim_.get("ram")), packet);
        QCOMPARE(sim_.get("eeprom"), eepromBefore);
    } else {
        QCOMPARE(Ints(sim_.get("eeprom")), packet);
        QCOMPARE(sim_.get("ram"), ramBefore);
    }
    /* A write that the port takes in full shows nothing. */
    QCOMPARE(popups.count(), 0);
    QCOMPARE(Status(), LineOkText());
    QCOMPARE(PanelParams(), panelValues);
}

void Transfer::getSettleWait_data()
{
    QTest::addColumn<int>("toggle");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("belowMs"); /* the wait is not the longer one */
    QTest::newRow("RAM: command 3 after 0.1 s") << int(PANEL_SELECT_RAM) << 3 << 100 << 1500;
    QTest::newRow("EEPROM: command 4 after 1.5 s") << int(PANEL_SELECT_EEPROM) << 4 << 1500 << -1;
}

void Transfer::getSettleWait()
{
    QFETCH(int, toggle);
    QFETCH(int, command);
    QFETCH(int, minMs);
    QFETCH(int, belowMs);
    const QList<int> eeprom{60, 70, 0, 1, 8, 1, 9, 10, 11, 1, 12, 1, 13, 14, 15};
    const QList<int> eepromOnPanel{60, 70, 100, 1, 8, 1, 9, 10, 11, 1, 12, 1};
    QVERIFY(sim_.command(SetCommand("eeprom", eeprom)));
    /* A reply 0.3 s late keeps the read going while the frame's arrival is noted. */
    QVERIFY(sim_.command(QStringLiteral("fault %1 late 300").arg(command)));
    if (toggle != PANEL_SELECT_RAM) Click(toggle);
    SetPanelParams({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});

    fixture::PopupCatcher popups;
    const qint64 ms = ClickAndTimeNextFrame(sim_, ButtonGet);
    qInfo("command %d reached the sensor %lld ms after the click", command, ms);
    QVERIFY2(ms >= minMs, qPrintable(QString::number(ms)));
    if (belowMs > 0) QVERIFY2(ms < belowMs, qPrintable(QString::number(ms)));
    const QList<QByteArray> frames = sim_.frames();
    QCOMPARE(frames.size(), 3);
    QCOMPARE(frames[2], SensorSim::frame(command, Bytes(SensorRam)));
    QCOMPARE(popups.count(), 0);
    QCOMPARE(Status(), LineOkText());
    QCOMPARE(PanelParams(), command == 4 ? eepromOnPanel : SensorRamOnPanel);
    QCOMPARE(Ints(Packet()), command == 4 ? eeprom : SensorRam);
}

/* The wait's length follows the target at the click; the command, the target afterwards. */
void Transfer::targetChangedDuringSettleWait()
{
    QVERIFY(sim_.command("fault 3 late 300"));
    Click(PANEL_SELECT_EEPROM);
    QTimer::singleShot(300, [] { Click(PANEL_SELECT_RAM); });
    const qint64 ms = ClickAndTimeNextFrame(sim_, ButtonGet);
    QVERIFY2(ms >= 1500, qPrintable(QString::number(ms)));
    QCOMPARE(target, int(RAM));
    QCOMPARE(Command(sim_.frames().at(2)), 3);
    QCOMPARE(PanelParams(), SensorRamOnPanel);
}

void Transfer::getReplies_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("minMs"); /* earliest end of a refused read */
    QTest::newRow("15 bytes in two pieces 1 s apart") << "fault 3 split 7 1000" << true << 0;
    QTest::newRow("14 of 15 bytes") << "fault 3 short" << false << 3000;
    QTest::newRow("16 bytes") << "fault 3 long" << false << 0;
}

void Transfer::getReplies()
{
    QFETCH(QString, fault);
    QFETCH(bool, accepted);
    QFETCH(int, minMs);
    const QList<int> ram{33, 44, 46, 1, 55, 1, 66, 77, 88, 1, 9, 1, 1, 2, 3};
    const QList<int> ramOnPanel{33, 44, 0, 1, 55, 1, 66, 77, 88, 1, 9, 1};
    QVERIFY(sim_.command(SetCommand("ram", ram)));
    QVERIFY(sim_.command(fault));
    /* Unsent edits on the panel: a refused read keeps them. */
    const QList<int> edited{5, 6, 80, 0, 7, 0, 8, 9, 10, 0, 11, 0};
    SetPanelParams(edited);

    fixture::PopupCatcher popups;
    QElapsedTimer clock;
    clock.start();
    Click(ButtonGet);
    const qint64 ms = clock.elapsed();
    QVERIFY(sim_.waitForFrames(3));
    QCOMPARE(Command(sim_.frames().at(2)), 3);
    if (accepted) {
        QCOMPARE(popups.count(), 0);
        QCOMPARE(Status(), LineOkText());
        QCOMPARE(PanelParams(), ramOnPanel);
        QCOMPARE(Ints(Packet()), ram);
        QCOMPARE(Ints(Vars()), ram);
        return;
    }
    QVERIFY2(ms >= minMs, qPrintable(QString::number(ms)));
    QCOMPARE(popups.count(), 1);
    QCOMPARE(popups.popups[0].title, QString::fromLatin1(TimeoutTitle));
    QCOMPARE(popups.popups[0].text, QString::fromLatin1(TimeoutText));
    QCOMPARE(Status(), QStringLiteral("TIMEOUT"));
    QCOMPARE(PanelParams(), edited);
    QCOMPARE(Ints(Packet()), SensorRam);
    QCOMPARE(Ints(Vars()), SensorRam);
    qInfo("refused after %lld ms", ms);

    /* A later send that the port takes shows nothing: "TIMEOUT" stays. */
    QVERIFY(sim_.command("clear"));
    Click(ButtonSend);
    QVERIFY(sim_.waitForFrames(4));
    /* the edits, 80 % as raw 46 - 3680 / 100 = 10, and the spare bytes read earlier */
    QCOMPARE(Ints(sim_.frames().at(3)),
             (Ints_{0x55, 1, 5, 6, 10, 0, 7, 0, 8, 9, 10, 0, 11, 0, 7, 8, 9}));
    QCOMPARE(popups.count(), 1);
    QCOMPARE(Status(), QStringLiteral("TIMEOUT"));
}

void Transfer::powerRoundTrip_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("rawBack");
    /* percent = 100 * (46 - raw) / 46, raw = 46 - percent * 46 / 100, both truncated */
    QTest::newRow("raw 0") << 0 << 100 << 0;
    QTest::newRow("raw 1") << 1 << 97 << 2;
    QTest::newRow("raw 10") << 10 << 78 << 11;
    QTest::newRow("raw 23") << 23 << 50 << 23;
    QTest::newRow("raw 24") << 24 << 47 << 25;
    QTest::newRow("raw 45") << 45 << 2 << 46;
    QTest::newRow("raw 46") << 46 << 0 << 46;
}

/* Sensor RAM -> panel -> sensor RAM: every byte comes back, spare bytes included; the power
** comes back one step higher except at 0, 23 and 46. */
void Transfer::powerRoundTrip()
{
    QFETCH(int, raw);
    QFETCH(int, percent);
    QFETCH(int, rawBack);
    QList<int> ram{101, 102, raw, 0, 104, 2, 106, 107, 108, 1, 13, 1, 250, 251, 252};
    QVERIFY(sim_.command(SetCommand("ram", ram)));
    fixture::PopupCatcher popups;
    Click(ButtonGet);
    QCOMPARE(fixture::IntVal(PANEL_POWER), percent);
    Click(ButtonSend);
    QVERIFY(sim_.waitForFrames(4));
    ram[2] = rawBack;
    QCOMPARE(Ints(sim_.get("ram")), ram);
    QCOMPARE(popups.count(), 0);
}

QTEST_MAIN(Transfer)
#include "tst_transfer.moc"
