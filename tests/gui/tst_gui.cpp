/* tst_gui.cpp: the panel on the real window: every control's and place's help, the page
** switch, the header, texts that fit, the window's sizes. */
#include "support/fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSpinBox>

using namespace fx;

namespace
{

enum Setup { Basic, Adjustment, JumpGraph, Extended, EepromLit };

/* A right click on `w` as the operator makes it, at a point where the window finds `w` itself,
** not a control lying on top of it: one "Info" popup, nothing else changes. */
QString Help(QWidget *w)
{
    QWidget *top = w->window();
    QPoint at(-1, -1);
    for (int y = 0; y < w->height() && at.x() < 0; y += 2)
        for (int x = 0; x < w->width() && at.x() < 0; x += 2)
            if (QWidget *hit = top->childAt(w->mapTo(top, QPoint(x, y))))
                if (hit == w || w->isAncestorOf(hit)) at = QPoint(x, y);
    if (!w->isVisible() || at.x() < 0) return "<not visible>";
    const QStringList before = Snapshot();
    Popups popups;
    QTest::mouseClick(top->windowHandle(), Qt::RightButton, {}, w->mapTo(top, at));
    if (!QTest::qWaitFor([&] { return popups.count() > 0; }, 10000)) return "<no popup>";
    QTest::qWait(50);
    if (popups.count() != 1 || popups.list[0].title != "Info") return "<not one Info popup>";
    return Snapshot() == before ? popups.list[0].text : "<something changed>";
}

const Ints basicPage{PANEL_THRESHOLD, PANEL_HYSTERESIS, PANEL_TRIGGER,
                     PANEL_PMOD,      PANEL_POWER,      PANEL_HOLD},
    extendedPage{PANEL_BACKLIM, PANEL_REGCNT,       PANEL_AVERAGE,
                 PANEL_OUTMODE, PANEL_DEADTIMEMODE, PANEL_DEADTIME};

/* Records +id when one of the twelve inputs is shown, -id when it is hidden. */
struct ShowHideLog : QObject {
    Ints events;
    ShowHideLog()
    {
        for (int id : basicPage + extendedPage)
            W(id)->installEventFilter(this);
    }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show || e->type() == QEvent::Hide)
            events << (e->type() == QEvent::Show ? 1 : -1) * ControlIdOf(static_cast<QWidget *>(o));
        return false;
    }
};

QList<QLabel *> fileLabels; /* the panel file's own labels */

/* Every control or label smaller than its style needs for its texts (a ring's items, a
** numeric input's extremes, a wrapped text's lines); a text line's text wider than its edit. */
QStringList Clipped()
{
    QStringList out;
    for (QWidget *w : PanelWidget(panel)->findChildren<QWidget *>()) {
        auto *label = qobject_cast<QLabel *>(w);
        auto *line = qobject_cast<QSpinBox *>(w->parent()) ? nullptr : qobject_cast<QLineEdit *>(w);
        QSize need = w->minimumSizeHint();
        if (label && label->wordWrap()) need = QSize(0, label->heightForWidth(label->width()));
        if (line)
            need.setWidth(line->fontMetrics().horizontalAdvance(line->text()) + 4 + w->width() -
                          line->contentsRect().width());
        if (label ? !label->pixmap().isNull()
                  : !qobject_cast<QAbstractButton *>(w) && !qobject_cast<QComboBox *>(w) &&
                        !qobject_cast<QSpinBox *>(w) && !line)
            continue;
        if (w->width() < need.width() || w->height() < need.height())
            out << QString("%1 %2x%3").arg(w->objectName()).arg(need.width()).arg(need.height());
    }
    return out;
}

/* The first and last pixel columns inside a 3-pixel border of a control's picture that are
** as dark as text is; the width and -1 when there are none. */
std::pair<int, int> TextColumns(int control)
{
    const QImage face = W(control)->grab().toImage();
    int left = face.width(), right = -1;
    for (int x = 3; x < face.width() - 3; x++)
        for (int y = 3; y < face.height() - 3; y++)
            if (qGray(face.pixel(x, y)) < 96) left = qMin(left, x), right = qMax(right, x);
    return {left, right};
}

/* A place's decoration shows the help its page's input shows, `extended` on the extended page;
** the connected rows come last. */
// clang-format off
const struct { const char *name, *control; Setup setup; int dimmed;
               const char *text, *extended = nullptr; } helps[] = {
    {"COM port", "comPort", Basic, 0, InfoEditConnect},
    {"GetBuff", "getBuff", Basic, 0, InfoButtonGetBuff},
    {"threshold", "threshold", Basic, 0, InfoEditThreshold},
    {"threshold's label", "thresholdLabel", Basic, 0, InfoEditThreshold},
    {"power, dimmed", "power", Basic, PANEL_POWER, InfoEditPower},
    {"interval, dimmed", "regcnt", Extended, PANEL_REGCNT, InfoEditRegcnt},
    {"edge", "edge", Adjustment, 0, InfoDispEDGE},
    {"status line", "status", Basic, 0, InfoStatus},
    {"strip chart", "stripChart", Basic, 0, InfoGraph},
    {"jump buffer graph", "graphJumpbuf", JumpGraph, 0, InfoGraphData1},
    {"adjustment graph", "graphAdj", Adjustment, 0, InfoGraphData2},
    {"place 1", "deco1", Basic, 0, InfoEditThreshold, InfoEditBacklim},
    {"place 2", "deco2", Basic, 0, InfoEditHysteresis, InfoEditRegcnt},
    {"place 3", "deco3", Basic, 0, InfoEditTrigger, InfoEditAverage},
    {"place 4", "deco4", Basic, 0, InfoEditHold, InfoEditOutmode},
    {"place 5", "deco5", Basic, 0, InfoEditPmod, InfoEditDeadTimeMode},
    {"place 6", "deco6", Basic, 0, InfoEditPower, InfoEditDeadTime},
    {"RAM toggle", "selectRam", EepromLit, 0, InfoSelectMEM},
    {"EEPROM toggle, lit", "selectEeprom", EepromLit, 0, InfoSelectMEM},
    {"FILE toggle", "selectFile", EepromLit, 0, InfoSelectMEM},
};
// clang-format on

} // namespace

class Gui : public QObject
{
    Q_OBJECT

  private slots:
    void init() { QVERIFY(Load() > 0); }
    void cleanup() { Discard(); }

    void help_data() { AddRows(helps); }
    /* A right click shows the text as stored, printable ASCII in lines, and sends nothing. */
    void help()
    {
        const auto &r = helps[Row()];
        const QByteArray text(r.text);
        Sim sim; /* stopped as the row ends */
        if (r.setup == EepromLit) QVERIFY(Connect(sim, 4));
        if (r.setup == EepromLit) Click(PANEL_SELECT_EEPROM);
        if (r.setup == Adjustment) Choose(PANEL_SOURCE, 2);
        if (r.setup == JumpGraph) SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_VISIBLE, 0);
        if (r.setup == JumpGraph) SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF, ATTR_VISIBLE, 1);
        if (r.setup == Extended) Click(PANEL_PARA_VISIBLE);
        if (r.dimmed) SetCtrlAttribute(panel, r.dimmed, ATTR_DIMMED, 1);
        QWidget *control = PanelWidget(panel)->findChild<QWidget *>(r.control);
        QCOMPARE(Help(control), QString(text));
        if (r.extended) Click(PANEL_PARA_VISIBLE);
        if (r.extended) QCOMPARE(Help(control), QString(r.extended));
        for (char c : text + QByteArray(r.extended))
            QVERIFY(c == '\n' || (c >= 0x20 && c < 0x7F));
        if (r.setup == EepromLit) QCOMPARE(sim.commands(0, true), (Ints{7, 3}));
    }

    /* A switch hides the old page's inputs before showing the new one's, moves nothing, keeps
    ** values and dimming; a value typed into an input it hides is read. */
    void pageSwitch()
    {
        SetCtrlAttribute(panel, PANEL_HOLD, ATTR_DIMMED, 1);
        SetCtrlAttribute(panel, PANEL_AVERAGE, ATTR_DIMMED, 1);
        Type(PANEL_THRESHOLD, "123");
        QStringList before = Snapshot();
        for (int i = 1; i <= 4; i++) {
            const bool basic = i % 2 == 0;
            const Ints &from = basic ? extendedPage : basicPage,
                       &to = basic ? basicPage : extendedPage;
            Ints hides, shown;
            for (int id : from)
                hides << -id;
            ShowHideLog log;
            Click(PANEL_PARA_VISIBLE);
            QCOMPARE(log.events, hides + to);
            for (int id : basicPage + extendedPage)
                if (W(id)->isVisible()) shown << id;
            QCOMPARE(shown, to);
            QCOMPARE(int(para), basic ? 1 : 0);
            QCOMPARE(Without(Snapshot(), "page, switch"), Without(before, "page, switch"));
            if (i == 1) Type(PANEL_BACKLIM, "77");
            if (i == 1) before = Snapshot();
        }
        GetPanelValues();
        QCOMPARE(Ints({threshold, backlim}), (Ints{123, 77}));
    }

    /* Start-up puts up the header, its texts and the logo (when its file is there) in the band
    ** under the menu bar. The chart takes what the window gains, the parameter column keeps its
    ** width; the panel fits 1366x768 framed, the window the 800-pixel test screen, its
    ** smallest 800x600. */
    void headerAndSizes()
    {
        QWidget *window = nullptr;
        for (bool logo : {true, false}) {
            QTemporaryDir empty;
            if (!logo) qputenv("VELTRAV20_DATA_DIR", empty.path().toLocal8Bit());
            Discard();
            QVERIFY(Load([] { fileLabels = PanelWidget(panel)->findChildren<QLabel *>(); }) > 0);
            qunsetenv("VELTRAV20_DATA_DIR");
            window = PanelWidget(panel);
            QCOMPARE(qobject_cast<QLabel *>(W(PANEL_LOGO))->pixmap().size(),
                     logo ? QImage(VELTRA_BIN_DIR "/logo.png").size() : QSize(0, 0));
            QVERIFY(W(PANEL_RECORDING)->isHidden());
            QWidget *deco = W(PANEL_HEADER_DECO);
            const QRect band(deco->mapTo(window, QPoint()), deco->size());
            QStringList inBand;
            for (QLabel *l : window->findChildren<QLabel *>())
                if ((!fileLabels.contains(l) || l == W(PANEL_LOGO)) &&
                    band.contains(QRect(l->mapTo(window, QPoint()), l->size())))
                    inBand << (l->text().isEmpty() ? "logo" : l->text());
            inBand.sort();
            QCOMPARE(inBand, (QStringList{"Example Sensorics Ltd.", "Tel. +00 000 000 000",
                                          "Veltra-Razov V2.0", "logo", "www.example.com"}));
            auto *bar = window->findChild<QMenuBar *>();
            QVERIFY(bar && bar->isVisible() && band.top() >= bar->height());
        }
        const int unshown = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
        const QSize own = PanelWidget(unshown)->size();
        DiscardPanel(unshown);
        QVERIFY(own.width() <= 1366 - 16 && own.height() <= 768 - 88);
        QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
        QVERIFY(window->minimumWidth() <= 800 - 16 && window->minimumHeight() <= 600 - 72);
        window->resize(own);
        QTRY_COMPARE(window->size(), own);
        const QSize chart = W(PANEL_STRIPCHART)->size();
        const int placeWidth = W(PANEL_HOLD)->width();
        window->resize(own + QSize(300, 200));
        QTRY_COMPARE(W(PANEL_STRIPCHART)->size(), chart + QSize(300, 200));
        QCOMPARE(W(PANEL_HOLD)->width(), placeWidth);
        for (int id : {PANEL_GRAPH_ADJ, PANEL_GRAPH_JUMPBUF})
            QCOMPARE(W(id)->geometry(), W(PANEL_STRIPCHART)->geometry());
    }

    void textsFit_data()
    {
        QTest::addColumn<double>("scale");
        for (double scale : {1.0, 1.25, 1.5, 2.0})
            QTest::addRow("%gx", scale) << scale;
    }
    /* Text `scale` times its size, the window at its smallest, both pages, the longer ms
    ** label, a long device name, the displays' widest values: no text is larger than its
    ** control's room. */
    void textsFit()
    {
        QFETCH(double, scale);
        const QFont font = QApplication::font();
        QFont larger = font;
        larger.setPointSizeF(font.pointSizeF() * scale);
        QApplication::setFont(larger);
        const auto restore = qScopeGuard([font] { QApplication::setFont(font); });
        Discard();
        QVERIFY(Load() > 0);
        SetCtrlVal(panel, PANEL_DEADTIMEMODE, 1);
        CBF_EditDeadTimeMode(panel, PANEL_DEADTIMEMODE, EVENT_COMMIT, nullptr, 0, 0);
        SetCtrlVal(panel, PANEL_COMDEVICE, "/dev/serial/by-id/usb-0000_0000-if00-port0 · USB");
        for (int page = 0; page < 2; page++) {
            PanelWidget(panel)->resize(1, 1);
            QTRY_COMPARE(PanelWidget(panel)->size(), PanelWidget(panel)->minimumSize());
            QTRY_VERIFY2(Clipped().isEmpty(), qPrintable(Clipped().join(", ")));
            for (int id : {PANEL_DAT0, PANEL_DAT1, PANEL_NORM, PANEL_EDGE, PANEL_WIN}) {
                const QString widest = W(id)->property("maximum").toString(); /* drawn whole */
                SetCtrlVal(panel, id, widest.toInt());
                const auto [left, right] = TextColumns(id);
                QVERIFY2(left > 3 &&
                             right - left >= W(id)->fontMetrics().horizontalAdvance(widest) * 4 / 5,
                         qPrintable(W(id)->objectName()));
            }
            Click(PANEL_PARA_VISIBLE);
        }
    }
};

QTEST_MAIN(Gui)
#include "tst_gui.moc"
