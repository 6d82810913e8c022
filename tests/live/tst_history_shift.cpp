/* tst_history_shift.cpp: the history buffer's array routines Copy1D and Shift: results,
** status codes, and a refused call leaving the output untouched.
*/
#include <QtTest>

#include "live/live.h"

using namespace vr;

typedef QList<double> Values;

class HistoryShift : public QObject
{
    Q_OBJECT

  private slots:
    void copyAndShift_data();
    void copyAndShift();
};

void HistoryShift::copyAndShift_data()
{
    QTest::addColumn<bool>("copy"); // Copy1D, otherwise Shift
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<int>("status");
    QTest::addColumn<Values>("out"); // for a refused call: the output as it was

    const Values five = {1, 2, 3, 4, 5}, marks = {-7, -7, -7, -7, -7};
    QTest::newRow("Copy1D n = 0") << true << 0 << 0 << false << -20003 << marks;
    QTest::newRow("Copy1D n = 3") << true << 3 << 0 << false << 0 << Values{1, 2, 3, -7, -7};
    QTest::newRow("Shift n = 0") << false << 0 << 1 << false << -20003 << marks;
    QTest::newRow("n = 5, shift 5") << false << 5 << 5 << false << -20102 << marks;
    QTest::newRow("n = 5, shift -5") << false << 5 << -5 << false << -20102 << marks;
    QTest::newRow("n = 5, shift 5, in place") << false << 5 << 5 << true << -20102 << five;
    QTest::newRow("shift 0 copies") << false << 5 << 0 << false << 0 << five;
    QTest::newRow("by -2 in place") << false << 5 << -2 << true << 0 << Values{3, 4, 5, 0, 0};
    QTest::newRow("by 2 in place") << false << 5 << 2 << true << 0 << Values{0, 0, 1, 2, 3};
    QTest::newRow("by -2 to another") << false << 5 << -2 << false << 0 << Values{3, 4, 5, 0, 0};
    QTest::newRow("by 2 to another") << false << 5 << 2 << false << 0 << Values{0, 0, 1, 2, 3};
}

void HistoryShift::copyAndShift()
{
    QFETCH(bool, copy);
    QFETCH(int, n);
    QFETCH(int, count);
    QFETCH(bool, inPlace);
    QFETCH(int, status);
    QFETCH(Values, out);
    double a[5] = {1, 2, 3, 4, 5}, b[5] = {-7, -7, -7, -7, -7};
    double *target = inPlace ? a : b;
    QCOMPARE(copy ? Copy1D(a, n, target) : Shift(a, n, count, target), status);
    QCOMPARE(Values(target, target + 5), out);
    if (!inPlace) QCOMPARE(Values(a, a + 5), (Values{1, 2, 3, 4, 5})); // input never written
}

QTEST_APPLESS_MAIN(HistoryShift)
#include "tst_history_shift.moc"
