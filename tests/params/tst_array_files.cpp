/* tst_array_files.cpp: the array files of the platform on real files: the text layout and
** round trip, a save cut short that leaves the old file intact, and a load that takes all or
** nothing. The malformed contents are tested through the panel (tst_parameter_files).
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
    got->clear();
    for (unsigned char v : a)
        *got << v;
    return rc;
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class ArrayFiles : public QObject
{
    Q_OBJECT

  private slots:
    void roundTrip_data()
    {
        QTest::addColumn<Bytes>("values");
        QTest::addColumn<int>("fieldWidth");
        QTest::addColumn<QByteArray>("text"); /* empty: not checked */
        QTest::newRow("one line, four characters a value")
            << Bytes{0, 1, 22, 255, 46, 0, 9, 10, 99, 100, 15, 1, 7, 8, 9} << 4
            << QByteArray("   0   1  22 255  46   0   9  10  99 100  15   1   7   8   9\n");
        QTest::newRow("field width 0 still separates") << Bytes(N, 255) << 0 << QByteArray();
        QTest::newRow("field width a billion is cut") << Bytes(N, 7) << 1000000000 << QByteArray();
    }
    void roundTrip()
    {
        QFETCH(Bytes, values);
        QFETCH(int, fieldWidth);
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString path = dir.filePath("init.dat");
        QCOMPARE(Save(path, values, fieldWidth), 0);
        if (!text.isEmpty()) QCOMPARE(Contents(path), text);
        Bytes got;
        QCOMPARE(Load(path, &got), 0);
        QCOMPARE(got, values);
        QCOMPARE(QByteArray(GetFileErrorText()), QByteArray());
    }

    /* The disk takes no more than 20 bytes of the new contents: the save fails, the old file
    ** stays as it was and no temporary file is left beside it. */
    void truncatedSaveKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("keep.dat");
        QCOMPARE(Save(path, Bytes(N, 11)), 0);
        const QByteArray old = Contents(path);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit normal, small;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &normal), 0);
        small = normal;
        small.rlim_cur = 20;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int rc = Save(path, Bytes(N, 99));
        setrlimit(RLIMIT_FSIZE, &normal);
        QVERIFY2(rc < 0, qPrintable(QString::number(rc)));
        QVERIFY(QByteArray(GetFileErrorText()).size() > 0);
        QCOMPARE(Contents(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.dat"});
    }

    /* A refused load writes nothing into the array: not the 14 good values before a bad one,
    ** and nothing from files that are not regular files (a pipe would block, a device never
    ** end). */
    void loadAllOrNothing_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("300 after 14 good values") << "300";
        QTest::newRow("a named pipe without writer") << "fifo";
        QTest::newRow("an endless device") << "/dev/zero";
    }
    void loadAllOrNothing()
    {
        QFETCH(QString, what);
        QTemporaryDir dir;
        QString name = dir.filePath("bad.dat");
        if (what == "300") {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly) &&
                    f.write("1 2 3 4 5 6 7 8 9 10 11 12 13 14 300\n") > 0);
        } else if (what == "fifo") {
            QCOMPARE(mkfifo(name.toLocal8Bit().constData(), 0600), 0);
        } else {
            name = what;
        }
        Bytes got;
        QVERIFY(Load(name, &got) < 0);
        for (int i = 0; i < N; ++i)
            QCOMPARE(got[i], 200 + i);
        QVERIFY(QByteArray(GetFileErrorText()).size() > 0);
    }
};

QTEST_GUILESS_MAIN(ArrayFiles)
#include "tst_array_files.moc"
