/* serial.cpp: the serial port services of platform.h on QSerialPort: ports 1..255 named by
** VELTRAV20_COM<n> or numbered over the system's serial devices, bounded input and output
** queues, reads and writes that never wait, a port that closes itself when its device
** vanishes, and the watch on the devices coming and going. Divisions: the device list and
** port numbers; the port records; the operations.
*/
#include "qtpanel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QList>
#include <QPointer>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <array>

#ifdef Q_OS_LINUX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace
{

enum { MaxPort = 255, DefaultQueueSize = 1024 };

/* ---- The device list and port numbers ------------------------------------------------ */

struct Device {
    QString path;        /* "/dev/ttyUSB0" */
    QString description; /* how it is reached, as GetComPortInfo gives it */
    bool usb = false;    /* a USB adapter: numbered after the built-in ports */
};

QList<Device> devices;                  /* the system's serial devices in port-number order */
bool devicesTaken = false;              /* devices holds the current list */
bool substituted = false;               /* SetComDeviceList replaced the system's list */
QString substitute;                     /* the list SetComDeviceList gave */
void (*devicesChanged)(void) = nullptr; /* WatchComDevices' callback */
QPointer<QFileSystemWatcher> watcher;   /* /dev and the directories of opened devices */
QPointer<QTimer> settle;                /* one call of devicesChanged for a burst */

/* Name order with a trailing number compared as a number: ttyS2 before ttyS10. */
bool NameBefore(const QString &a, const QString &b)
{
    auto stem = [](const QString &s) {
        int i = int(s.size());
        while (i > 0 && s.at(i - 1).isDigit())
            --i;
        return i;
    };
    const int ia = stem(a), ib = stem(b);
    const int c = QStringView(a).left(ia).compare(QStringView(b).left(ib));
    if (c != 0) return c < 0;
    const qlonglong na = QStringView(a).mid(ia).toLongLong(),
                    nb = QStringView(b).mid(ib).toLongLong();
    return na != nb ? na < nb : a < b;
}

Device MakeDevice(const QString &name, const QString &ownDescription, bool usbVendor)
{
    Device d;
    d.path = name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    const QString base = QFileInfo(d.path).fileName();
    d.usb = usbVendor || base.startsWith(QLatin1String("ttyUSB")) ||
            base.startsWith(QLatin1String("ttyACM"));
    d.description = d.usb ? QStringLiteral("USB serial") : QStringLiteral("built-in serial");
    if (!ownDescription.isEmpty()) d.description += QStringLiteral(" \u00B7 ") + ownDescription;
    return d;
}

/* The numbering rule: built-in ports first in the order of their numbers, then the USB
** adapters in the order of their names. */
void TakeDevices()
{
    devices.clear();
    if (substituted) {
        for (const QString &entry : substitute.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const int eq = int(entry.indexOf(QLatin1Char('=')));
            devices.append(eq < 0 ? MakeDevice(entry.trimmed(), QString(), false)
                                  : MakeDevice(entry.left(eq).trimmed(), entry.mid(eq + 1), false));
        }
    } else {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            devices.append(
                MakeDevice(info.systemLocation(),
                           info.description().isEmpty() ? info.manufacturer() : info.description(),
                           info.hasVendorIdentifier()));
    }
    std::stable_sort(devices.begin(), devices.end(), [](const Device &a, const Device &b) {
        if (a.usb != b.usb) return !a.usb;
        return NameBefore(a.path, b.path);
    });
    devicesTaken = true;
}

const QList<Device> &Devices()
{
    if (!devicesTaken) TakeDevices();
    return devices;
}

/* Devices appeared or disappeared: the list is taken again when next needed, and the
** program hears of it once the burst is over (a device node comes with several changes). */
void NoteDevicesChanged()
{
    devicesTaken = false;
    if (!devicesChanged || !QCoreApplication::instance()) return;
    if (!settle) {
        settle = new QTimer(QCoreApplication::instance());
        settle->setSingleShot(true);
        settle->setInterval(200);
        QObject::connect(settle, &QTimer::timeout, [] {
            if (devicesChanged) devicesChanged();
        });
    }
    settle->start();
}

/* Watches the directory of `path` for devices coming and going. */
void WatchDirectoryOf(const QString &path)
{
    if (!watcher || path.isEmpty()) return;
    const QString dir = QFileInfo(path).absolutePath();
    if (QFileInfo(dir).isDir() && !watcher->directories().contains(dir)) watcher->addPath(dir);
}

QString EnvName(int port)
{
    return QStringLiteral("VELTRAV20_COM%1").arg(port);
}

/* ---- The port records ---------------------------------------------------------------- */

struct ComPort {
    QString device;                 /* the device of the last open, until CloseCom */
    QPointer<QSerialPort> serial;   /* created at the first open, owned by the application */
    int inputQueueSize = 0;         /* bound of the input queue, bytes */
    int outputQueueSize = 0;        /* bound of the output queue, bytes */
    double timeout = 0;             /* SetComTime's value; reads and writes never wait */
    bool failed = false;            /* the device vanished; the port is being closed */
    int readThreshold = 0;          /* bytes the device holds before it reports data; 0: one */
    double charTime = 0;            /* s a character takes on the line: start, data, parity, stop */
    double lineFreeAt = 0;          /* Timer() when the last byte written has left the line */
    QPointer<QSocketNotifier> held; /* the port's watch on its data, while holdReads holds it */
    unsigned generation = 0;        /* counts opens, so a late close spares a reopened port */
};

std::array<ComPort, MaxPort + 1> ports; /* index = port number; [0] unused */

/* The device port `port` names now; empty when there is none. */
QString DeviceName(int port, const char *deviceName)
{
    if (deviceName && *deviceName) return QString::fromLocal8Bit(deviceName);
    const QByteArray env = qgetenv(EnvName(port).toLatin1());
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
#ifdef Q_OS_WIN
    if (!substituted) return QStringLiteral("COM%1").arg(port);
#endif
    const QList<Device> &list = Devices();
    return port <= list.size() ? list.at(port - 1).path : QString();
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
        NoteDevicesChanged();
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
        *result = ComErrBadPort;
        return nullptr;
    }
    ComPort &p = ports[port];
    if (!p.serial || !p.serial->isOpen() || p.failed) {
        *result = ComErrNotOpen;
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

double vrplatform::replyEarliest(int port, int awaited)
{
    int result;
    if (!OpenPort(port, &result)) return 0;
    const ComPort &p = ports[port];
    return p.lineFreeAt + awaited * p.charTime;
}

/* The device's data is watched through the port's read notifier, a child of the port. */
void vrplatform::holdReads(int port, bool hold)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return;
    ComPort &p = ports[port];
    if (!hold) {
        if (!p.held) return;
        p.held->setEnabled(true);
        p.held = nullptr;
        serial->waitForReadyRead(0);
        return;
    }
    if (p.held) return;
    for (QSocketNotifier *n : serial->findChildren<QSocketNotifier *>(Qt::FindDirectChildrenOnly))
        if (n->type() == QSocketNotifier::Read && n->socket() == serial->handle() &&
            n->isEnabled()) {
            n->setEnabled(false);
            p.held = n;
            return;
        }
}

/* ---- The operations ------------------------------------------------------------------ */

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize)
{
    if (port < 1 || port > MaxPort) return ComErrBadPort;
    if (!QCoreApplication::instance()) return ComErrUnknown;
    CloseCom(port);
    devicesTaken = false; // the operator may just have plugged the adapter in
    ComPort &p = ports[port];
    p.device = DeviceName(port, deviceName);
    WatchDirectoryOf(p.device);
    if (p.device.isEmpty()) return ComErrNoDevice;
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
    p.held = nullptr;    /* a new open watches the device again */
    ++p.generation;

    /* the bound keeps a flooding peer from growing the queue: what does not fit stays in the
       system's own buffer until the program reads */
    serial->setReadBufferSize(p.inputQueueSize);
    serial->setPortName(p.device);
    if (!serial->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = serial->error();
        serial->clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::ResourceError: /* a device node without hardware behind it */
            return ComErrNoDevice;
        case QSerialPort::PermissionError: /* also: locked by another program */
        case QSerialPort::OpenError: return ComErrCannotOpen;
        default: return ComErrUnknown;
        }
    }
    if (!Configure(serial, baudRate, parity, dataBits, stopBits)) {
        serial->close();
        serial->clearError();
        return ComErrUnknown;
    }
    p.charTime = (1 + dataBits + (parity ? 1 : 0) + stopBits) / double(baudRate);
    p.lineFreeAt = 0;
    return 0;
}

int CloseCom(int port)
{
    if (port < 1 || port > MaxPort) return ComErrBadPort;
    ComPort &p = ports[port];
    if (p.serial && p.serial->isOpen()) p.serial->close();
    p.failed = false;
    p.held = nullptr;
    p.device.clear();
    return 0;
}

int SetComTime(int port, double timeoutSeconds)
{
    int result;
    if (!OpenPort(port, &result)) return result;
    if (timeoutSeconds < 0) return ComErrUnknown;
    ports[port].timeout = timeoutSeconds;
    return 0;
}

int SetCTSMode(int port, int mode)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    const bool done =
        serial->setFlowControl(mode ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl);
    return done ? 0 : ComErrUnknown;
}

int FlushInQ(int port)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    const bool done = serial->clear(QSerialPort::Input);
    ResumeReading(serial);
    return done ? 0 : ComErrUnknown;
}

int FlushOutQ(int port)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    return serial->clear(QSerialPort::Output) ? 0 : ComErrUnknown;
}

int ComWrt(int port, const unsigned char *buffer, int count)
{
    int result;
    QSerialPort *serial = OpenPort(port, &result);
    if (!serial) return result;
    if (count < 0 || (count > 0 && !buffer)) return ComErrUnknown;
    ComPort &p = ports[port];
    const qint64 room = p.outputQueueSize - serial->bytesToWrite();
    const qint64 take = room < count ? (room > 0 ? room : 0) : count;
    if (take == 0) return 0;
    const qint64 accepted = serial->write(reinterpret_cast<const char *>(buffer), take);
    serial->flush();
    if (accepted < 0 || p.failed) return ComErrUnknown;
    p.lineFreeAt = std::max(Timer(), p.lineFreeAt) + double(accepted) * p.charTime;
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
    if (count < 0 || (count > 0 && !buffer)) return ComErrUnknown;
    qint64 want = count;
    if (std::size_t(want) > capacity) want = qint64(capacity);
    if (want > serial->bytesAvailable()) want = serial->bytesAvailable();
    if (want == 0) return 0;
    const qint64 got = serial->read(reinterpret_cast<char *>(buffer), want);
    ResumeReading(serial);
    return got < 0 ? ComErrUnknown : int(got);
}

int GetComPortInfoText(int port, char *device, std::size_t deviceCapacity, char *description,
                       std::size_t descriptionCapacity)
{
    using vrplatform::copyText;
    copyText(QString(), device, deviceCapacity);
    copyText(QString(), description, descriptionCapacity);
    if (port < 1 || port > MaxPort) return ComErrBadPort;
    if (!QCoreApplication::instance()) return ComErrUnknown;
    const QString path =
        ports[port].device.isEmpty() ? DeviceName(port, nullptr) : ports[port].device;
    if (path.isEmpty()) return ComErrNoDevice;
    const QList<Device> &list = Devices();
    const auto listed =
        std::find_if(list.begin(), list.end(), [&path](const Device &d) { return d.path == path; });
    QString how;
    if (listed != list.end())
        how = listed->description;
    else if (QString::fromLocal8Bit(qgetenv(EnvName(port).toLatin1())) == path)
        how = QStringLiteral("set by ") + EnvName(port);
    copyText(path, device, deviceCapacity);
    copyText(how, description, descriptionCapacity);
    return listed != list.end() || QFileInfo::exists(path) ? 1 : 0;
}

void WatchComDevices(void (*changed)(void))
{
    devicesChanged = changed;
    if (!changed || watcher || !QCoreApplication::instance()) return;
    watcher = new QFileSystemWatcher(QCoreApplication::instance());
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged,
                     [](const QString &) { NoteDevicesChanged(); });
    WatchDirectoryOf(QStringLiteral("/dev/tty"));
    for (const ComPort &p : ports)
        WatchDirectoryOf(p.device);
}

void SetComDeviceList(const char *list)
{
    substituted = list != nullptr;
    substitute = list ? QString::fromUtf8(list) : QString();
    NoteDevicesChanged();
}
