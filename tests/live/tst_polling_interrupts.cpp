/* tst_polling_interrupts.cpp: what the operator's other actions do to a running polling loop:
** GetBuff, Send and Get end it, a file save does not, a second Go is ignored, and a close
** during Go's settle wait keeps the loop from starting.
*/
#include <QtTest>

#include <QFileInfo>
#include <QTemporaryDir>

#include "live/live.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/livefixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

using namespace vr;
using namespace livefixture;

typedef QList<int> Ints;

/* Writes the frame of command 1 (pp to RAM, as it is) and waits until the simulator has
** logged it: the log then holds every frame written before. */
static void SyncLog(const SensorSim &sim)
{
    const int ones = Count(sim, 1);
    QCOMPARE(WriteExchange(1), 1);
    QTRY_COMPARE_WITH_TIMEOUT(Count(sim, 1), ones + 1, 10000);
}

/* Adds a step that waits for `n` more data requests than were logged when the step began,
** then runs `act`. */
static void AfterRequests(Script &script, const SensorSim &sim, int n, std::function<void()> act)
{
    script.add([&sim, n, act, base = -1]() mutable {
        if (base < 0) base = Count(sim, 5);
        if (Count(sim, 5) < base + n) return false;
        act();
        return true;
    });
}

class PollingInterrupts : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase() { fixture::DiscardRealPanel(); }
    void init();
    void exchangesEndPolling_data();
    void exchangesEndPolling();
    void fileSaveKeepsPolling();
    void secondGoIgnored();
    void closeDuringSettle_data();
    void closeDuringSettle();

  private:
    SensorSim sim;
};

void PollingInterrupts::initTestCase()
{
    QVERIFY(fixture::LoadRealPanel() > 0);
    QVERIFY(linkfixture::ConnectTo(sim, 1));
    QVERIFY(sim.command(DataCommand(120, 80, 153, 0, 1000, 0)));
    SetCtrlVal(panel, PANEL_SOURCE, 1);
}

void PollingInterrupts::init()
{
    QCOMPARE(target, int(RAM));
    QCOMPARE(poll, 0);
    quitting = 0;
}

void PollingInterrupts::exchangesEndPolling_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("command");
    QTest::newRow("GetBuff") << int(ButtonGetBuff) << 6;
    QTest::newRow("Send to RAM") << int(linkfixture::ButtonSend) << 1;
    QTest::newRow("Get from RAM") << int(linkfixture::ButtonGet) << 3;
}

/* Pressed during polling, the button's exchange runs and the loop ends by itself: no Stop,
** and no data request after the button's frame. */
void PollingInterrupts::exchangesEndPolling()
{
    QFETCH(int, button);
    QFETCH(int, command);
    const int before = int(sim.frames().size());
    fixture::PopupCatcher popups;
    Script script;
    AfterRequests(script, sim, 2, [button] { Press(button); });
    QVERIFY(PressGo());

    QVERIFY(script.finished());
    QCOMPARE(popups.count(), 0);
    QCOMPARE(poll, 0);
    // A frame with no reply (Send) is logged when the simulator has read it: wait for it.
    QTRY_VERIFY_WITH_TIMEOUT(Commands(sim, before).contains(command), 5000);
    const Ints sent = Commands(sim, before);
    QCOMPARE(sent.last(), command);
    QCOMPARE(sent.count(5), sent.size() - 1);
}

/* Saving the parameters to a file from inside the loop leaves polling running. */
void PollingInterrupts::fileSaveKeepsPolling()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("during.dat"));
    Press(PANEL_SELECT_FILE);
    QCOMPARE(target, int(DATFILE));
    fixture::PopupCatcher popups([path](QWidget *w) { fixture::AnswerFileDialog(w, path); });
    const int before = int(sim.frames().size());
    Script script;
    AfterRequests(script, sim, 2, [] { Press(linkfixture::ButtonSend); });
    AfterRequests(script, sim, 3, [] { Press(ButtonStop); }); // still polling after the save
    QVERIFY(PressGo());

    QVERIFY(script.finished());
    QCOMPARE(popups.count(), 0);
    QCOMPARE(Commands(sim, before).count(5), Commands(sim, before).size());
    QVERIFY(QFileInfo(path).size() > 0); // saved; its format is the parameter files' concern
    Press(PANEL_SELECT_RAM);
}

/* A Go pressed while the loop runs returns at once (a nested loop would not return before a
** Stop); the one Stop then ends the loop. */
void PollingInterrupts::secondGoIgnored()
{
    bool innerReturned = false;
    Script script;
    AfterRequests(script, sim, 2, [&innerReturned] {
        Press(ButtonGo);
        innerReturned = true;
    });
    AfterRequests(script, sim, 2, [] { Press(ButtonStop); });
    QVERIFY(PressGo(15000));
    QVERIFY(innerReturned);
    QVERIFY(script.finished());
    QCOMPARE(going, 0);
}

void PollingInterrupts::closeDuringSettle_data()
{
    QTest::addColumn<bool>("window");
    QTest::newRow("close event to the panel callback") << false;
    QTest::newRow("window closed") << true;
}

/* The close arrives while Go's settle wait processes events: the loop never starts. */
void PollingInterrupts::closeDuringSettle()
{
    QFETCH(bool, window);
    SyncLog(sim); // the last request of the test before may still be on its way
    const int before = int(sim.frames().size());
    Script script;
    script.add([window] {
        if (!going) return false; // Go's callback runs: this is its settle wait
        if (window)
            fixture::PanelWindow()->close();
        else
            CBF_P(panel, EVENT_CLOSE, nullptr, 0, 0);
        return true;
    });
    QVERIFY(PressGo());
    QVERIFY(script.finished());
    QCOMPARE(quitting, 1);
    QCOMPARE(poll, 0);
    QCOMPARE(going, 0);
    SyncLog(sim);
    QCOMPARE(Commands(sim, before), Ints{1}); // no data request
    quitting = 0;
}

QTEST_MAIN(PollingInterrupts)
#include "tst_polling_interrupts.moc"
