/* tst_polling_interrupts.cpp: what the operator's other actions do to a running polling loop:
** GetBuff, Send, Get and a port commit end it and then run, also from inside its reply wait,
** a file save does not, Go is lit meanwhile, a second Go and the operations given during Go's
** settle wait are ignored, and a close during that wait keeps the loop from starting.
*/
#include <QtTest>

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
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

/* Go looks lit: its face in the highlight colour. */
static bool GoLit()
{
    const QPalette look = fixture::Widget(ButtonGo)->palette();
    return look.color(QPalette::Button) == look.color(QPalette::Active, QPalette::Highlight);
}

void PollingInterrupts::exchangesEndPolling_data()
{
    QTest::addColumn<int>("button"); // or PANEL_COMPORT: port 1 committed again
    QTest::addColumn<bool>("inReplyWait");
    QTest::addColumn<Ints>("commands"); // the frames after the data requests
    const int port = PANEL_COMPORT;
    QTest::newRow("GetBuff") << int(ButtonGetBuff) << false << Ints{6};
    QTest::newRow("Send to RAM") << int(linkfixture::ButtonSend) << false << Ints{1};
    QTest::newRow("Get from RAM") << int(linkfixture::ButtonGet) << false << Ints{3};
    QTest::newRow("port commit") << port << false << Ints{7, 3};
    QTest::newRow("GetBuff in the reply wait") << int(ButtonGetBuff) << true << Ints{6};
    QTest::newRow("Send in the reply wait") << int(linkfixture::ButtonSend) << true << Ints{1};
    QTest::newRow("Get in the reply wait") << int(linkfixture::ButtonGet) << true << Ints{3};
    QTest::newRow("port commit in the reply wait") << port << true << Ints{7, 3};
}

/* Given during polling, the operation runs and the loop ends by itself: no Stop, and no
** data request after the operation's frames. In the reply wait of a request that gets no
** answer, the loop ends without reading or reporting. Go is lit while the loop runs, and the
** pointer is the normal one. */
void PollingInterrupts::exchangesEndPolling()
{
    QFETCH(int, button);
    QFETCH(bool, inReplyWait);
    QFETCH(Ints, commands);
    if (inReplyWait) QVERIFY(sim.command("fault 5 silent once"));
    const int before = int(sim.frames().size());
    fixture::PopupCatcher popups;
    bool lit = false, pointer = true;
    Script script;
    AfterRequests(script, sim, inReplyWait ? 1 : 2, [&] {
        lit = GoLit();
        pointer = QApplication::overrideCursor() != nullptr;
        if (button == PANEL_COMPORT)
            linkfixture::CommitPort(1);
        else
            Press(button);
    });
    QVERIFY(PressGo());

    QVERIFY(script.finished());
    QVERIFY(lit);
    QVERIFY(!pointer);
    QVERIFY(!GoLit());
    QCOMPARE(popups.count(), 0);
    QCOMPARE(poll, 0);
    const Ints sent = linkfixture::CommandsSent(sim, before);
    QCOMPARE(sent.mid(sent.size() - commands.size()), commands);
    QCOMPARE(sent.count(5), sent.size() - commands.size());
    if (inReplyWait) QCOMPARE(sent.count(5), 1);
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

/* GetBuff, Get and a port commit given in Go's settle wait are ignored, and so is a Go
** pressed while the loop runs (a nested loop would not return before a Stop); the one Stop
** then ends the loop. Nothing but data requests is sent. */
void PollingInterrupts::secondGoIgnored()
{
    const int before = int(sim.frames().size());
    bool innerReturned = false;
    Script script;
    script.add([] {
        if (!going || !busy) return false; // Go's settle wait
        Press(ButtonGetBuff);
        Press(linkfixture::ButtonGet);
        linkfixture::CommitPort(1);
        return true;
    });
    AfterRequests(script, sim, 2, [&innerReturned] {
        Press(ButtonGo);
        innerReturned = true;
    });
    AfterRequests(script, sim, 2, [] { Press(ButtonStop); });
    QVERIFY(PressGo(15000));
    QVERIFY(innerReturned);
    QVERIFY(script.finished());
    QCOMPARE(going, 0);
    const Ints sent = linkfixture::CommandsSent(sim, before);
    QCOMPARE(sent.count(5), sent.size());
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
