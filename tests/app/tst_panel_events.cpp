/* tst_panel_events.cpp: the panel file's controls and callback bindings, and which of the
** operator's actions reach a callback with which event, while program writes reach none; a
** held key commits once, and a shortcut at once. The real panel file is loaded with a table
** that binds every callback name to a recorder.
*/
#include "support/panelfixture.h"

#include "app/Veltrav20.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QSpinBox>
#include <QTest>

#include <vector>

using namespace vr;

namespace
{

struct Event {
    int control;
    int event;
};
std::vector<Event> events;

/* A key press as the window system delivers it, at time `at` (ms): first to the shortcuts,
** then to the widget. */
void KeyPress(QWidget *w, int key, bool autoRepeat, ulong at)
{
    if (qt_sendShortcutOverrideEvent(w, at, key, Qt::NoModifier, QString(), autoRepeat)) return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
    press.setTimestamp(at);
    QApplication::sendEvent(w, &press);
}
void KeyRelease(QWidget *w, int key, ulong at)
{
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    release.setTimestamp(at);
    QApplication::sendEvent(w, &release);
}

int RecordControl(int, int control, int event, void *, int, int)
{
    events.push_back({control, event});
    return 0;
}
int RecordPanel(int, int event, void *, int, int)
{
    events.push_back({0, event});
    return 0;
}

/* Every callback name of the program, each bound to the recorder. */
std::vector<CallbackEntry> recorderTable()
{
    std::vector<CallbackEntry> table;
    for (int i = 0; i < vr::cbfTableLen; i++)
        table.push_back({vr::cbfTable[i].name, vr::cbfTable[i].control ? RecordControl : nullptr,
                         vr::cbfTable[i].panel ? RecordPanel : nullptr});
    return table;
}

} // namespace

class TestPanelEvents : public QObject
{
    Q_OBJECT
    std::vector<CallbackEntry> table;
    int handle = 0;

    QWidget *w(int id) { return fixture::Widget(id); }
    enum Action { Click, Key, Focused, Typed, RightClick, Dimmed, Label, Deco };

  private slots:
    void initTestCase()
    {
        table = recorderTable();
        BindCallbacks(table.data(), static_cast<int>(table.size()));
        handle = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
        QVERIFY(handle > 0);
        vr::panel = handle;
        QVERIFY(w(PANEL_RECORDING)->isHidden()); // the REC indicator starts hidden
        // One input of each shared place, and one set of displays, as the program shows them.
        for (int id : {PANEL_BACKLIM, PANEL_REGCNT, PANEL_AVERAGE, PANEL_OUTMODE,
                       PANEL_DEADTIMEMODE, PANEL_DEADTIME, PANEL_EDGE, PANEL_WIN})
            SetCtrlAttribute(handle, id, ATTR_VISIBLE, 0);
        DisplayPanel(handle);
        QVERIFY(QTest::qWaitForWindowExposed(fixture::PanelWindow()));
    }
    void init() { events.clear(); }
    void cleanupTestCase() { DiscardPanel(handle); }

    /* The control map: identifier, widget class and callback of every control the code
    ** addresses, as the panel file gives them. */
    void controlMap_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("callback");
        struct Row {
            const char *name;
            int id;
            const char *cls;
            const char *cb;
        };
        const Row rows[] = {
            {"PANEL_COMPORT", 2, "QSpinBox", "CBF_EditConnect"},
            {"PANEL_SELECT_FILE", 9, "QPushButton", "CBF_SelectFILE"},
            {"PANEL_SELECT_EEPROM", 10, "QPushButton", "CBF_SelectEEPROM"},
            {"PANEL_SELECT_RAM", 11, "QPushButton", "CBF_SelectRAM"},
            {"PANEL_LOGO", 12, "QLabel", ""},
            {"PANEL_STATUS", 13, "QLineEdit", "CBF_DispStatus"},
            {"PANEL_OUTMODE", 15, "QComboBox", "CBF_EditOutmode"},
            {"PANEL_AVERAGE", 19, "QSpinBox", "CBF_EditAverage"},
            {"PANEL_HOLD", 20, "QSpinBox", "CBF_EditHold"},
            {"PANEL_TRIGGER", 22, "QComboBox", "CBF_EditTrigger"},
            {"PANEL_DEADTIME", 24, "QComboBox", "CBF_EditDeadTime"},
            {"PANEL_DEADTIMEMODE", 25, "QComboBox", "CBF_EditDeadTimeMode"},
            {"PANEL_NORM_DECO", 27, "QFrame", ""},
            {"PANEL_GRAPH_ADJ", 30, "QChartView", "CBF_GraphData2"},
            {"PANEL_GRAPH_JUMPBUF", 31, "QChartView", "CBF_GraphData1"},
            {"PANEL_SOURCE", 32, "QComboBox", "CBF_SelectSource"},
            {"PANEL_REGCNT", 33, "QSpinBox", "CBF_EditRegcnt"},
            {"PANEL_PMOD", 34, "QComboBox", "CBF_EditPmod"},
            {"PANEL_BACKLIM", 35, "QSpinBox", "CBF_EditBacklim"},
            {"PANEL_DAT0", 36, "QSpinBox", "CBF_DispDat0"},
            {"PANEL_DAT1", 37, "QSpinBox", "CBF_DispDat1"},
            {"PANEL_NORM", 39, "QSpinBox", "CBF_DispNORM"},
            {"PANEL_EDGE", 40, "QSpinBox", "CBF_DispEdge"},
            {"PANEL_WIN", 41, "QSpinBox", "CBF_DispWin"},
            {"PANEL_PARA_VISIBLE", 42, "QCheckBox", "CBF_ParaVisible"},
            {"PANEL_POWER", 43, "QSpinBox", "CBF_EditPower"},
            {"PANEL_HYSTERESIS", 44, "QSpinBox", "CBF_EditHysteresis"},
            {"PANEL_THRESHOLD", 46, "QSpinBox", "CBF_EditThreshold"},
            {"PANEL_HEADER_DECO", 47, "QFrame", ""},
            {"PANEL_STRIPCHART", 48, "QChartView", "CBF_GraphRaw1"},
            {"PANEL_COMDEVICE", 49, "QLabel", ""},
            {"PANEL_RECORDING", 50, "QLabel", ""},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << r.id << QString(r.cls) << QString(r.cb);
    }
    void controlMap()
    {
        QFETCH(int, id);
        QFETCH(QString, cls);
        QFETCH(QString, callback);
        QWidget *widget = w(id);
        QVERIFY(widget);
        QCOMPARE(QString(widget->metaObject()->className()), cls);
        QCOMPARE(widget->property("callback").toString(), callback);
    }

    /* Program writes of values, attributes and items raise no callback. */
    void programWritesRaiseNothing()
    {
        const int ids[] = {2,  9,  10, 11, 13, 15, 19, 20, 22, 24, 25, 32,
                           33, 34, 35, 36, 37, 39, 40, 41, 42, 43, 44, 46};
        for (int id : ids) {
            SetCtrlVal(vr::panel, id, 1);
            SetCtrlVal(vr::panel, id, 0);
            SetCtrlAttribute(vr::panel, id, ATTR_DIMMED, 1);
            SetCtrlAttribute(vr::panel, id, ATTR_DIMMED, 0);
        }
        SetCtrlVal(vr::panel, PANEL_STATUS, "TIMEOUT");
        ReplaceListItem(vr::panel, PANEL_DEADTIME, 3, "6", 3);
        SetCtrlVal(vr::panel, PANEL_TRIGGER, 9); // a value no item lists
        QTest::qWait(50);
        QCOMPARE(int(events.size()), 0);
        SetCtrlVal(vr::panel, PANEL_TRIGGER, 0);
    }

    /* What the operator does, and the one event each action raises. */
    void operatorActions_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("event");
        QTest::newRow("Send clicked") << int(Click) << 0 << 3 << 1;
        QTest::newRow("F9 Send") << int(Key) << int(Qt::Key_F9) << 3 << 1;
        QTest::newRow("F10 Get") << int(Key) << int(Qt::Key_F10) << 4 << 1;
        QTest::newRow("F11 Go") << int(Key) << int(Qt::Key_F11) << 5 << 1;
        QTest::newRow("F12 Stop") << int(Key) << int(Qt::Key_F12) << 6 << 1;
        QTest::newRow("F8 GetBuff") << int(Key) << int(Qt::Key_F8) << 7 << 1;
        QTest::newRow("EEPROM toggle clicked") << int(Click) << 0 << 10 << 2;
        QTest::newRow("page switch clicked") << int(Click) << 0 << 42 << 1;
        QTest::newRow("ring item chosen") << int(Focused) << int(Qt::Key_Down) << 22 << 1;
        QTest::newRow("numeric Enter unchanged") << int(Focused) << int(Qt::Key_Return) << 2 << 1;
        QTest::newRow("numeric typed then Enter") << int(Typed) << 0 << 46 << 1;
        QTest::newRow("numeric arrow step") << int(Focused) << int(Qt::Key_Up) << 44 << 1;
        QTest::newRow("right click on input") << int(RightClick) << 0 << 46 << 5;
        QTest::newRow("right click on dimmed input") << int(Dimmed) << 0 << 43 << 5;
        QTest::newRow("right click on a label") << int(Label) << 0 << 20 << 5;
        QTest::newRow("right click on a decoration") << int(Deco) << 0 << 14 << 5;
    }
    void operatorActions()
    {
        QFETCH(int, action);
        QFETCH(int, key);
        QFETCH(int, control);
        QFETCH(int, event);
        QWidget *win = fixture::PanelWindow();
        win->activateWindow();
        switch (action) {
        case Click: QTest::mouseClick(w(control), Qt::LeftButton); break;
        case Key: QTest::keyClick(win, Qt::Key(key)); break;
        case Focused:
            w(control)->setFocus();
            QTest::keyClick(w(control), Qt::Key(key));
            break;
        case Typed: fixture::TypeAndEnter(w(control), QStringLiteral("123")); break;
        case Dimmed: SetCtrlAttribute(vr::panel, control, ATTR_DIMMED, 1); Q_FALLTHROUGH();
        case RightClick: fixture::RightClick(w(control)); break;
        case Label: fixture::RightClick(fixture::LabelOf(control)); break;
        case Deco: {
            // the decoration of place 1, beside its input
            QWidget *deco = win->findChild<QWidget *>("deco1");
            QTest::mouseClick(win->windowHandle(), Qt::RightButton, Qt::NoModifier,
                              deco->mapTo(win, QPoint(deco->width() - 5, 4)));
            break;
        }
        }
        QTRY_VERIFY_WITH_TIMEOUT(!events.empty(), 2000);
        QTest::qWait(150); // a second event, if any, would arrive by now
        QCOMPARE(int(events.size()), 1);
        QCOMPARE(events[0].control, control);
        QCOMPARE(events[0].event, event);
        SetCtrlAttribute(vr::panel, control, ATTR_DIMMED, 0);
        if (control == PANEL_SELECT_EEPROM) SetCtrlVal(vr::panel, control, 0);
        if (control == PANEL_PARA_VISIBLE) SetCtrlVal(vr::panel, control, 1);
    }

    void heldKeyCommitsOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("control");
        QTest::newRow("F8 GetBuff") << int(Qt::Key_F8) << 7;
        QTest::newRow("F9 Send") << int(Qt::Key_F9) << 3;
        QTest::newRow("F10 Get") << int(Qt::Key_F10) << 4;
        QTest::newRow("F11 Go") << int(Qt::Key_F11) << 5;
        QTest::newRow("F12 Stop") << int(Qt::Key_F12) << 6;
        QTest::newRow("Enter in COM PORT") << int(Qt::Key_Return) << int(PANEL_COMPORT);
    }
    /* The press commits before it returns (a button's own shortcut commits 100 ms later);
    ** repeats while the key is held, flagged so or coming as X11 sends them (a release and a
    ** press with one time stamp), commit nothing; the next press commits again. */
    void heldKeyCommitsOnce()
    {
        QFETCH(int, key);
        QFETCH(int, control);
        QWidget *win = fixture::PanelWindow();
        win->activateWindow();
        QWidget *to = key == Qt::Key_Return ? w(control) : win;
        to->setFocus();
        KeyPress(to, key, false, 1000);
        QCOMPARE(int(events.size()), 1);
        KeyPress(to, key, true, 1500);
        KeyPress(to, key, true, 1533);
        for (ulong at = 1566; at < 1700; at += 33) {
            KeyRelease(to, key, at);
            KeyPress(to, key, false, at);
        }
        KeyRelease(to, key, 1710);
        QTest::qWait(150);
        QCOMPARE(int(events.size()), 1);
        KeyPress(to, key, false, 1800);
        KeyRelease(to, key, 1850);
        QTest::qWait(150);
        QCOMPARE(int(events.size()), 2);
        for (const Event &e : events) {
            QCOMPARE(e.control, control);
            QCOMPARE(e.event, int(EVENT_COMMIT));
        }
    }

    /* A typed but not yet entered value is what the program reads; reading commits nothing. */
    void typedValueIsRead()
    {
        auto *spin = static_cast<QSpinBox *>(w(PANEL_HOLD));
        SetCtrlVal(vr::panel, PANEL_HOLD, 20);
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, "77");
        unsigned char v = 0;
        GetCtrlVal(vr::panel, PANEL_HOLD, &v);
        QCOMPARE(int(v), 77);
        QCOMPARE(int(events.size()), 0);
    }

    /* Reading into one byte writes that byte only. */
    void byteReadWritesOneByte()
    {
        unsigned char bytes[3] = {0xA5, 0xA5, 0xA5};
        SetCtrlVal(vr::panel, PANEL_COMPORT, 255);
        GetCtrlVal(vr::panel, PANEL_COMPORT, &bytes[1]);
        QCOMPARE(int(bytes[0]), 0xA5);
        QCOMPARE(int(bytes[1]), 255);
        QCOMPARE(int(bytes[2]), 0xA5);
        char text[5];
        SetCtrlVal(vr::panel, PANEL_STATUS, "LINE OK and more");
        GetCtrlVal(vr::panel, PANEL_STATUS, text);
        QCOMPARE(QString(text), QString("LINE"));
    }

    void closeRequestReachesPanelCallback()
    {
        fixture::PanelWindow()->close();
        QTRY_VERIFY_WITH_TIMEOUT(!events.empty(), 2000);
        QCOMPARE(events[0].control, 0);
        QCOMPARE(events[0].event, 11);
        QVERIFY(fixture::PanelWindow()->isVisible()); // the program decides what closing does
    }

    void loadFailures()
    {
        QCOMPARE(LoadPanel(0, "/nonexistent/Veltrav20.uir", 1) < 0, true);
        QCOMPARE(LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 2) < 0, true);
        const CallbackEntry partial[] = {{"CBF_P", nullptr, RecordPanel}};
        BindCallbacks(partial, 1);
        QVERIFY(LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1) < 0); // unknown callback names
        BindCallbacks(table.data(), static_cast<int>(table.size()));
    }
};

QTEST_MAIN(TestPanelEvents)
#include "tst_panel_events.moc"
