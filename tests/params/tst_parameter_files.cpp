/* tst_parameter_files.cpp: saving and loading the parameter set with the FILE target through
** the real panel and the real file dialog, in a temporary directory: the round trip with the
** spare bytes and the power conversion, ".dat" added to a typed name, cancel, a path too
** long, a read-only file, a replaced file's mode and owner, a save that fails, malformed
** files that change nothing, and no serial traffic meanwhile.
*/
#include <QtTest>

#include "link/com232.h"
#include "params/params.h"
#include "support/linkfixture.h"
#include "support/panelfixture.h"
#include "support/simulator.h"

#include <csignal>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vr;
using namespace linkfixture;

typedef QList<int> Ints_;

namespace
{

const int Port = 6;
/* The sensor's RAM at connection: spare bytes 7, 8, 9; power raw 23 is 50 %. */
const Ints_ SensorRam{90, 120, 23, 0, 15, 0, 25, 4, 3, 0, 2, 0, 7, 8, 9};

/* Answers the file dialogs in turn, as the operator types a name and presses OK (an empty
** answer cancels), and records the message popups. `beforeAccept` runs just before a name is
** accepted. */
struct Operator : fixture::PopupCatcher {
    explicit Operator(QStringList answers, std::function<void()> beforeAccept = nullptr)
        : PopupCatcher([this, answers, beforeAccept](QWidget *w) mutable {
              ++dialogs;
              const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
              if (!answer.isEmpty() && beforeAccept) beforeAccept();
              fixture::AnswerFileDialog(w, answer);
          })
    {
    }
    int dialogs = 0;
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

struct stat Stat(const QString &path)
{
    struct stat st = {};
    stat(QFile::encodeName(path).constData(), &st);
    return st;
}

/* The numbers of a file, read independently of the program. */
Ints_ FileValues(const QString &path)
{
    Ints_ out;
    for (const QByteArray &word : ReadFile(path).simplified().split(' '))
        out << word.toInt();
    return out;
}

} // namespace

class ParameterFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    SensorSim sim_;

    QString Path(const QString &name) const { return QDir(dir_.path()).filePath(name); }
    QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden); }

  private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        for (const QString &name : Files())
            QFile::remove(Path(name));
        ZeroParameterSet();
        QVERIFY(fixture::LoadRealPanel() > 0);
        const QByteArray dir = QDir(dir_.path()).canonicalPath().toLocal8Bit();
        QVERIFY(dir.size() < int(sizeof doc_dir));
        std::strcpy(doc_dir, dir.constData()); /* where the dialogs open */
        QVERIFY(ConnectTo(sim_, Port, SensorRam));
        QVERIFY(sim_.waitForFrames(2));
        Click(PANEL_SELECT_FILE);
        QCOMPARE(target, int(DATFILE));
    }
    void cleanup()
    {
        CloseCom(com);
        sim_.stop();
        fixture::DiscardRealPanel();
    }

    /* A dialog that gives no file the program may use changes nothing: not pp, not the
    ** variables, not the panel, no file. A cancel is silent; a path too long for file_name is
    ** reported; a read-only file is replaced only when the operator confirms. */
    void refusedDialogChangesNothing_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("name");   /* empty: cancel */
        QTest::addColumn<int>("mode");       /* of the file there beforehand; 0: none */
        QTest::addColumn<QString>("report"); /* in the one popup; empty: no popup */
        const QString tooLong = QString(240, 'p') + ".dat";
        QTest::newRow("Send, cancelled") << int(ButtonSend) << QString() << 0 << QString();
        QTest::newRow("Get, cancelled") << int(ButtonGet) << QString() << 0 << QString();
        QTest::newRow("Send, path too long") << int(ButtonSend) << tooLong << 0644 << "too long";
        QTest::newRow("Get, path too long") << int(ButtonGet) << tooLong << 0644 << "too long";
        QTest::newRow("Send onto a read-only file, not confirmed")
            << int(ButtonSend) << "ref.dat" << 0444 << "READ-ONLY";
    }
    void refusedDialogChangesNothing()
    {
        QFETCH(int, button);
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(QString, report);
        if (mode == 0444 && geteuid() != 0) QSKIP("only root may replace a read-only file");
        const QByteArray old("5 5 5 5 5 5 5 5 5 5 5 5 5 5 5\n");
        if (mode) {
            WriteFile(Path(name), old);
            QCOMPARE(chmod(QFile::encodeName(Path(name)).constData(), mode), 0);
        }
        if (report == "too long") QVERIFY(Path(name).size() >= int(sizeof file_name));
        const Ints_ edited{1, 2, 97, 0, 3, 0, 4, 5, 6, 0, 7, 1};
        SetPanelParams(edited);
        Operator op({name});
        Click(button);
        QCOMPARE(op.dialogs, 1);
        QCOMPARE(op.popups.size(), report.isEmpty() ? 0 : 1);
        if (!report.isEmpty()) {
            QCOMPARE(op.popups[0].title, QStringLiteral("INFO"));
            QVERIFY2(op.popups[0].text.contains(report), qPrintable(op.popups[0].text));
        }
        QCOMPARE(Files(), mode ? QStringList{name} : QStringList());
        if (mode) {
            QCOMPARE(ReadFile(Path(name)), old);
            QCOMPARE(Stat(Path(name)).st_mode & 07777, mode_t(mode));
        }
        QCOMPARE(PanelParams(), edited);
        QCOMPARE(Ints(Packet()), SensorRam);
        QCOMPARE(Ints(Vars()), SensorRam);
    }

    /* A file replaced keeps its permission bits, and its owner and group: a read-only one
    ** (after the operator's yes) stays read-only, another user's stays theirs. */
    void replacedFileKeepsModeAndOwner_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("owner"); /* -1: the test's own user and group */
        QTest::addColumn<int>("popups");
        QTest::newRow("read-only, confirmed") << 0444 << -1 << 1;
        QTest::newRow("another owner and group") << 0640 << 1234 << 0;
    }
    void replacedFileKeepsModeAndOwner()
    {
        QFETCH(int, mode);
        QFETCH(int, owner);
        QFETCH(int, popups);
        if (geteuid() != 0) QSKIP("only root may replace a read-only file or give it away");
        const QByteArray path = QFile::encodeName(Path("ref.dat"));
        WriteFile(Path("ref.dat"), "5 5 5 5 5 5 5 5 5 5 5 5 5 5 5\n");
        if (owner >= 0) QCOMPARE(chown(path.constData(), owner, owner + 1), 0);
        QCOMPARE(chmod(path.constData(), mode), 0);
        const struct stat before = Stat(Path("ref.dat"));
        SetPanelParams({11, 22, 97, 0, 33, 0, 44, 55, 66, 0, 9, 1});
        Operator op({"ref.dat"});
        op.confirm = true;
        Click(ButtonSend);
        QCOMPARE(op.popups.size(), popups);
        if (popups)
            QVERIFY2(op.popups[0].text.contains("READ-ONLY"), qPrintable(op.popups[0].text));
        QCOMPARE(FileValues(Path("ref.dat")),
                 (Ints_{11, 22, 2, 0, 33, 0, 44, 55, 66, 0, 9, 1, 7, 8, 9}));
        const struct stat after = Stat(Path("ref.dat"));
        QCOMPARE(after.st_mode & 07777, mode_t(mode));
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QVERIFY(after.st_ino != before.st_ino); /* a new file took the old one's place */
        QCOMPARE(Files(), QStringList{"ref.dat"});
    }

    void saveAndLoad()
    {
        /* Saved at 97 %: raw 46 - 4462/100 = 2; the spare bytes are those read from the sensor.
        ** The typed name gets ".dat", and the file there is replaced. */
        const Ints_ panel1{11, 22, 97, 0, 33, 0, 44, 55, 66, 0, 9, 1};
        const Ints_ packet1{11, 22, 2, 0, 33, 0, 44, 55, 66, 0, 9, 1, 7, 8, 9};
        WriteFile(Path("set1.dat"), QByteArray(300, '9'));
        SetPanelParams(panel1);
        Operator op({"set1", "other.dat", "set1"});
        Click(ButtonSend);
        QCOMPARE(Files(), QStringList{"set1.dat"});
        QCOMPARE(QString::fromLocal8Bit(file_name), Path("set1.dat"));
        QCOMPARE(FileValues(Path("set1.dat")), packet1);
        QCOMPARE(Ints(Packet()), packet1); /* a save leaves pp holding the panel's values */

        /* A file written elsewhere, other spare bytes. */
        WriteFile(Path("other.dat"), "200 210 46 1 220 0 230 240 250 0 15 0 1 2 3\n");
        Click(ButtonGet);
        const Ints_ packet2{200, 210, 46, 1, 220, 0, 230, 240, 250, 0, 15, 0, 1, 2, 3};
        QCOMPARE(Ints(Packet()), packet2);
        QCOMPARE(Ints(Vars()), packet2);
        QCOMPARE(PanelParams(), (Ints_{200, 210, 0, 1, 220, 0, 230, 240, 250, 0, 15, 0}));

        /* Back to the first file: the same 15 bytes, 95 % for raw 2 (100 * 44 / 46 = 95.6). */
        Click(ButtonGet);
        QCOMPARE(Ints(Packet()), packet1);
        QCOMPARE(Ints(Vars()), packet1);
        QCOMPARE(PanelParams(), (Ints_{11, 22, 95, 0, 33, 0, 44, 55, 66, 0, 9, 1}));
        QCOMPARE(op.dialogs, 3);
        QCOMPARE(op.popups.size(), 0);
        QCOMPARE(Status(), LineOkText());
        Click(PANEL_SELECT_RAM); /* no frame went out meanwhile: the next one is this send */
        Click(ButtonSend);
        QVERIFY(sim_.waitForFrames(3));
        QCOMPARE(sim_.frames().size(), 3);
        QCOMPARE(sim_.frames()[2], SensorSim::frame(1, Packet()));
    }

    /* The disk refuses the new contents part way (the process may write no more than 20 bytes
    ** into a file): the old file stays as it was, and the operator is told which file. */
    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("0644") << 0644;
        QTest::newRow("read-only, confirmed") << 0444;
    }
    void failedSaveKeepsOldFile()
    {
        QFETCH(int, mode);
        const QByteArray old("5 5 5 5 5 5 5 5 5 5 5 5 5 5 5\n");
        WriteFile(Path("keep.dat"), old);
        QCOMPARE(chmod(QFile::encodeName(Path("keep.dat")).constData(), mode), 0);
        SetPanelParams({1, 2, 100, 0, 3, 0, 4, 5, 6, 0, 0, 0});
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit normal;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &normal), 0);
        bool limited = false;
        Operator op({"keep.dat"}, [&] {
            rlimit small = normal;
            small.rlim_cur = 20;
            limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
        });
        op.confirm = true;
        Click(ButtonSend);
        setrlimit(RLIMIT_FSIZE, &normal);
        QVERIFY(limited);
        QCOMPARE(op.popups.size(), mode == 0444 && geteuid() == 0 ? 2 : 1);
        QCOMPARE(op.popups.last().title, QStringLiteral("INFO"));
        QVERIFY2(op.popups.last().text.contains("NOT SAVED") &&
                     op.popups.last().text.contains(Path("keep.dat")),
                 qPrintable(op.popups.last().text));
        QCOMPARE(ReadFile(Path("keep.dat")), old);
        QCOMPARE(Stat(Path("keep.dat")).st_mode & 07777, mode_t(mode));
        QCOMPARE(Files(), QStringList{"keep.dat"});
    }

    void malformedFilesChangeNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents"); /* null: no such file */
        const QByteArray fourteen("1 2 3 4 5 6 7 8 9 10 11 12 13 14");
        QByteArray garbage;
        for (int i = 0; i < 200; ++i)
            garbage += char((i * 71 + 3) & 0xff);
        QTest::newRow("empty") << "bad.dat" << QByteArray("");
        QTest::newRow("14 values") << "bad.dat" << fourteen + "\n";
        QTest::newRow("16 values") << "bad.dat" << fourteen + " 15 16\n";
        QTest::newRow("300") << "bad.dat" << fourteen + " 300\n";
        QTest::newRow("-1") << "bad.dat"
                            << "-1 " + fourteen + "\n";
        QTest::newRow("text") << "bad.dat" << fourteen + " fifteen\n";
        QTest::newRow("binary garbage") << "bad.dat" << garbage;
        QTest::newRow("huge") << "bad.dat" << fourteen + " 15" + QByteArray(200 * 1024, ' ');
        QTest::newRow("a new name, no such file") << "new.dat" << QByteArray();
    }
    void malformedFilesChangeNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        if (!contents.isNull()) WriteFile(Path(name), contents);
        const Ints_ edited{9, 8, 50, 0, 7, 0, 6, 5, 4, 0, 3, 0};
        SetPanelParams(edited);
        Operator op({name});
        Click(ButtonGet);
        QCOMPARE(op.dialogs, 1);
        QCOMPARE(op.popups.size(), 1);
        QCOMPARE(op.popups[0].title, QStringLiteral("INFO"));
        QVERIFY2(op.popups[0].text.contains(Path(name)), qPrintable(op.popups[0].text));
        QCOMPARE(Ints(Packet()), SensorRam);
        QCOMPARE(Ints(Vars()), SensorRam);
        QCOMPARE(PanelParams(), edited);
        QCOMPARE(ReadFile(Path(name)), contents.isNull() ? QByteArray("<unreadable>") : contents);
        QCOMPARE(Status(), LineOkText());
    }
};

QTEST_MAIN(ParameterFiles)
#include "tst_parameter_files.moc"
