/* serial.cpp: the serial port services of platform.h on QSerialPort: ports 1..255 named by
** VELTRAV20_COM<n> or the system's default name, bounded input and output queues, reads and
** writes that never wait, and a port that closes itself when its device vanishes.
*/
#include "qtpanel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSerialPort>

#include <algorithm>
#include <array>

#ifdef Q_OS_LINUX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace
{

enum { MaxPort = 255, DefaultQueueSize = 1024 };

/* Results of the serial operations (platform.h names the open codes). */
enum {
    ComUnknownError = -1,
    ComBadPort = -2,
    ComNotOpen = -3,
    ComNoDevice = -6,
    ComCannotOpen = -7
};

struct ComPort {
    QPointer<QSerialPort> serial; /* created at the first open, owned by the application */
    int inputQueueSize = 0;       /* bound of the input queue, bytes */
    int outputQueueSize = 0;      /* bound of the output queue, bytes */
    double timeout = 0;           /* SetComTime's value; reads and writes never wait */
    bool failed = false;          /* the device vanished; the port is being closed */
    int readThreshold = 0;        /* bytes the device holds before it reports data; 0: one */
    unsigned generation = 0;      /* counts opens, so a late close spares a reopened port */
};

std::array<ComPort, MaxPort + 1> ports; /* index = port number; [0] unused */

QString DeviceName(int port, const char *deviceName)
{
    if (deviceName && *deviceName) return QString::fromLocal8Bit(deviceName);
    const QByteArray env = qgetenv(QByteArray("VELTRAV20_COM") + QByteArray::number(port));
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

/* An error the port reports on its own, from inside the event loop. A read, write or
** resource error means the device is gone: from then on every operation fails, and the port
** is closed once control is back in the event loop (closing it inside its own signal would
** pull the buffers from under the code that emitted it). Without the close, the port would
** go on reporting the error at every event pass, at full load on a core. Pseudo-terminals
** refuse the modem-line requests; that error is of no consequence here. */
void OnError(int port, QSerialPort::SerialPortError error)
{
    ComPort &p = ports[port];
    QSerialPort *serial = p.serial;
    if (!serial) return;
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError: {
        if (p.failed || !serial->isOpen()) return;
        p.failed = true;
        const unsigned generation = p.generation;
        QMetaObject::invokeMethod(
            serial,
            [port, generation] {
                ComPort &q = ports[port];
                if (q.serial && q.generation == generation && q.failed) q.serial->close();
            },
            Qt::QueuedConnection);
        break;
    }
    case QSerialPort::UnsupportedOperationError: serial->clearError(); break;
    default: break;
    }
}

/* The open port `port`, or null when the number is out of range, the port is not open or its
** device vanished; `result` then holds the negative code. */
QSerialPort *OpenPort(int port, int *result)
{
    if (port < 1 || port > MaxPort) {
        *result = ComBadPort;
        return nullptr;
    }
    ComPort &p = ports[port];
    if (!p.serial || !p.serial->isOpen() || p.failed) {
        *result = ComNotOpen;
        return nullptr;
    }
    *result = 0;
    return p.serial;
}

/* The port stops reading from the device while its input queue is full, and only resumes
** when a read asks it for more than the queue holds; neither taking the queued bytes nor
** discarding them does that. A look at one byte more than is queued makes it resume; the
** look takes nothing out of the queue. */
void ResumeReading(QSerialPort *serial)
{
    serial->peek(serial->bytesAvailable() + 1);
}

bool Configure(QSerialPort *serial, long baudRate, int parity, int dataBits, int stopBits)
{
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                   QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    if (baudRate < 1 || baudRate > 4000000 || parity < 0 || parity > 4 || dataBits < 5 ||
        dataBits > 8 || (stopBits != 1 && stopBits != 2))
        return false;
    return serial->setBaudRate(qint32(baudRate)) && serial->setParity(parities[parity]) &&
           serial->setDataBits(QSerialPort::DataBits(dataBits)) &&
           serial->setStopBits(stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop) &&
           serial->setFlowControl(QSerialPort::NoFlowControl);
}

} // namespace

QSerialPort *vrplatform::openSerialPort(int port)
{
    int result;
    return OpenPort(port, &result);
}

/* On Linux the terminal's minimum read count (VMIN, with no inter-byte timer): the device
** reports itself readable only once it holds that many bytes. The terminal's settings are
** only rewritten when the count changes, and a serial driver leaves the line alone when only
** this count changes. */
void vrplatform::setReadThreshold(int port, int bytes)
{
#ifdef Q_OS_LINUX
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return;
    const int want = bytes > 1 ? std::min(bytes, 255) : 0;
    ComPort &p = ports[port];
    if (p.readThreshold == want) return;
    const int fd = int(serial->handle());
    termios t;
    if (tcgetattr(fd, &t) != 0) return;
    t.c_cc[VMIN] = cc_t(want);
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &t) != 0) return;
    p.readThreshold = want;
    // What the device holds short of the old threshold goes into the queue now, not at the
    // next event pass, so that GetInQLen counts it.
    int held = 0;
    if (want == 0 && ioctl(fd, FIONREAD, &held) == 0 && held > 0) serial->waitForReadyRead(0);
#else
    Q_UNUSED(port);
    Q_UNUSED(bytes);
#endif
}

/* Opens port `port` (closing it first if it is open) on deviceName, or when that is empty on
** the port's default device. Parity 0 none, 1 odd, 2 even, 3 mark, 4 space; a queue size
** below 1 stands for 1024 bytes. Returns 0, or -2, -6, -7 or -1 (platform.h). */
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize)
{
    if (port < 1 || port > MaxPort) return ComBadPort;
    if (!QCoreApplication::instance()) return ComUnknownError;
    CloseCom(port);
    ComPort &p = ports[port];
    if (!p.serial) {
        p.serial = new QSerialPort(QCoreApplication::instance());
        QObject::connect(p.serial, &QSerialPort::errorOccurred,
                         [port](QSerialPort::SerialPortError error) { OnError(port, error); });
    }
    QSerialPort *serial = p.serial;
    p.inputQueueSize = inputQueueSize > 0 ? inputQueueSize : DefaultQueueSize;
    p.outputQueueSize = outputQueueSize > 0 ? outputQueueSize : DefaultQueueSize;
    p.timeout = 0;
    p.failed = false;
    p.readThreshold = 0; /* the open sets a terminal's minimum read count to none */
    ++p.generation;

    /* the bound keeps a flooding peer from growing the queue: what does not fit stays in the
       system's own buffer until the program reads */
    serial->setReadBufferSize(p.inputQueueSize);
    serial->setPortName(DeviceName(port, deviceName));
    if (!serial->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = serial->error();
        serial->clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::ResourceError: /* a device node without hardware behind it */
            return ComNoDevice;
        case QSerialPort::PermissionError: /* also: locked by another program */
        case QSerialPort::OpenError: return ComCannotOpen;
        default: return ComUnknownError;
        }
    }
    if (!Configure(serial, baudRate, parity, dataBits, stopBits)) {
        serial->close();
        serial->clearError();
        return ComUnknownError;
    }
    return 0;
}

int CloseCom(int port)
{
    if (port < 1 || port > MaxPort) return ComBadPort;
    ComPort &p = ports[port];
    if (p.serial && p.serial->isOpen()) p.serial->close();
    p.failed = false;
    return 0;
}

/* Records the time-out; reads and writes never wait, so it does not act on them. */
int SetComTime(int port, double timeoutSeconds)
{
    int result;
    if (!OpenPort(port, &result)) return result;
    if (timeoutSeconds < 0) return ComUnknownError;
    ports[port].timeout = timeoutSeconds;
    return 0;
}

/* Mode 0: no handshake; any other mode: RTS/CTS handshake. */
int SetCTSMode(int port, int mode)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    const bool done =
        serial->setFlowControl(mode ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl);
    return done ? 0 : ComUnknownError;
}

int FlushInQ(int port)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    const bool done = serial->clear(QSerialPort::Input);
    ResumeReading(serial);
    return done ? 0 : ComUnknownError;
}

int FlushOutQ(int port)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    return serial->clear(QSerialPort::Output) ? 0 : ComUnknownError;
}

/* Accepts as many of the count bytes as the output queue has room for, sends what the line
** takes now and leaves the rest to the event loop. */
int ComWrt(int port, const unsigned char *buffer, int count)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    if (count < 0 || (count > 0 && !buffer)) return ComUnknownError;
    const qint64 room = ports[port].outputQueueSize - serial->bytesToWrite();
    const qint64 take = room < count ? (room > 0 ? room : 0) : count;
    if (take == 0) return 0;
    const qint64 accepted = serial->write(reinterpret_cast<const char *>(buffer), take);
    serial->flush();
    if (accepted < 0 || ports[port].failed) return ComUnknownError;
    return int(accepted);
}

int GetInQLen(int port)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    const qint64 queued = serial->bytesAvailable();
    const int bound = ports[port].inputQueueSize;
    return queued < bound ? int(queued) : bound;
}

int ComRdBounded(int port, unsigned char *buffer, std::size_t capacity, int count)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    if (count < 0 || (count > 0 && !buffer)) return ComUnknownError;
    qint64 want = count;
    if (std::size_t(want) > capacity) want = qint64(capacity);
    if (want > serial->bytesAvailable()) want = serial->bytesAvailable();
    if (want == 0) return 0;
    const qint64 got = serial->read(reinterpret_cast<char *>(buffer), want);
    ResumeReading(serial);
    return got < 0 ? ComUnknownError : int(got);
}
