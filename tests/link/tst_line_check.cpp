/* tst_line_check.cpp: the line check at start-up, run through the program's own start
** (WinMain) against the sensor simulator: the frame, the replies that pass and fail, the
** TIMEOUT report before the panel, and the parameter read that follows a passed check.
*/
#include <QtTest>

#include <QMessageBox>

#include "app/Veltrav20.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace linkfixture;

namespace
{

/* What a start-up left on the panel when it was first shown, and its popups. */
struct StartupRun {
    int result = -100;
    bool shown = false;
    QString status;
    QList<int> params;
    QByteArray packet, vars;
    int powerDimmed = -1;
    QList<fixture::Popup> popups;
    bool popupBeforePanel = false;
    qint64 popupMs = -1;    /* since the program started */
    QStringList statusSeen; /* the status line's texts in turn */
};

/* Runs WinMain: it opens COM 1, checks the line and shows the panel. Popups are recorded and
** closed; once the panel is shown with nothing modal open, its state is recorded and the
** operator closes it. */
StartupRun RunProgram()
{
    StartupRun run;
    QElapsedTimer clock;
    clock.start();
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        QWidget *window = fixture::PanelWindow();
        if (window && (run.statusSeen.isEmpty() || run.statusSeen.last() != Status()))
            run.statusSeen.append(Status());
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            run.popups.append({box->windowTitle(), box->text()});
            run.popupBeforePanel = !window || !window->isVisible();
            run.popupMs = clock.elapsed();
            box->accept();
            return;
        }
        if (clock.elapsed() > 60000) QuitUserInterface(0); /* never hang the suite */
        if (modal || run.shown || !window || !window->isVisible()) return;
        run.shown = true;
        run.status = Status();
        run.params = PanelParams();
        run.packet = Packet();
        run.vars = Vars();
        run.powerDimmed = fixture::Attr(PANEL_POWER, ATTR_DIMMED);
        window->close();
    });
    timer.start();
    char name[] = "veltrav20";
    char *argv[] = {name, nullptr};
    run.result = WinMain(1, argv);
    return run;
}

/* The sensor's RAM set and the panel that shows it: power raw 23 is 50 %. */
const QList<int> SensorRam{120, 140, 23, 1, 50, 2, 60, 9, 8, 1, 7, 1, 7, 8, 9};
const QList<int> SensorRamOnPanel{120, 140, 50, 1, 50, 2, 60, 9, 8, 1, 7, 1};
/* The panel file's start values, and as raw bytes (80 % is raw 46 - 3680/100 = 10). */
const QList<int> InitialPanel{80, 100, 80, 0, 20, 0, 30, 5, 4, 0, 5, 0};
const QList<int> InitialVars{80, 100, 10, 0, 20, 0, 30, 5, 4, 0, 5, 0, 0, 0, 0};

} // namespace

class LineCheck : public QObject
{
    Q_OBJECT

  private slots:
    void startup_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("passes");     /* the check passes: "LINE OK" written */
        QTest::addColumn<bool>("paramsRead"); /* the parameter read after it succeeds */
        QTest::addColumn<int>("minPopupMs");  /* earliest time of the TIMEOUT popup */
        QTest::newRow("AA 02 00") << QStringList() << true << true << 0;
        QTest::newRow("AA 02 00 in two pieces 1.5 s apart")
            << QStringList{"7:split:1:1500"} << true << true << 0;
        QTest::newRow("AA 02 01") << QStringList{"7:wrong"} << false << false << 0;
        QTest::newRow("AA 02 00 and a fourth byte") << QStringList{"7:long"} << false << false << 0;
        QTest::newRow("no reply") << QStringList{"7:silent"} << false << false << 3000;
        QTest::newRow("check passes, no parameter reply")
            << QStringList{"3:silent"} << true << false << 3000;
    }
    void startup()
    {
        QFETCH(QStringList, faults);
        QFETCH(bool, passes);
        QFETCH(bool, paramsRead);
        QFETCH(int, minPopupMs);
        SensorSim sim;
        SensorSim::Options options;
        options.faults = faults;
        QVERIFY2(sim.start(options), qPrintable(sim.lastError()));
        QVERIFY2(sim.command(SetCommand("ram", SensorRam)), qPrintable(sim.lastError()));
        sim.assignPort(1);
        ZeroParameterSet(); /* as a fresh program starts; earlier rows ran in this process */
        const StartupRun run = RunProgram();
        QCOMPARE(run.result, 0);
        QVERIFY(run.shown);

        /* The line check carries the packet as it stands at start-up: zero. */
        const QList<int> commands = passes ? QList<int>{7, 3} : QList<int>{7};
        QVERIFY(sim.waitForFrames(commands.size()));
        const QList<QByteArray> frames = sim.frames();
        QCOMPARE(frames.size(), commands.size());
        QCOMPARE(Ints(frames[0]),
                 (QList<int>{0x55, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        if (passes) QCOMPARE(int(uchar(frames[1][1])), 3);

        if (paramsRead) {
            QCOMPARE(run.status, LineOkText());
            QVERIFY(run.popups.isEmpty());
            QCOMPARE(run.params, SensorRamOnPanel);
            QCOMPARE(Ints(run.packet), SensorRam);
            QCOMPARE(Ints(run.vars), SensorRam);
            QCOMPARE(run.powerDimmed, 1); /* power mode 1: power is corrected, not edited */
            return;
        }
        /* Failed: the TIMEOUT report, once, before the panel is shown; nothing else moved. */
        QCOMPARE(run.status, QStringLiteral("TIMEOUT"));
        QCOMPARE(run.popups.size(), 1);
        QCOMPARE(run.popups[0].title, QString::fromLatin1(TimeoutTitle));
        QCOMPARE(run.popups[0].text, QString::fromLatin1(TimeoutText));
        QVERIFY(run.popupBeforePanel);
        QVERIFY2(run.popupMs >= minPopupMs, qPrintable(QString::number(run.popupMs)));
        QCOMPARE(run.params, InitialPanel);
        QCOMPARE(Ints(run.packet), QList<int>(15, 0));
        QCOMPARE(Ints(run.vars), InitialVars);
        QCOMPARE(run.statusSeen.contains(LineOkText()), passes);
    }
};

QTEST_MAIN(LineCheck)
#include "tst_line_check.moc"
