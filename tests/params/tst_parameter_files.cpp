/* tst_parameter_files.cpp: saving and loading the parameter set with the FILE target through
** the real panel and the real file dialog, in a temporary directory: what the dialog offers,
** the round trip with the spare bytes and the power conversion, the ".dat" added to a typed
** name, cancel, a save that fails, malformed files that change nothing, and no serial
** traffic meanwhile.
*/
#include <QtTest>

#include <QFileDialog>
#include <QLineEdit>

#include "link/com232.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

#include <csignal>
#include <cstring>
#include <functional>
#include <sys/resource.h>

using namespace vr;
using namespace linkfixture;

typedef QList<int> Ints_;

namespace
{

const int Port = 6;
/* The sensor's RAM at connection: spare bytes 7, 8, 9; power raw 23 is 50 %. */
const Ints_ SensorRam{90, 120, 23, 0, 15, 0, 25, 4, 3, 0, 2, 0, 7, 8, 9};
const Ints_ SensorRamOnPanel{90, 120, 50, 0, 15, 0, 25, 4, 3, 0, 2, 0};

struct SeenDialog {
    QString title;
    QString directory;
    QString proposed;
    QStringList filters;
};

/* Answers the file dialogs in turn, as the operator types a name and presses OK (an empty
** answer cancels), and records what each dialog offered. Message popups are recorded too. */
class Operator
{
  public:
    explicit Operator(QStringList answers)
        : answers_(answers), catcher_([this](QWidget *w) { Answer(w); })
    {
    }
    std::function<void()> beforeAccept; /* runs just before a name is accepted */
    QList<SeenDialog> dialogs;
    QList<fixture::Popup> &popups() { return catcher_.popups; }

  private:
    void Answer(QWidget *w)
    {
        auto *fd = qobject_cast<QFileDialog *>(w);
        if (!fd) return;
        auto *edit = fd->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        dialogs.append({fd->windowTitle(), QDir(fd->directory()).canonicalPath(),
                        edit ? edit->text() : QString(), fd->nameFilters()});
        const QString answer = answers_.isEmpty() ? QString() : answers_.takeFirst();
        if (!answer.isEmpty() && beforeAccept) beforeAccept();
        fixture::AnswerFileDialog(fd, answer);
    }
    QStringList answers_;
    fixture::PopupCatcher catcher_;
};

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

/* The numbers of a parameter file, read independently of the program. */
Ints_ FileValues(const QString &path)
{
    Ints_ out;
    for (const QByteArray &word : ReadFile(path).simplified().split(' '))
        out << word.toInt();
    return out;
}

QByteArray Text(const Ints_ &values)
{
    QByteArray out;
    for (int v : values)
        out += QByteArray::number(v) + ' ';
    return out + '\n';
}

} // namespace

class ParameterFiles : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void dialogOffersInitDat_data();
    void dialogOffersInitDat();
    void saveAndLoad();
    void saveReplacesExistingFile();
    void failedSaveKeepsOldFile();
    void malformedFilesChangeNothing_data();
    void malformedFilesChangeNothing();
    void loadedModesApplyToThePanel();

  private:
    QString Path(const QString &name) const { return QDir(dir_.path()).filePath(name); }
    /* No frame went out since the connection: the next one is a send to RAM. */
    void CheckNoSerialTraffic();

    QTemporaryDir dir_;
    SensorSim sim_;
};

void ParameterFiles::init()
{
    QVERIFY(dir_.isValid());
    for (const QString &name : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(Path(name));
    ZeroParameterSet();
    QVERIFY(fixture::LoadRealPanel() > 0);
    /* The dialogs open in the program's document directory. */
    const QByteArray dir = QDir(dir_.path()).canonicalPath().toLocal8Bit();
    QVERIFY(dir.size() < int(sizeof doc_dir));
    std::strcpy(doc_dir, dir.constData());
    QVERIFY(ConnectTo(sim_, Port, SensorRam));
    QVERIFY(sim_.waitForFrames(2));
    Click(PANEL_SELECT_FILE);
    QCOMPARE(target, int(DATFILE));
}

void ParameterFiles::cleanup()
{
    CloseCom(com);
    sim_.stop();
    fixture::DiscardRealPanel();
}

void ParameterFiles::CheckNoSerialTraffic()
{
    Click(PANEL_SELECT_RAM);
    Operator nobody({});
    Click(ButtonSend);
    QVERIFY(sim_.waitForFrames(3));
    const QList<QByteArray> frames = sim_.frames();
    QCOMPARE(frames.size(), 3);
    QCOMPARE(frames[2], SensorSim::frame(1, Packet()));
}

void ParameterFiles::dialogOffersInitDat_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("Send") << int(ButtonSend);
    QTest::newRow("Get") << int(ButtonGet);
}

/* Both dialogs offer "init.dat" in the document directory, "*.dat" only; cancelling either
** writes no file and changes nothing. */
void ParameterFiles::dialogOffersInitDat()
{
    QFETCH(int, button);
    const Ints_ edited{1, 2, 97, 0, 3, 0, 4, 5, 6, 0, 7, 1};
    SetPanelParams(edited);
    Operator op({QString()});
    Click(button);
    QCOMPARE(op.dialogs.size(), 1);
    QCOMPARE(op.dialogs[0].title, QStringLiteral("init"));
    QCOMPARE(op.dialogs[0].directory, QDir(dir_.path()).canonicalPath());
    QCOMPARE(op.dialogs[0].proposed, QStringLiteral("init.dat"));
    QCOMPARE(op.dialogs[0].filters, QStringList{"*.dat"});
    QCOMPARE(op.popups().size(), 0);
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(PanelParams(), edited);
    QCOMPARE(Ints(Packet()), SensorRam);
    QCOMPARE(Ints(Vars()), SensorRam);
    CheckNoSerialTraffic();
}

void ParameterFiles::saveAndLoad()
{
    /* Saved at 97 %: raw 46 - 4462/100 = 2; the spare bytes are those read from the sensor. */
    const Ints_ panel1{11, 22, 97, 0, 33, 0, 44, 55, 66, 0, 9, 1};
    const Ints_ packet1{11, 22, 2, 0, 33, 0, 44, 55, 66, 0, 9, 1, 7, 8, 9};
    SetPanelParams(panel1);
    {
        Operator op({"set1"});
        Click(ButtonSend);
        QCOMPARE(op.dialogs.size(), 1);
        QCOMPARE(op.popups().size(), 0);
    }
    QVERIFY(QFileInfo(Path("set1.dat")).isFile()); /* the typed name got ".dat" */
    QVERIFY(!QFileInfo::exists(Path("set1")));
    QCOMPARE(QString::fromLocal8Bit(file_name), Path("set1.dat"));
    QCOMPARE(FileValues(Path("set1.dat")), packet1);
    QCOMPARE(Ints(Packet()), packet1); /* a save leaves pp holding the panel's values */

    /* Another file, other spare bytes. */
    const Ints_ packet2{200, 210, 46, 1, 220, 0, 230, 240, 250, 0, 15, 0, 1, 2, 3};
    WriteFile(Path("other.dat"), Text(packet2));
    {
        Operator op({"other.dat"});
        Click(ButtonGet);
        QCOMPARE(op.popups().size(), 0);
    }
    QCOMPARE(Ints(Packet()), packet2);
    QCOMPARE(Ints(Vars()), packet2);
    QCOMPARE(PanelParams(), (Ints_{200, 210, 0, 1, 220, 0, 230, 240, 250, 0, 15, 0}));

    /* Back to the first file, named without its extension: the same 15 bytes, 95 % shown
    ** for raw 2 (100 * 44 / 46 = 95.6). */
    {
        Operator op({"set1"});
        Click(ButtonGet);
        QCOMPARE(op.popups().size(), 0);
    }
    QCOMPARE(Ints(Packet()), packet1);
    QCOMPARE(Ints(Vars()), packet1);
    QCOMPARE(PanelParams(), (Ints_{11, 22, 95, 0, 33, 0, 44, 55, 66, 0, 9, 1}));
    QCOMPARE(Status(), LineOkText());
    CheckNoSerialTraffic();
}

void ParameterFiles::saveReplacesExistingFile()
{
    WriteFile(Path("init.dat"), QByteArray(300, '9'));
    SetPanelParams({1, 2, 100, 0, 3, 0, 4, 5, 6, 0, 0, 0});
    Operator op({"init.dat"}); /* the proposed name */
    Click(ButtonSend);
    QCOMPARE(op.popups().size(), 0);
    QCOMPARE(FileValues(Path("init.dat")), (Ints_{1, 2, 0, 0, 3, 0, 4, 5, 6, 0, 0, 0, 7, 8, 9}));
}

/* The disk refuses the new contents part way (the process may write no more than 20 bytes
** into a file): the old file stays as it was, and the operator is told which file. */
void ParameterFiles::failedSaveKeepsOldFile()
{
    const QByteArray old = Text({5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5});
    WriteFile(Path("keep.dat"), old);
    SetPanelParams({1, 2, 100, 0, 3, 0, 4, 5, 6, 0, 0, 0});
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit normal;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &normal), 0);
    bool limited = false;
    {
        Operator op({"keep.dat"});
        op.beforeAccept = [&] {
            rlimit small = normal;
            small.rlim_cur = 20;
            limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
        };
        Click(ButtonSend);
        setrlimit(RLIMIT_FSIZE, &normal);
        QVERIFY(limited);
        QCOMPARE(op.popups().size(), 1);
        QCOMPARE(op.popups()[0].title, QStringLiteral("INFO"));
        QVERIFY2(op.popups()[0].text.contains(Path("keep.dat")), qPrintable(op.popups()[0].text));
    }
    QCOMPARE(ReadFile(Path("keep.dat")), old);
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.dat"});
    QCOMPARE(Ints(Packet()), (Ints_{1, 2, 0, 0, 3, 0, 4, 5, 6, 0, 0, 0, 7, 8, 9}));
}

void ParameterFiles::malformedFilesChangeNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents"); /* null: no such file */
    const QByteArray fourteen("1 2 3 4 5 6 7 8 9 10 11 12 13 14");
    QTest::newRow("empty") << "bad.dat" << QByteArray("");
    QTest::newRow("14 values") << "bad.dat" << fourteen + "\n";
    QTest::newRow("16 values") << "bad.dat" << fourteen + " 15 16\n";
    QTest::newRow("300") << "bad.dat" << fourteen + " 300\n";
    QTest::newRow("-1") << "bad.dat"
                        << "-1 " + fourteen + "\n";
    QTest::newRow("text") << "bad.dat" << fourteen + " fifteen\n";
    QByteArray garbage;
    for (int i = 0; i < 200; ++i)
        garbage += char((i * 71 + 3) & 0xff);
    QTest::newRow("binary garbage") << "bad.dat" << garbage;
    QTest::newRow("huge") << "bad.dat" << fourteen + " 15" + QByteArray(200 * 1024, ' ');
    QTest::newRow("a new name, no such file") << "new.dat" << QByteArray();
}

void ParameterFiles::malformedFilesChangeNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    if (!contents.isNull()) WriteFile(Path(name), contents);
    const Ints_ edited{9, 8, 50, 0, 7, 0, 6, 5, 4, 0, 3, 0};
    SetPanelParams(edited);

    Operator op({name});
    Click(ButtonGet);
    QCOMPARE(op.dialogs.size(), 1);
    QCOMPARE(op.popups().size(), 1);
    QCOMPARE(op.popups()[0].title, QStringLiteral("INFO"));
    QVERIFY2(op.popups()[0].text.contains(Path(name)), qPrintable(op.popups()[0].text));
    QCOMPARE(Ints(Packet()), SensorRam);
    QCOMPARE(Ints(Vars()), SensorRam);
    QCOMPARE(PanelParams(), edited);
    if (contents.isNull())
        QVERIFY(!QFileInfo::exists(Path(name)));
    else
        QCOMPARE(ReadFile(Path(name)), contents);
    QCOMPARE(Status(), LineOkText());
}

/* A loaded file sets the dimming and the dead-time ring as a read from the sensor does. */
void ParameterFiles::loadedModesApplyToThePanel()
{
    WriteFile(Path("modes.dat"), Text({10, 20, 46, 1, 30, 2, 40, 50, 60, 1, 5, 1, 0, 0, 0}));
    Operator op({"modes.dat"});
    Click(ButtonGet);
    QCOMPARE(op.popups().size(), 0);
    QCOMPARE(fixture::Attr(PANEL_POWER, ATTR_DIMMED), 1);
    QCOMPARE(fixture::Attr(PANEL_REGCNT, ATTR_DIMMED), 0);
    QCOMPARE(fixture::Attr(PANEL_DEADTIMEMODE, ATTR_DIMMED), 1);
    QCOMPARE(fixture::Attr(PANEL_DEADTIME, ATTR_DIMMED), 1);
    char label[32] = "";
    GetCtrlAttributeText(panel, PANEL_DEADTIME, ATTR_LABEL_TEXT, label, sizeof label);
    QCOMPARE(QByteArray(label), QByteArray("DEAD TIME[ms]"));
    char item[16] = "";
    int value = -1;
    QCOMPARE(GetListItem(panel, PANEL_DEADTIME, 5, item, sizeof item, &value), 0);
    QCOMPARE(QByteArray(item), QByteArray("10"));
    QCOMPARE(value, 5);
    QCOMPARE(fixture::IntVal(PANEL_DEADTIME), 5);
}

QTEST_MAIN(ParameterFiles)
#include "tst_parameter_files.moc"
