/* tst_target_toggles.cpp: the three transfer-target toggles under the operator's clicks on
** the real panel: RAM lit at the start, exactly one lit after every click, the target
** following it, and a lit toggle switched off handing the target to RAM; the lit one told
** apart at a glance.
*/
#include <QtTest>

#include "params/params.h"
#include "support/panelfixture.h"

using namespace vr;
using namespace fixture;

typedef QList<int> Ids;

namespace
{

/* The lit states of RAM, EEPROM, FILE, in this order. */
Ids Lit()
{
    return {IntVal(PANEL_SELECT_RAM), IntVal(PANEL_SELECT_EEPROM), IntVal(PANEL_SELECT_FILE)};
}

} // namespace

class TargetToggles : public QObject
{
    Q_OBJECT

  private slots:
    void init() { QVERIFY(LoadRealPanel() > 0); }
    void cleanup() { DiscardRealPanel(); }

    void toggleRule_data()
    {
        QTest::addColumn<Ids>("clicks");
        QTest::addColumn<Ids>("lit"); /* RAM, EEPROM, FILE afterwards */
        QTest::addColumn<int>("expectedTarget");
        const int R = PANEL_SELECT_RAM, E = PANEL_SELECT_EEPROM, F = PANEL_SELECT_FILE;
        QTest::newRow("lit RAM switched off stays RAM") << Ids{R} << Ids{1, 0, 0} << int(RAM);
        QTest::newRow("EEPROM on") << Ids{E} << Ids{0, 1, 0} << int(EEPROM);
        QTest::newRow("FILE on") << Ids{F} << Ids{0, 0, 1} << int(DATFILE);
        QTest::newRow("lit EEPROM switched off gives RAM") << Ids{E, E} << Ids{1, 0, 0} << int(RAM);
        QTest::newRow("lit FILE switched off gives RAM") << Ids{F, F} << Ids{1, 0, 0} << int(RAM);
        QTest::newRow("FILE on while EEPROM lit") << Ids{E, F} << Ids{0, 0, 1} << int(DATFILE);
        QTest::newRow("EEPROM on while FILE lit") << Ids{F, E} << Ids{0, 1, 0} << int(EEPROM);
        QTest::newRow("RAM on while FILE lit") << Ids{F, R} << Ids{1, 0, 0} << int(RAM);
    }
    void toggleRule()
    {
        QFETCH(Ids, clicks);
        QFETCH(Ids, lit);
        QFETCH(int, expectedTarget);
        QCOMPARE(Lit(), (Ids{1, 0, 0}));
        QCOMPARE(target, int(RAM));
        for (int id : clicks) {
            QTest::mouseClick(Widget(id), Qt::LeftButton);
            /* After every click exactly one toggle is lit and the target names it. */
            const Ids now = Lit();
            QCOMPARE(now.count(1), 1);
            QCOMPARE(now.count(0), 2);
            QCOMPARE(target, now[0] ? int(RAM) : now[1] ? int(EEPROM) : int(DATFILE));
        }
        QCOMPARE(Lit(), lit);
        QCOMPARE(target, expectedTarget);
    }

    /* As drawn: the lit toggle's face stands at 3:1 or more from the unlit ones' faces, the
    ** text on each at 4.5:1 or more; the lit face moves with the click. */
    void litToggleStandsOut()
    {
        const Colours lit = Drawn(Widget(PANEL_SELECT_RAM)),
                      unlit = Drawn(Widget(PANEL_SELECT_FILE));
        const QByteArray figures = QByteArray::number(Contrast(lit.face, unlit.face), 'f', 1);
        QVERIFY2(Contrast(lit.face, unlit.face) >= 3.0, figures.constData());
        QVERIFY(Contrast(lit.ink, lit.face) >= 4.5);
        QVERIFY(Contrast(unlit.ink, unlit.face) >= 4.5);
        QTest::mouseClick(Widget(PANEL_SELECT_EEPROM), Qt::LeftButton);
        QCOMPARE(Drawn(Widget(PANEL_SELECT_EEPROM)).face, lit.face);
        QCOMPARE(Drawn(Widget(PANEL_SELECT_RAM)).face, unlit.face);
    }
};

QTEST_MAIN(TargetToggles)
#include "tst_target_toggles.moc"
