/* qtpanel.h: what the platform's service files share: the record of a loaded panel and of
** each of its controls, the look-ups by handle and identifier, and the serial port a wait
** watches. Internal to platform/; the logic never includes it.
*/
#ifndef QTPANEL_H
#define QTPANEL_H

#include "platform.h"

#include <QByteArray>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QStaticText>
#include <QString>
#include <QStyleOptionFrame>
#include <QWidget>

class QChartView;
class QLabel;
class QSerialPort;

namespace vrplatform
{

/* What a control is, decided from its widget class when the panel is loaded. */
enum class Kind {
    Button,     // QPushButton: commit on press or shortcut
    Toggle,     // checkable QPushButton: value changed on the operator's switch, 0/1
    Switch,     // QCheckBox: commit on the operator's switch, 0/1
    Numeric,    // QSpinBox: numeric input, commit on Enter, a step or focus-out
    Display,    // NumericDisplay (below): numeric indicator
    Ring,       // QComboBox: items with integer values, commit on selection
    Text,       // QLineEdit: string indicator
    TextMsg,    // QLabel carrying an identifier: text message or picture
    Decoration, // QFrame
    Chart       // QChartView: graph or strip chart
};

/* A numeric indicator: a number the program writes, right-aligned in a box drawn as a text
** field's, that takes no input. A read-only spin box shows the same, but every new value
** costs it a text layout in its inner line edit and a repaint as an input, and a polling
** cycle writes five indicators. Its size is that of the widest end of its range ("minimum",
** "maximum" in the panel file) in the current font and style: it never follows the value
** shown, so a new value lays nothing out. */
class NumericDisplay : public QWidget
{
  public:
    explicit NumericDisplay(QWidget *parent);
    int value() const { return shown; }
    void setValue(int value); /* repaints when the value changes */
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent *) override;
    void changeEvent(QEvent *e) override;
    void resizeEvent(QResizeEvent *) override;

  private:
    class Face;
    enum { Margin = 4 }; /* between the text and the box, as in a spin box */
    QStyleOptionFrame frameOption() const;
    void drawBox();                                  /* makes `box` anew if it is stale */
    void paintFace(QPainter &p, const QRect &where); /* the inside of the box at `where` */
    void placeFace();                                /* over the box's text room */
    int shown = 0;
    QString text = QStringLiteral("0");
    mutable QSize hint; /* empty until asked, and again after a change of font or style */
    QPixmap box;        /* the box as drawn for the present size and look; null: to draw */
    QWidget *face;      /* the inside of the box, the number on it: all a new value repaints */
    /* The digits 0..9 and the minus sign laid out in the present font, drawn side by side
    ** as a number: a number's layout costs more than its drawing. None: to lay out. */
    QList<QStaticText> digits;
};

struct Control {
    int id = 0;
    Kind kind = Kind::Decoration;
    QPointer<QWidget> widget;
    QPointer<QLabel> label; // the label whose buddy this control is, if any
    CtrlCallbackPtr callback = nullptr;
};

/* Looks up a control of a loaded panel; nullptr if the panel or the control is unknown. */
Control *findControl(int panel, int control);
/* The top-level widget of a loaded panel, or nullptr. */
QWidget *panelWidget(int panel);
/* The top-level widget of the panel shown most recently (parent for popups), or nullptr. */
QWidget *activePanelWidget();
/* Writes `bytes` as the file through a temporary file that replaces it only once complete,
** the replaced file's permissions kept (files.cpp). Returns 0, or negative with
** GetFileErrorText set. */
int saveAtomically(const QString &fileName, const QByteArray &bytes);

/* Sets up a chart control's axes, titles and legend from its panel file properties
** (graphs.cpp); LoadPanel calls it for every chart, so a graph shows its axes before it
** holds a plot. */
void setUpChart(QChartView *view);

/* The directory the program's data is loaded from (events.cpp), and a file name taken from
** it when the name is relative. */
QString projectDir();
QString projectPath(const char *fileName);
/* Lets ProcessSystemEvents leave the repaint of panel window `window` to the event
** processing after it (events.cpp); LoadPanel calls it for every panel. releaseRepaints
** hands the repaints held back to the event queue: a popup or a wait that a callback runs
** inside ProcessSystemEvents calls it first, so that the panels repaint meanwhile. */
void holdRepaintsOf(QWidget *window);
void releaseRepaints();
/* Text into a caller's buffer, cut to fit and NUL-terminated; -1 without a buffer. */
int copyText(const QString &text, char *out, std::size_t capacity);
/* A path into a caller's buffer in the system's form; -1 when it does not fit whole (a path
** cut to fit would name another file). */
int copyPath(const QString &path, char *out, std::size_t capacity);
/* Sets the text GetFileErrorText returns (files.cpp); the file dialog's failures use it. */
void setFileErrorText(const QString &text);

/* The serial port behind port number `port` while it is open and working (serial.cpp), for
** a wait that watches its data; nullptr otherwise. */
QSerialPort *openSerialPort(int port);
/* From now on the device of `port` reports data only once it holds `bytes` bytes, so that
** the bytes before them do not wake the process from the dispatcher's sleep; 1 or less: every
** byte, as after the open, and what the device holds is taken into the queue. Linux only
** (terminal devices); elsewhere, and for a port that is not open, nothing happens. */
void setReadThreshold(int port, int bytes);
/* Timer() at which a reply of `awaited` bytes to the frames written to `port` can be in at the
** earliest: the frames' time on the line at the port's speed, then the reply's; 0 for a port
** that is not open. */
double replyEarliest(int port, int awaited);
/* While held, data arriving on `port` wakes nothing (the port stops watching the device);
** released, the port watches it again and takes what the device holds into the queue at
** once. Holding a held port or releasing a free one does nothing. */
void holdReads(int port, bool hold);

} // namespace vrplatform

#endif
