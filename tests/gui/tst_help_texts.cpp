/* tst_help_texts.cpp: the thirty context help texts as the popup shows them: length, lines,
** the run of spaces closing each line, indents, and spot checks of the exact wording.
*/
#include <QtTest>

#include "gui/gui.h"

using namespace vr;

namespace
{

/* Each text: characters, lines, the run of spaces before each line feed in turn, and the
** leading spaces of each line ("": one on every line). */
const struct Layout {
    const char *name, *text;
    int length, lines;
    const char *runs, *indents;
} layouts[] = {
    {"InfoEditConnect", InfoEditConnect, 26, 1, "", ""},
    {"InfoButtonSend", InfoButtonSend, 263, 3, "27,27", ""},
    {"InfoButtonGet", InfoButtonGet, 231, 3, "26,26", ""},
    {"InfoButtonGo", InfoButtonGo, 159, 3, "25,24", ""},
    {"InfoButtonStop", InfoButtonStop, 84, 2, "24", ""},
    {"InfoButtonGetBuff", InfoButtonGetBuff, 477, 5, "30,30,30,30", ""},
    {"InfoSelectMEM", InfoSelectMEM, 70, 1, "", ""},
    {"InfoSwitchPara", InfoSwitchPara, 36, 1, "", ""},
    {"InfoSelectSource", InfoSelectSource, 46, 1, "", ""},
    {"InfoEditThreshold", InfoEditThreshold, 308, 4, "29,29,29", ""},
    {"InfoEditHysteresis", InfoEditHysteresis, 503, 6, "31,31,31,31,31", ""},
    {"InfoEditTrigger", InfoEditTrigger, 645, 7, "28,28,27,28,28,28", ""},
    {"InfoEditPmod", InfoEditPmod, 457, 5, "25,25,25,25", "1,1,1,7,7"},
    {"InfoEditPower", InfoEditPower, 128, 2, "26", ""},
    {"InfoEditHold", InfoEditHold, 29, 1, "", ""},
    {"InfoEditBacklim", InfoEditBacklim, 199, 3, "28,28", ""},
    {"InfoEditRegcnt", InfoEditRegcnt, 170, 2, "26", "0,1"},
    {"InfoEditAverage", InfoEditAverage, 98, 1, "", ""},
    {"InfoEditOutmode", InfoEditOutmode, 384, 5, "28,28,28,28", ""},
    {"InfoEditDeadTimeMode", InfoEditDeadTimeMode, 77, 1, "", ""},
    {"InfoEditDeadTime", InfoEditDeadTime, 38, 1, "", ""},
    {"InfoDispDat0", InfoDispDat0, 50, 1, "", ""},
    {"InfoDispDat1", InfoDispDat1, 50, 1, "", ""},
    {"InfoDispNORM", InfoDispNORM, 137, 2, "25", ""},
    {"InfoDispEDGE", InfoDispEDGE, 147, 2, "25", ""},
    {"InfoDispWIN", InfoDispWIN, 146, 2, "24", ""},
    {"InfoStatus", InfoStatus, 43, 1, "", ""},
    {"InfoGraph", InfoGraph, 40, 1, "", ""},
    {"InfoGraphData1", InfoGraphData1, 496, 5, "27,27,27,27", ""},
    {"InfoGraphData2", InfoGraphData2, 731, 7, "27,27,27,27,27,27", ""},
};

enum Where { Start, Within, End };

/* The words around the runs and indents, the kept spellings among them. */
const struct Spot {
    const char *name, *text;
    Where where;
    const char *excerpt;
} spots[] = {
    {"Connect, whole", InfoEditConnect, Start, " Select a serial COM-PORT."},
    {"Go, first line", InfoButtonGo, Start, " Starts data transfer sensor to PC. "},
    {"Go, trailing space", InfoButtonGo, End, "\n Shortcut Key: F11. "},
    {"Trigger, third line", InfoEditTrigger, Within,
     "\n The sensor measures during its ACTIVE time and if it detects an edge, an output "
     "pulse "},
    {"Trigger, last line", InfoEditTrigger, End, "\n CONT: Measurement is performed continuously."},
    {"Pmod, fourth line", InfoEditPmod, Within, "\n       is diffusely reflected from the target."},
    {"Pmod, last line", InfoEditPmod, End, " \n       (recommended mode)."},
    {"Regcnt, no leading space", InfoEditRegcnt, Start, "This EDIT-BOX serves for setting"},
    {"Regcnt, trailing space", InfoEditRegcnt, End, "if PMOD=DYN. (see manual) "},
    {"TRESHOLD", InfoEditThreshold, End, " increases with a higher TRESHOLD. "},
    {"arround", InfoEditHysteresis, End, " multiple counting arround the THRESHOLD."},
    {"positiv", InfoGraphData2, Within, " records the time from one positiv edge "},
    {"wiht", InfoGraphData2, Within, " corresponds wiht 100% "},
    {"the the", InfoDispDat0, Start, " Displays the RAW value of the the receiver DAT0. "},
    {"two spaces", InfoEditPower, End, "\n 0% = no intensity,  100% = full intensity."},
    {"DIRECT  :", InfoEditOutmode, Within, "\n DIRECT  : When a counting event occurs"},
};

/* Spaces at the start of `s`, or at its end when `atEnd`, as text. */
QByteArray Spaces(const QByteArray &s, bool atEnd)
{
    int n = 0;
    while (n < s.size() && s.at(atEnd ? s.size() - 1 - n : n) == ' ')
        ++n;
    return QByteArray::number(n);
}

} // namespace

class HelpTexts : public QObject
{
    Q_OBJECT

  private slots:
    void layout_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(layouts)); ++i)
            QTest::newRow(layouts[i].name) << i;
    }
    void layout();
    void wording_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(spots)); ++i)
            QTest::newRow(spots[i].name) << i;
    }
    void wording();
};

void HelpTexts::layout()
{
    QFETCH(int, row);
    const Layout &l = layouts[row];
    const QByteArray text(l.text);
    QCOMPARE(text.size(), l.length);
    for (char c : text)
        QVERIFY2(c == '\n' || (c >= 0x20 && c < 0x7F), "printable ASCII and line feeds only");
    const QByteArrayList lines = text.split('\n');
    QCOMPARE(lines.size(), l.lines);
    QByteArrayList runs, indents;
    for (int i = 0; i < lines.size(); ++i) {
        if (i + 1 < lines.size()) runs << Spaces(lines[i], true);
        indents << Spaces(lines[i], false);
    }
    QCOMPARE(runs.join(','), QByteArray(l.runs));
    QCOMPARE(indents.join(','),
             *l.indents ? QByteArray(l.indents) : QByteArrayList(l.lines, "1").join(','));
}

void HelpTexts::wording()
{
    QFETCH(int, row);
    const Spot &s = spots[row];
    const QByteArray text(s.text), excerpt(s.excerpt);
    if (s.where == Within)
        QVERIFY2(text.contains(excerpt), s.excerpt);
    else
        QCOMPARE(s.where == Start ? text.left(excerpt.size()) : text.right(excerpt.size()),
                 excerpt);
}

QTEST_APPLESS_MAIN(HelpTexts)
#include "tst_help_texts.moc"
