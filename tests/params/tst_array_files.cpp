/* tst_array_files.cpp: the array files of the platform: the text layout, the round trip,
** the atomic save (a save that fails leaves the old file intact) and the all-or-nothing
** load of malformed files. Real files in a temporary directory; needs no panel.
*/
#include <QtTest>

#include "platform/platform.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace
{

constexpr int N = 15;
typedef QList<int> Bytes;

Bytes ToList(const unsigned char *a, int n)
{
    Bytes out;
    for (int i = 0; i < n; ++i)
        out << a[i];
    return out;
}

int Save(const QString &path, const Bytes &values, int fieldWidth = 4)
{
    unsigned char a[N];
    for (int i = 0; i < N; ++i)
        a[i] = static_cast<unsigned char>(values.value(i));
    return ArrayToFile(path.toLocal8Bit().constData(), a, VAL_UNSIGNED_CHAR, N, 1, 0, 0, 0,
                       fieldWidth, VAL_ASCII, VAL_TRUNCATE);
}

/* Loads into an array that holds 200, 201, .. beforehand, so that any write shows. */
int Load(const QString &path, Bytes *got)
{
    unsigned char a[N];
    for (int i = 0; i < N; ++i)
        a[i] = static_cast<unsigned char>(200 + i);
    const int rc =
        FileToArray(path.toLocal8Bit().constData(), a, VAL_UNSIGNED_CHAR, N, 1, 0, 0, VAL_ASCII);
    *got = ToList(a, N);
    return rc;
}

const Bytes Untouched = {200, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 213, 214};

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

/* While it lives, no file of this process may grow beyond `bytes`: a write past that
** fails as on a full disk, also for root. */
class FileSizeLimit
{
  public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }
    bool ok() const { return ok_; }

  private:
    rlimit old_;
    bool ok_ = false;
};

} // namespace

class ArrayFiles : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void textLayout();
    void roundTrip_data();
    void roundTrip();
    void saveReplacesContents();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void otherLayoutsRead_data();
    void otherLayoutsRead();
    void malformedRefused_data();
    void malformedRefused();
    void unreadableRefused_data();
    void unreadableRefused();
    void unsupportedTypeRefused();

  private:
    QTemporaryDir dir_;
    QString path_;
};

void ArrayFiles::init()
{
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("init.dat"));
    QFile::remove(path_);
}

/* One line, each value right-aligned in four characters. */
void ArrayFiles::textLayout()
{
    QCOMPARE(Save(path_, {0, 1, 22, 255, 46, 0, 9, 10, 99, 100, 15, 1, 7, 8, 9}), 0);
    QCOMPARE(Contents(path_),
             QByteArray("   0   1  22 255  46   0   9  10  99 100  15   1   7   8   9\n"));
    QCOMPARE(QByteArray(GetFileErrorText()), QByteArray());
}

void ArrayFiles::roundTrip_data()
{
    QTest::addColumn<Bytes>("values");
    QTest::addColumn<int>("fieldWidth");
    QTest::newRow("all zero") << Bytes(N, 0) << 4;
    QTest::newRow("all 255") << Bytes(N, 255) << 4;
    QTest::newRow("parameters and spares 7 8 9")
        << Bytes{120, 130, 2, 0, 5, 0, 30, 10, 4, 1, 5, 1, 7, 8, 9} << 4;
    QTest::newRow("field width 0 still separates")
        << Bytes{255, 255, 1, 2, 3, 100, 200, 0, 0, 0, 1, 1, 254, 253, 252} << 0;
    QTest::newRow("field width 10")
        << Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 10, 11, 12, 13, 14} << 10;
    QTest::newRow("field width a billion is cut")
        << Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << 1000000000;
}

void ArrayFiles::roundTrip()
{
    QFETCH(Bytes, values);
    QFETCH(int, fieldWidth);
    QCOMPARE(Save(path_, values, fieldWidth), 0);
    Bytes got;
    QCOMPARE(Load(path_, &got), 0);
    QCOMPARE(got, values);
    QCOMPARE(QByteArray(GetFileErrorText()), QByteArray());
}

void ArrayFiles::saveReplacesContents()
{
    Write(path_, QByteArray(500, 'x'));
    QCOMPARE(Save(path_, Bytes(N, 3)), 0);
    QCOMPARE(Contents(path_).size(), 61);
    Bytes got;
    QCOMPARE(Load(path_, &got), 0);
    QCOMPARE(got, Bytes(N, 3));
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{"init.dat"});
}

void ArrayFiles::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("disk full after 20 bytes") << "limit";
    QTest::newRow("name taken by a directory") << "directory";
    QTest::newRow("directory does not exist") << "nodir";
}

void ArrayFiles::failedSaveKeepsOldFile()
{
    QFETCH(QString, how);
    const QByteArray old("  11  12  13  14  15  16  17  18  19  20  21  22  23  24  25\n");
    QString target = path_;
    int rc = 0;
    if (how == "limit") {
        Write(path_, old);
        FileSizeLimit limit(20);
        QVERIFY(limit.ok());
        rc = Save(path_, Bytes(N, 99));
    } else if (how == "directory") {
        target = dir_.filePath("taken.dat");
        QVERIFY(QDir().mkdir(target));
        Write(target + "/inside", old);
        rc = Save(target, Bytes(N, 99));
        QVERIFY(QFileInfo(target).isDir());
        target += "/inside";
    } else {
        target = dir_.filePath("missing/init.dat");
        rc = Save(target, Bytes(N, 99));
        QVERIFY(!QFileInfo::exists(dir_.filePath("missing")));
    }
    QVERIFY2(rc < 0, qPrintable(QString::number(rc)));
    QVERIFY(QByteArray(GetFileErrorText()).size() > 0);
    if (how != "nodir") QCOMPARE(Contents(target), old);
    /* No temporary file is left behind beside the target. */
    const QStringList left = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(left.size() <= 1, qPrintable(left.join(',')));
    /* A later save that can succeed does. */
    QCOMPARE(Save(path_, Bytes(N, 5)), 0);
    QCOMPARE(QByteArray(GetFileErrorText()), QByteArray());
}

void ArrayFiles::otherLayoutsRead_data()
{
    QTest::addColumn<QByteArray>("text");
    const Bytes v{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 255};
    QTest::newRow("one per line") << QByteArray(
        "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n255\n");
    QTest::newRow("tabs, no final line feed")
        << QByteArray("1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\t14\t255");
    QTest::newRow("CR LF lines of five")
        << QByteArray("1 2 3 4 5\r\n6 7 8 9 10\r\n11 12 13 14 255\r\n");
    QTest::newRow("leading zeros") << QByteArray("001 2 3 4 5 6 7 8 9 010 11 12 13 14 0255\n");
}

void ArrayFiles::otherLayoutsRead()
{
    QFETCH(QByteArray, text);
    Write(path_, text);
    Bytes got;
    QCOMPARE(Load(path_, &got), 0);
    QCOMPARE(got, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 255}));
}

void ArrayFiles::malformedRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray fourteen("1 2 3 4 5 6 7 8 9 10 11 12 13 14");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blanks only") << QByteArray(" \n\t\r\n");
    QTest::newRow("14 values") << fourteen + "\n";
    QTest::newRow("16 values") << fourteen + " 15 16\n";
    QTest::newRow("30 values") << fourteen + " 15 " + fourteen + " 15\n";
    QTest::newRow("300") << fourteen + " 300\n";
    QTest::newRow("256") << "256 " + fourteen + "\n";
    QTest::newRow("99999999999") << fourteen + " 99999999999\n";
    QTest::newRow("-1") << "-1 " + fourteen + "\n";
    QTest::newRow("+1") << "+1 " + fourteen + "\n";
    QTest::newRow("1.5") << fourteen + " 1.5\n";
    QTest::newRow("hex 0x10") << fourteen + " 0x10\n";
    QTest::newRow("text") << fourteen + " abc\n";
    QTest::newRow("comma separated") << QByteArray("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n");
    QTest::newRow("NUL inside") << fourteen + QByteArray(" 1\0 5\n", 6);
    QByteArray garbage;
    for (int i = 0; i < 256; ++i)
        garbage += char((i * 37 + 11) & 0xff);
    QTest::newRow("binary garbage") << garbage;
    QTest::newRow("huge: 15 values, then 100 KiB of blanks")
        << "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15" + QByteArray(100 * 1024, ' ');
    QByteArray many;
    for (int i = 0; i < 40000; ++i)
        many += "7 ";
    QTest::newRow("huge: 40000 values") << many;
}

void ArrayFiles::malformedRefused()
{
    QFETCH(QByteArray, text);
    Write(path_, text);
    Bytes got;
    QVERIFY(Load(path_, &got) < 0);
    QCOMPARE(got, Untouched);
    QVERIFY(QByteArray(GetFileErrorText()).size() > 0);
    QCOMPARE(Contents(path_), text); /* a refused load leaves the file alone */
}

void ArrayFiles::unreadableRefused_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("a directory") << "directory";
    QTest::newRow("a named pipe without writer") << "fifo";
    QTest::newRow("an endless device") << "/dev/zero";
}

void ArrayFiles::unreadableRefused()
{
    QFETCH(QString, what);
    QString name = dir_.filePath("nothere.dat");
    if (what == "directory") {
        name = dir_.filePath("sub.dat");
        QVERIFY(QDir().mkpath(name));
    } else if (what == "fifo") {
        name = dir_.filePath("pipe.dat");
        QFile::remove(name);
        QCOMPARE(mkfifo(name.toLocal8Bit().constData(), 0600), 0);
    } else if (what.startsWith('/')) {
        name = what;
    }
    QCOMPARE(Save(path_, Bytes(N, 1)), 0);
    QCOMPARE(QByteArray(GetFileErrorText()), QByteArray()); /* a success clears the text */
    Bytes got;
    QVERIFY(Load(name, &got) < 0);
    QCOMPARE(got, Untouched);
    QVERIFY(QByteArray(GetFileErrorText()).size() > 0);
}

void ArrayFiles::unsupportedTypeRefused()
{
    unsigned char a[N] = {1, 2, 3};
    const QByteArray name = path_.toLocal8Bit();
    QVERIFY(ArrayToFile(name.constData(), a, VAL_DOUBLE, N, 1, 0, 0, 0, 4, VAL_ASCII,
                        VAL_TRUNCATE) < 0);
    QVERIFY(!QFileInfo::exists(path_));
    QCOMPARE(Save(path_, Bytes(N, 4)), 0);
    QVERIFY(FileToArray(name.constData(), a, VAL_DOUBLE, N, 1, 0, 0, VAL_ASCII) < 0);
    QCOMPARE(ToList(a, 3), (Bytes{1, 2, 3}));
    QVERIFY(QByteArray(GetFileErrorText()).size() > 0);
}

QTEST_GUILESS_MAIN(ArrayFiles)
#include "tst_array_files.moc"
