/* tst_startup.cpp: the program's start and end: a normal run ends with 0 on the close
** event, a missing panel file or a missing display ends it with -1 (status 255) at once, the
** latter with one line that says what to do.
*/
#include "support/panelfixture.h"

#include "app/Veltrav20.h"
#include "link/com232.h"
#include "live/live.h"
#include "platform/probe.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace vr;

class TestStartup : public QObject
{
    Q_OBJECT

    static QProcessEnvironment cleanEnv()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELTRAV20_COM1", "/nonexistent/ttyVeltra");
        return env;
    }

  private slots:
    void closeEndsWithZero_data()
    {
        QTest::addColumn<bool>("quit");
        QTest::newRow("window closed") << false;
        QTest::newRow("File menu, Quit") << true;
    }
    /* In-process run of WinMain: the panel comes up with the open failure in the status
    ** line, and the operator's close (or Quit, which is the same) ends the event loop with 0. */
    void closeEndsWithZero()
    {
        QFETCH(bool, quit);
        qputenv("VELTRAV20_COM1", "/nonexistent/ttyVeltra");
        QString status;
        bool closed = false;
        QTimer poller;
        poller.setInterval(20);
        connect(&poller, &QTimer::timeout, [&] {
            QWidget *w = ShownPanelWidget();
            if (closed || !w || !w->isVisible()) return;
            char text[64];
            GetCtrlVal(panel, PANEL_STATUS, text);
            status = text;
            closed = true;
            if (quit)
                QVERIFY(fixture::ChooseMenuItem(MENU_QUIT));
            else
                w->close();
        });
        poller.start();
        char name[] = "veltrav20";
        char *argv[] = {name, nullptr};
        const int result = WinMain(1, argv);
        QCOMPARE(result, 0);
        QVERIFY(closed);
        QCOMPARE(status, QString("No serial port found"));
        QCOMPARE(poll, 0);
        QVERIFY(GetInQLen(com) < 0); // the port is closed again
    }

    void missingPanelFile()
    {
        QTemporaryDir dir; /* a data directory without the panel file */
        QProcess program;
        QProcessEnvironment env = cleanEnv();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VELTRAV20_DATA_DIR", dir.path());
        program.setProcessEnvironment(env);
        program.start(VELTRA_BIN_DIR "/veltrav20", {});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 255);
    }

    /* Without a reachable display the one line names the need for a graphical session and
    ** the way to run without one, not the toolkit's advice to reinstall. */
    void noDisplay_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("cause");
        QTest::newRow("DISPLAY not set") << QString() << "DISPLAY is not set";
        QTest::newRow("no server on the display") << ":9871"
                                                  << "the display :9871 cannot be reached";
    }

    void noDisplay()
    {
        QFETCH(QString, display);
        QFETCH(QString, cause);
        QProcess program;
        QProcessEnvironment env = cleanEnv();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        if (!display.isEmpty()) env.insert("DISPLAY", display);
        program.setProcessEnvironment(env);
        program.start(VELTRA_BIN_DIR "/veltrav20", {});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit); // not the toolkit's abort
        QCOMPARE(program.exitCode(), 255);
        const QList<QByteArray> lines = program.readAllStandardError().trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        QCOMPARE(QString(lines[0]), "veltrav20: needs a graphical session, and " + cause +
                                        "; without one, start it under a virtual X server: "
                                        "xvfb-run -a veltrav20");
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
