/* tst_serial_port.cpp: the serial services of the platform layer on a pseudo-terminal, with
** the sensor simulator as the peer: open and its error codes, frames and replies, bounded
** reads and queues, flushing, a vanishing device; and the simulator's own faults and pacing.
*/
#include "platform/platform.h"
#include "support/simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include <sys/resource.h>
#include <unistd.h>

namespace
{

const int Port = 1;
const QByteArray ramSet = SensorSim::fromHex("11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f");
const QByteArray eepromSet = SensorSim::fromHex("e0 e1 e2 e3 e4 e5 e6 e7 e8 e9 ea eb ec ed ee");

int OpenPort(int port = Port)
{
    return OpenComConfig(port, "", 4800, 0, 8, 1, 1024, 1024);
}

int Send(const QByteArray &bytes, int port = Port)
{
    return ComWrt(port, reinterpret_cast<const unsigned char *>(bytes.constData()),
                  int(bytes.size()));
}

/* Everything queued now, read with room to spare. */
QByteArray ReadQueued(int port = Port)
{
    unsigned char buffer[4096];
    const int n = ComRdBounded(port, buffer, sizeof buffer, int(sizeof buffer));
    return n > 0 ? QByteArray(reinterpret_cast<const char *>(buffer), n) : QByteArray();
}

/* Bytes received until `count` have come, or 10 s have passed. */
QByteArray Receive(int count, int port = Port)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += ReadQueued(port);
    }
    return got;
}

QString Bytes(const QByteArray &b)
{
    return QString::fromLatin1(b.toHex(' '));
}

QString Command(const char *format, const QByteArray &bytes)
{
    QString words;
    for (char c : bytes)
        words += QStringLiteral(" %1").arg(uchar(c));
    return QString::fromLatin1(format) + words;
}

double CpuSeconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

    SensorSim sim;

  private slots:
    void init();
    void cleanup();

    void openErrors_data();
    void openErrors();
    void closedPortRefusesEverything_data();
    void closedPortRefusesEverything();
    void lineCheckRoundTrip();
    void parameterReplies_data();
    void parameterReplies();
    void parameterWritesReachTheSensor_data();
    void parameterWritesReachTheSensor();
    void reopenWhileOpen();
    void twoPortsAtOnce();
    void readIsBounded_data();
    void readIsBounded();
    void inputQueueHoldsAtMostItsSize();
    void inputQueueBoundedUnderLongFlood();
    void flushInQDiscards();
    void vanishedDevice_data();
    void vanishedDevice();
    void vanishedDeviceLeavesLoopIdle();

    void simulatorFaults_data();
    void simulatorFaults();
    void simulatorResynchronises();
    void simulatorPacing_data();
    void simulatorPacing();
    void simulatorKeepsEeprom();
    void simulatorLiveData();
};

void TestSerialPort::init()
{
    QVERIFY2(sim.start(), qPrintable(sim.lastError()));
    sim.assignPort(Port);
    QVERIFY(sim.command(Command("ram", ramSet)));
    QVERIFY(sim.command(Command("eeprom", eepromSet)));
}

void TestSerialPort::cleanup()
{
    for (int port = 1; port <= 4; ++port)
        CloseCom(port);
    sim.stop();
}

/* ---- Open and close ------------------------------------------------------------------- */

void TestSerialPort::openErrors_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("expected");
    QTest::newRow("port 0") << 0 << "sim" << -2;
    QTest::newRow("port 256") << 256 << "sim" << -2;
    QTest::newRow("port -1") << -1 << "sim" << -2;
    QTest::newRow("device missing") << 3 << "missing" << -6;
    QTest::newRow("held by another serial port") << 3 << "held" << -7;
    QTest::newRow("held through another port number") << 3 << "held by port 2" << -7;
    QTest::newRow("no permission") << 3 << "no permission" << -7;
    QTest::newRow("not a terminal") << 3 << "regular file" << -1;
    QTest::newRow("port 255 opens") << 255 << "sim" << 0;
}

void TestSerialPort::openErrors()
{
    QFETCH(int, port);
    QFETCH(QString, device);
    QFETCH(int, expected);

    QTemporaryDir dir;
    QSerialPort holder;
    QString name = sim.linkPath();
    if (device == "missing") {
        name = dir.filePath("ttyNONE");
    } else if (device == "held") {
        holder.setPortName(sim.linkPath());
        QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
    } else if (device == "held by port 2") {
        sim.assignPort(2);
        QCOMPARE(OpenPort(2), 0);
    } else if (device == "no permission") {
        if (geteuid() == 0) QSKIP("permissions do not bind the superuser");
        QVERIFY(QFile::setPermissions(sim.device(), QFileDevice::Permissions()));
    } else if (device == "regular file") {
        name = dir.filePath("plain");
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    if (port >= 1 && port <= 255)
        qputenv(QByteArray("VELTRAV20_COM") + QByteArray::number(port), name.toLocal8Bit());

    QCOMPARE(OpenPort(port), expected);
    if (expected < 0) {
        unsigned char buffer[4];
        QVERIFY(GetInQLen(port) < 0);
        QVERIFY(ComWrt(port, buffer, 1) < 0);
        QVERIFY(ComRd(port, buffer, 1) < 0);
    } else {
        QCOMPARE(Send(SensorSim::frame(7), port), 17);
        QCOMPARE(Receive(3, port), SensorSim::fromHex("aa 02 00"));
    }
    if (device == "held by port 2") {
        /* the holder keeps working */
        QCOMPARE(Send(SensorSim::frame(7), 2), 17);
        QCOMPARE(Receive(3, 2), SensorSim::fromHex("aa 02 00"));
    }
    CloseCom(port);
}

void TestSerialPort::closedPortRefusesEverything_data()
{
    QTest::addColumn<bool>("openFirst");
    QTest::newRow("never opened") << false;
    QTest::newRow("opened and closed") << true;
}

void TestSerialPort::closedPortRefusesEverything()
{
    QFETCH(bool, openFirst);
    if (openFirst) {
        QCOMPARE(OpenPort(), 0);
        QCOMPARE(CloseCom(Port), 0);
    }
    unsigned char buffer[17] = {0x55, 7};
    QCOMPARE(CloseCom(Port), 0); /* closing a closed port is fine */
    QVERIFY(SetComTime(Port, 2.0) < 0);
    QVERIFY(SetCTSMode(Port, 0) < 0);
    QVERIFY(FlushInQ(Port) < 0);
    QVERIFY(FlushOutQ(Port) < 0);
    QVERIFY(ComWrt(Port, buffer, 17) < 0);
    QVERIFY(GetInQLen(Port) < 0);
    QVERIFY(ComRd(Port, buffer, 3) < 0);
    QCOMPARE(buffer[0], 0x55); /* nothing written into the buffer */
    QVERIFY(CloseCom(0) < 0);
    QVERIFY(CloseCom(256) < 0);
    QVERIFY(GetInQLen(0) < 0);
    QVERIFY(ComWrt(256, buffer, 17) < 0);
    /* nothing reached the device */
    QVERIFY(sim.command("get ram"));
    QCOMPARE(sim.frames().size(), 0);
}

/* ---- Frames and replies -------------------------------------------------------------- */

void TestSerialPort::lineCheckRoundTrip()
{
    QCOMPARE(OpenPort(), 0);
    QVERIFY(SetComTime(Port, 2.0) >= 0);
    QVERIFY(FlushInQ(Port) >= 0);
    QVERIFY(FlushOutQ(Port) >= 0);
    QVERIFY(SetCTSMode(Port, 0) >= 0);

    const QByteArray frame =
        SensorSim::frame(7, SensorSim::fromHex("50 64 0a 00 14 00 1e 05 04 00 05 00 07 08 09"));
    QCOMPARE(Send(frame), 17);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 3, 10000);
    unsigned char reply[3] = {0, 0, 0};
    QCOMPARE(ComRd(Port, reply, 3), 3);
    QCOMPARE(reply[0], 0xAA);
    QCOMPARE(reply[1], 0x02);
    QCOMPARE(reply[2], 0x00);
    QCOMPARE(GetInQLen(Port), 0);

    QVERIFY(sim.waitForFrames(1));
    QCOMPARE(sim.frames().size(), 1);
    QCOMPARE(Bytes(sim.frames().first()),
             QString("55 07 50 64 0a 00 14 00 1e 05 04 00 05 00 07 08 09"));
}

void TestSerialPort::parameterReplies_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("command 3: RAM") << 3 << ramSet;
    QTest::newRow("command 4: EEPROM") << 4 << eepromSet;
}

void TestSerialPort::parameterReplies()
{
    QFETCH(int, command);
    QFETCH(QByteArray, expected);
    QCOMPARE(OpenPort(), 0);
    QCOMPARE(Send(SensorSim::frame(command)), 17);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 15, 10000);
    QCOMPARE(Bytes(ReadQueued()), Bytes(expected));
}

void TestSerialPort::parameterWritesReachTheSensor_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("target");
    QTest::newRow("command 1 into RAM") << 1 << "ram";
    QTest::newRow("command 2 into EEPROM") << 2 << "eeprom";
}

void TestSerialPort::parameterWritesReachTheSensor()
{
    QFETCH(int, command);
    QFETCH(QString, target);
    const QByteArray packet = SensorSim::fromHex("5a 46 17 01 0c 02 28 09 08 01 0f 01 07 08 09");
    QCOMPARE(OpenPort(), 0);
    QCOMPARE(Send(SensorSim::frame(command, packet)), 17);
    QVERIFY(sim.waitForFrames(1));
    QCOMPARE(Bytes(sim.get(target)), Bytes(packet));
    /* the other set is untouched, and no reply came */
    QCOMPARE(Bytes(sim.get(target == "ram" ? "eeprom" : "ram")),
             Bytes(target == "ram" ? eepromSet : ramSet));
    QCOMPARE(Send(SensorSim::frame(7)), 17);
    QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));
}

void TestSerialPort::reopenWhileOpen()
{
    QCOMPARE(OpenPort(), 0);
    QCOMPARE(OpenPort(), 0); /* closes and opens again */
    QCOMPARE(Send(SensorSim::frame(7)), 17);
    QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));
}

void TestSerialPort::twoPortsAtOnce()
{
    SensorSim second;
    QVERIFY2(second.start(), qPrintable(second.lastError()));
    second.assignPort(2);
    QVERIFY(second.command(Command("ram", eepromSet)));
    QCOMPARE(OpenPort(1), 0);
    QCOMPARE(OpenPort(2), 0);
    QCOMPARE(Send(SensorSim::frame(3), 1), 17);
    QCOMPARE(Send(SensorSim::frame(3), 2), 17);
    QCOMPARE(Bytes(Receive(15, 1)), Bytes(ramSet));
    QCOMPARE(Bytes(Receive(15, 2)), Bytes(eepromSet));
    CloseCom(1);
    QCOMPARE(Send(SensorSim::frame(7), 2), 17); /* closing one leaves the other */
    QCOMPARE(Bytes(Receive(3, 2)), QString("aa 02 00"));
}

/* ---- Bounds ---------------------------------------------------------------------------- */

void TestSerialPort::readIsBounded_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");
    QTest::newRow("capacity 8 below count 15") << 8 << 15 << 8;
    QTest::newRow("count 5 below capacity") << 32 << 5 << 5;
    QTest::newRow("count 20 beyond the 15 queued") << 32 << 20 << 15;
    QTest::newRow("capacity 0") << 0 << 15 << 0;
    QTest::newRow("count 0") << 32 << 0 << 0;
    QTest::newRow("count -1") << 32 << -1 << -1;
}

void TestSerialPort::readIsBounded()
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
    const int taken = n > 0 ? n : 0;
    QCOMPARE(Bytes(QByteArray(reinterpret_cast<char *>(buffer), taken)), Bytes(ramSet.left(taken)));
    for (int i = taken; i < int(sizeof buffer); ++i)
        QVERIFY2(buffer[i] == 0xCC, qPrintable(QString("byte %1 overwritten").arg(i)));
    /* what was not taken stays queued, in order */
    QCOMPARE(GetInQLen(Port), 15 - taken);
    QCOMPARE(Bytes(ReadQueued()), Bytes(ramSet.mid(taken)));

    unsigned char small[4];
    QCOMPARE(Send(SensorSim::frame(3)), 17);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 15, 10000);
    QCOMPARE(ComRd(Port, small, 15), 4); /* the array's own size bounds the read */
}

void TestSerialPort::inputQueueHoldsAtMostItsSize()
{
    /* 2048 bytes 0, 1, .. 255, 0, ..: the queue fills to its 1024 bytes, the rest waits in
       the system until reads make room, and nothing is lost or reordered */
    QCOMPARE(OpenPort(), 0);
    QVERIFY(sim.command("flood 2048"));
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 1024, 10000);
    unsigned char part[100];
    QCOMPARE(ComRd(Port, part, 100), 100);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 1024, 10000); /* refilled after a partial read */
    const QByteArray all = QByteArray(reinterpret_cast<char *>(part), 100) + Receive(2048 - 100);
    QCOMPARE(all.size(), 2048);
    for (int i = 0; i < all.size(); ++i)
        QVERIFY2(uchar(all[i]) == (i & 0xff), qPrintable(QString("byte %1 out of order").arg(i)));
    QCOMPARE(GetInQLen(Port), 0);

    /* a full queue flushed: the rest is discarded and new replies come through */
    QVERIFY(sim.command("flood 2048 0x77"));
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 1024, 10000);
    QCOMPARE(FlushInQ(Port), 0);
    QCOMPARE(GetInQLen(Port), 0);
    QCOMPARE(Send(SensorSim::frame(7)), 17);
    QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));
}

void TestSerialPort::inputQueueBoundedUnderLongFlood()
{
    QCOMPARE(OpenPort(), 0);
    QVERIFY(sim.command("flood 200000"));
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 1024, 10000);
    QTest::qWait(200); /* the flood goes on; the queue must not grow */
    unsigned char buffer[8192];
    QCOMPARE(ComRdBounded(Port, buffer, sizeof buffer, int(sizeof buffer)), 1024);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 1024, 10000);
    QCOMPARE(ComRdBounded(Port, buffer, sizeof buffer, int(sizeof buffer)), 1024);
}

void TestSerialPort::flushInQDiscards()
{
    QCOMPARE(OpenPort(), 0);
    QCOMPARE(Send(SensorSim::frame(3)), 17);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 15, 10000);
    QCOMPARE(FlushInQ(Port), 0);
    QCOMPARE(GetInQLen(Port), 0);
    unsigned char buffer[16];
    QCOMPARE(ComRd(Port, buffer, 15), 0);
    /* the next reply stands alone */
    QCOMPARE(Send(SensorSim::frame(7)), 17);
    QTRY_COMPARE_WITH_TIMEOUT(GetInQLen(Port), 3, 10000);
    QCOMPARE(Bytes(ReadQueued()), QString("aa 02 00"));
    QCOMPARE(FlushOutQ(Port), 0);
}

/* ---- A vanishing device ------------------------------------------------------------- */

void TestSerialPort::vanishedDevice_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("idle port") << "vanish 0";
    QTest::newRow("while a reply is awaited") << "awaited";
    QTest::newRow("after one more reply") << "vanish 1";
}

void TestSerialPort::vanishedDevice()
{
    QFETCH(QString, how);
    QCOMPARE(OpenPort(), 0);
    QCOMPARE(Send(SensorSim::frame(7)), 17);
    QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));

    if (how == "awaited") {
        QVERIFY(sim.command("fault 3 silent"));
        QCOMPARE(Send(SensorSim::frame(3)), 17);
        QVERIFY(sim.waitForFrames(2));
        QVERIFY(sim.command("vanish 0"));
    } else if (how == "vanish 1") {
        QVERIFY(sim.command("vanish 1"));
        QCOMPARE(Send(SensorSim::frame(7)), 17);
        QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));
    } else {
        QVERIFY(sim.command(how));
    }

    QTRY_VERIFY_WITH_TIMEOUT(GetInQLen(Port) < 0, 10000);
    unsigned char buffer[17] = {0x55, 7};
    QVERIFY(ComWrt(Port, buffer, 17) < 0);
    QVERIFY(ComRd(Port, buffer, 3) < 0);
    QVERIFY(FlushInQ(Port) < 0);
    QVERIFY(FlushOutQ(Port) < 0);
    QVERIFY(SetComTime(Port, 2.0) < 0);
    QCOMPARE(CloseCom(Port), 0);

    QCOMPARE(OpenPort(), -6); /* the device is gone */
    QVERIFY2(sim.restart(), qPrintable(sim.lastError()));
    QCOMPARE(OpenPort(), 0);
    QCOMPARE(Send(SensorSim::frame(7)), 17);
    QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));
}

void TestSerialPort::vanishedDeviceLeavesLoopIdle()
{
    QCOMPARE(OpenPort(), 0);
    QVERIFY(sim.command("vanish 0"));
    QTRY_VERIFY_WITH_TIMEOUT(GetInQLen(Port) < 0, 10000);
    /* a port left open on a vanished device reports its error on every event pass; the
       closed port leaves the loop asleep: well under half of 0.5 s of processor time */
    const double before = CpuSeconds();
    QTest::qWait(500);
    QVERIFY2(CpuSeconds() - before < 0.25,
             qPrintable(QString("%1 s of processor time").arg(CpuSeconds() - before)));
}

/* ---- The simulator ------------------------------------------------------------------ */

void TestSerialPort::simulatorFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("firstPiece"); /* bytes queued before a split's pause; -1: none */
    QTest::addColumn<int>("minMs");      /* the whole reply takes at least this long */

    const QByteArray lineOk = SensorSim::fromHex("aa 02 00");
    QTest::newRow("no fault") << "fault 7 none" << 7 << 1 << lineOk << -1 << 0;
    QTest::newRow("wrong line check")
        << "fault 7 wrong" << 7 << 1 << SensorSim::fromHex("aa 02 01") << -1 << 0;
    QTest::newRow("short: 14 of 15 bytes")
        << "fault 3 short" << 3 << 1 << ramSet.left(14) << -1 << 0;
    QTest::newRow("long: 16 bytes") << "fault 3 long" << 3 << 1 << ramSet + '\0' << -1 << 0;
    QTest::newRow("silent") << "fault 5 silent" << 5 << 1 << QByteArray() << -1 << 0;
    QTest::newRow("late by 300 ms") << "fault 3 late 300" << 3 << 1 << ramSet << -1 << 300;
    QTest::newRow("split after 1 byte") << "fault 7 split 1 1500" << 7 << 1 << lineOk << 1 << 1500;
    QTest::newRow("split after 9 bytes") << "fault 3 split 9 1500" << 3 << 1 << ramSet << 9 << 1500;
    QTest::newRow("wrong once, then right")
        << "fault 7 wrong once" << 7 << 2 << SensorSim::fromHex("aa 02 01 aa 02 00") << -1 << 0;
    QTest::newRow("faults cleared") << "clear" << 3 << 1 << ramSet << -1 << 0;
    QTest::newRow("data pinned") << "data 1 2 3 4 5 6 7 8 9" << 5 << 2
                                 << SensorSim::fromHex("01 02 03 04 05 06 07 08 09 "
                                                       "01 02 03 04 05 06 07 08 09")
                                 << -1 << 0;
    QTest::newRow("jump buffer pinned")
        << "jump 10 20 30 40 50 60 70 80 90 100 110 120 130 140 150 160" << 6 << 1
        << SensorSim::fromHex("0a 14 1e 28 32 3c 46 50 5a 64 6e 78 82 8c 96 a0") << -1 << 0;
    QTest::newRow("unknown command 9") << "clear" << 9 << 1 << QByteArray() << -1 << 0;
}

/* Sends `requests` frames of `command`, then a command 4 as a barrier: the simulator answers
** in order, so once the barrier's reply is in, everything before it is too. */
void TestSerialPort::simulatorFaults()
{
    QFETCH(QString, fault);
    QFETCH(int, command);
    QFETCH(int, requests);
    QFETCH(QByteArray, expected);
    QFETCH(int, firstPiece);
    QFETCH(int, minMs);
    QVERIFY(sim.command("fault 3 short")); /* replaced by the row's fault, or cleared */
    QVERIFY2(sim.command(fault), qPrintable(sim.lastError()));
    QCOMPARE(OpenPort(), 0);

    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < requests; ++i)
        QCOMPARE(Send(SensorSim::frame(command)), 17);
    if (firstPiece >= 0) {
        QTRY_VERIFY_WITH_TIMEOUT(GetInQLen(Port) >= firstPiece, 10000);
        QCOMPARE(GetInQLen(Port), firstPiece);
    }
    QCOMPARE(Send(SensorSim::frame(4)), 17);

    QByteArray got;
    qint64 fullAt = -1;
    while (!(got.size() >= expected.size() + 15 && got.endsWith(eepromSet)) &&
           clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += ReadQueued();
        if (fullAt < 0 && got.size() >= expected.size()) fullAt = clock.elapsed();
    }
    QCOMPARE(Bytes(got), Bytes(expected + eepromSet));
    QVERIFY2(fullAt >= minMs, qPrintable(QString("reply complete after %1 ms").arg(fullAt)));
    QVERIFY(sim.waitForFrames(requests + 1));
    QCOMPARE(sim.frames().size(), requests + 1);
}

void TestSerialPort::simulatorResynchronises()
{
    QCOMPARE(OpenPort(), 0);
    /* bytes before a frame's sync byte are skipped */
    QCOMPARE(Send(SensorSim::fromHex("00 aa 07 13") + SensorSim::frame(7)), 21);
    QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));
    QVERIFY(sim.waitForFrames(1));
    QCOMPARE(Bytes(sim.frames().at(0)), Bytes(SensorSim::frame(7)));

    /* a partial frame followed by a pause is dropped: the next frame stands alone */
    QCOMPARE(Send(SensorSim::frame(3).left(9)), 9);
    QTest::qWait(400);
    QCOMPARE(Send(SensorSim::frame(7)), 17);
    QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));
    QVERIFY(sim.waitForFrames(2));
    QCOMPARE(sim.frames().size(), 2);
    QCOMPARE(Bytes(sim.frames().at(1)), Bytes(SensorSim::frame(7)));
    QCOMPARE(Send(SensorSim::frame(7)), 17); /* nothing else was pending */
    QCOMPARE(Bytes(Receive(3)), QString("aa 02 00"));
    QCOMPARE(GetInQLen(Port), 0);
}

void TestSerialPort::simulatorPacing_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("replyLen");
    QTest::newRow("line check: 17 + 3 byte times") << 7 << 3;
    QTest::newRow("data: 17 + 9 byte times") << 5 << 9;
    QTest::newRow("jump buffer: 17 + 16 byte times") << 6 << 16;
}

void TestSerialPort::simulatorPacing()
{
    QFETCH(int, command);
    QFETCH(int, replyLen);
    SensorSim::Options paced;
    paced.pace = true;
    QVERIFY2(sim.start(paced), qPrintable(sim.lastError()));
    QCOMPARE(OpenPort(), 0);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Send(SensorSim::frame(command)), 17);
    QCOMPARE(Receive(replyLen).size(), replyLen);
    /* 10 bit times per byte at 4800 baud; the line cannot be faster than that */
    const double lineMs = (17 + replyLen) * 10 * 1000.0 / 4800.0;
    QVERIFY2(clock.nsecsElapsed() / 1e6 >= lineMs - 0.5,
             qPrintable(QString("%1 ms < %2 ms").arg(clock.nsecsElapsed() / 1e6).arg(lineMs)));
}

void TestSerialPort::simulatorKeepsEeprom()
{
    QTemporaryDir dir;
    SensorSim::Options options;
    options.eepromFile = dir.filePath("eeprom.txt");
    QVERIFY2(sim.start(options), qPrintable(sim.lastError()));
    /* a fresh sensor: the factory set in EEPROM and, at power-on, in RAM */
    const QByteArray factory = SensorSim::fromHex("50 64 0a 00 14 00 1e 05 04 00 05 00 00 00 00");
    QCOMPARE(Bytes(sim.get("eeprom")), Bytes(factory));
    QCOMPARE(Bytes(sim.get("ram")), Bytes(factory));

    const QByteArray packet = SensorSim::fromHex("5a 46 17 01 0c 02 28 09 08 01 0f 01 07 08 09");
    QCOMPARE(OpenPort(), 0);
    QCOMPARE(Send(SensorSim::frame(2, packet)), 17);
    QVERIFY(sim.waitForFrames(1));
    CloseCom(Port);

    /* power cycle: EEPROM kept, and loaded into RAM */
    QVERIFY2(sim.restart(), qPrintable(sim.lastError()));
    QCOMPARE(OpenPort(), 0);
    QCOMPARE(Send(SensorSim::frame(4)), 17);
    QCOMPARE(Bytes(Receive(15)), Bytes(packet));
    QCOMPARE(Send(SensorSim::frame(3)), 17);
    QCOMPARE(Bytes(Receive(15)), Bytes(packet));
}

/* Generated data packets: NORM = DAT0*255/(DAT0+DAT1), the three times near their nominal
** 300 (edge), 1000 (IN0 to IN0) and 600 (window), and an object passing within the first
** seconds, cutting NORM below the factory threshold of 80. */
void TestSerialPort::simulatorLiveData()
{
    QVERIFY2(sim.restart(), qPrintable(sim.lastError())); /* factory parameter set */
    QCOMPARE(OpenPort(), 0);
    int lowest = 255, highest = 0;
    QElapsedTimer clock;
    clock.start();
    while (lowest >= 80 && clock.elapsed() < 10000) {
        FlushInQ(Port);
        QCOMPARE(Send(SensorSim::frame(5)), 17);
        const QByteArray d = Receive(9);
        QCOMPARE(d.size(), 9);
        const int dat0 = uchar(d[0]), dat1 = uchar(d[1]), norm = uchar(d[2]);
        QCOMPARE(norm, dat0 + dat1 ? dat0 * 255 / (dat0 + dat1) : 0);
        const int edge = uchar(d[3]) + 256 * uchar(d[4]);
        const int in0 = uchar(d[5]) + 256 * uchar(d[6]);
        const int in1 = uchar(d[7]) + 256 * uchar(d[8]);
        QVERIFY2(edge >= 270 && edge <= 330, qPrintable(QString::number(edge)));
        QVERIFY2(in0 >= 960 && in0 <= 1040, qPrintable(QString::number(in0)));
        QVERIFY2(in1 >= 570 && in1 <= 630, qPrintable(QString::number(in1)));
        lowest = qMin(lowest, norm);
        highest = qMax(highest, norm);
        QTest::qWait(10);
    }
    QVERIFY2(lowest < 80, qPrintable(QString("lowest NORM %1").arg(lowest)));
    QVERIFY2(highest > 100, qPrintable(QString("highest NORM %1").arg(highest)));

    /* the jump buffer: minimum NORM values at edges, all below the threshold */
    const QByteArray before = sim.get("jump");
    QCOMPARE(Send(SensorSim::frame(6)), 17);
    const QByteArray jump = Receive(16);
    const QByteArray after = sim.get("jump");
    QCOMPARE(jump.size(), 16);
    QVERIFY(jump == before || jump == after); /* an edge may fall between */
    for (char v : jump)
        QVERIFY2(uchar(v) > 0 && uchar(v) < 80, qPrintable(Bytes(jump)));
}

QTEST_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
