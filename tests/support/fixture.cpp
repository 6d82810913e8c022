/* fixture.cpp: the real panel for tests, the operator's input, the popup catcher, the
** snapshot, the polling hooks, and the simulator driven through QProcess.
*/
#include "fixture.h"

#include "platform/qtpanel.h"

#include <QChartView>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

namespace fx
{

const char TimeoutText[] = " ATTENTION! \n \n TIMEOUT \n NO SERIAL CONNECTION TO SENSOR";

QString LineOk()
{
    return "LINE OK" + QString(30, ' ') + "V2.0";
}

static const int inputs[12] = {PANEL_THRESHOLD, PANEL_HYSTERESIS,   PANEL_POWER,    PANEL_PMOD,
                               PANEL_HOLD,      PANEL_TRIGGER,      PANEL_BACKLIM,  PANEL_REGCNT,
                               PANEL_AVERAGE,   PANEL_DEADTIMEMODE, PANEL_DEADTIME, PANEL_OUTMODE};
static unsigned char *const vars[AnzPara] = {
    &threshold, &hysteresis,   &power,    &pmod,    &hold,   &trigger, &backlim, &regcnt,
    &average,   &deadtimemode, &deadtime, &outmode, &frei13, &frei14,  &frei15};

int Load()
{
    BindCallbacks(cbfTable, cbfTableLen);
    panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
    if (panel < 0) return panel;
    GetProjectDir(proj_dir);
    GetDocumentDir(doc_dir);
    for (int i = 0; i < AnzPara; i++)
        *vars[i] = pp[i] = 0;
    InitVars();
    DisplayPanel(panel);
    return QTest::qWaitForWindowExposed(vrplatform::panelWidget(panel)) ? panel : -100;
}

void Discard()
{
    CloseCom(com);
    if (panel > 0) DiscardPanel(panel);
    panel = 0;
}

QWidget *W(int control)
{
    vrplatform::Control *c = vrplatform::findControl(panel, control);
    return c ? c->widget.data() : nullptr;
}

QWidget *W(const char *objectName)
{
    return vrplatform::panelWidget(panel)->findChild<QWidget *>(objectName);
}

void Click(int control)
{
    QTest::mouseClick(W(control), Qt::LeftButton);
}

void RightClick(QWidget *w, QPoint at)
{
    QWidget *top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      w->mapTo(top, at.x() < 0 ? w->rect().center() : at));
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
    QVERIFY2(index >= 0, "no such item");
    box->setFocus();
    while (box->currentIndex() != index)
        QTest::keyClick(box, box->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
}

void CommitPort(int port)
{
    Type(PANEL_COMPORT, QString::number(port));
}

int Val(int control)
{
    int v = -12345;
    GetCtrlVal(panel, control, &v);
    return v;
}

int Attr(int control, int attribute)
{
    int v = -12345;
    GetCtrlAttribute(panel, control, attribute, &v);
    return v;
}

QString Text(int control, int attribute)
{
    char text[256] = "";
    if (attribute)
        GetCtrlAttributeText(panel, control, attribute, text, sizeof text);
    else
        GetCtrlVal(panel, control, text);
    return QString::fromLatin1(text);
}

QString Status()
{
    return Text(PANEL_STATUS);
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

Ints Packet()
{
    return Ints(pp, pp + AnzPara);
}

Ints Vars()
{
    Ints out;
    for (unsigned char *v : vars)
        out << *v;
    return out;
}

QStringList Snapshot()
{
    QStringList s;
    auto line = [&s](const char *name, const auto &values) {
        QStringList words;
        for (auto v : values)
            words << QString::number(v);
        s << QString(name) + ": " + words.join(' ');
    };
    Ints dimmed, view, traces, jump;
    for (int id : inputs)
        dimmed << Attr(id, ATTR_DIMMED);
    for (int id : {PANEL_DAT0, PANEL_DAT1, PANEL_NORM, PANEL_NORM_DECO, PANEL_STRIPCHART,
                   PANEL_EDGE, PANEL_WIN, PANEL_GRAPH_ADJ, PANEL_GRAPH_JUMPBUF})
        view << Attr(id, ATTR_VISIBLE);
    for (int t = 1; t <= AnzTrace; t++) {
        int visible = -1;
        GetStripChartTrace(panel, PANEL_STRIPCHART, t, nullptr, 0, &visible);
        traces << visible;
    }
    for (int plot = 0; plot < GetGraphPlotCount(panel, PANEL_GRAPH_JUMPBUF); plot++) {
        double v[AnzJump];
        int colour = 0, n = GetGraphPlotData(panel, PANEL_GRAPH_JUMPBUF, plot, v, AnzJump, &colour);
        jump << colour << Ints(v, v + qMax(n, 0));
    }
    line("panel", Params());
    line("dimmed", dimmed);
    s << Text(PANEL_DEADTIME, ATTR_LABEL_TEXT) + " " + Text(PANEL_DEADTIME);
    line("pp", Packet());
    line("variables", Vars());
    line("target, lit RAM EEPROM FILE",
         Ints{target, Val(PANEL_SELECT_RAM), Val(PANEL_SELECT_EEPROM), Val(PANEL_SELECT_FILE)});
    line("page, switch", Ints{para, Val(PANEL_PARA_VISIBLE)});
    line("source, ring, shown, traces", Ints{source, Val(PANEL_SOURCE)} + view + traces);
    line("port, input, poll", Ints{com, Val(PANEL_COMPORT), poll});
    line("databuf", Ints(databuf, databuf + AnzData));
    line("displays",
         Ints{Val(PANEL_DAT0), Val(PANEL_DAT1), Val(PANEL_NORM), Val(PANEL_EDGE), Val(PANEL_WIN)});
    line("history", QList<double>(alldata, alldata + AnzAll));
    line("jumpbuf", Ints(jumpbuf, jumpbuf + AnzJump));
    line("jump plots", jump);
    return s;
}

Popups::Popups(QStringList files, std::function<void()> beforeAccept)
{
    clock.start();
    timer.setInterval(20);
    connect(&timer, &QTimer::timeout, this, [this, files, beforeAccept]() mutable {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            list.append({box->windowTitle(), box->text(), clock.elapsed()});
            if (QAbstractButton *b = box->button(confirm ? QMessageBox::Yes : QMessageBox::No))
                b->click();
            else
                box->accept();
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            dialogs++;
            const QString name = files.isEmpty() ? QString() : files.takeFirst();
            if (name.isEmpty()) return dialog->reject();
            if (beforeAccept) beforeAccept();
            dialog->findChild<QLineEdit *>("fileNameEdit")->setText(name);
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        }
    });
    timer.start();
}

When::When(std::function<bool()> cond, std::function<void()> act)
{
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, this, [this, cond, act] {
        if (done || busy || !cond()) return;
        busy = true;
        act();
        done = true;
        busy = false;
    });
    timer.start();
}

Cycles::Cycles(std::function<void(int)> each)
{
    auto *view = qobject_cast<QChartView *>(W(PANEL_STRIPCHART));
    auto *trace1 = qobject_cast<QLineSeries *>(view->chart()->series().value(0));
    connect(trace1, &QXYSeries::pointsReplaced, this, [this, each] { each(++count); });
}

bool PressGo(int limitMs)
{
    bool ended = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&ended] {
        ended = true;
        if (QWidget *modal = QApplication::activeModalWidget()) modal->close();
        poll = 0;
    });
    watchdog.start(limitMs);
    Click(Go);
    return !ended;
}

int RunCycles(int n, std::function<void(int)> each)
{
    Cycles cycles([n, each](int k) {
        if (each) each(k);
        if (k == n) Click(Stop);
    });
    return PressGo(n * 1000 + 20000) ? cycles.count : -1;
}

bool Connect(Sim &sim, int port, const Ints &ram)
{
    if (!sim.start() || (!ram.isEmpty() && !sim.cmd(Sim::set("ram", ram)))) {
        qWarning("%s", qPrintable(sim.error));
        return false;
    }
    sim.assign(port);
    Popups popups;
    CommitPort(port);
    return Status() == LineOk() && popups.count() == 0 && sim.waitFrames(2);
}

} // namespace fx

/* ---- the simulator ---------------------------------------------------------------------- */

static void Pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
}

void Sim::assign(int port) const
{
    qputenv("VELTRAV20_COM" + QByteArray::number(port), link().toLocal8Bit());
}

bool Sim::start(const QStringList &withFaults)
{
    stop();
    faults = withFaults;
    QFile::remove(dir.filePath("frames.log"));
    QStringList args{"--link", link(), "--log", dir.filePath("frames.log"), "--no-pace"};
    for (const QString &f : faults)
        args << "--fault" << f;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(VELTRA_BIN_DIR "/sensorsim", args);
    QByteArray line;
    if (readLine(&line) && line.startsWith('/')) return true;
    error = "the simulator did not start: " + process.errorString() + " " + line;
    return false;
}

bool Sim::restart()
{
    return start(QStringList(faults));
}

void Sim::stop()
{
    if (process.state() == QProcess::NotRunning) return;
    process.write("quit\n");
    if (!process.waitForFinished(3000)) process.kill();
    process.waitForFinished(3000);
    process.readAll();
}

bool Sim::readLine(QByteArray *line)
{
    QDeadlineTimer deadline(10000);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning) return false;
        Pump();
        process.waitForReadyRead(5);
    }
    *line = process.readLine().trimmed();
    return true;
}

bool Sim::cmd(const QString &line, QString *values)
{
    QByteArray answer;
    process.write(line.toLocal8Bit() + '\n');
    if (!readLine(&answer) || !(answer == "ok" || answer.startsWith("ok "))) {
        error = QString("\"%1\" answered \"%2\"").arg(line, QString(answer));
        qWarning("%s", qPrintable(error));
        return false;
    }
    if (values) *values = QString(answer.mid(3));
    return true;
}

Ints Sim::get(const QString &what)
{
    QString values;
    Ints out;
    if (cmd("get " + what, &values))
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
        const QList<QByteArray> fields = text.simplified().split(' ');
        if (fields.size() != 18) continue; /* arrival time, then the 17 bytes */
        Ints bytes;
        for (int i = 1; i < 18; i++)
            bytes << fields[i].toInt(nullptr, 16);
        out << bytes;
    }
    return out;
}

Ints Sim::commands(int from) const
{
    Ints out;
    const QList<Ints> all = frames();
    for (int i = from; i < all.size(); i++)
        out << all[i][1];
    return out;
}

bool Sim::waitFrames(int n) const
{
    QDeadlineTimer deadline(10000);
    while (frames().size() < n)
        if (deadline.hasExpired())
            return false;
        else
            Pump();
    return true;
}

Ints Sim::frame(int command, const Ints &packet)
{
    return Ints{0x55, command} + packet;
}

QString Sim::set(const char *what, const Ints &values)
{
    QString line = what;
    for (int v : values)
        line += ' ' + QString::number(v);
    return line;
}

QString Sim::data(int dat0, int dat1, int norm, int edge, int in0, int in1)
{
    return set("data",
               {dat0, dat1, norm, edge & 255, edge >> 8, in0 & 255, in0 >> 8, in1 & 255, in1 >> 8});
}
