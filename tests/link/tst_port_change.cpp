/* tst_port_change.cpp: committing a COM port number on the panel: "Init COM-Port ..." while
** the new port is checked, the parameter read that follows for each target, the fixed texts
** of a failed open, a vanished device: TIMEOUT until the number is committed again, and the
** device in view beside the input and in the window title as it comes and goes.
*/
#include <QtTest>

#include <QSerialPort>

#include "link/com232.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

#include <QWidget>

using namespace vr;
using namespace linkfixture;
using fixture::Widget;

namespace
{

const QList<int> SensorRam{110, 150, 0, 0, 30, 0, 40, 6, 2, 0, 3, 0, 4, 5, 6};
const QList<int> SensorRamOnPanel{110, 150, 100, 0, 30, 0, 40, 6, 2, 0, 3, 0};
const QList<int> SensorEeprom{70, 90, 46, 0, 10, 1, 20, 3, 1, 1, 15, 1, 0, 0, 1};
const QList<int> SensorEepromOnPanel{70, 90, 0, 0, 10, 1, 20, 3, 1, 1, 15, 1};

/* Appends the status line's text to `seen` when it changed. */
void Look(QStringList &seen)
{
    if (seen.isEmpty() || seen.last() != Status()) seen << Status();
}

QString DeviceLabel()
{
    char text[300] = "";
    GetCtrlVal(panel, PANEL_COMDEVICE, text);
    return QString::fromUtf8(text);
}

QString Title()
{
    return fixture::PanelWindow()->windowTitle();
}

int Command(const QByteArray &frame)
{
    return static_cast<unsigned char>(frame.at(1));
}

/* The TIMEOUT report: the status line and the popups' last one. */
void CheckTimeoutReport(const fixture::PopupCatcher &popups, int count)
{
    QCOMPARE(popups.count(), count);
    QCOMPARE(popups.popups.last().title, QString::fromLatin1(TimeoutTitle));
    QCOMPARE(popups.popups.last().text, QString::fromLatin1(TimeoutText));
    QCOMPARE(Status(), QStringLiteral("TIMEOUT"));
}

} // namespace

class PortChange : public QObject
{
    Q_OBJECT

  private slots:
    void init()
    {
        ZeroParameterSet();
        QVERIFY(fixture::LoadRealPanel() > 0);
    }
    void cleanup()
    {
        CloseCom(com);
        fixture::DiscardRealPanel();
    }

    void commitChecksAndReads_data()
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
    /* The line check's reply comes in two pieces 0.5 s apart, so the status line shows
    ** "Init COM-Port ..." meanwhile; the read after the check follows the target. */
    void commitChecksAndReads()
    {
        QFETCH(int, toggle);
        QFETCH(int, readCommand);
        QFETCH(QList<int>, onPanel);
        if (toggle != PANEL_SELECT_RAM) Click(toggle);
        SensorSim sim;
        SensorSim::Options options;
        options.faults << "7:split:1:500";
        QVERIFY2(sim.start(options), qPrintable(sim.lastError()));
        QVERIFY(sim.command(SetCommand("ram", SensorRam)));
        QVERIFY(sim.command(SetCommand("eeprom", SensorEeprom)));
        sim.assignPort(9);
        fixture::PopupCatcher popups;
        QStringList seen;
        Look(seen);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] { Look(seen); });
        watch.start(5);
        CommitPort(9);
        Look(seen);
        QCOMPARE(seen, (QStringList{"InitVars", "Init COM-Port ...", LineOkText()}));
        QCOMPARE(com, 9);
        QCOMPARE(popups.count(), 0);
        QVERIFY(sim.waitForFrames(2));
        const QList<QByteArray> frames = sim.frames();
        QCOMPARE(frames.size(), 2);
        QCOMPARE(Command(frames[0]), 7);
        QCOMPARE(Command(frames[1]), readCommand);
        QCOMPARE(PanelParams(), onPanel);
        QCOMPARE(Ints(Packet()), readCommand == 4 ? SensorEeprom : SensorRam);
        QCOMPARE(Ints(Vars()), readCommand == 4 ? SensorEeprom : SensorRam);
        QCOMPARE(fixture::IntVal(toggle), 1); /* the target is kept */
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("device"); /* what VELTRAV20_COM12 names */
        QTest::addColumn<QString>("text");
        QTest::newRow("missing device") << "missing"
                                        << "No serial port found";
        QTest::newRow("device in use by another program") << "locked"
                                                          << "Cannot open port";
        QTest::newRow("a regular file") << "file"
                                        << "Unknown system error";
    }
    void openFailures()
    {
        QFETCH(QString, device);
        QFETCH(QString, text);
        QTemporaryDir dir;
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
    }

    /* A read and a send on the vanished device report TIMEOUT and change nothing; Enter on
    ** the unchanged number opens the device again, and its line check carries pp. */
    void vanishedPortTimesOutUntilRecommitted()
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
        CheckTimeoutReport(popups, 1);
        QCOMPARE(PanelParams(), panelBefore);
        QCOMPARE(Packet(), packet);
        QCOMPARE(Vars(), vars);
        Click(ButtonSend); /* the write is refused: reported at once */
        CheckTimeoutReport(popups, 2);

        QVERIFY2(sim.restart(), qPrintable(sim.lastError()));
        QVERIFY(sim.command(SetCommand("ram", SensorRam)));
        const QByteArray sent = Packet();
        CommitPort(3);
        QCOMPARE(Status(), LineOkText());
        QCOMPARE(popups.count(), 2);
        QVERIFY(sim.waitForFrames(2));
        QCOMPARE(sim.frames()[0], SensorSim::frame(7, sent));
        QCOMPARE(Command(sim.frames()[1]), 3);
        QCOMPARE(PanelParams(), SensorRamOnPanel);
    }

    /* The label beside COM PORT and the window title name the device of the port in use
    ** and follow it as it vanishes and comes back; the tooltip lists the ports by number.
    ** A number that names no device says so. The status line keeps its fixed texts. */
    void deviceInView()
    {
        const QString dot = QStringLiteral(" \u00B7 ");
        SensorSim sim;
        QVERIFY(ConnectTo(sim, 3));
        const QString link = sim.linkPath();
        QCOMPARE(DeviceLabel(), link + dot + "set by VELTRAV20_COM3");
        QCOMPARE(Title(), "Veltra-Razov V2.0" + dot + "COM 3" + dot + link);
        QVERIFY(Widget(PANEL_COMDEVICE)
                    ->toolTip()
                    .split('\n')
                    .contains("COM 3: " + link + dot + "set by VELTRAV20_COM3"));

        QVERIFY(sim.command("vanish 0"));
        QTRY_COMPARE_WITH_TIMEOUT(DeviceLabel(), link + dot + "not present", 10000);
        QCOMPARE(Title(), "Veltra-Razov V2.0" + dot + "COM 3" + dot + link + " (not present)");
        QVERIFY2(sim.restart(), qPrintable(sim.lastError()));
        QTRY_COMPARE_WITH_TIMEOUT(DeviceLabel(), link + dot + "set by VELTRAV20_COM3", 10000);
        QCOMPARE(Status(), LineOkText());

        SetComDeviceList("ttyUSB0=FT232R USB UART");
        QTRY_VERIFY_WITH_TIMEOUT(
            Widget(PANEL_COMDEVICE)
                ->toolTip()
                .startsWith("COM 1: /dev/ttyUSB0" + dot + "USB serial" + dot + "FT232R USB UART\n"),
            10000);
        fixture::PopupCatcher popups;
        CommitPort(5);
        QCOMPARE(DeviceLabel(), QStringLiteral("no device for COM 5"));
        QCOMPARE(Title(), "Veltra-Razov V2.0" + dot + "COM 5" + dot + "no device");
        QCOMPARE(Status(), QStringLiteral("No serial port found"));
        QCOMPARE(popups.count(), 0);
        SetComDeviceList(nullptr);
    }
};

QTEST_MAIN(PortChange)
#include "tst_port_change.moc"
