/* tst_app.cpp: the program's start and end (WinMain against the simulator, exit codes of a
** start that cannot load), and the panel's events: which operator actions reach a callback
** with which event, while program writes reach none; reads into one byte write one byte.
*/
#include "support/fixture.h"

#include <QMessageBox>

#include <vector>

using namespace fx;

namespace
{

Ints events; /* control (0: the panel), event, in turn */

int RecordControl(int, int control, int event, void *, int, int)
{
    events << control << event;
    return 0;
}
int RecordPanel(int, int event, void *, int, int)
{
    events << 0 << event;
    return 0;
}

/* The program started as a process: its exit code and what it wrote to stderr. */
int RunProcess(const QString &program, const char *platform, QByteArray *err = nullptr)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", platform);
    env.insert("VELTRAV20_COM1", "/nonexistent/tty");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.start(program, {});
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit) return -1000;
    if (err) *err = p.readAllStandardError().trimmed();
    return p.exitCode();
}

} // namespace

class App : public QObject
{
    Q_OBJECT

  private slots:
    void startup_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<Ints>("onPanel"); /* when the panel is first shown */
        QTest::addColumn<QString>("status");
        const Ints initial{80, 100, 80, 0, 20, 0, 30, 5, 4, 0, 5, 0}; /* the panel file's */
        QTest::newRow("sensor answers")
            << "sim" << Ints{120, 140, 50, 1, 50, 2, 60, 9, 8, 1, 7, 1} << LineOk();
        QTest::newRow("line check fails") << "7:wrong" << initial << "TIMEOUT";
        QTest::newRow("no serial port") << "none" << initial << "No serial port found";
    }
    /* WinMain opens COM 1, checks the line, reads the RAM and shows the panel; a failed check
    ** is reported before the panel is shown. The operator's close ends it with 0 and closes
    ** the port. */
    void startup()
    {
        QFETCH(QString, device);
        QFETCH(Ints, onPanel);
        QFETCH(QString, status);
        const Ints ram{120, 140, 23, 1, 50, 2, 60, 9, 8, 1, 7, 1, 7, 8, 9};
        Sim sim;
        QVERIFY(sim.start(device.contains(':') ? QStringList{device} : QStringList()));
        QVERIFY(sim.cmd(Sim::set("ram", ram)));
        sim.assign(1);
        if (device == "none") qputenv("VELTRAV20_COM1", "/nonexistent/tty");
        for (unsigned char &b : pp)
            b = 0;
        QList<Popup> popups;
        bool popupBeforePanel = false, shown = false;
        Ints panelShown, packet;
        QString statusShown;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            QWidget *status = panel > 0 ? W(PANEL_STATUS) : nullptr;
            QWidget *window = status ? status->window() : nullptr;
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                popups.append({box->windowTitle(), box->text(), 0});
                popupBeforePanel = !window || !window->isVisible();
                box->accept();
            } else if (window && window->isVisible() && !shown) {
                shown = true;
                panelShown = Params();
                packet = Packet();
                statusShown = Status();
                window->close();
            }
        });
        watch.start(10);
        char name[] = "veltrav20", *argv[] = {name, nullptr};
        QCOMPARE(WinMain(1, argv), 0);
        QVERIFY(shown);
        QCOMPARE(statusShown, status);
        QCOMPARE(panelShown, onPanel);
        QCOMPARE(packet, device == "sim" ? ram : Ints(15, 0));
        QCOMPARE(popups.size(), status == "TIMEOUT" ? 1 : 0);
        if (status == "TIMEOUT") {
            QVERIFY(popupBeforePanel);
            QCOMPARE(popups[0].title, QString("INFO"));
            QCOMPARE(popups[0].text, QString(TimeoutText));
        }
        if (device != "none") QCOMPARE(sim.frames()[0], Sim::frame(7, Ints(15, 0)));
        QVERIFY(GetInQLen(com) < 0);
    }

    /* Without its panel file or without a display the program ends with -1 at once. */
    void startWithoutPanelOrDisplay()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(VELTRA_BIN_DIR "/veltrav20", dir.filePath("veltrav20")));
        QCOMPARE(RunProcess(dir.filePath("veltrav20"), "offscreen"), 255);
        QByteArray err;
        QCOMPARE(RunProcess(VELTRA_BIN_DIR "/veltrav20", "xcb", &err), 255);
        QCOMPARE(err.count('\n'), 0);
        QVERIFY2(err.startsWith("veltrav20: "), err.constData());
    }

    /* Every callback name bound to a recorder; one input of each place shown. */
    void recorderPanel()
    {
        std::vector<CallbackEntry> table;
        for (int i = 0; i < cbfTableLen; i++)
            table.push_back({cbfTable[i].name, cbfTable[i].control ? RecordControl : nullptr,
                             cbfTable[i].panel ? RecordPanel : nullptr});
        const CallbackEntry partial[] = {{"CBF_P", nullptr, RecordPanel}};
        BindCallbacks(partial, 1);
        QVERIFY(LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1) < 0); /* names unbound */
        BindCallbacks(table.data(), int(table.size()));
        QVERIFY(LoadPanel(0, "/nonexistent/Veltrav20.uir", 1) < 0);
        QVERIFY(LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 2) < 0);
        panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
        QVERIFY(panel > 0);
        for (int id : {PANEL_BACKLIM, PANEL_REGCNT, PANEL_AVERAGE, PANEL_OUTMODE,
                       PANEL_DEADTIMEMODE, PANEL_DEADTIME})
            SetCtrlAttribute(panel, id, ATTR_VISIBLE, 0);
        DisplayPanel(panel);
        QVERIFY(QTest::qWaitForWindowExposed(W(PANEL_STATUS)->window()));
    }

    /* Program writes of values, attributes and items raise no callback. */
    void programWritesRaiseNothing()
    {
        events.clear();
        for (int id : {2,  9,  10, 11, 13, 15, 19, 20, 22, 24, 25, 32,
                       33, 34, 35, 36, 37, 39, 40, 41, 42, 43, 44, 46}) {
            SetCtrlVal(panel, id, 1);
            SetCtrlVal(panel, id, 0);
            SetCtrlAttribute(panel, id, ATTR_DIMMED, 1);
            SetCtrlAttribute(panel, id, ATTR_DIMMED, 0);
        }
        SetCtrlVal(panel, PANEL_STATUS, "TIMEOUT");
        ReplaceListItem(panel, PANEL_DEADTIME, 3, "6", 3);
        SetCtrlVal(panel, PANEL_TRIGGER, 9); /* a value no item lists */
        QTest::qWait(50);
        QCOMPARE(events, Ints());
        SetCtrlVal(panel, PANEL_TRIGGER, 0);
    }

    void operatorActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("event");
        QTest::newRow("Send clicked") << "click" << 3 << 1;
        QTest::newRow("F10: Get") << "F10" << 4 << 1;
        QTest::newRow("EEPROM toggle clicked: value changed") << "click" << 10 << 2;
        QTest::newRow("page switch clicked") << "click" << 42 << 1;
        QTest::newRow("ring item chosen") << "Down" << 22 << 1;
        QTest::newRow("Enter on an unchanged number") << "Return" << 2 << 1;
        QTest::newRow("number typed, then Enter") << "type" << 46 << 1;
        QTest::newRow("right click on a dimmed input") << "dimmed" << 43 << 5;
        QTest::newRow("window closed") << "close" << 0 << 11;
    }
    /* One action, one event; a close leaves the window to the program. */
    void operatorActions()
    {
        QFETCH(QString, action);
        QFETCH(int, control);
        QFETCH(int, event);
        events.clear();
        QWidget *win = W(PANEL_STATUS)->window(), *w = control ? W(control) : win;
        win->activateWindow();
        if (action == "click") QTest::mouseClick(w, Qt::LeftButton);
        if (action == "F10") QTest::keyClick(win, Qt::Key_F10);
        if (action == "Down" || action == "Return") {
            w->setFocus();
            QTest::keyClick(w, action == "Down" ? Qt::Key_Down : Qt::Key_Return);
        }
        if (action == "type") Type(control, "123");
        if (action == "dimmed") SetCtrlAttribute(panel, control, ATTR_DIMMED, 1);
        if (action == "dimmed") RightClick(w);
        if (action == "close") win->close();
        QTRY_VERIFY(!events.isEmpty());
        QTest::qWait(100); /* time for a second event, were there one */
        QCOMPARE(events, (Ints{control, event}));
        QVERIFY(win->isVisible());
        SetCtrlAttribute(panel, control, ATTR_DIMMED, 0);
    }

    /* A typed value is read before Enter, and reading commits nothing; a read into one byte
    ** writes that byte, a text read stops at the buffer's end. */
    void readsAreBounded()
    {
        events.clear();
        Type(PANEL_HOLD, "77", false);
        unsigned char bytes[3] = {0xA5, 0xA5, 0xA5};
        GetCtrlVal(panel, PANEL_HOLD, &bytes[1]);
        QCOMPARE(Ints(bytes, bytes + 3), (Ints{0xA5, 77, 0xA5}));
        SetCtrlVal(panel, PANEL_COMPORT, 255);
        GetCtrlVal(panel, PANEL_COMPORT, &bytes[1]);
        QCOMPARE(Ints(bytes, bytes + 3), (Ints{0xA5, 255, 0xA5}));
        QCOMPARE(events, Ints());
        char text[5];
        SetCtrlVal(panel, PANEL_STATUS, "LINE OK and more");
        GetCtrlVal(panel, PANEL_STATUS, text);
        QCOMPARE(QString(text), QString("LINE"));
        DiscardPanel(panel);
    }
};

QTEST_MAIN(App)
#include "tst_app.moc"
