/* tst_help_texts.cpp: the thirty context help texts, character for character: length, line
** count, the run of spaces before every line feed, indents, first and last lines, kept
** spellings and the texts that share their words. Needs no panel.
*/
#include <QtTest>

#include "gui/gui.h"

using namespace vr;

namespace
{

/* Comma-separated numbers ("28,28,27") as a list; empty text, empty list. */
QList<int> Numbers(const QByteArray &list)
{
    QList<int> out;
    if (list.isEmpty()) return out;
    for (const QByteArray &n : list.split(','))
        out << n.toInt();
    return out;
}

int TrailingSpaces(const QByteArray &s)
{
    int n = 0;
    while (n < s.size() && s.at(s.size() - 1 - n) == ' ')
        ++n;
    return n;
}

int LeadingSpaces(const QByteArray &s)
{
    int n = 0;
    while (n < s.size() && s.at(n) == ' ')
        ++n;
    return n;
}

/* The lines of a text without the runs of spaces that end them. */
QList<QByteArray> Lines(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i)
        lines[i].chop(TrailingSpaces(lines[i]));
    return lines;
}

} // namespace

class HelpTexts : public QObject
{
    Q_OBJECT

  private slots:
    void layout_data();
    void layout();
    void spellingsKept_data();
    void spellingsKept();
    void wholeTexts_data();
    void wholeTexts();
    void sharedWords();
};

void HelpTexts::layout_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QByteArray>("runs");    /* spaces before each line feed, in turn */
    QTest::addColumn<QByteArray>("indents"); /* leading spaces per line; empty: one each */
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("last");

    QTest::newRow("InfoEditConnect")
        << QByteArray(InfoEditConnect) << 26 << 1 << QByteArray() << QByteArray()
        << QByteArray(" Select a serial COM-PORT.") << QByteArray(" Select a serial COM-PORT.");
    QTest::newRow("InfoButtonSend")
        << QByteArray(InfoButtonSend) << 263 << 3 << QByteArray("27,27") << QByteArray()
        << QByteArray(" All the parameters of the PC-User-Interface are transferred to the sensor "
                      "or to a selectable file.")
        << QByteArray(" Shortcut Key: F9. ");
    QTest::newRow("InfoButtonGet")
        << QByteArray(InfoButtonGet) << 231 << 3 << QByteArray("26,26") << QByteArray()
        << QByteArray(" Sensor or file parameters are transferred to the PC-User-Interface.")
        << QByteArray(" Shortcut Key: F10. ");
    QTest::newRow("InfoButtonGo") << QByteArray(InfoButtonGo) << 159 << 3 << QByteArray("25,24")
                                  << QByteArray()
                                  << QByteArray(" Starts data transfer sensor to PC.")
                                  << QByteArray(" Shortcut Key: F11. ");
    QTest::newRow("InfoButtonStop")
        << QByteArray(InfoButtonStop) << 84 << 2 << QByteArray("24") << QByteArray()
        << QByteArray(" Stops data transfer from sensor to PC.")
        << QByteArray(" Shortcut Key: F12. ");
    QTest::newRow("InfoButtonGetBuff")
        << QByteArray(InfoButtonGetBuff) << 477 << 5 << QByteArray("30,30,30,30") << QByteArray()
        << QByteArray(" When the sensor detects an edge, a search for the minimum NORM value is "
                      "performed until")
        << QByteArray(" Shortcut Key: F8. ");
    QTest::newRow("InfoSelectMEM")
        << QByteArray(InfoSelectMEM) << 70 << 1 << QByteArray() << QByteArray()
        << QByteArray(" Select the source respectively the target for the parameter transfer.")
        << QByteArray(" Select the source respectively the target for the parameter transfer.");
    QTest::newRow("InfoSwitchPara")
        << QByteArray(InfoSwitchPara) << 36 << 1 << QByteArray() << QByteArray()
        << QByteArray(" Hide or show additional parameters.")
        << QByteArray(" Hide or show additional parameters.");
    QTest::newRow("InfoSelectSource")
        << QByteArray(InfoSelectSource) << 46 << 1 << QByteArray() << QByteArray()
        << QByteArray(" Select a signal to be displayed in the graph.")
        << QByteArray(" Select a signal to be displayed in the graph.");
    QTest::newRow("InfoEditThreshold")
        << QByteArray(InfoEditThreshold) << 308 << 4 << QByteArray("29,29,29") << QByteArray()
        << QByteArray(" Input field for the lower threshold.")
        << QByteArray(" The sensor sensitivity increases with a higher TRESHOLD. ");
    QTest::newRow("InfoEditHysteresis")
        << QByteArray(InfoEditHysteresis) << 503 << 6 << QByteArray("31,31,31,31,31")
        << QByteArray() << QByteArray(" Input field for the desired hysteresis.")
        << QByteArray(" This is a safety feature to suppress multiple counting arround the "
                      "THRESHOLD.");
    QTest::newRow("InfoEditTrigger")
        << QByteArray(InfoEditTrigger) << 645 << 7 << QByteArray("28,28,27,28,28,28")
        << QByteArray() << QByteArray(" Select the trigger mode for the sensor.")
        << QByteArray(" CONT: Measurement is performed continuously.");
    QTest::newRow("InfoEditPmod")
        << QByteArray(InfoEditPmod) << 457 << 5 << QByteArray("25,25,25,25")
        << QByteArray("1,1,1,7,7")
        << QByteArray(" Select the operating mode of automatic power correction at the "
                      "transmitter unit.")
        << QByteArray("       (recommended mode).");
    QTest::newRow("InfoEditPower")
        << QByteArray(InfoEditPower) << 128 << 2 << QByteArray("26") << QByteArray()
        << QByteArray(" Select the intensity of the transmitter LED, if PMOD=FIX.")
        << QByteArray(" 0% = no intensity,  100% = full intensity.");
    QTest::newRow("InfoEditHold") << QByteArray(InfoEditHold) << 29 << 1 << QByteArray()
                                  << QByteArray() << QByteArray(" Pulse length of output OUT0.")
                                  << QByteArray(" Pulse length of output OUT0.");
    QTest::newRow("InfoEditBacklim")
        << QByteArray(InfoEditBacklim) << 199 << 3 << QByteArray("28,28") << QByteArray()
        << QByteArray(" Select an intensity limit.")
        << QByteArray(" no evaluation will be performed. ");
    QTest::newRow("InfoEditRegcnt")
        << QByteArray(InfoEditRegcnt) << 170 << 2 << QByteArray("26") << QByteArray("0,1")
        << QByteArray("This EDIT-BOX serves for setting after how many main-loop runs a dynamic")
        << QByteArray(" laser diode correction should be performed, if PMOD=DYN. (see manual) ");
    QTest::newRow("InfoEditAverage")
        << QByteArray(InfoEditAverage) << 98 << 1 << QByteArray() << QByteArray()
        << QByteArray(" Select the number of scanning values (measurement values) over which the "
                      "NORM signal is averaged.")
        << QByteArray(" Select the number of scanning values (measurement values) over which the "
                      "NORM signal is averaged.");
    QTest::newRow("InfoEditOutmode")
        << QByteArray(InfoEditOutmode) << 384 << 5 << QByteArray("28,28,28,28") << QByteArray()
        << QByteArray(" Select how to output the output pulse at OUT0.")
        << QByteArray(" to LOW (0V), until HOLD is over. ");
    QTest::newRow("InfoEditDeadTimeMode")
        << QByteArray(InfoEditDeadTimeMode) << 77 << 1 << QByteArray() << QByteArray()
        << QByteArray(" DEAD TIME MODE. Set the sensor dead (blind) for a certain time. (see "
                      "manual)")
        << QByteArray(" DEAD TIME MODE. Set the sensor dead (blind) for a certain time. (see "
                      "manual)");
    QTest::newRow("InfoEditDeadTime")
        << QByteArray(InfoEditDeadTime) << 38 << 1 << QByteArray() << QByteArray()
        << QByteArray(" Dead time of the sensor. (see manual)")
        << QByteArray(" Dead time of the sensor. (see manual)");
    QTest::newRow("InfoDispDat0")
        << QByteArray(InfoDispDat0) << 50 << 1 << QByteArray() << QByteArray()
        << QByteArray(" Displays the RAW value of the the receiver DAT0. ")
        << QByteArray(" Displays the RAW value of the the receiver DAT0. ");
    QTest::newRow("InfoDispDat1")
        << QByteArray(InfoDispDat1) << 50 << 1 << QByteArray() << QByteArray()
        << QByteArray(" Displays the RAW value of the the receiver DAT1. ")
        << QByteArray(" Displays the RAW value of the the receiver DAT1. ");
    QTest::newRow("InfoDispNORM")
        << QByteArray(InfoDispNORM) << 137 << 2 << QByteArray("25") << QByteArray()
        << QByteArray(" Displays the NORM value calculated from DAT0 and DAT1.")
        << QByteArray(" Formula for calculation: NORM = (DAT0*255)/(DAT0+DAT1) ");
    QTest::newRow("InfoDispEDGE")
        << QByteArray(InfoDispEDGE) << 147 << 2 << QByteArray("25") << QByteArray()
        << QByteArray(" Display used for adjustment of external sensors to generate an")
        << QByteArray(" ACTIVE window when TRIGGER=EXT is selected. (see manual) ");
    QTest::newRow("InfoDispWIN")
        << QByteArray(InfoDispWIN) << 146 << 2 << QByteArray("24") << QByteArray()
        << QByteArray(" Display used for adjustment of external sensors to generate an")
        << QByteArray(" ACTIVE window when TRIGGER=EXT is selected. (see manual) ");
    QTest::newRow("InfoStatus") << QByteArray(InfoStatus) << 43 << 1 << QByteArray() << QByteArray()
                                << QByteArray(" Displays serial interface status messages.")
                                << QByteArray(" Displays serial interface status messages.");
    QTest::newRow("InfoGraph") << QByteArray(InfoGraph) << 40 << 1 << QByteArray() << QByteArray()
                               << QByteArray(" Displays a signal selected with SOURCE.")
                               << QByteArray(" Displays a signal selected with SOURCE.");
    QTest::newRow("InfoGraphData1")
        << QByteArray(InfoGraphData1) << 496 << 5 << QByteArray("27,27,27,27") << QByteArray()
        << QByteArray(" When the sensor detects an edge, a search for the minimum NORM value is "
                      "performed until")
        << QByteArray(" The 16-value JUMP BUFFER is shown in this graph. ");
    QTest::newRow("InfoGraphData2")
        << QByteArray(InfoGraphData2) << 731 << 7 << QByteArray("27,27,27,27,27,27") << QByteArray()
        << QByteArray(" If TRIGGER=ADJ EXT is selected, the sensor records the time from one "
                      "positiv edge")
        << QByteArray(" middle of the active window (30%).");
}

void HelpTexts::layout()
{
    QFETCH(QByteArray, text);
    QFETCH(int, length);
    QFETCH(int, lines);
    QFETCH(QByteArray, runs);
    QFETCH(QByteArray, indents);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, last);

    QCOMPARE(text.size(), length);
    for (char c : text)
        QVERIFY2(c == '\n' || (c >= 0x20 && c < 0x7F), "plain printable ASCII and line feeds");

    const QList<QByteArray> segments = text.split('\n');
    QCOMPARE(segments.size(), lines);

    /* Every line but the last ends in its run; the words before it never end in a space. */
    const QList<int> expectedRuns = Numbers(runs);
    QCOMPARE(expectedRuns.size(), lines - 1);
    for (int i = 0; i + 1 < lines; ++i)
        QCOMPARE(TrailingSpaces(segments[i]), expectedRuns[i]);

    QList<int> expectedIndents = Numbers(indents);
    if (expectedIndents.isEmpty()) expectedIndents = QList<int>(lines, 1);
    const QList<QByteArray> words = Lines(text);
    for (int i = 0; i < lines; ++i)
        QCOMPARE(LeadingSpaces(words[i]), expectedIndents[i]);

    QCOMPARE(words.first(), first);
    QCOMPARE(words.last(), last); /* the last line keeps its trailing space, if any */
}

void HelpTexts::spellingsKept_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("words");

    QTest::newRow("TRESHOLD") << QByteArray(InfoEditThreshold) << QByteArray("higher TRESHOLD. ");
    QTest::newRow("arround") << QByteArray(InfoEditHysteresis)
                             << QByteArray("counting arround the");
    QTest::newRow("positiv") << QByteArray(InfoGraphData2) << QByteArray("one positiv edge");
    QTest::newRow("wiht") << QByteArray(InfoGraphData2) << QByteArray("corresponds wiht 100%");
    QTest::newRow("the the DAT0") << QByteArray(InfoDispDat0) << QByteArray("of the the receiver");
    QTest::newRow("the the DAT1") << QByteArray(InfoDispDat1) << QByteArray("of the the receiver");
    QTest::newRow("PMOD=FIX") << QByteArray(InfoEditPower) << QByteArray("if PMOD=FIX.");
    QTest::newRow("two spaces") << QByteArray(InfoEditPower) << QByteArray("intensity,  100%");
    QTest::newRow("DIRECT  :") << QByteArray(InfoEditOutmode) << QByteArray(" DIRECT  : When");
}

void HelpTexts::spellingsKept()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, words);
    QVERIFY2(text.contains(words), words.constData());
}

/* A few texts rebuilt in full: line, run of spaces, line feed, ..., last line. */
void HelpTexts::wholeTexts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray sp24(24, ' '), sp25(25, ' '), sp26(26, ' '), sp27(27, ' '), sp28(28, ' ');

    QTest::newRow("InfoButtonGo") << QByteArray(InfoButtonGo)
                                  << " Starts data transfer sensor to PC." + sp25 + "\n" +
                                         " The data are shown in the displays and in the graph." +
                                         sp24 + "\n" + " Shortcut Key: F11. ";
    QTest::newRow("InfoEditPmod")
        << QByteArray(InfoEditPmod)
        << " Select the operating mode of automatic power correction at the transmitter unit." +
               sp25 + "\n" + " STAT: Transmitter power is constantly kept at the POWER value." +
               sp25 + "\n" +
               " DYN : Transmitter power is dynamically tuned in accordance with the amount of "
               "radiation that" +
               sp25 + "\n" +
               "       is diffusely reflected from the target. Sensor should not exceed the "
               "dynamic range." +
               sp25 + "\n" + "       (recommended mode).";
    QTest::newRow("InfoEditRegcnt")
        << QByteArray(InfoEditRegcnt)
        << "This EDIT-BOX serves for setting after how many main-loop runs a dynamic" + sp26 +
               "\n" + " laser diode correction should be performed, if PMOD=DYN. (see manual) ";
    QTest::newRow("InfoEditTrigger")
        << QByteArray(InfoEditTrigger)
        << " Select the trigger mode for the sensor." + sp28 + "\n" +
               " EXT : An ACTIVE window is set for the sensor by IN0 and IN1." + sp28 + "\n" +
               " The sensor measures during its ACTIVE time and if it detects an edge, an output "
               "pulse" +
               sp27 + "\n" +
               " (length is set by HOLD) is provided after the ACTIVE window is closed. (see "
               "manual)" +
               sp28 + "\n" +
               " EXTSTAT: If an edge was detected during the ACTIVE time, the output pulse is "
               "set" +
               sp28 + "\n" +
               " until the beginning of the next ACTIVE window, but at least the HOLD time." +
               sp28 + "\n" + " CONT: Measurement is performed continuously.";
}

void HelpTexts::wholeTexts()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(text, expected);
}

/* EDGE and WIN have the same words and differ only in their run (25 against 24); GetBuff and
** the jump buffer graph share their first four lines' words under other runs (30 and 27). */
void HelpTexts::sharedWords()
{
    QCOMPARE(Lines(InfoDispEDGE), Lines(InfoDispWIN));
    QVERIFY(QByteArray(InfoDispEDGE) != QByteArray(InfoDispWIN));

    const QList<QByteArray> buff = Lines(InfoButtonGetBuff), graph = Lines(InfoGraphData1);
    QCOMPARE(buff.mid(0, 4), graph.mid(0, 4));
    QCOMPARE(buff.at(4), QByteArray(" Shortcut Key: F8. "));
    QCOMPARE(graph.at(4), QByteArray(" The 16-value JUMP BUFFER is shown in this graph. "));
}

QTEST_APPLESS_MAIN(HelpTexts)
#include "tst_help_texts.moc"
