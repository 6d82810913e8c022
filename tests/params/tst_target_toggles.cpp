/* tst_target_toggles.cpp: the three transfer-target toggles under the operator's clicks on
** the real panel: exactly one lit afterwards, the target following it, a lit toggle switched
** off handing the target to RAM, and a right click showing help without switching.
*/
#include <QAbstractButton>
#include <QtTest>

#include "gui/gui.h"
#include "params/params.h"
#include "support/panelfixture.h"

using namespace vr;
using namespace fixture;

typedef QList<int> Ids;

class TargetToggles : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void startsWithRam();
    void toggleRule_data();
    void toggleRule();
    void rightClickOnlyHelps_data();
    void rightClickOnlyHelps();
};

namespace
{

void Click(int control)
{
    QWidget *w = Widget(control);
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton);
}

/* The lit states of RAM, EEPROM, FILE, in this order. */
Ids Lit()
{
    return {IntVal(PANEL_SELECT_RAM), IntVal(PANEL_SELECT_EEPROM), IntVal(PANEL_SELECT_FILE)};
}

} // namespace

void TargetToggles::init()
{
    QVERIFY(LoadRealPanel() > 0);
}

void TargetToggles::cleanup()
{
    DiscardRealPanel();
}

void TargetToggles::startsWithRam()
{
    QCOMPARE(Lit(), (Ids{1, 0, 0}));
    QCOMPARE(target, int(RAM));
}

void TargetToggles::toggleRule_data()
{
    QTest::addColumn<Ids>("clicks");
    QTest::addColumn<Ids>("lit"); /* RAM, EEPROM, FILE afterwards */
    QTest::addColumn<int>("expectedTarget");
    const int R = PANEL_SELECT_RAM, E = PANEL_SELECT_EEPROM, F = PANEL_SELECT_FILE;
    QTest::newRow("lit RAM switched off stays RAM") << Ids{R} << Ids{1, 0, 0} << int(RAM);
    QTest::newRow("RAM twice") << Ids{R, R} << Ids{1, 0, 0} << int(RAM);
    QTest::newRow("EEPROM on") << Ids{E} << Ids{0, 1, 0} << int(EEPROM);
    QTest::newRow("FILE on") << Ids{F} << Ids{0, 0, 1} << int(DATFILE);
    QTest::newRow("lit EEPROM switched off gives RAM") << Ids{E, E} << Ids{1, 0, 0} << int(RAM);
    QTest::newRow("lit FILE switched off gives RAM") << Ids{F, F} << Ids{1, 0, 0} << int(RAM);
    QTest::newRow("FILE on while EEPROM lit") << Ids{E, F} << Ids{0, 0, 1} << int(DATFILE);
    QTest::newRow("EEPROM on while FILE lit") << Ids{F, E} << Ids{0, 1, 0} << int(EEPROM);
    QTest::newRow("RAM on while EEPROM lit") << Ids{E, R} << Ids{1, 0, 0} << int(RAM);
    QTest::newRow("RAM on while FILE lit") << Ids{F, R} << Ids{1, 0, 0} << int(RAM);
    QTest::newRow("EEPROM off, then FILE") << Ids{E, E, F} << Ids{0, 0, 1} << int(DATFILE);
}

void TargetToggles::toggleRule()
{
    QFETCH(Ids, clicks);
    QFETCH(Ids, lit);
    QFETCH(int, expectedTarget);
    for (int id : clicks) {
        Click(id);
        /* After every click exactly one toggle is lit and the target names it. */
        const Ids now = Lit();
        QCOMPARE(now.count(1), 1);
        QCOMPARE(now.count(0), 2);
        const int litTarget = now[0] ? int(RAM) : now[1] ? int(EEPROM) : int(DATFILE);
        QCOMPARE(target, litTarget);
    }
    QCOMPARE(Lit(), lit);
    QCOMPARE(target, expectedTarget);
    /* The widgets show what the panel reports. */
    QCOMPARE(qobject_cast<QAbstractButton *>(Widget(PANEL_SELECT_RAM))->isChecked(), lit[0] == 1);
    QCOMPARE(qobject_cast<QAbstractButton *>(Widget(PANEL_SELECT_FILE))->isChecked(), lit[2] == 1);
}

void TargetToggles::rightClickOnlyHelps_data()
{
    QTest::addColumn<int>("control");
    QTest::newRow("RAM") << int(PANEL_SELECT_RAM);
    QTest::newRow("EEPROM") << int(PANEL_SELECT_EEPROM);
    QTest::newRow("FILE") << int(PANEL_SELECT_FILE);
}

void TargetToggles::rightClickOnlyHelps()
{
    QFETCH(int, control);
    Click(PANEL_SELECT_EEPROM);
    PopupCatcher popups;
    RightClick(Widget(control));
    QTRY_COMPARE_WITH_TIMEOUT(popups.count(), 1, 5000);
    QCOMPARE(popups.popups[0].title, QStringLiteral("Info"));
    QCOMPARE(popups.popups[0].text, QString::fromLatin1(InfoSelectMEM));
    QCOMPARE(Lit(), (Ids{0, 1, 0}));
    QCOMPARE(target, int(EEPROM));
}

QTEST_MAIN(TargetToggles)
#include "tst_target_toggles.moc"
