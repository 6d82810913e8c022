/* tst_app.cpp: start and end, exit codes, program writes raising no callback, bounded reads,
** a held key committing once. */
#include "support/fixture.h"

#include <QKeyEvent>

#include <vector>

using namespace fx;

namespace
{

Ints events; /* control (0: the panel), event, in turn: what the recorders bound saw */

/* A key press as the window system delivers it at `at` ms (to the shortcuts, then to the
** widget), or its release. */
void Key(QWidget *w, int key, bool press, bool autoRepeat, ulong at)
{
    if (press && qt_sendShortcutOverrideEvent(w, at, key, {}, QString(), autoRepeat)) return;
    QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, key, {}, QString(), autoRepeat);
    e.setTimestamp(at);
    QApplication::sendEvent(w, &e);
}

/* The program's exit code, run without a port (its data in `dataDir`, DISPLAY `display`),
** and its stderr. */
int Exit(const QString &dataDir, const char *platform, const char *display, QByteArray *err)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", platform);
    if (!dataDir.isEmpty()) env.insert("VELTRAV20_DATA_DIR", dataDir);
    env.insert("VELTRAV20_COM1", "/nonexistent/tty");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    if (*display) env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start(VELTRA_BIN_DIR "/veltrav20", {});
    const bool ended = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit;
    *err = p.readAllStandardError().trimmed();
    return ended ? p.exitCode() : -1000;
}

// clang-format off
/* fault "none": no device; onPanel: the inputs when the panel is first shown */
const struct { const char *name, *fault; Ints onPanel; const char *status; } starts[] = {
    {"sensor answers", "", {120, 140, 50, 1, 50, 2, 60, 9, 8, 1, 7, 1}, ""},
    {"line check fails", "7:wrong", {80, 100, 80, 0, 20, 0, 30, 5, 4, 0, 5, 0}, "TIMEOUT"},
    {"no serial port", "none", {80, 100, 80, 0, 20, 0, 30, 5, 4, 0, 5, 0}, "No serial port found"},
};
// clang-format on

} // namespace

class App : public QObject
{
    Q_OBJECT

  private slots:
    void startup_data() { AddRows(starts); }
    /* WinMain opens COM 1, checks the line, reads the RAM and shows the panel; a failed check
    ** is reported before the panel shows. The operator's close (or Quit) ends it with 0, port
    ** closed. */
    void startup()
    {
        const auto &r = starts[Row()];
        const Ints ram{120, 140, 23, 1, 50, 2, 60, 9, 8, 1, 7, 1, 7, 8, 9};
        Sim sim;
        QVERIFY(sim.start(QString(r.fault).contains(':') ? QStringList{r.fault} : QStringList()));
        QVERIFY(sim.cmd(Line("ram", ram)));
        sim.assign(1);
        if (!qstrcmp(r.fault, "none")) qputenv("VELTRAV20_COM1", "/nonexistent/tty");
        std::fill(pp, pp + AnzPara, 0);
        Popups popups;
        int popupsBefore = -1; /* popups before the panel first showed */
        QString status;        /* and the inputs and pp as it first showed */
        Ints onPanel, packet;
        auto window = [] {
            return panel > 0 && W(PANEL_STATUS) ? W(PANEL_STATUS)->window() : nullptr;
        };
        When shown([&] { return window() && window()->isVisible(); },
                   [&] {
                       popupsBefore = popups.count();
                       status = Status(), onPanel = Params(), packet = Packet();
                       if (!qstrcmp(r.fault, "none")) /* File, Quit: the same as the close */
                           QVERIFY(Menu(MENU_QUIT));
                       else
                           window()->close();
                   });
        char name[] = "veltrav20", *argv[] = {name, nullptr};
        QCOMPARE(WinMain(1, argv), 0);
        QVERIFY(shown.done);
        QCOMPARE(status, *r.status ? QString(r.status) : LineOk());
        QCOMPARE(onPanel, r.onPanel);
        QCOMPARE(packet, *r.fault ? Ints(15, 0) : ram);
        QCOMPARE(popupsBefore, !qstrcmp(r.status, "TIMEOUT") ? 1 : 0);
        QCOMPARE(popups.count(), popupsBefore);
        for (const Popup &p : popups.list)
            QVERIFY(p.title == "INFO" && p.text == TimeoutText);
        if (qstrcmp(r.fault, "none")) QCOMPARE(sim.frames()[0], Sim::frame(7, Ints(15, 0)));
        QVERIFY(GetInQLen(com) < 0);
    }

    /* Without its panel file or without a reachable display the program ends with -1 at once,
    ** the latter with one line naming the need for a graphical session and the way without. */
    void startWithoutPanelOrDisplay()
    {
        QTemporaryDir dir; /* a data directory without the panel file */
        QByteArray err;
        QCOMPARE(Exit(dir.path(), "offscreen", "", &err), 255);
        for (const char *display : {"", ":9871"}) {
            const QString cause =
                *display ? "the display :9871 cannot be reached" : "DISPLAY is not set";
            QCOMPARE(Exit("", "xcb", display, &err), 255);
            QCOMPARE(QString(err), "veltrav20: needs a graphical session, and " + cause +
                                       "; without one, start it under a virtual X server: "
                                       "xvfb-run -a veltrav20");
        }
    }

    /* Unbound names or a missing panel refuse the load; with recorders bound, program
    ** writes and reads raise no callback; a one-byte read writes one byte, a text read stops
    ** at the buffer's end. */
    void programWritesAndReads()
    {
        auto control = [](int, int id, int event, void *, int, int) {
            return events << id << event, 0;
        };
        auto whole = [](int, int event, void *, int, int) { return events << 0 << event, 0; };
        std::vector<CallbackEntry> table;
        for (int i = 0; i < cbfTableLen; i++)
            table.push_back({cbfTable[i].name, cbfTable[i].control ? +control : nullptr,
                             cbfTable[i].panel ? +whole : nullptr});
        const CallbackEntry partial[] = {{"CBF_P", nullptr, whole}};
        BindCallbacks(partial, 1);
        QVERIFY(LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1) < 0);
        BindCallbacks(table.data(), int(table.size()));
        QVERIFY(LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 2) < 0);
        QVERIFY((panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1)) > 0);
        DisplayPanel(panel);
        QVERIFY(QTest::qWaitForWindowExposed(W(PANEL_STATUS)->window()));
        for (int id : {2,  9,  10, 11, 13, 15, 19, 20, 22, 24, 25, 32,
                       33, 34, 35, 36, 37, 39, 40, 41, 42, 43, 44, 46}) {
            SetCtrlVal(panel, id, 1);
            SetCtrlVal(panel, id, 0);
            SetCtrlAttribute(panel, id, ATTR_DIMMED, 1);
            SetCtrlAttribute(panel, id, ATTR_DIMMED, 0);
        }
        SetCtrlVal(panel, PANEL_STATUS, "LINE OK and more");
        ReplaceListItem(panel, PANEL_DEADTIME, 3, "6", 3);
        SetCtrlVal(panel, PANEL_TRIGGER, 9); /* a value no item lists */
        Type(PANEL_HOLD, "77", false);
        unsigned char bytes[3] = {0xA5, 0xA5, 0xA5};
        GetCtrlVal(panel, PANEL_HOLD, &bytes[1]);
        QCOMPARE(Ints(bytes, bytes + 3), (Ints{0xA5, 77, 0xA5}));
        SetCtrlVal(panel, PANEL_COMPORT, 255);
        GetCtrlVal(panel, PANEL_COMPORT, &bytes[1]);
        QCOMPARE(Ints(bytes, bytes + 3), (Ints{0xA5, 255, 0xA5}));
        char text[5];
        GetCtrlVal(panel, PANEL_STATUS, text);
        QCOMPARE(QString(text), QString("LINE"));
        QTest::qWait(50);
        QCOMPARE(events, Ints());
    }

    void heldKeyCommitsOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("control");
        for (int k = 0; k < 5; k++)
            QTest::addRow("F%d", 8 + k) << int(Qt::Key_F8 + k) << (k ? 2 + k : 7);
        QTest::newRow("Enter in COM PORT") << int(Qt::Key_Return) << int(PANEL_COMPORT);
    }
    /* A press commits before it returns; repeats (flagged, or X11's release and press with
    ** one time stamp) commit nothing; the next press commits again. */
    void heldKeyCommitsOnce()
    {
        QFETCH(int, key);
        QFETCH(int, control);
        QWidget *to = key == Qt::Key_Return ? W(control) : W(PANEL_STATUS)->window();
        to->window()->activateWindow();
        to->setFocus();
        events.clear();
        Key(to, key, true, false, 1000);
        QCOMPARE(events, (Ints{control, EVENT_COMMIT}));
        Key(to, key, true, true, 1500);
        Key(to, key, true, true, 1533);
        for (ulong at = 1566; at < 1700; at += 33) {
            Key(to, key, false, false, at);
            Key(to, key, true, false, at);
        }
        Key(to, key, false, false, 1710);
        Key(to, key, true, false, 1800);
        Key(to, key, false, false, 1850);
        QTest::qWait(150);
        QCOMPARE(events, (Ints{control, EVENT_COMMIT, control, EVENT_COMMIT}));
    }
};

QTEST_MAIN(App)
#include "tst_app.moc"
