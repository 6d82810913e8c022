/* tst_parameter_record.cpp: the parameter variables against the real panel: the power
** conversions both ways, the packet round trip with spare bytes, the dimming and dead-time
** ring rules after a packet and after the operator's commits, and what a dimmed input shows
** the operator (why, in its tooltip; its text readable).
*/
#include "support/panelfixture.h"

#include "gui/gui.h"
#include "params/params.h"

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

using namespace vr;

class TestParameterRecord : public QObject
{
    Q_OBJECT

    static QString ringText(int id)
    {
        char text[32];
        GetCtrlVal(panel, id, text);
        return QString(text);
    }
    static QString labelText(int id)
    {
        char text[32];
        GetCtrlAttributeText(panel, id, ATTR_LABEL_TEXT, text, sizeof text);
        return QString(text);
    }
    /* The operator picks the ring item with `value` (as from the drop-down list). */
    static void choose(int id, int value)
    {
        auto *ring = static_cast<QComboBox *>(fixture::Widget(id));
        ring->setFocus();
        while (fixture::IntVal(id) > value)
            QTest::keyClick(ring, Qt::Key_Up);
        while (fixture::IntVal(id) < value)
            QTest::keyClick(ring, Qt::Key_Down);
    }
    static void readPacket(const QList<int> &bytes)
    {
        for (int i = 0; i < AnzPara; i++)
            pp[i] = static_cast<unsigned char>(bytes[i]);
        CopyPPtoVars();
        SetPanelValues();
        InitPanelValues();
    }

  private slots:
    void initTestCase() { QVERIFY(fixture::LoadRealPanel() > 0); }
    void cleanupTestCase() { fixture::DiscardRealPanel(); }

    void percentToRaw_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("raw");
        QTest::newRow("100") << 100 << 0;
        QTest::newRow("98") << 98 << 1;
        QTest::newRow("97") << 97 << 2;
        QTest::newRow("50") << 50 << 23;
        QTest::newRow("2") << 2 << 46;
        QTest::newRow("1") << 1 << 46;
        QTest::newRow("0") << 0 << 46;
    }
    void percentToRaw()
    {
        QFETCH(int, percent);
        QFETCH(int, raw);
        SetCtrlVal(panel, PANEL_POWER, percent);
        GetPanelValues();
        QCOMPARE(int(power), raw);
    }

    void rawToPercent_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("rawBack"); // shown, then read back from the panel
        QTest::newRow("0") << 0 << 100 << 0;
        QTest::newRow("1") << 1 << 97 << 2;
        QTest::newRow("10") << 10 << 78 << 11;
        QTest::newRow("23") << 23 << 50 << 23;
        QTest::newRow("24") << 24 << 47 << 25;
        QTest::newRow("45") << 45 << 2 << 46;
        QTest::newRow("46") << 46 << 0 << 46;
        QTest::newRow("47 has no percent") << 47 << 0 << 46;
        QTest::newRow("255 has no percent") << 255 << 0 << 46;
    }
    void rawToPercent()
    {
        QFETCH(int, raw);
        QFETCH(int, percent);
        QFETCH(int, rawBack);
        power = static_cast<unsigned char>(raw);
        SetPanelValues();
        QCOMPARE(fixture::IntVal(PANEL_POWER), percent);
        GetPanelValues();
        QCOMPARE(int(power), rawBack);
    }

    /* A packet read and written back unchanged, spare bytes and unlisted ring values too. */
    void packetRoundTrip_data()
    {
        QTest::addColumn<QList<int>>("bytes");
        QTest::newRow("listed values, spares 7 8 9")
            << QList<int>{80, 100, 23, 1, 20, 0, 30, 5, 4, 1, 15, 1, 7, 8, 9};
        QTest::newRow("extremes") << QList<int>{255, 0, 46, 0, 255, 3, 0,  255,
                                                0,   0, 0,  0, 255, 0, 255};
        QTest::newRow("unlisted ring values")
            << QList<int>{1, 2, 0, 9, 3, 7, 5, 6, 7, 200, 40, 5, 0, 0, 1};
    }
    void packetRoundTrip()
    {
        QFETCH(QList<int>, bytes);
        readPacket(bytes);
        std::fill(pp, pp + AnzPara, 0xEE);
        GetPanelValues();
        CopyVarsToPP();
        for (int i = 0; i < AnzPara; i++)
            QCOMPARE(int(pp[i]), bytes[i]);
    }

    void dimmingAfterPacket_data()
    {
        QTest::addColumn<int>("pmodByte");
        QTest::addColumn<int>("triggerByte");
        QTest::addColumn<int>("powerDimmed");
        QTest::addColumn<int>("deadDimmed");
        QTest::newRow("static, continuous") << 0 << 0 << 0 << 0;
        QTest::newRow("dynamic, continuous") << 1 << 0 << 1 << 0;
        QTest::newRow("static, EXT") << 0 << 1 << 0 << 1;
        QTest::newRow("dynamic, ADJ EXT") << 1 << 3 << 1 << 1;
    }
    void dimmingAfterPacket()
    {
        QFETCH(int, pmodByte);
        QFETCH(int, triggerByte);
        QFETCH(int, powerDimmed);
        QFETCH(int, deadDimmed);
        readPacket({80, 100, 10, pmodByte, 20, triggerByte, 30, 5, 4, 0, 5, 0, 0, 0, 0});
        QCOMPARE(fixture::Attr(PANEL_POWER, ATTR_DIMMED), powerDimmed);
        QCOMPARE(fixture::Attr(PANEL_REGCNT, ATTR_DIMMED), 1 - powerDimmed);
        QCOMPARE(fixture::Attr(PANEL_DEADTIMEMODE, ATTR_DIMMED), deadDimmed);
        QCOMPARE(fixture::Attr(PANEL_DEADTIME, ATTR_DIMMED), deadDimmed);
        // a dimmed input and its label name the mode that dims it; undimmed, no tooltip
        const struct {
            int id, dimmed;
            const char *by;
        } rules[] = {{PANEL_POWER, powerDimmed, "POWER MODE = DYN"},
                     {PANEL_REGCNT, 1 - powerDimmed, "POWER MODE = STAT"},
                     {PANEL_DEADTIMEMODE, deadDimmed, "TRIGGER = CONT"},
                     {PANEL_DEADTIME, deadDimmed, "TRIGGER = CONT"}};
        for (const auto &r : rules) {
            const QString tip = fixture::Widget(r.id)->toolTip();
            QCOMPARE(tip.contains(r.by), r.dimmed == 1);
            QCOMPARE(tip.isEmpty(), r.dimmed == 0);
            QCOMPARE(fixture::LabelOf(r.id)->toolTip(), tip);
        }
        // dimming keeps the values
        QCOMPARE(fixture::IntVal(PANEL_POWER), 78);
        QCOMPARE(fixture::IntVal(PANEL_DEADTIME), 5);
    }

    /* Hovering the power input dimmed by power mode DYN shows why; its label's text stays
    ** readable (4.5:1 or more on the panel) and paler than undimmed. */
    void dimmedInputShowsWhy()
    {
        readPacket({80, 100, 10, 0, 20, 0, 30, 5, 4, 0, 5, 0, 0, 0, 0});
        QWidget *input = fixture::Widget(PANEL_POWER), *label = fixture::LabelOf(PANEL_POWER);
        const fixture::Colours normal = fixture::Drawn(label);
        readPacket({80, 100, 10, 1, 20, 0, 30, 5, 4, 0, 5, 0, 0, 0, 0});
        QVERIFY(!input->isEnabled());
        const QPoint at = input->rect().center();
        QHelpEvent hover(QEvent::ToolTip, at, input->mapToGlobal(at));
        QApplication::sendEvent(input, &hover);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains("POWER MODE = DYN"), qPrintable(QToolTip::text()));
        QToolTip::hideText();
        const fixture::Colours dimmed = fixture::Drawn(label);
        const double ratio = fixture::Contrast(dimmed.ink, dimmed.face);
        QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
        QVERIFY(ratio < fixture::Contrast(normal.ink, normal.face));
    }

    /* The operator's commits re-derive at once; the hidden regcnt follows the power mode. */
    void commitsByOperator()
    {
        readPacket({80, 100, 10, 0, 20, 0, 30, 5, 4, 0, 5, 0, 0, 0, 0});
        choose(PANEL_PMOD, 1);
        QCOMPARE(int(pmod), 1);
        QCOMPARE(fixture::Attr(PANEL_POWER, ATTR_DIMMED), 1);
        QCOMPARE(fixture::Attr(PANEL_REGCNT, ATTR_DIMMED), 0);
        QCOMPARE(fixture::Attr(PANEL_REGCNT, ATTR_VISIBLE), 0); // on the hidden page
        choose(PANEL_TRIGGER, 2);
        QCOMPARE(int(trigger), 2);
        QCOMPARE(fixture::Attr(PANEL_DEADTIMEMODE, ATTR_DIMMED), 1);
        QCOMPARE(fixture::Attr(PANEL_DEADTIME, ATTR_DIMMED), 1);
        choose(PANEL_TRIGGER, 0);
        QCOMPARE(fixture::Attr(PANEL_DEADTIME, ATTR_DIMMED), 0);
    }

    /* Dead time 5: 30 under "DEAD TIME[%]"; the unit changed by the operator shows 10 under
    ** "DEAD TIME[ms]", and the next packet still carries 5. */
    void deadTimeRing()
    {
        readPacket({80, 100, 10, 0, 20, 0, 30, 5, 4, 0, 5, 0, 0, 0, 0});
        QCOMPARE(labelText(PANEL_DEADTIME), QString("DEAD TIME[%]"));
        QCOMPARE(ringText(PANEL_DEADTIME), QString("30"));
        int count = 0;
        GetNumListItems(panel, PANEL_DEADTIME, &count);
        QCOMPARE(count, 16);
        char label[16];
        int value = -1;
        GetListItem(panel, PANEL_DEADTIME, 15, label, sizeof label, &value);
        QCOMPARE(QString(label), QString("90"));
        QCOMPARE(value, 15);

        SetCtrlVal(panel, PANEL_PARA_VISIBLE, 0);
        CBF_ParaVisible(panel, PANEL_PARA_VISIBLE, EVENT_COMMIT, nullptr, 0, 0);
        choose(PANEL_DEADTIMEMODE, 1);
        QCOMPARE(labelText(PANEL_DEADTIME), QString("DEAD TIME[ms]"));
        QCOMPARE(ringText(PANEL_DEADTIME), QString("10"));
        GetListItem(panel, PANEL_DEADTIME, 15, label, sizeof label, &value);
        QCOMPARE(QString(label), QString("30"));
        GetPanelValues();
        CopyVarsToPP();
        QCOMPARE(int(pp[9]), 1);
        QCOMPARE(int(pp[10]), 5);
        SetCtrlVal(panel, PANEL_PARA_VISIBLE, 1);
        CBF_ParaVisible(panel, PANEL_PARA_VISIBLE, EVENT_COMMIT, nullptr, 0, 0);
    }
};

QTEST_MAIN(TestParameterRecord)
#include "tst_parameter_record.moc"
