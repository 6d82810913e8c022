/* tst_serial_port.cpp: the serial services of the platform layer on a pseudo-terminal, with
** the sensor simulator as the peer: open and its error codes, the numbering of the system's
** ports, closed ports, a round trip, bounded reads and input queue, flushing, and a vanishing
** device.
*/
#include "platform/platform.h"
#include "support/simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>

#include <cstring>
#include <ctime>

namespace
{

const int Port = 1;
const QByteArray ramSet = SensorSim::fromHex("11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f");
const QByteArray lineOk = SensorSim::fromHex("aa 02 00");

int OpenPort(int port = Port)
{
    return OpenComConfig(port, "", 4800, 0, 8, 1, 1024, 1024);
}

int Send(const QByteArray &bytes, int port = Port)
{
    return ComWrt(port, reinterpret_cast<const unsigned char *>(bytes.constData()),
                  int(bytes.size()));
}

/* Bytes received until `count` have come, or 10 s have passed. */
QByteArray Receive(int count, int port = Port)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        unsigned char buffer[4096];
        const int n = ComRdBounded(port, buffer, sizeof buffer, int(sizeof buffer));
        if (n > 0) got.append(reinterpret_cast<const char *>(buffer), n);
    }
    return got;
}

/* A line check on `port` answered "AA 02 00", and nothing more. */
bool LineCheckAnswered(int port = Port)
{
    return Send(SensorSim::frame(7), port) == 17 && Receive(3, port) == lineOk &&
           GetInQLen(port) == 0;
}

/* Every operation on `port` refused with a negative result. */
void CheckRefused(int port)
{
    unsigned char buffer[17] = {0x55, 7};
    QVERIFY(SetComTime(port, 2.0) < 0);
    QVERIFY(SetCTSMode(port, 0) < 0);
    QVERIFY(FlushInQ(port) < 0);
    QVERIFY(FlushOutQ(port) < 0);
    QVERIFY(ComWrt(port, buffer, 17) < 0);
    QVERIFY(GetInQLen(port) < 0);
    QVERIFY(ComRd(port, buffer, 3) < 0);
    QCOMPARE(buffer[0], 0x55); /* nothing written into the buffer */
}

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

    SensorSim sim;

  private slots:
    void init()
    {
        QVERIFY2(sim.start(), qPrintable(sim.lastError()));
        sim.assignPort(Port);
        QString ram = "ram";
        for (char c : ramSet)
            ram += QString(" %1").arg(uchar(c));
        QVERIFY(sim.command(ram));
    }
    void cleanup()
    {
        for (int port = 1; port <= 3; ++port)
            CloseCom(port);
        sim.stop();
    }

    void openErrors_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("expected");
        QTest::newRow("port 0") << 0 << "sim" << -2;
        QTest::newRow("port 256") << 256 << "sim" << -2;
        QTest::newRow("device missing") << 3 << "missing" << -6;
        QTest::newRow("held by another serial port") << 3 << "held" << -7;
        QTest::newRow("held through another port number") << 3 << "held by port 2" << -7;
        QTest::newRow("port 255 opens") << 255 << "sim" << 0;
    }
    void openErrors()
    {
        QFETCH(int, port);
        QFETCH(QString, device);
        QFETCH(int, expected);
        QSerialPort holder;
        QString name = sim.linkPath();
        if (device == "missing") {
            name += "-none";
        } else if (device == "held") {
            holder.setPortName(sim.linkPath());
            QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
        } else if (device == "held by port 2") {
            sim.assignPort(2);
            QCOMPARE(OpenPort(2), 0);
        }
        if (port >= 1 && port <= 255)
            qputenv(QByteArray("VELTRAV20_COM") + QByteArray::number(port), name.toLocal8Bit());

        QCOMPARE(OpenPort(port), expected);
        if (expected < 0)
            CheckRefused(port);
        else
            QVERIFY(LineCheckAnswered(port));
        if (device == "held by port 2") QVERIFY(LineCheckAnswered(2)); /* the holder works on */
    }

    void numbering_data()
    {
        QTest::addColumn<QString>("system");    /* the devices as the system lists them */
        QTest::addColumn<int>("overridden");    /* VELTRAV20_COM<n> names the simulator, or 0 */
        QTest::addColumn<QStringList>("ports"); /* port 1, 2, ..; "sim": the simulator */
        QTest::addColumn<QString>("first");     /* how port 1 is reached */
        QTest::newRow("industrial PC: built-in ports by their numbers")
            << "ttyS1;ttyS10;ttyS0;ttyS2" << 0
            << QStringList{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10"}
            << "built-in serial";
        QTest::newRow("laptop with one adapter")
            << "ttyUSB0=FT232R USB UART" << 0 << QStringList{"/dev/ttyUSB0"}
            << "USB serial \u00B7 FT232R USB UART";
        QTest::newRow("built-in first, then adapters by name")
            << "ttyUSB1;ttyACM0=Sensor Link;ttyS1;ttyUSB0;ttyS0" << 0
            << QStringList{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyUSB0",
                           "/dev/ttyUSB1"}
            << "built-in serial";
        QTest::newRow("ttyUSB2 before ttyUSB10")
            << "ttyUSB10;ttyUSB2" << 0 << QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10"}
            << "USB serial";
        QTest::newRow("VELTRAV20_COM2 overrides the second")
            << "ttyS0;ttyS1;ttyS2" << 2 << QStringList{"/dev/ttyS0", "sim", "/dev/ttyS2"}
            << "built-in serial";
        QTest::newRow("no serial port") << "" << 0 << QStringList{} << "";
    }
    /* Port n is the n-th device of the numbering; one beyond the list names no device and
    ** its open fails with "No serial port found" (-6). */
    void numbering()
    {
        QFETCH(QString, system);
        QFETCH(int, overridden);
        QFETCH(QStringList, ports);
        QFETCH(QString, first);
        for (int port = 1; port <= 6; ++port)
            qunsetenv(QByteArray("VELTRAV20_COM") + QByteArray::number(port));
        if (overridden) sim.assignPort(overridden);
        SetComDeviceList(system.toUtf8().constData());
        QStringList got;
        char device[128], how[128];
        for (int port = 1; port <= ports.size(); ++port) {
            QCOMPARE(GetComPortInfo(port, device, how), 1); /* present */
            got << (QString(device) == sim.linkPath() ? QString("sim") : QString(device));
            if (port == overridden)
                QCOMPARE(QString(how), QString("set by VELTRAV20_COM%1").arg(port));
            if (port == 1) QCOMPARE(QString::fromUtf8(how), first);
        }
        QCOMPARE(got, ports);
        const int beyond = int(ports.size()) + 1;
        QCOMPARE(GetComPortInfo(beyond, device, how), -6);
        QCOMPARE(QString(device), QString());
        QCOMPARE(OpenPort(beyond), -6);
        SetComDeviceList(nullptr);
        qunsetenv(QByteArray("VELTRAV20_COM") + QByteArray::number(overridden));
    }

    void closedPortRefusesEverything()
    {
        CheckRefused(Port); /* never opened */
        QCOMPARE(OpenPort(), 0);
        QCOMPARE(CloseCom(Port), 0);
        QCOMPARE(CloseCom(Port), 0); /* closing a closed port is fine */
        CheckRefused(Port);
        QVERIFY(CloseCom(0) < 0);
        QVERIFY(CloseCom(256) < 0);
        QVERIFY(sim.command("get ram")); /* nothing reached the device */
        QCOMPARE(sim.frames().size(), 0);
    }

    /* The set-up the program makes, then a line check; a second open of an open port closes
    ** and opens it again. */
    void lineCheckRoundTrip()
    {
        QCOMPARE(OpenPort(), 0);
        QCOMPARE(OpenPort(), 0);
        QVERIFY(SetComTime(Port, 2.0) >= 0);
        QVERIFY(FlushInQ(Port) >= 0);
        QVERIFY(FlushOutQ(Port) >= 0);
        QVERIFY(SetCTSMode(Port, 0) >= 0);
        const QByteArray packet =
            SensorSim::fromHex("50 64 0a 00 14 00 1e 05 04 00 05 00 07 08 09");
        QCOMPARE(Send(SensorSim::frame(7, packet)), 17);
        QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 3, 10000);
        unsigned char reply[3] = {0, 0, 0};
        QCOMPARE(ComRd(Port, reply, 3), 3);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(reply), 3), lineOk);
        QCOMPARE(GetInQLen(Port), 0);
        QVERIFY(sim.waitForFrames(1));
        QCOMPARE(sim.frames().size(), 1);
        QCOMPARE(sim.frames()[0], QByteArray("\x55\x07") + packet);
    }

    void readIsBounded_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expected");
        QTest::newRow("capacity 8 below count 15") << 8 << 15 << 8;
        QTest::newRow("count 5 below capacity") << 32 << 5 << 5;
        QTest::newRow("count 20 beyond the 15 queued") << 32 << 20 << 15;
        QTest::newRow("capacity 0") << 0 << 15 << 0;
        QTest::newRow("count -1") << 32 << -1 << -1;
    }
    void readIsBounded()
    {
        QFETCH(int, capacity);
        QFETCH(int, count);
        QFETCH(int, expected);
        QCOMPARE(OpenPort(), 0);
        QCOMPARE(Send(SensorSim::frame(3)), 17);
        QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 15, 10000);
        unsigned char buffer[40];
        memset(buffer, 0xCC, sizeof buffer);
        const int n = ComRdBounded(Port, buffer, std::size_t(capacity), count);
        QCOMPARE(n, expected);
        const int taken = qMax(n, 0);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), taken), ramSet.left(taken));
        for (int i = taken; i < int(sizeof buffer); ++i)
            QVERIFY2(buffer[i] == 0xCC, qPrintable(QString("byte %1 overwritten").arg(i)));
        QCOMPARE(Receive(15 - taken), ramSet.mid(taken)); /* the rest stays queued, in order */

        unsigned char small[4];
        QCOMPARE(Send(SensorSim::frame(3)), 17);
        QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 15, 10000);
        QCOMPARE(ComRd(Port, small, 15), 4); /* the array's own size bounds the read */
    }

    /* 2048 bytes 0, 1, .. 255, 0, ..: the queue holds 1024, the rest waits in the system until
    ** a read makes room; nothing is lost or reordered. A full queue flushed: the bytes queued
    ** and waiting are discarded, and the next reply stands alone. */
    void inputQueueBoundedAndFlushed()
    {
        QCOMPARE(OpenPort(), 0);
        QVERIFY(sim.command("flood 2048"));
        QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 1024, 10000);
        unsigned char buffer[4096];
        QCOMPARE(ComRdBounded(Port, buffer, sizeof buffer, int(sizeof buffer)), 1024);
        QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 1024, 10000);
        QCOMPARE(ComRdBounded(Port, buffer + 1024, 2048, 2048), 1024);
        for (int i = 0; i < 2048; ++i)
            QVERIFY2(buffer[i] == (i & 0xff), qPrintable(QString("byte %1 out of order").arg(i)));

        QVERIFY(sim.command("flood 2048 0x77"));
        QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 1024, 10000);
        QCOMPARE(FlushInQ(Port), 0);
        QCOMPARE(GetInQLen(Port), 0);
        QVERIFY(LineCheckAnswered());
    }

    void vanishedDevice_data()
    {
        QTest::addColumn<bool>("awaitingReply");
        QTest::newRow("idle port") << false;
        QTest::newRow("while a reply is awaited") << true;
    }
    void vanishedDevice()
    {
        QFETCH(bool, awaitingReply);
        QCOMPARE(OpenPort(), 0);
        QVERIFY(LineCheckAnswered());
        if (awaitingReply) {
            QVERIFY(sim.command("fault 3 silent"));
            QCOMPARE(Send(SensorSim::frame(3)), 17);
            QVERIFY(sim.waitForFrames(2));
        }
        QVERIFY(sim.command("vanish 0"));
        QTRY_VERIFY_WITH_TIMEOUT(GetInQLen(Port) < 0, 10000);
        CheckRefused(Port);

        /* The port closed itself: the event loop sleeps, well under half of 0.5 s of
        ** processor time (a port reporting its error on every pass would spin). */
        const std::clock_t before = std::clock();
        QTest::qWait(500);
        const double used = double(std::clock() - before) / CLOCKS_PER_SEC;
        QVERIFY2(used < 0.25, qPrintable(QString("%1 s of processor time").arg(used)));

        QCOMPARE(CloseCom(Port), 0);
        QCOMPARE(OpenPort(), -6); /* the device is gone */
        QVERIFY2(sim.restart(), qPrintable(sim.lastError()));
        QCOMPARE(OpenPort(), 0);
        QVERIFY(LineCheckAnswered());
    }
};

QTEST_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
