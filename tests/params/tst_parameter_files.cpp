/* tst_parameter_files.cpp: the FILE target through the real panel and file dialog: save and
** load byte for byte, refused dialogs and files (loads all or nothing), replaced and failed
** saves. */
#include "support/fixture.h"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace fx;

namespace
{

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
const QString tooLong = QString(240, 'p') + ".dat";

// clang-format off
/* owner -1: the test's own; full: the disk takes 20 bytes only */
const struct { const char *name; int mode, owner; bool full; } replacements[] = {
    {"read-only, confirmed: stays read-only", 0444, -1, false},
    {"another owner and group: kept", 0640, 1234, false},
    {"disk full: the old file kept", 0644, -1, true},
    {"read-only, confirmed, disk full: the old file kept", 0444, -1, true},
};

const QByteArray fourteen("1 2 3 4 5 6 7 8 9 10 11 12 13 14");

/* file: empty, cancel; contents: of the file there beforehand, null: none, "fifo": a named
** pipe; report: what the one popup says, null: no popup, empty: the file's path */
const struct { const char *name; int button; QString file; QByteArray contents; int mode;
               const char *report; } refusals[] = {
    {"Send cancelled", fx::Send, "", {}, 0, nullptr},
    {"Get cancelled", fx::Get, "", {}, 0, nullptr},
    {"Send, path too long", fx::Send, tooLong, {}, 0, "too long"},
    {"Get, path too long", fx::Get, tooLong, {}, 0, "too long"},
    {"Send onto a read-only file, not confirmed", fx::Send, "ref.dat", old, 0444, "READ-ONLY"},
    {"Get, empty", fx::Get, "bad.dat", "", 0644, ""},
    {"Get, 14 values", fx::Get, "bad.dat", fourteen + "\n", 0644, ""},
    {"Get, 16 values", fx::Get, "bad.dat", fourteen + " 15 16\n", 0644, ""},
    {"Get, 300 after 14 good values", fx::Get, "bad.dat", fourteen + " 300\n", 0644, ""},
    {"Get, huge", fx::Get, "bad.dat", fourteen + " 15" + QByteArray(200 * 1024, ' '), 0644, ""},
    {"Get, a named pipe without writer", fx::Get, "pipe.dat", "fifo", 0600, ""},
    {"Get, a new name, no such file", fx::Get, "new.dat", {}, 0, ""},
};
// clang-format on

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

    /* Saved at 97 % (raw 2) with the sensor's spare bytes as "<name>.dat"; loaded back, 95 %;
    ** a file from elsewhere brings its own spare bytes. No serial traffic meanwhile. */
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

    void refusedFile_data() { AddRows(refusals); }
    /* A dialog that gives no usable file changes nothing, not the operator's unsent edits nor
    ** the file; all but a cancel are reported, a file to load that does not hold exactly 15
    ** values 0..255 with its name. */
    void refusedFile()
    {
        const auto &r = refusals[Row()];
        const QString path = Path(r.file);
        if (r.contents == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), r.mode), 0);
        else if (!r.contents.isNull())
            Write(path, r.contents, r.mode);
        SetParams({1, 2, 97, 0, 3, 0, 4, 5, 6, 0, 7, 1});
        const QStringList before = Snapshot();
        Popups popups({r.file});
        Click(r.button);
        QCOMPARE(popups.dialogs, 1);
        QCOMPARE(popups.count(), r.report ? 1 : 0);
        for (const Popup &p : popups.list)
            QVERIFY2(p.title == "INFO" && p.text.contains(*r.report ? QString(r.report) : path),
                     qPrintable(p.text));
        QCOMPARE(Snapshot(), before);
        QCOMPARE(Status(), LineOk());
        QCOMPARE(Files(), r.contents.isNull() ? QStringList() : QStringList{r.file});
        if (r.contents != "fifo")
            QCOMPARE(Contents(path), r.contents.isNull() ? QByteArray("<none>") : r.contents);
        if (!r.contents.isNull()) QCOMPARE(Stat(path).st_mode & 07777, mode_t(r.mode));
    }

    void replaceFile_data() { AddRows(replacements); }
    /* A file saved over keeps its mode, owner and group; on a full disk the old file stays
    ** and the operator is told which file was not saved. */
    void replaceFile()
    {
        const auto &r = replacements[Row()];
        if (r.owner >= 0 && geteuid() != 0) QSKIP("only root may give a file away");
        const QString path = Path("ref.dat");
        Write(path, old, r.mode);
        if (r.owner >= 0) QCOMPARE(chown(QFile::encodeName(path).constData(), r.owner, 99), 0);
        const struct stat before = Stat(path);
        SetParams({11, 22, 97, 0, 33, 0, 44, 55, 66, 0, 9, 1});
        std::optional<SizeLimit> limit;
        Popups popups({"ref.dat"}, [&] {
            if (r.full) limit.emplace(20);
        });
        popups.confirm = true;
        Click(Send);
        QVERIFY(!r.full || limit->ok);
        limit.reset();
        const bool readOnly = r.mode == 0444 && geteuid() == 0;
        QCOMPARE(popups.count(), int(readOnly) + int(r.full));
        if (r.full)
            QVERIFY2(popups.list.last().text.contains("NOT SAVED") &&
                         popups.list.last().text.contains(path),
                     qPrintable(popups.list.last().text));
        QCOMPARE(Contents(path).simplified(),
                 r.full ? old.simplified() : "11 22 2 0 33 0 44 55 66 0 9 1 7 8 9");
        const struct stat after = Stat(path);
        QCOMPARE(after.st_mode & 07777, mode_t(r.mode));
        QCOMPARE(Ints({int(after.st_uid), int(after.st_gid)}),
                 Ints({int(before.st_uid), int(before.st_gid)}));
        QCOMPARE(after.st_ino != before.st_ino, !r.full);
        QCOMPARE(Files(), QStringList{"ref.dat"});
    }
};

QTEST_MAIN(ParameterFiles)
#include "tst_parameter_files.moc"
