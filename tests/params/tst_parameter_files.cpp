/* tst_parameter_files.cpp: the parameter files with the FILE target, through the real panel
** and file dialog in a temporary directory: save and load byte for byte, refused dialogs,
** replaced files keeping mode and owner, a failed save keeping the old file, and files that
** load all or nothing.
*/
#include "support/fixture.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace fx;

namespace
{

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

void Write(const QString &path, const QByteArray &bytes, int mode = 0644)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
    f.close();
    QCOMPARE(chmod(QFile::encodeName(path).constData(), mode), 0);
}

struct stat Stat(const QString &path)
{
    struct stat st = {};
    stat(QFile::encodeName(path).constData(), &st);
    return st;
}

const QByteArray old("5 5 5 5 5 5 5 5 5 5 5 5 5 5 5\n");

} // namespace

class ParameterFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    Sim sim;

    QString Path(const QString &name) const { return dir.filePath(name); }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::System); }

  private slots:
    void initTestCase()
    {
        QVERIFY(Load() > 0);
        qstrncpy(doc_dir, QFile::encodeName(QDir(dir.path()).canonicalPath()), sizeof doc_dir);
        /* spare bytes 7, 8, 9; power raw 23 is 50 % */
        QVERIFY(Connect(sim, 6, {90, 120, 23, 0, 15, 0, 25, 4, 3, 0, 2, 0, 7, 8, 9}));
    }
    void cleanupTestCase() { Discard(); }
    void init()
    {
        for (const QString &name : Files())
            QFile::remove(Path(name));
        if (!Val(PANEL_SELECT_FILE)) Click(PANEL_SELECT_FILE);
    }

    /* Saved at 97 % (raw 46 - 4462 / 100 = 2) with the sensor's spare bytes, into the file
    ** the typed name gets ".dat" for, replacing it; loaded back, 95 % (100 * 44 / 46). A file
    ** written elsewhere brings its own spare bytes. No serial traffic meanwhile. */
    void saveAndLoad()
    {
        const int from = sim.frames().size();
        const Ints packet1{11, 22, 2, 0, 33, 0, 44, 55, 66, 0, 9, 1, 7, 8, 9};
        Write(Path("set1.dat"), QByteArray(300, '9'));
        SetParams({11, 22, 97, 0, 33, 0, 44, 55, 66, 0, 9, 1});
        Popups popups({"set1", "other.dat", "set1"});
        Click(Send);
        QCOMPARE(Files(), QStringList{"set1.dat"});
        QCOMPARE(QString(file_name), Path("set1.dat"));
        QCOMPARE(Contents(Path("set1.dat")),
                 QByteArray("  11  22   2   0  33   0  44  55  66   0   9   1   7   8   9\n"));
        QCOMPARE(Packet(), packet1);

        Write(Path("other.dat"), "200 210 46 1 220 0 230 240 250 0 15 0 1 2 3\n");
        Click(Get);
        QCOMPARE(Vars(), (Ints{200, 210, 46, 1, 220, 0, 230, 240, 250, 0, 15, 0, 1, 2, 3}));
        QCOMPARE(Params(), (Ints{200, 210, 0, 1, 220, 0, 230, 240, 250, 0, 15, 0}));
        Click(Get);
        QCOMPARE(Packet(), packet1);
        QCOMPARE(Vars(), packet1);
        QCOMPARE(Params(), (Ints{11, 22, 95, 0, 33, 0, 44, 55, 66, 0, 9, 1}));
        QCOMPARE(popups.dialogs, 3);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(Status(), LineOk());
        Click(PANEL_SELECT_RAM); /* the next frame is this Send's, 95 % as raw 3 */
        Click(Send);
        QVERIFY(sim.waitFrames(from + 1));
        QCOMPARE(sim.frames().mid(from),
                 QList<Ints>{Sim::frame(1, {11, 22, 3, 0, 33, 0, 44, 55, 66, 0, 9, 1, 7, 8, 9})});
    }

    /* A dialog that gives no file the program may use changes nothing: a cancel silently, a
    ** path too long for file_name reported, a read-only file kept unless the operator says
    ** yes. */
    void refusedDialog_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("name"); /* empty: cancel */
        QTest::addColumn<int>("mode");     /* of the file there beforehand; 0: none */
        QTest::addColumn<QString>("report");
        const QString tooLong = QString(240, 'p') + ".dat";
        QTest::newRow("Send cancelled") << int(Send) << "" << 0 << "";
        QTest::newRow("Get cancelled") << int(Get) << "" << 0 << "";
        QTest::newRow("Send, path too long") << int(Send) << tooLong << 0 << "too long";
        QTest::newRow("Get, path too long") << int(Get) << tooLong << 0 << "too long";
        QTest::newRow("Send onto a read-only file, not confirmed")
            << int(Send) << "ref.dat" << 0444 << "READ-ONLY";
    }
    void refusedDialog()
    {
        QFETCH(int, button);
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(QString, report);
        if (mode) Write(Path(name), old, mode);
        SetParams({1, 2, 97, 0, 3, 0, 4, 5, 6, 0, 7, 1});
        const QStringList before = Snapshot();
        Popups popups({name});
        Click(button);
        QCOMPARE(popups.dialogs, 1);
        QCOMPARE(popups.count(), report.isEmpty() ? 0 : 1);
        if (!report.isEmpty())
            QVERIFY2(popups.list[0].text.contains(report), qPrintable(popups.list[0].text));
        QCOMPARE(Snapshot(), before);
        QCOMPARE(Files(), mode ? QStringList{name} : QStringList());
        if (mode) QCOMPARE(Contents(Path(name)), old);
        if (mode) QCOMPARE(Stat(Path(name)).st_mode & 07777, mode_t(mode));
    }

    void replacedKeepsModeAndOwner_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("owner"); /* -1: the test's own */
        QTest::newRow("read-only, confirmed") << 0444 << -1;
        QTest::newRow("another owner and group") << 0640 << 1234;
    }
    /* A new file takes the old one's place with its permission bits, owner and group. */
    void replacedKeepsModeAndOwner()
    {
        QFETCH(int, mode);
        QFETCH(int, owner);
        if (geteuid() != 0) QSKIP("only root may replace a read-only file or give it away");
        const QString path = Path("ref.dat");
        Write(path, old, mode);
        if (owner >= 0) QCOMPARE(chown(QFile::encodeName(path).constData(), owner, owner + 1), 0);
        const struct stat before = Stat(path);
        SetParams({11, 22, 97, 0, 33, 0, 44, 55, 66, 0, 9, 1});
        Popups popups({"ref.dat"});
        popups.confirm = true;
        Click(Send);
        QCOMPARE(popups.count(), mode == 0444 ? 1 : 0);
        QCOMPARE(Contents(path).simplified(), QByteArray("11 22 2 0 33 0 44 55 66 0 9 1 7 8 9"));
        const struct stat after = Stat(path);
        QCOMPARE(after.st_mode & 07777, mode_t(mode));
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QVERIFY(after.st_ino != before.st_ino);
        QCOMPARE(Files(), QStringList{"ref.dat"});
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("0644") << 0644;
        QTest::newRow("read-only, confirmed") << 0444;
    }
    /* The disk takes no more than 20 bytes of the new contents: the old file stays as it
    ** was, and the operator is told which file was not saved. */
    void failedSaveKeepsOldFile()
    {
        QFETCH(int, mode);
        Write(Path("keep.dat"), old, mode);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit normal, small;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &normal), 0);
        small = normal;
        small.rlim_cur = 20;
        Popups popups({"keep.dat"}, [&] { setrlimit(RLIMIT_FSIZE, &small); });
        popups.confirm = true;
        Click(Send);
        setrlimit(RLIMIT_FSIZE, &normal);
        QCOMPARE(popups.count(), mode == 0444 && geteuid() == 0 ? 2 : 1);
        QVERIFY2(popups.list.last().text.contains("NOT SAVED") &&
                     popups.list.last().text.contains(Path("keep.dat")),
                 qPrintable(popups.list.last().text));
        QCOMPARE(Contents(Path("keep.dat")), old);
        QCOMPARE(Stat(Path("keep.dat")).st_mode & 07777, mode_t(mode));
        QCOMPARE(Files(), QStringList{"keep.dat"});
    }

    void loadAllOrNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents"); /* null: no such file; "fifo": a named pipe */
        const QByteArray fourteen("1 2 3 4 5 6 7 8 9 10 11 12 13 14");
        QByteArray garbage;
        for (int i = 0; i < 200; ++i)
            garbage += char((i * 71 + 3) & 0xff);
        QTest::newRow("empty") << "bad.dat" << QByteArray("");
        QTest::newRow("14 values") << "bad.dat" << fourteen + "\n";
        QTest::newRow("16 values") << "bad.dat" << fourteen + " 15 16\n";
        QTest::newRow("300 after 14 good values") << "bad.dat" << fourteen + " 300\n";
        QTest::newRow("-1") << "bad.dat"
                            << "-1 " + fourteen + "\n";
        QTest::newRow("text") << "bad.dat" << fourteen + " fifteen\n";
        QTest::newRow("binary") << "bad.dat" << garbage;
        QTest::newRow("huge") << "bad.dat" << fourteen + " 15" + QByteArray(200 * 1024, ' ');
        QTest::newRow("a named pipe without writer") << "pipe.dat" << QByteArray("fifo");
        QTest::newRow("a new name, no such file") << "new.dat" << QByteArray();
    }
    /* A file that does not hold exactly 15 values 0..255 is reported with its name and
    ** changes nothing: not pp, not the variables, not the operator's unsent edits. */
    void loadAllOrNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        if (contents == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(Path(name)).constData(), 0600), 0);
        else if (!contents.isNull())
            Write(Path(name), contents);
        SetParams({9, 8, 50, 0, 7, 0, 6, 5, 4, 0, 3, 0});
        const QStringList before = Snapshot();
        Popups popups({name});
        Click(Get);
        QCOMPARE(popups.count(), 1);
        QCOMPARE(popups.list[0].title, QString("INFO"));
        QVERIFY2(popups.list[0].text.contains(Path(name)), qPrintable(popups.list[0].text));
        QCOMPARE(Snapshot(), before);
        if (contents != "fifo")
            QCOMPARE(Contents(Path(name)), contents.isNull() ? QByteArray("<none>") : contents);
        QCOMPARE(Status(), LineOk());
    }
};

QTEST_MAIN(ParameterFiles)
#include "tst_parameter_files.moc"
