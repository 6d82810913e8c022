/* tst_recording.cpp: the menu bar on the real panel, recording the live data against the
** simulator (lines matching its packets across Stop and Go, a size-limited file stopping the
** recording with every line before kept), the exports read back and a failed export keeping
** the old file, and no menu command sending a frame, idle or while polling.
*/
#include <QtTest>

#include <QMenuBar>
#include <QPushButton>

#include "live/live.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/livefixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace vr;
using namespace livefixture;
using fixture::ChooseMenuItem;

namespace
{

const char Header[] = "time,DAT0,DAT1,NORM,EDGE %,WIN %,edge count,IN0 count,IN1 count,"
                      "threshold,hysteresis";

/* One data packet and the recording line's fields after the time, by hand: percent = 100 *
** time / IN0 time, rounded down, empty without an IN0 time; threshold 90, hysteresis 110. */
struct Cycle {
    int dat0, dat1, norm, edge, in0, in1;
    const char *fields;
};
const Cycle cycles[] = {
    {200, 50, 204, 0x0123, 1000, 600, "200,50,204,29,60,291,1000,600,90,110"},
    {10, 240, 10, 500, 0, 300, "10,240,10,,,500,0,300,90,110"},
    {255, 0, 255, 0xFFFF, 1, 0xFFFF, "255,0,255,6553500,6553500,65535,1,65535,90,110"},
    {0, 0, 0, 7, 65535, 65535, "0,0,0,0,100,7,65535,65535,90,110"},
    {128, 127, 128, 500, 2000, 1999, "128,127,128,25,99,500,2000,1999,90,110"},
};

QString Command(const Cycle &c)
{
    return DataCommand(c.dat0, c.dat1, c.norm, c.edge, c.in0, c.in1);
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QList<QByteArray> Lines(const QString &path)
{
    QList<QByteArray> lines = ReadFile(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

int Menu(int item, int attribute)
{
    int v = -1;
    GetMenuBarAttribute(panel, item, attribute, &v);
    return v;
}

/* Answers the file dialogs in turn with the given names (an empty name cancels) and records
** the message popups, confirming questions. A name is entered from the event loop, so that
** the dialog's own question about replacing a file is caught too. */
struct Operator : fixture::PopupCatcher {
    explicit Operator(QStringList answers = {})
        : PopupCatcher([this, answers](QWidget *w) mutable {
              if (w == answering) return;
              answering = w;
              ++dialogs;
              const QString name = answers.isEmpty() ? QString() : answers.takeFirst();
              QTimer::singleShot(0, w, [this, w, name] {
                  fixture::AnswerFileDialog(w, name);
                  answering = nullptr;
              });
          })
    {
        confirm = true;
    }
    int dialogs = 0;
    QPointer<QWidget> answering;
};

/* Limits the size of every file this process writes while alive, as a full disk does. */
struct SizeLimit {
    explicit SizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &normal);
        rlimit small = normal;
        small.rlim_cur = bytes;
        ok = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~SizeLimit() { setrlimit(RLIMIT_FSIZE, &normal); }
    rlimit normal;
    bool ok = false;
};

} // namespace

class Recording : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    SensorSim sim;
    QString Path(const QString &name) const { return QDir(dir.path()).filePath(name); }

    /* Presses Go and Stop in the cycles-th strip chart cycle; `each` runs in every cycle,
    ** once that cycle's line is written. Returns the cycles seen. */
    int Run(int cycles, std::function<void(int)> each = nullptr)
    {
        CycleWatch watch(sim, [cycles, each](int n) {
            if (each) each(n);
            if (n == cycles) Press(ButtonStop);
        });
        return PressGo() ? watch.count : -1;
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(fixture::LoadRealPanel() > 0);
        const QByteArray d = QDir(dir.path()).canonicalPath().toLocal8Bit();
        QVERIFY(d.size() < int(sizeof doc_dir));
        std::strcpy(doc_dir, d.constData()); /* where the dialogs open */
        QVERIFY(linkfixture::ConnectTo(sim, 1));
        SetCtrlVal(panel, PANEL_SOURCE, 1);
        SetCtrlVal(panel, PANEL_THRESHOLD, 90);
        SetCtrlVal(panel, PANEL_HYSTERESIS, 110);
    }
    void cleanupTestCase() { fixture::DiscardRealPanel(); }
    void cleanup() { StopRecording(); }

    void menuBar();
    void recordCycles();
    void fullDiskStopsRecording();
    void exports_data();
    void exports();
    void menuCommandsSendNothing_data();
    void menuCommandsSendNothing();
};

/* The bar stands at the top of the window, above every control, and the window has grown by
** its height; the shortcuts popup lists each button's real key; recording is off at start. */
void Recording::menuBar()
{
    QWidget *win = fixture::PanelWindow();
    auto *bar = win->findChild<QMenuBar *>();
    QVERIFY(bar && bar->isVisible());
    const int h = bar->height();
    QVERIFY(h > 0);
    QCOMPARE(bar->geometry(), QRect(0, 0, win->width(), h));
    QCOMPARE(win->height(), 680 + h); // the panel file's height, and the bar's
    for (const QRect &r : fixture::Geometry())
        QVERIFY(r.top() >= h);
    QCOMPARE(fixture::Attr(PANEL_RECORDING, ATTR_VISIBLE), 0);
    QCOMPARE(Menu(MENU_RECORD_START, ATTR_CHECKED), 0);
    QCOMPARE(Menu(MENU_RECORD_STOP, ATTR_DIMMED), 1);

    Operator op;
    QVERIFY(ChooseMenuItem(MENU_HELP_KEYS));
    QVERIFY(ChooseMenuItem(MENU_HELP_ABOUT));
    QCOMPARE(op.count(), 2);
    QCOMPARE(op.popups[0].title, QStringLiteral("Keyboard shortcuts"));
    const QStringList lines = op.popups[0].text.split('\n');
    for (int id = 3; id <= 7; id++) { // Send, Get, Go, Stop, GetBuff as the panel binds them
        auto *button = qobject_cast<QPushButton *>(fixture::Widget(id));
        const QString key = button->shortcut().toString(), name = button->text().section(' ', 0, 0);
        QVERIFY2(!lines.filter(QRegularExpression("^ " + key + " +" + name + ":")).isEmpty(),
                 qPrintable(key + " " + name));
    }
    QCOMPARE(op.popups[1].title, QStringLiteral("About"));
    QVERIFY(op.popups[1].text.contains("Veltra-Razov V2.0"));
}

/* Five cycles in two polling runs: one line each, after the header, with the packet's values,
** a local time with milliseconds taken during the run; each line is in the file when the
** next cycle comes; the indicator and the check mark show the recording until it stops. */
void Recording::recordCycles()
{
    Operator op({"run"});
    QVERIFY(ChooseMenuItem(MENU_RECORD_START));
    QCOMPARE(QString::fromLocal8Bit(record_name), Path("run.csv"));
    QCOMPARE(recording, 1);
    QCOMPARE(Lines(Path("run.csv")), QList<QByteArray>{Header});
    QCOMPARE(fixture::Attr(PANEL_RECORDING, ATTR_VISIBLE), 1);
    QCOMPARE(Menu(MENU_RECORD_START, ATTR_CHECKED), 1);
    QCOMPARE(Menu(MENU_RECORD_STOP, ATTR_DIMMED), 0);

    const QDateTime start = QDateTime::currentDateTime().addMSecs(-1);
    QList<int> linesSeen;
    int next = 0;
    auto each = [&](int) {
        linesSeen << int(Lines(Path("run.csv")).size()) - 1;
        if (++next < 5) QVERIFY(sim.command(Command(cycles[next])));
    };
    QVERIFY(sim.command(Command(cycles[0])));
    QCOMPARE(Run(3, each), 3);
    QCOMPARE(recording, 1); // Stop ends polling, not the recording
    QCOMPARE(Run(2, each), 2);
    QVERIFY(ChooseMenuItem(MENU_RECORD_STOP));
    const QDateTime end = QDateTime::currentDateTime();

    QCOMPARE(linesSeen, (QList<int>{1, 2, 3, 4, 5}));
    QCOMPARE(op.count(), 0);
    QCOMPARE(recording, 0);
    QCOMPARE(fixture::Attr(PANEL_RECORDING, ATTR_VISIBLE), 0);
    QCOMPARE(Menu(MENU_RECORD_START, ATTR_CHECKED), 0);
    QCOMPARE(Menu(MENU_RECORD_STOP, ATTR_DIMMED), 1);
    const QList<QByteArray> lines = Lines(Path("run.csv"));
    QCOMPARE(lines.size(), 6);
    QDateTime last = start;
    for (int i = 0; i < 5; i++) {
        const QByteArray stamp = lines[i + 1].left(23);
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")
                     .match(QString::fromLatin1(stamp))
                     .hasMatch(),
                 stamp.constData());
        const QDateTime t = QDateTime::fromString(QString::fromLatin1(stamp), Qt::ISODateWithMs);
        QVERIFY(t >= last && t <= end);
        last = t;
        QCOMPARE(lines[i + 1].mid(23), QByteArray(",") + cycles[i].fields);
    }
}

/* The file may grow by three and a half lines: the fourth line stops the recording with a
** report naming the file and the reason, the file keeps the header and three whole lines,
** and polling goes on. */
void Recording::fullDiskStopsRecording()
{
    Operator op({"full.csv"});
    QVERIFY(ChooseMenuItem(MENU_RECORD_START));
    QVERIFY(sim.command(Command(cycles[0])));
    const int line = 23 + 1 + int(std::strlen(cycles[0].fields)) + 1;
    const int header = int(sizeof Header); // with its line feed
    {
        SizeLimit limit(header + 3 * line + line / 2);
        QVERIFY(limit.ok);
        QCOMPARE(Run(6), 6); // two more cycles after the failed fourth line
    }
    QCOMPARE(recording, 0);
    QCOMPARE(fixture::Attr(PANEL_RECORDING, ATTR_VISIBLE), 0);
    QCOMPARE(op.count(), 1);
    QCOMPARE(op.popups[0].title, QStringLiteral("INFO"));
    const QString text = op.popups[0].text;
    QVERIFY2(text.contains(Path("full.csv")) && text.contains(std::strerror(EFBIG)) &&
                 text.contains(" 3 lines"),
             qPrintable(text));
    const QList<QByteArray> lines = Lines(Path("full.csv"));
    QCOMPARE(ReadFile(Path("full.csv")).size(), header + 3 * line);
    QCOMPARE(lines.size(), 4);
    for (int i = 1; i <= 3; i++)
        QCOMPARE(lines[i].mid(23), QByteArray(",") + cycles[0].fields);
}

void Recording::exports_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("name");
    QTest::newRow("history") << int(MENU_EXPORT_HISTORY) << "history.csv";
    QTest::newRow("jump buffer") << int(MENU_EXPORT_JUMPBUF) << "jump.csv";
    QTest::newRow("graph image") << int(MENU_SAVE_GRAPH) << "graph.png";
}

/* After three cycles and a readout (jump graph on view): the export reads back as what the
** program holds; exported again over a size limit, the replacement is confirmed, fails, is
** reported with the file's name, and the old file stays. */
void Recording::exports()
{
    QFETCH(int, item);
    QFETCH(QString, name);
    int next = 0;
    QVERIFY(sim.command(Command(cycles[0])));
    QCOMPARE(Run(3, [&](int) { QVERIFY(sim.command(Command(cycles[++next]))); }), 3);
    QString jump = QStringLiteral("jump");
    for (int i = 1; i <= 16; i++)
        jump += ' ' + QString::number(i * 10);
    QVERIFY(sim.command(jump));
    SetCtrlVal(panel, PANEL_THRESHOLD, 80);
    Press(ButtonGetBuff);
    QCOMPARE(JumpBuf().first(), 10);

    Operator op({name, name});
    QVERIFY(ChooseMenuItem(item));
    QCOMPARE(op.count(), 0);
    const QString path = Path(name);
    const QList<QByteArray> lines = Lines(path);
    if (item == MENU_EXPORT_HISTORY) {
        QCOMPARE(lines.size(), 101);
        QCOMPARE(lines[0], QByteArray("sample,DAT0,DAT1,NORM,threshold,hysteresis"));
        QList<double> values;
        for (int i = 1; i <= 100; i++) {
            const QList<QByteArray> f = lines[i].split(',');
            QCOMPARE(f.size(), 6);
            QCOMPARE(f[0].toInt(), i);
            for (int k = 1; k < 6; k++)
                values << f[k].toDouble();
        }
        QCOMPARE(values, History());
        QCOMPARE(lines[100], QByteArray("100,255,0,255,90,110")); // the third cycle's sample
    } else if (item == MENU_EXPORT_JUMPBUF) {
        QCOMPARE(lines.size(), 17);
        QCOMPARE(lines[0], QByteArray("index,value,threshold"));
        for (int i = 1; i <= 16; i++)
            QCOMPARE(lines[i],
                     QByteArray::number(i) + ',' + QByteArray::number(JumpBuf()[i - 1]) + ",80");
    } else {
        const QImage image(path, "PNG");
        QCOMPARE(image.size(), fixture::Widget(PANEL_GRAPH_JUMPBUF)->size());
        bool blue = false; // the jump buffer's plot colour
        for (int y = 0; y < image.height() && !blue; y++)
            for (int x = 0; x < image.width() && !blue; x++)
                blue = (image.pixel(x, y) & 0xFFFFFF) == 0x0000FF;
        QVERIFY(blue);
    }

    const QByteArray old = ReadFile(path);
    {
        SizeLimit limit(10);
        QVERIFY(limit.ok);
        QVERIFY(ChooseMenuItem(item));
    }
    QCOMPARE(op.count(), 2);
    QVERIFY2(op.popups[0].text.contains("already exists"), qPrintable(op.popups[0].text));
    QCOMPARE(op.popups[1].title, QStringLiteral("INFO"));
    QVERIFY2(op.popups[1].text.contains(path), qPrintable(op.popups[1].text));
    QCOMPARE(ReadFile(path), old);
    QCOMPARE(QDir(dir.path()).entryList({name + "*"}, QDir::Files | QDir::Hidden),
             QStringList{name});
    SetCtrlVal(panel, PANEL_THRESHOLD, 90);
}

void Recording::menuCommandsSendNothing_data()
{
    QTest::addColumn<bool>("polling");
    QTest::newRow("idle") << false;
    QTest::newRow("while polling") << true;
}

/* Every menu command but Quit, in turn: none sends a frame, none ends polling, and polling
** goes on after them. */
void Recording::menuCommandsSendNothing()
{
    QFETCH(bool, polling);
    const int items[] = {MENU_RECORD_START, MENU_EXPORT_HISTORY, MENU_EXPORT_JUMPBUF,
                         MENU_SAVE_GRAPH,   MENU_RECORD_STOP,    MENU_VIEW_RAW,
                         MENU_VIEW_NORM,    MENU_HELP_KEYS,      MENU_HELP_ABOUT};
    Operator op({"a.csv", "b.csv", "c.csv", "d.png"});
    const int before = int(sim.frames().size());
    QList<int> pollAfter;
    auto chooseAll = [&] {
        for (int item : items) {
            QVERIFY(ChooseMenuItem(item));
            pollAfter << poll;
        }
    };
    if (!polling) {
        chooseAll();
        QTest::qWait(300); // a frame, had one been written, would be logged by now
        QCOMPARE(int(sim.frames().size()), before);
    } else {
        int chosenAt = 0;
        QCOMPARE(Run(4,
                     [&](int n) {
                         if (n == 2) chooseAll(), chosenAt = n;
                     }),
                 4);
        QCOMPARE(chosenAt, 2);
        QCOMPARE(Commands(sim, before), QList<int>(4, 5));
    }
    QCOMPARE(pollAfter, QList<int>(9, polling ? 1 : 0));
    QCOMPARE(op.dialogs, 4);
    QCOMPARE(op.count(), 2); // the two help popups
    const QStringList written{"a.csv", "b.csv", "c.csv", "d.png"};
    QCOMPARE(QDir(dir.path()).entryList(written, QDir::Files), written);
    for (const QString &f : written)
        QFile::remove(Path(f));
}

QTEST_MAIN(Recording)
#include "tst_recording.moc"
