/* tst_history_shift.cpp: the two array routines of the history buffer: Copy1D and Shift,
** their status codes, that a refused call leaves the output untouched, and the shifts done in
** place as the history uses them.
*/
#include <QtTest>

#include "live/live.h"

using namespace vr;

typedef QList<double> Values;

class HistoryShift : public QObject
{
    Q_OBJECT

  private slots:
    void shift_data();
    void shift();
    void copy_data();
    void copy();
    void historyShiftInPlace();
};

void HistoryShift::shift_data()
{
    QTest::addColumn<Values>("in");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<int>("status");
    QTest::addColumn<Values>("out"); // for a refused call: the output as it was

    const Values five = {1, 2, 3, 4, 5};
    const Values marks = {-7, -7, -7, -7, -7}; // what a separate output held before
    QTest::newRow("n = 0") << five << 0 << 1 << false << -20003 << marks;
    QTest::newRow("n = -3") << five << -3 << 0 << false << -20003 << marks;
    QTest::newRow("n = 5, shift 5") << five << 5 << 5 << false << -20102 << marks;
    QTest::newRow("n = 5, shift -5") << five << 5 << -5 << false << -20102 << marks;
    QTest::newRow("n = 5, shift -9") << five << 5 << -9 << false << -20102 << marks;
    QTest::newRow("n = 5, shift 5, in place") << five << 5 << 5 << true << -20102 << five;
    QTest::newRow("shift 0 copies") << five << 5 << 0 << false << 0 << five;
    QTest::newRow("by -2 in place") << five << 5 << -2 << true << 0 << Values{3, 4, 5, 0, 0};
    QTest::newRow("by 2 in place") << five << 5 << 2 << true << 0 << Values{0, 0, 1, 2, 3};
    QTest::newRow("by -2 to another") << five << 5 << -2 << false << 0 << Values{3, 4, 5, 0, 0};
    QTest::newRow("by 2 to another") << five << 5 << 2 << false << 0 << Values{0, 0, 1, 2, 3};
    QTest::newRow("by 4 in place") << five << 5 << 4 << true << 0 << Values{0, 0, 0, 0, 1};
    QTest::newRow("by -4 in place") << five << 5 << -4 << true << 0 << Values{5, 0, 0, 0, 0};
    QTest::newRow("first 3 by -1") << five << 3 << -1 << true << 0 << Values{2, 3, 0, 4, 5};
    QTest::newRow("one element, shift 0")
        << Values{9} << 1 << 0 << false << 0 << Values{9, -7, -7, -7, -7};
}

void HistoryShift::shift()
{
    QFETCH(Values, in);
    QFETCH(int, n);
    QFETCH(int, count);
    QFETCH(bool, inPlace);
    QFETCH(int, status);
    QFETCH(Values, out);

    double a[5] = {-7, -7, -7, -7, -7}, b[5] = {-7, -7, -7, -7, -7};
    for (int i = 0; i < in.size(); i++)
        a[i] = in[i];
    double *target = inPlace ? a : b;
    QCOMPARE(Shift(a, n, count, target), status);
    QCOMPARE(Values(target, target + 5), out);
    if (!inPlace) QCOMPARE(Values(a, a + in.size()), in); // the input is never written
}

void HistoryShift::copy_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("status");
    QTest::addColumn<Values>("out");
    QTest::newRow("n = 0") << 0 << -20003 << Values{-7, -7, -7, -7};
    QTest::newRow("n = -1") << -1 << -20003 << Values{-7, -7, -7, -7};
    QTest::newRow("n = 1") << 1 << 0 << Values{1.5, -7, -7, -7};
    QTest::newRow("n = 3") << 3 << 0 << Values{1.5, 2.5, 3.5, -7};
    QTest::newRow("n = 4") << 4 << 0 << Values{1.5, 2.5, 3.5, 4.5};
}

void HistoryShift::copy()
{
    QFETCH(int, n);
    QFETCH(int, status);
    QFETCH(Values, out);
    const double in[4] = {1.5, 2.5, 3.5, 4.5};
    double result[4] = {-7, -7, -7, -7};
    QCOMPARE(Copy1D(in, n, result), status);
    QCOMPARE(Values(result, result + 4), out);
}

/* The history's own step: 500 values moved five places towards index 0 in place; the
** oldest sample falls out and the last five become 0.0. */
void HistoryShift::historyShiftInPlace()
{
    static double h[500];
    for (int i = 0; i < 500; i++)
        h[i] = 1000 + i;
    QCOMPARE(Shift(h, 500, -5, h), 0);
    QCOMPARE(h[0], 1005.0);
    QCOMPARE(h[1], 1006.0);
    QCOMPARE(h[250], 1255.0);
    QCOMPARE(h[494], 1499.0);
    for (int i = 495; i < 500; i++)
        QCOMPARE(h[i], 0.0);
}

QTEST_APPLESS_MAIN(HistoryShift)
#include "tst_history_shift.moc"
