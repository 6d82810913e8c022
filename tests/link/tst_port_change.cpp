/* tst_port_change.cpp: committing a COM port number on the panel: "Init COM-Port ..." while
** the new port is checked, the fixed texts of a failed open, a commit of the unchanged number
** that sets the port up again, the parameter read after the check for each target, and a
** port whose device vanished: TIMEOUT reports until the number is committed again.
*/
#include <QtTest>

#include <QSerialPort>

#include "link/com232.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace linkfixture;

namespace
{

const QList<int> SensorRam{110, 150, 0, 0, 30, 0, 40, 6, 2, 0, 3, 0, 4, 5, 6};
const QList<int> SensorRamOnPanel{110, 150, 100, 0, 30, 0, 40, 6, 2, 0, 3, 0};
const QList<int> SensorEeprom{70, 90, 46, 0, 10, 1, 20, 3, 1, 1, 15, 1, 0, 0, 1};
const QList<int> SensorEepromOnPanel{70, 90, 0, 0, 10, 1, 20, 3, 1, 1, 15, 1};

/* Records the status line's texts in turn while it lives. */
class StatusWatch : public QObject
{
  public:
    StatusWatch()
    {
        seen_ << Status();
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
        timer_.start();
    }
    /* The texts seen so far, the current one last. */
    QStringList Seen()
    {
        Look();
        return seen_;
    }

  private:
    void Look()
    {
        if (seen_.last() != Status()) seen_ << Status();
    }
    QStringList seen_;
    QTimer timer_;
};

int Command(const QByteArray &frame)
{
    return static_cast<unsigned char>(frame.at(1));
}

} // namespace

class PortChange : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void initTextThenLineOk();
    void unchangedNumberSetsUpAgain();
    void readAfterCheckFollowsTarget_data();
    void readAfterCheckFollowsTarget();
    void openFailures_data();
    void openFailures();
    void badPortNumbers_data();
    void badPortNumbers();
    void vanishedPortTimesOutUntilRecommitted();
};

void PortChange::init()
{
    ZeroParameterSet();
    QVERIFY(fixture::LoadRealPanel() > 0);
}

void PortChange::cleanup()
{
    CloseCom(com);
    fixture::DiscardRealPanel();
}

/* The line check's reply comes in two pieces 0.5 s apart, so the status line shows
** "Init COM-Port ..." meanwhile. */
void PortChange::initTextThenLineOk()
{
    SensorSim sim;
    SensorSim::Options options;
    options.pace = true;
    options.faults << "7:split:1:500";
    QVERIFY2(sim.start(options), qPrintable(sim.lastError()));
    QVERIFY(sim.command(SetCommand("ram", SensorRam)));
    sim.assignPort(4);
    fixture::PopupCatcher popups;
    StatusWatch watch;
    CommitPort(4);
    QCOMPARE(watch.Seen(), (QStringList{"InitVars", "Init COM-Port ...", LineOkText()}));
    QCOMPARE(com, 4);
    QCOMPARE(popups.count(), 0);
    QCOMPARE(PanelParams(), SensorRamOnPanel);
    QCOMPARE(Ints(Packet()), SensorRam);
    QCOMPARE(Ints(Vars()), SensorRam);
}

/* Enter on the unchanged number closes the port, opens it again and checks the line; the
** check's frame carries the packet read by the first set-up. */
void PortChange::unchangedNumberSetsUpAgain()
{
    SensorSim sim;
    QVERIFY(ConnectTo(sim, 7));
    QVERIFY(sim.waitForFrames(2));
    const QByteArray firstRead = Packet();
    QCOMPARE(firstRead, sim.get("ram"));
    QVERIFY(sim.command(SetCommand("ram", SensorRam)));
    QCOMPARE(fixture::IntVal(PANEL_COMPORT), 7);

    QVERIFY(sim.command("fault 7 split 1 300"));
    StatusWatch watch;
    CommitPort(7);
    QCOMPARE(watch.Seen(), (QStringList{LineOkText(), "Init COM-Port ...", LineOkText()}));
    QVERIFY(sim.waitForFrames(4));
    const QList<QByteArray> frames = sim.frames();
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames[2], SensorSim::frame(7, firstRead));
    QCOMPARE(Command(frames[3]), 3);
    QCOMPARE(PanelParams(), SensorRamOnPanel);
    QCOMPARE(Ints(Packet()), SensorRam);
}

void PortChange::readAfterCheckFollowsTarget_data()
{
    QTest::addColumn<int>("toggle");
    QTest::addColumn<int>("readCommand");
    QTest::addColumn<QList<int>>("onPanel");
    QTest::newRow("RAM selected: command 3") << int(PANEL_SELECT_RAM) << 3 << SensorRamOnPanel;
    QTest::newRow("EEPROM selected: command 4")
        << int(PANEL_SELECT_EEPROM) << 4 << SensorEepromOnPanel;
    QTest::newRow("FILE selected: RAM read, command 3")
        << int(PANEL_SELECT_FILE) << 3 << SensorRamOnPanel;
}

void PortChange::readAfterCheckFollowsTarget()
{
    QFETCH(int, toggle);
    QFETCH(int, readCommand);
    QFETCH(QList<int>, onPanel);
    if (toggle != PANEL_SELECT_RAM) Click(toggle);
    QCOMPARE(fixture::IntVal(toggle), 1);
    SensorSim sim;
    QVERIFY2(sim.start(), qPrintable(sim.lastError()));
    QVERIFY(sim.command(SetCommand("ram", SensorRam)));
    QVERIFY(sim.command(SetCommand("eeprom", SensorEeprom)));
    sim.assignPort(9);
    fixture::PopupCatcher popups;
    CommitPort(9);
    QCOMPARE(Status(), LineOkText());
    QCOMPARE(popups.count(), 0);
    QVERIFY(sim.waitForFrames(2));
    const QList<QByteArray> frames = sim.frames();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(Command(frames[0]), 7);
    QCOMPARE(Command(frames[1]), readCommand);
    QCOMPARE(PanelParams(), onPanel);
    QCOMPARE(fixture::IntVal(toggle), 1); /* the target is kept */
}

void PortChange::openFailures_data()
{
    QTest::addColumn<QString>("device"); /* what VELTRAV20_COM<n> names */
    QTest::addColumn<QString>("text");
    QTest::newRow("missing device") << "missing"
                                    << "No serial port found";
    QTest::newRow("device in use by another program") << "locked"
                                                      << "Cannot open port";
    QTest::newRow("a regular file, not a serial device") << "file"
                                                         << "Unknown system error";
}

void PortChange::openFailures()
{
    QFETCH(QString, device);
    QFETCH(QString, text);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SensorSim sim;
    QSerialPort other;
    QString name = dir.filePath("ttyNone");
    if (device == "locked") {
        QVERIFY2(sim.start(), qPrintable(sim.lastError()));
        name = sim.linkPath();
        other.setPortName(name);
        QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));
    } else if (device == "file") {
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    qputenv("VELTRAV20_COM12", name.toLocal8Bit());
    const QList<int> before = PanelParams();
    const QByteArray packet = Packet(), vars = Vars();

    fixture::PopupCatcher popups;
    CommitPort(12);
    QCOMPARE(Status(), text);
    QCOMPARE(popups.count(), 0);
    QCOMPARE(com, 12);
    QCOMPARE(PanelParams(), before);
    QCOMPARE(Packet(), packet);
    QCOMPARE(Vars(), vars);

    /* The port is not open: a send fails its write count and reports at once; the packet
    ** already holds the panel's values. */
    Click(ButtonSend);
    QTRY_COMPARE_WITH_TIMEOUT(popups.count(), 1, 10000);
    QCOMPARE(popups.popups[0].title, QString::fromLatin1(TimeoutTitle));
    QCOMPARE(popups.popups[0].text, QString::fromLatin1(TimeoutText));
    QCOMPARE(Status(), QStringLiteral("TIMEOUT"));
    QCOMPARE(Ints(Packet()), (QList<int>{80, 100, 10, 0, 20, 0, 30, 5, 4, 0, 5, 0, 0, 0, 0}));
    if (device == "locked") QCOMPARE(sim.frames().size(), 0);
}

void PortChange::badPortNumbers_data()
{
    QTest::addColumn<int>("port");
    QTest::newRow("0") << 0;
    QTest::newRow("256") << 256;
    QTest::newRow("-1") << -1;
}

/* The panel's input holds 1..255; the set-up itself refuses any other number. */
void PortChange::badPortNumbers()
{
    QFETCH(int, port);
    fixture::PopupCatcher popups;
    com = port;
    InitRS232(port);
    QCOMPARE(Status(), QStringLiteral("Invalid port number"));
    QCOMPARE(popups.count(), 0);
}

void PortChange::vanishedPortTimesOutUntilRecommitted()
{
    SensorSim sim;
    QVERIFY(ConnectTo(sim, 3));
    QVERIFY(sim.waitForFrames(2));
    const QList<int> panelBefore = PanelParams();
    const QByteArray packet = Packet(), vars = Vars();

    QVERIFY(sim.command("vanish 0"));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(sim.linkPath()), 10000);

    fixture::PopupCatcher popups;
    Click(ButtonGet); /* RAM: a read that gets no reply */
    QCOMPARE(popups.count(), 1);
    QCOMPARE(popups.popups[0].title, QString::fromLatin1(TimeoutTitle));
    QCOMPARE(popups.popups[0].text, QString::fromLatin1(TimeoutText));
    QCOMPARE(Status(), QStringLiteral("TIMEOUT"));
    QCOMPARE(PanelParams(), panelBefore);
    QCOMPARE(Packet(), packet);
    QCOMPARE(Vars(), vars);

    Click(ButtonSend); /* the write is refused: reported at once */
    QCOMPARE(popups.count(), 2);
    QCOMPARE(popups.popups[1].text, QString::fromLatin1(TimeoutText));

    /* The device comes back under the same name; committing the same number reopens it. */
    QVERIFY2(sim.restart(), qPrintable(sim.lastError()));
    QVERIFY(sim.command(SetCommand("ram", SensorRam)));
    CommitPort(3);
    QCOMPARE(Status(), LineOkText());
    QCOMPARE(popups.count(), 2);
    QVERIFY(sim.waitForFrames(2));
    QCOMPARE(Command(sim.frames()[0]), 7);
    QCOMPARE(Command(sim.frames()[1]), 3);
    QCOMPARE(PanelParams(), SensorRamOnPanel);
}

QTEST_MAIN(PortChange)
#include "tst_port_change.moc"
