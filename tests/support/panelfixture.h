/* panelfixture.h: what the panel tests share: loading the real panel file offscreen with
** the program's start values, finding a control's widget, sending the operator's right
** clicks and key presses to the real window, and catching modal popups.
*/
#ifndef PANELFIXTURE_H
#define PANELFIXTURE_H

#include "platform/probe.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>
#include <functional>

class QWidget;

namespace fixture
{

/* Loads "Veltrav20.uir" from the build's program directory with the program's callback
** table, gives it the program's menu bar, runs InitVars (no port is opened) and shows the
** panel. Returns the handle (also in vr::panel), negative on failure. */
int LoadRealPanel(bool show = true);
/* Discards the panel loaded last and clears vr::panel. */
void DiscardRealPanel();

QWidget *PanelWindow();        /* the top-level widget of vr::panel */
QWidget *Widget(int control);  /* the widget of a control of vr::panel */
QWidget *LabelOf(int control); /* the label that belongs to a control, or nullptr */

/* A right click on the widget as the operator makes it: sent to the window, so that the
** platform sees a real context-menu event. `at` is a point in the widget (default: its
** centre). */
void RightClick(QWidget *w);
/* Types `text` into a numeric input and presses Enter. */
void TypeAndEnter(QWidget *w, const QString &text);

/* The operator chooses a menu item of the main panel's menu bar (as a click on it does).
** False when the panel has no such item or it is dimmed. */
bool ChooseMenuItem(int item);

/* Where every control of the panel and every control's label lies, in window coordinates
** (hidden ones included). */
QList<QRect> Geometry();

/* As the widget draws itself: the colour most of its pixels show (its face) and the one that
** stands out most from it (its text). */
struct Colours {
    QColor face;
    QColor ink;
};
Colours Drawn(QWidget *w);
/* Contrast ratio of two colours, 1 to 21, by their relative luminance (sRGB). */
double Contrast(const QColor &a, const QColor &b);

/* Control values and attributes through the platform, for short checks. */
int IntVal(int control);
int Attr(int control, int attribute);

/* One modal popup as seen by the operator. */
struct Popup {
    QString title;
    QString text;
};

/* Watches for modal message popups while alive, records each one's title and text and
** closes it (a question gets the answer in `confirm`), so code under test that shows a popup
** carries on. An optional hook handles other modal widgets (a file dialog): it gets the
** widget and must close it. */
class PopupCatcher : public QObject
{
  public:
    explicit PopupCatcher(std::function<void(QWidget *)> otherModal = nullptr);
    ~PopupCatcher() override;
    QList<Popup> popups;
    int count() const { return popups.size(); }
    bool confirm = false; /* a question (Yes and No) gets Yes when set, No otherwise */

  private:
    void check();
    QTimer timer;
    std::function<void(QWidget *)> other;
};

/* Sets the file name in an open file dialog and accepts it (or cancels when name is
** empty), as an operator typing a name and pressing OK. */
void AnswerFileDialog(QWidget *dialog, const QString &name);

} // namespace fixture

#endif
