/* simulator.cpp: SensorSim, the sensor simulator driven from a test through QProcess: start,
** control commands with their answers, and the frame log read back.
*/
#include "simulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace
{

const char simulatorProgram[] = VELTRA_BIN_DIR "/sensorsim";

/* Lets the application's events run (the serial port among them) for a few milliseconds. */
void Pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
}

} // namespace

SensorSim::SensorSim()
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

SensorSim::~SensorSim()
{
    stop();
}

QString SensorSim::linkPath() const
{
    return m_dir.filePath(QStringLiteral("ttySIM"));
}

void SensorSim::assignPort(int port) const
{
    qputenv(QByteArray("VELTRAV20_COM") + QByteArray::number(port), linkPath().toLocal8Bit());
}

bool SensorSim::start(const Options &options)
{
    stop();
    m_options = options;
    m_error.clear();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    QFile::remove(m_dir.filePath(QStringLiteral("frames.log")));
    QStringList args{QStringLiteral("--link"), linkPath(), QStringLiteral("--log"),
                     m_dir.filePath(QStringLiteral("frames.log"))};
    if (!options.pace) args << QStringLiteral("--no-pace");
    for (const QString &fault : options.faults)
        args << QStringLiteral("--fault") << fault;

    m_process.start(QString::fromLocal8Bit(simulatorProgram), args);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start %1: %2")
                      .arg(QString::fromLocal8Bit(simulatorProgram), m_process.errorString());
        return false;
    }
    QByteArray line;
    if (!readLine(&line, 10000) || !line.startsWith('/')) {
        m_error = QStringLiteral("no device name from the simulator (got \"%1\")")
                      .arg(QString::fromLocal8Bit(line));
        stop();
        return false;
    }
    return true;
}

bool SensorSim::restart()
{
    const Options options = m_options;
    return start(options);
}

void SensorSim::stop()
{
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(3000)) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    m_process.readAll();
}

bool SensorSim::readLine(QByteArray *line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) return false;
        Pump();
        m_process.waitForReadyRead(5);
    }
    *line = m_process.readLine().trimmed();
    return true;
}

bool SensorSim::command(const QString &line, QString *values)
{
    if (m_process.state() != QProcess::Running) {
        m_error = QStringLiteral("simulator not running");
        return false;
    }
    m_process.write(line.toLocal8Bit() + '\n');
    QByteArray answer;
    if (!readLine(&answer, 10000)) {
        m_error = QStringLiteral("no answer to \"%1\"").arg(line);
        return false;
    }
    if (answer != "ok" && !answer.startsWith("ok ")) {
        m_error =
            QStringLiteral("\"%1\" answered \"%2\"").arg(line, QString::fromLocal8Bit(answer));
        return false;
    }
    if (values) *values = QString::fromLocal8Bit(answer.mid(3));
    return true;
}

QByteArray SensorSim::get(const QString &what)
{
    QString values;
    if (!command(QStringLiteral("get ") + what, &values)) return QByteArray();
    return fromHex(values);
}

QList<QByteArray> SensorSim::frames() const
{
    QList<QByteArray> result;
    QFile log(m_dir.filePath(QStringLiteral("frames.log")));
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text)) return result;
    while (!log.atEnd()) {
        const QByteArray text = log.readLine();
        if (!text.endsWith('\n')) break; /* a line still being written */
        const QList<QByteArray> fields = text.simplified().split(' ');
        if (fields.size() != 18) continue; /* arrival time, then the 17 bytes */
        QByteArray bytes;
        for (int i = 1; i < fields.size(); ++i)
            bytes.append(char(fields[i].toInt(nullptr, 16)));
        result.append(bytes);
    }
    return result;
}

bool SensorSim::waitForFrames(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (frames().size() < count) {
        if (deadline.hasExpired()) return false;
        Pump();
    }
    return true;
}

QByteArray SensorSim::frame(int command, const QByteArray &packet)
{
    QByteArray f;
    f.append(char(0x55));
    f.append(char(command));
    f.append(packet.left(15));
    f.append(QByteArray(17 - f.size(), '\0'));
    return f;
}

QByteArray SensorSim::fromHex(const QString &text)
{
    QByteArray bytes;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        bytes.append(char(word.toInt(nullptr, 16)));
    return bytes;
}
