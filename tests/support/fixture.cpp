/* fixture.cpp: the real panel for tests, the operator's input, the popup catcher, the
** snapshot, the polling hooks, and the simulator driven through QProcess. */
#include "fixture.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include <csignal>

namespace fx
{

const char TimeoutText[] = " ATTENTION! \n \n TIMEOUT \n NO SERIAL CONNECTION TO SENSOR";

static const int inputs[12] = {PANEL_THRESHOLD, PANEL_HYSTERESIS,   PANEL_POWER,    PANEL_PMOD,
                               PANEL_HOLD,      PANEL_TRIGGER,      PANEL_BACKLIM,  PANEL_REGCNT,
                               PANEL_AVERAGE,   PANEL_DEADTIMEMODE, PANEL_DEADTIME, PANEL_OUTMODE};
static unsigned char *const vars[AnzPara] = {
    &threshold, &hysteresis,   &power,    &pmod,    &hold,   &trigger, &backlim, &regcnt,
    &average,   &deadtimemode, &deadtime, &outmode, &frei13, &frei14,  &frei15};

int Load(std::function<void()> beforeInit)
{
    BindCallbacks(cbfTable, cbfTableLen);
    panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
    if (panel < 0) return panel;
    InstallMenuBar(panel, menuTable, menuTableLen);
    GetProjectDir(proj_dir);
    GetDocumentDir(doc_dir);
    for (int i = 0; i < AnzPara; i++)
        *vars[i] = pp[i] = 0;
    if (beforeInit) beforeInit();
    InitVars();
    DisplayPanel(panel);
    return QTest::qWaitForWindowExposed(PanelWidget(panel)) ? panel : -100;
}

void Discard()
{
    StopRecording();
    CloseCom(com);
    DiscardPanel(panel);
}

bool Menu(int item)
{
    for (int i = 0; i < menuTableLen; i++)
        for (QAction *a : PanelWidget(panel)->findChildren<QAction *>())
            if (menuTable[i].id == item && a->text() == menuTable[i].item && a->isEnabled()) {
                a->trigger();
                return true;
            }
    return false;
}

void Type(int control, const QString &text, bool enter)
{
    QWidget *w = W(control);
    w->setFocus();
    if (auto *spin = qobject_cast<QSpinBox *>(w)) spin->selectAll();
    QTest::keyClicks(w, text);
    if (enter) QTest::keyClick(w, Qt::Key_Return);
}

void Choose(int ring, int value)
{
    auto *box = qobject_cast<QComboBox *>(W(ring));
    const int index = box->findData(value);
    box->setFocus();
    while (index >= 0 && box->currentIndex() != index)
        QTest::keyClick(box, box->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
}

int Val(int control, int attribute)
{
    int v = -12345;
    attribute ? GetCtrlAttribute(panel, control, attribute, &v) : GetCtrlVal(panel, control, &v);
    return v;
}

QString Text(int control, int attribute)
{
    char text[256] = "";
    attribute ? GetCtrlAttributeText(panel, control, attribute, text, sizeof text)
              : GetCtrlVal(panel, control, text);
    return QString::fromUtf8(text);
}

Ints Params()
{
    Ints out;
    for (int id : inputs)
        out << Val(id);
    return out;
}

void SetParams(const Ints &values)
{
    for (int i = 0; i < 12; i++)
        SetCtrlVal(panel, inputs[i], values[i]);
}

Ints Vars()
{
    Ints out;
    for (unsigned char *v : vars)
        out << *v;
    return out;
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

SizeLimit::SizeLimit(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &normal);
    rlimit small = normal;
    small.rlim_cur = bytes;
    ok = setrlimit(RLIMIT_FSIZE, &small) == 0;
}

QStringList Snapshot()
{
    Settle();
    Ints dimmed, view, jump, where;
    for (QWidget *w : PanelWidget(panel)->findChildren<QWidget *>()) {
        const QRect r(w->mapTo(w->window(), QPoint(0, 0)), w->size());
        auto *label = qobject_cast<QLabel *>(w);
        if (ControlIdOf(w) || (label && label->buddy()))
            where << r.x() << r.y() << r.width() << r.height();
    }
    for (int id : inputs)
        dimmed << Val(id, ATTR_DIMMED);
    for (int id : {PANEL_DAT0, PANEL_DAT1, PANEL_NORM, PANEL_NORM_DECO, PANEL_STRIPCHART,
                   PANEL_EDGE, PANEL_WIN, PANEL_GRAPH_ADJ, PANEL_GRAPH_JUMPBUF})
        view << Val(id, ATTR_VISIBLE);
    for (int t = 1; t <= AnzTrace; t++)
        GetStripChartTrace(panel, PANEL_STRIPCHART, t, nullptr, 0, &view.emplaceBack());
    for (int plot = 0; plot < GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF); plot++) {
        double v[AnzJump];
        int n = GetGraphPlotData(panel, PANEL_GRAPH_JUMPBUF, plot, v, AnzJump, &jump.emplaceBack());
        jump << Ints(v, v + qMax(n, 0));
    }
    return {Line("panel:", Params()),
            Line("dimmed:", dimmed),
            Text(PANEL_DEADTIME, ATTR_LABEL_TEXT) + " " + Text(PANEL_DEADTIME),
            Line("pp:", Packet()),
            Line("variables:", Vars()),
            Line("target, lit:", Ints{target, Val(PANEL_SELECT_RAM), Val(PANEL_SELECT_EEPROM),
                                      Val(PANEL_SELECT_FILE)}),
            Line("page, switch:", Ints{para, Val(PANEL_PARA_VISIBLE)}),
            Line("source, ring, shown, traces:", Ints{source, Val(PANEL_SOURCE)} + view),
            Line("port, input, poll:", Ints{com, Val(PANEL_COMPORT), poll}),
            Line("databuf:", Ints(databuf, databuf + AnzData)),
            Line("displays:", Ints{Val(PANEL_DAT0), Val(PANEL_DAT1), Val(PANEL_NORM),
                                   Val(PANEL_EDGE), Val(PANEL_WIN)}),
            Line("history:", QList<double>(alldata, alldata + AnzAll)),
            Line("jumpbuf:", Ints(jumpbuf, jumpbuf + AnzJump)),
            Line("jump plots:", jump),
            Line("geometry:", where)};
}

QStringList Without(const QStringList &snapshot, const char *name)
{
    return snapshot.filter(QRegularExpression(QString("^(?!(%1):)").arg(name)));
}

Popups::Popups(QStringList files, std::function<void()> beforeAccept)
{
    clock.start();
    connect(&timer, &QTimer::timeout, this, [this, files, beforeAccept]() mutable {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            list.append({box->windowTitle(), box->text(), clock.elapsed()});
            QAbstractButton *b = box->button(confirm ? QMessageBox::Yes : QMessageBox::No);
            b ? b->click() : box->accept();
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal);
                   dialog && dialog != answered) {
            dialogs++;
            const QString name = files.isEmpty() ? QString() : files.takeFirst();
            if (name.isEmpty()) return dialog->reject();
            if (beforeAccept) beforeAccept();
            dialog->findChild<QLineEdit *>("fileNameEdit")->setText(name);
            answered = dialog; /* accepted from the event loop: its question is caught too */
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        }
    });
    timer.start(20);
}

bool TimeoutReported(const Popups &popups, int count)
{
    bool ok = popups.count() == count && Status() == "TIMEOUT";
    for (const Popup &p : popups.list)
        ok = ok && p.title == "INFO" && p.text == TimeoutText;
    return ok;
}

When::When(std::function<bool()> cond, std::function<void()> act)
{
    connect(&timer, &QTimer::timeout, this, [this, cond, act] {
        if (done || busy || !cond()) return;
        busy = true;
        act();
        done = true;
    });
    timer.start(5);
}

bool PressGo(int limitMs)
{
    bool ended = false;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&ended] {
        ended = true;
        if (QWidget *modal = QApplication::activeModalWidget()) modal->close();
        poll = 0;
    });
    watchdog.start(limitMs);
    Click(Go);
    return !ended;
}

int RunCycles(const Sim &sim, int n, std::function<void(int)> each)
{
    const int base = sim.commands().count(5);
    int k = 0;
    bool busy = false;
    QTimer tick; /* at every event processing: the cycle's own, once its reply is taken */
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (busy || poll != 1 || nBytesR != AnzData) return;
        const int requests = sim.commands().count(5) - base;
        if (requests <= k) return;
        nBytesR = -1; /* this reply is counted; the next exchange's read sets it again */
        k = requests;
        busy = true;
        if (each) each(k);
        if (k == n) Click(Stop);
        busy = false;
    });
    nBytesR = -1;
    tick.start(0);
    return PressGo(n * 1000 + 20000) ? k : -1;
}

bool Connect(Sim &sim, int port, const Ints &ram)
{
    if (!sim.start() || (!ram.isEmpty() && !sim.cmd(Line("ram", ram)))) return false;
    sim.assign(port);
    Popups popups;
    CommitPort(port);
    return Status() == LineOk() && popups.count() == 0 && sim.waitFrames(2);
}

} // namespace fx

/* ---- the simulator ---------------------------------------------------------------------- */

/* Processes events until `done` holds, 10 s at most; whether it holds. */
static bool PumpUntil(const std::function<bool()> &done)
{
    for (QDeadlineTimer deadline(10000); !done() && !deadline.hasExpired();) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return done();
}

bool Sim::start(const QStringList &faults)
{
    stop();
    QFile::remove(dir.filePath("frames.log"));
    QStringList args{"--link", link(), "--log", dir.filePath("frames.log"), "--no-pace"};
    for (const QString &f : faults)
        args << "--fault" << f;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(VELTRA_BIN_DIR "/sensorsim", args);
    if (readLine().startsWith('/')) return true;
    qWarning("the simulator did not start: %s", qPrintable(process.errorString()));
    return false;
}

void Sim::stop()
{
    if (process.state() == QProcess::NotRunning) return;
    process.write("quit\n");
    if (!process.waitForFinished(3000)) process.kill();
    process.waitForFinished(3000);
}

QByteArray Sim::readLine()
{
    PumpUntil([this] { return process.canReadLine() || process.state() == QProcess::NotRunning; });
    return process.readLine().trimmed();
}

bool Sim::cmd(const QString &line, QString *values)
{
    process.write(line.toLocal8Bit() + '\n');
    const QByteArray answer = readLine();
    if (values) *values = QString(answer.mid(3));
    if (answer == "ok" || answer.startsWith("ok ")) return true;
    qWarning("simulator: \"%s\" answered \"%s\"", qPrintable(line), answer.constData());
    return false;
}

Ints Sim::get(const QString &what)
{
    QString values;
    Ints out;
    cmd("get " + what, &values);
    for (const QString &word : values.split(' ', Qt::SkipEmptyParts))
        out << word.toInt(nullptr, 16);
    return out;
}

QList<Ints> Sim::frames() const
{
    QList<Ints> out;
    QFile log(dir.filePath("frames.log"));
    if (!log.open(QIODevice::ReadOnly)) return out;
    QList<QByteArray> lines = log.readAll().split('\n');
    lines.removeLast(); /* empty, or a line still being written */
    for (const QByteArray &text : lines) {
        const QList<QByteArray> fields = text.split(' '); /* arrival time, 17 bytes */
        out.append(Ints());
        for (int i = 1; i < fields.size(); i++)
            out.last() << fields[i].toInt(nullptr, 16);
    }
    return out;
}

Ints Sim::commands(int from, bool all) const
{
    Ints out;
    for (const Ints &f : frames().mid(from))
        out << f.value(1);
    if (!all) return out;
    const int markers = out.count(0);
    FillTxBuf(0);
    ComWrt(com, szWriteBuf, FrameLen);
    PumpUntil([&] { return (out = commands(from)).count(0) > markers; });
    return out.mid(0, out.lastIndexOf(0));
}

bool Sim::waitFrames(int n) const
{
    return PumpUntil([&] { return frames().size() >= n; });
}

QString Sim::data(int dat0, int dat1, int norm, int edge, int in0, int in1)
{
    return fx::Line("data", Ints{dat0, dat1, norm, edge & 255, edge >> 8, in0 & 255, in0 >> 8,
                                 in1 & 255, in1 >> 8});
}
