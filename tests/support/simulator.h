/* simulator.h: the sensor simulator (tools/sensorsim) as a test's peer: starts it on a
** pseudo-terminal, points a COM port number at it, sends it control commands and reads back
** the frames it received. `sensorsim --help` describes the simulator itself.
*/
#ifndef TESTS_SUPPORT_SIMULATOR_H
#define TESTS_SUPPORT_SIMULATOR_H

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/* One simulator process, reached through a symbolic link in a private temporary directory
** whose name stays the same across restart(). Every wait processes the application's events,
** so the serial port keeps moving data meanwhile. Destruction stops the process. */
class SensorSim
{
  public:
    struct Options {
        bool pace = false;  /* replies at the 4800-baud line rate; default at once */
        QStringList faults; /* --fault values from the start, e.g. "7:split:1:500" */
    };

    SensorSim();
    ~SensorSim();
    SensorSim(const SensorSim &) = delete;
    SensorSim &operator=(const SensorSim &) = delete;

    /* Starts the simulator and waits (up to 10 s) for its device name. False, with
    ** lastError() set, when it does not come up. A running simulator is stopped first. */
    bool start(const Options &options);
    bool start() { return start(Options()); }
    /* Stops the simulator and starts it again with the same options and the same link: the
    ** device "comes back". The log starts empty again. */
    bool restart();
    /* Sends "quit" and waits for the exit; kills the process if it does not end. The link is
    ** removed. Harmless when not running. */
    void stop();

    /* The stable link to the pseudo-terminal that ports use. */
    QString linkPath() const;
    /* Sets VELTRAV20_COM<port> to linkPath(), so OpenComConfig(port, "", ...) opens it. */
    void assignPort(int port) const;

    /* Sends one control command line (see sensorsim --help) and waits (up to 10 s) for its
    ** answer. True for "ok"; what follows "ok " goes to *values. False for an "error" answer,
    ** no answer or no process, with lastError() set. */
    bool command(const QString &line, QString *values = nullptr);
    /* "get ram", "get eeprom" or "get jump" as bytes; empty on failure. */
    QByteArray get(const QString &what);

    /* The 17-byte frames logged so far, oldest first. */
    QList<QByteArray> frames() const;
    /* Waits until at least `count` frames are logged; false after timeoutMs. */
    bool waitForFrames(int count, int timeoutMs = 10000) const;

    QString lastError() const { return m_error; }

    /* The 17-byte frame 0x55, command, packet (15 bytes; a shorter packet is padded with
    ** zeros, a longer one cut). */
    static QByteArray frame(int command, const QByteArray &packet = QByteArray());
    /* Bytes from text of two-digit hex numbers separated by spaces ("aa 02 00"). */
    static QByteArray fromHex(const QString &text);

  private:
    bool readLine(QByteArray *line, int timeoutMs);

    QTemporaryDir m_dir; /* holds the link and the log */
    QProcess m_process;  /* the simulator */
    Options m_options;   /* of the last start() */
    QString m_error;     /* why the last operation failed */
};

#endif
