/* tst_polling_interrupts.cpp: what the operator's other actions do to a running polling loop:
** GetBuff, Send and Get end it, a file save does not, a second Go is ignored, and a close
** during Go's settle wait keeps the loop from starting (a Stop there does not).
*/
#include <QtTest>

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

class PollingInterrupts : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void exchangesEndPolling_data();
    void exchangesEndPolling();
    void fileSaveKeepsPolling();
    void secondGoIgnored();
    void closeDuringSettle_data();
    void closeDuringSettle();
    void stopDuringSettleDoesNotPreventStart();

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

void PollingInterrupts::cleanupTestCase()
{
    fixture::DiscardRealPanel();
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
    const int base = Count(sim, 5);
    fixture::PopupCatcher popups;
    Script script;
    script.add([this, button, base] {
        if (Count(sim, 5) < base + 2) return false;
        Press(button);
        return true;
    });
    QVERIFY(PressGo());

    QVERIFY(script.finished());
    QCOMPARE(popups.count(), 0);
    QCOMPARE(poll, 0);
    // A frame with no reply (Send) is logged when the simulator has read it: wait for it.
    QTRY_VERIFY_WITH_TIMEOUT(Commands(sim, before).contains(command), 5000);
    const Ints sent = Commands(sim, before);
    QVERIFY2(sent.size() >= 3, qPrintable(QString::number(sent.size())));
    QCOMPARE(sent.last(), command);
    QCOMPARE(sent.mid(0, sent.size() - 1), Ints(sent.size() - 1, 5));
}

/* Saving the parameters to a file from inside the loop leaves polling running. */
void PollingInterrupts::fileSaveKeepsPolling()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("during.dat"));
    Press(PANEL_SELECT_FILE);
    QCOMPARE(target, int(DATFILE));

    fixture::PopupCatcher popups([path](QWidget *w) { fixture::AnswerFileDialog(w, path); });
    int atSave = 0;
    const int base = Count(sim, 5);
    Script script;
    script.add([this, &atSave, base] {
        if (Count(sim, 5) < base + 2) return false;
        Press(linkfixture::ButtonSend);
        atSave = Count(sim, 5);
        return true;
    });
    script.add([this, &atSave] {
        if (Count(sim, 5) < atSave + 3) return false; // still polling after the save
        Press(ButtonStop);
        return true;
    });
    const int before = int(sim.frames().size());
    QVERIFY(PressGo());

    QVERIFY(script.finished());
    QCOMPARE(popups.count(), 0);
    QCOMPARE(Commands(sim, before).count(5), Commands(sim, before).size());
    unsigned char saved[AnzPara] = {};
    QCOMPARE(FileToArray(path.toLocal8Bit().constData(), saved, VAL_UNSIGNED_CHAR, AnzPara, 1, 0, 0,
                         VAL_ASCII),
             0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(saved), AnzPara), linkfixture::Packet());

    Press(PANEL_SELECT_RAM);
    QCOMPARE(target, int(RAM));
}

/* A Go pressed while the loop runs returns at once; the one Stop then ends the loop. With a
** second loop nested inside the first, the inner press would not return before a Stop, and
** the watchdog of PressGo would have to end both. */
void PollingInterrupts::secondGoIgnored()
{
    bool innerReturned = false;
    int atInner = 0;
    const int base = Count(sim, 5);
    Script script;
    script.add([this, &innerReturned, &atInner, base] {
        if (Count(sim, 5) < base + 2) return false;
        Press(ButtonGo);
        innerReturned = true;
        atInner = Count(sim, 5);
        return true;
    });
    script.add([this, &atInner] {
        if (Count(sim, 5) < atInner + 2) return false;
        Press(ButtonStop);
        return true;
    });
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
    QTest::qWait(200); // a request, had one gone out, would be in the log by now
    QCOMPARE(Commands(sim, before), Ints{});
    quitting = 0;
}

/* Stop during the settle wait finds no loop to end: polling starts after the wait. */
void PollingInterrupts::stopDuringSettleDoesNotPreventStart()
{
    const int before5 = Count(sim, 5);
    Script script;
    script.add([] {
        if (!going) return false;
        Press(ButtonStop);
        return true;
    });
    script.add([this, before5] {
        if (Count(sim, 5) < before5 + 2) return false;
        Press(ButtonStop);
        return true;
    });
    QVERIFY(PressGo());
    QVERIFY(script.finished());
    QVERIFY(Count(sim, 5) >= before5 + 2);
}

QTEST_MAIN(PollingInterrupts)
#include "tst_polling_interrupts.moc"
