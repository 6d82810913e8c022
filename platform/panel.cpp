/* panel.cpp: panels and controls on Qt Widgets: loading a panel file (Qt Designer XML) and
** binding its callbacks by name, turning the operator's input into callback events, and the
** value, attribute and list operations. Divisions: records and look-ups; events; loading;
** values; attributes and lists; created controls and images.
*/
#include "probe.h"
#include "qtpanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QChartView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QUiLoader>

#include <map>
#include <memory>

namespace vrplatform
{
namespace
{

/* ---- Records and look-ups ------------------------------------------------------------ */

struct Panel {
    int handle = 0;
    QPointer<QWidget> root;
    PanelCallbackPtr callback = nullptr;
    std::map<int, Control> controls;
    int nextId = 1000; // identifiers for controls created at run time
    bool discarding = false;
    bool shown = false; // DisplayPanel has sized it for the screen
};

std::map<int, std::unique_ptr<Panel>> panels;
int nextHandle = 1;
QPointer<QWidget> lastShown;
const CallbackEntry *callbackTable = nullptr;
int callbackCount = 0;

const char *PropId = "ctrlId";
const char *PropCallback = "callback";
const int ExtraRole = Qt::UserRole + 1;

Panel *findPanel(int handle)
{
    auto it = panels.find(handle);
    return it == panels.end() ? nullptr : it->second.get();
}

/* The control a widget belongs to: the widget itself, or the nearest ancestor that is a
** control or a control's buddy label (a spin box's inner line edit belongs to the spin box,
** an input lying in a decoration to the input, not to the decoration). */
std::pair<Panel *, Control *> controlOf(QObject *obj)
{
    for (auto &entry : panels) {
        Panel *p = entry.second.get();
        for (QObject *o = obj; o; o = o->parent()) {
            for (auto &c : p->controls) {
                Control &ctl = c.second;
                if (o == ctl.widget || (ctl.label && o == ctl.label)) return {p, &ctl};
            }
            if (o == p->root) break;
        }
    }
    return {nullptr, nullptr};
}

void raise(Panel *p, Control *c, int event)
{
    if (c->callback) c->callback(p->handle, c->id, event, nullptr, 0, 0);
}

/* ---- Events -------------------------------------------------------------------------- */

/* Watches the whole application for the operator's right clicks (also on dimmed controls,
** which Qt otherwise passes to their parent), for button shortcuts and Enter in numeric
** inputs, and for the close request of a panel. A held key commits once: its auto-repeated
** presses commit nothing. */
class EventWatch : public QObject
{
  public:
    bool eventFilter(QObject *obj, QEvent *ev) override
    {
        switch (ev->type()) {
        case QEvent::ContextMenu: {
            auto pc = controlOf(obj);
            if (!pc.second) return false;
            raise(pc.first, pc.second, EVENT_RIGHT_CLICK);
            return true; // no built-in context menu
        }
        case QEvent::KeyPress: {
            auto *key = static_cast<QKeyEvent *>(ev);
            if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
            auto *spin = qobject_cast<QSpinBox *>(obj);
            if (!spin || spin->isReadOnly()) return false;
            auto pc = controlOf(obj);
            if (!pc.second || pc.second->widget != spin) return false;
            if (repeats(key)) return true;
            // Enter commits also an unchanged value (committing a port number again is how
            // the operator retries); the value change it may cause must not commit twice.
            enterActive = true;
            spin->interpretText();
            enterActive = false;
            raise(pc.first, pc.second, EVENT_COMMIT);
            return false;
        }
        case QEvent::KeyRelease: {
            auto *key = static_cast<QKeyEvent *>(ev);
            releasedKey = key->key();
            releasedAt = key->timestamp();
            return false;
        }
        case QEvent::ShortcutOverride: // the key press that a shortcut event may follow
            shortcutKeyRepeats = repeats(static_cast<QKeyEvent *>(ev));
            return false;
        case QEvent::Shortcut: {
            // A button's shortcut commits at once, as a click does, instead of animating the
            // button for 100 ms first; a held key commits once.
            auto pc = controlOf(obj);
            if (!pc.second || pc.second->kind != Kind::Button || pc.second->widget != obj ||
                static_cast<QShortcutEvent *>(ev)->isAmbiguous())
                return false;
            const bool repeated = shortcutKeyRepeats;
            shortcutKeyRepeats = false;
            if (!repeated && pc.second->widget->isEnabled())
                raise(pc.first, pc.second, EVENT_COMMIT);
            return true;
        }
        case QEvent::Close: {
            for (auto &entry : panels) {
                Panel *p = entry.second.get();
                if (obj != p->root || p->discarding) continue;
                ev->ignore();
                if (p->callback) p->callback(p->handle, EVENT_CLOSE, nullptr, 0, 0);
                return true;
            }
            return false;
        }
        default: return false;
        }
    }
    bool enterActive = false;

  private:
    /* A press of a held key: flagged so, or (X11 without detectable auto-repeat, where Qt
    ** does not always flag it) coming with the same time stamp as the release of the same
    ** key just before it, which no hand can do. */
    bool repeats(const QKeyEvent *key) const
    {
        return key->isAutoRepeat() || (key->timestamp() != 0 && key->key() == releasedKey &&
                                       key->timestamp() == releasedAt);
    }
    int releasedKey = 0; // the key released last, and when (X server time, ms)
    quint64 releasedAt = 0;
    bool shortcutKeyRepeats = false; // the key press of the coming shortcut event repeats
};

EventWatch *watch()
{
    static EventWatch *w = nullptr;
    if (!w) {
        w = new EventWatch;
        w->setParent(qApp);
        qApp->installEventFilter(w);
    }
    return w;
}

/* Connects the operator-only signals of a control to its callback. Program writes block
** these signals, so they never raise a callback. */
void wire(Panel *p, Control &c)
{
    const int handle = p->handle, id = c.id;
    auto fire = [handle, id](int event) {
        if (Control *ctl = findControl(handle, id)) {
            if (ctl->callback) ctl->callback(handle, id, event, nullptr, 0, 0);
        }
    };
    QWidget *w = c.widget;
    switch (c.kind) {
    case Kind::Button:
        QObject::connect(static_cast<QPushButton *>(w), &QPushButton::clicked, w,
                         [fire] { fire(EVENT_COMMIT); });
        break;
    case Kind::Toggle:
        QObject::connect(static_cast<QPushButton *>(w), &QPushButton::clicked, w,
                         [fire] { fire(EVENT_VAL_CHANGED); });
        break;
    case Kind::Switch:
        QObject::connect(static_cast<QCheckBox *>(w), &QCheckBox::clicked, w,
                         [fire] { fire(EVENT_COMMIT); });
        break;
    case Kind::Ring:
        QObject::connect(static_cast<QComboBox *>(w), &QComboBox::activated, w,
                         [fire] { fire(EVENT_COMMIT); });
        break;
    case Kind::Numeric: {
        auto *spin = static_cast<QSpinBox *>(w);
        spin->setKeyboardTracking(false); // a change counts at Enter, a step or focus-out
        QObject::connect(spin, &QSpinBox::valueChanged, w, [fire] {
            if (!watch()->enterActive) fire(EVENT_COMMIT);
        });
        break;
    }
    default: break;
    }
}

} // namespace

/* The inside of a display's box as a widget of its own, opaque: a new value repaints it
** alone, where a repaint of the display would draw its box and whatever lies under it again,
** a styled frame around it included. Mouse events go through to the display. */
class NumericDisplay::Face : public QWidget
{
  public:
    explicit Face(NumericDisplay *display) : QWidget(display), display(display)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        display->paintFace(painter, geometry());
    }

  private:
    NumericDisplay *display;
};

NumericDisplay::NumericDisplay(QWidget *parent) : QWidget(parent), face(new Face(this))
{
    setForegroundRole(QPalette::Text);
    setBackgroundRole(QPalette::Base);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed); // as a spin box: it may be widened
}

void NumericDisplay::setValue(int value)
{
    if (value == shown) return;
    shown = value;
    text = QString::number(value);
    face->update();
}

QSize NumericDisplay::sizeHint() const
{
    if (hint.isEmpty()) {
        // The panel file's range, as a spin box's would be: the widest of its ends, with the
        // margins of the text and a pixel above and below it as in a text field.
        const QFontMetrics fm = fontMetrics();
        int w = 0;
        for (const char *end : {"minimum", "maximum"})
            w = qMax(w, fm.horizontalAdvance(QString::number(property(end).toInt())));
        const QStyleOptionFrame opt = frameOption();
        hint = style()->sizeFromContents(QStyle::CT_LineEdit, &opt,
                                         QSize(w + 2 * Margin, fm.height() + 2), this);
    }
    return hint;
}

/* The box is drawn once for its size and look: drawn by the style it costs several times what
** the number does. */
void NumericDisplay::drawBox()
{
    const qreal ratio = devicePixelRatioF();
    if (!box.isNull() && box.deviceIndependentSize() == QSizeF(size()) &&
        box.devicePixelRatio() == ratio)
        return;
    box = QPixmap(size() * ratio);
    box.setDevicePixelRatio(ratio);
    box.fill(Qt::transparent);
    QPainter boxPainter(&box);
    const QStyleOptionFrame opt = frameOption();
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &boxPainter, this);
}

void NumericDisplay::paintEvent(QPaintEvent *)
{
    drawBox();
    QPainter painter(this);
    painter.drawPixmap(0, 0, box);
}

/* The part of the box at `where` on the display's background (so that it is opaque whatever the
** style leaves there), the number right-aligned on it. */
void NumericDisplay::paintFace(QPainter &p, const QRect &where)
{
    drawBox();
    const QRect face(QPoint(0, 0), where.size());
    const qreal ratio = box.devicePixelRatio();
    p.fillRect(face, palette().color(backgroundRole()));
    p.drawPixmap(QRectF(face), box,
                 QRectF(QPointF(where.topLeft()) * ratio, QSizeF(where.size()) * ratio));
    if (digits.isEmpty())
        for (QChar c : QStringLiteral("0123456789-")) {
            digits.append(QStaticText(c));
            digits.last().setTextFormat(Qt::PlainText);
            digits.last().prepare(QTransform(), font());
        }
    auto digit = [this](QChar c) -> const QStaticText & {
        return digits[c == QLatin1Char('-') ? 10 : c.digitValue()];
    };
    // Right-aligned and centred upright in the face less its margins, as drawText places it.
    const QRect room = face.adjusted(Margin, 0, -Margin, 0);
    qreal width = 0;
    for (QChar c : text)
        width += digit(c).size().width();
    QPointF at(room.right() + 1 - width,
               room.top() + (room.height() - QFontMetricsF(font()).height()) / 2);
    p.setFont(font());
    p.setPen(palette().color(foregroundRole()));
    for (QChar c : text) {
        p.drawStaticText(at, digit(c));
        at.rx() += digit(c).size().width();
    }
}

void NumericDisplay::placeFace()
{
    const QStyleOptionFrame opt = frameOption();
    face->setGeometry(style()->subElementRect(QStyle::SE_LineEditContents, &opt, this));
}

void NumericDisplay::resizeEvent(QResizeEvent *)
{
    placeFace();
}

void NumericDisplay::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) {
        hint = QSize();
        digits.clear();
        updateGeometry();
        placeFace();
    }
    if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange ||
        e->type() == QEvent::EnabledChange)
        box = QPixmap();
    QWidget::changeEvent(e);
}

QStyleOptionFrame NumericDisplay::frameOption() const
{
    QStyleOptionFrame opt;
    opt.initFrom(this);
    opt.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, this);
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    return opt;
}

namespace
{

Kind kindOf(QWidget *w)
{
    if (dynamic_cast<NumericDisplay *>(w)) return Kind::Display;
    if (auto *b = qobject_cast<QPushButton *>(w))
        return b->isCheckable() ? Kind::Toggle : Kind::Button;
    if (qobject_cast<QCheckBox *>(w)) return Kind::Switch;
    if (qobject_cast<QSpinBox *>(w)) return Kind::Numeric;
    if (qobject_cast<QComboBox *>(w)) return Kind::Ring;
    if (qobject_cast<QLineEdit *>(w)) return Kind::Text;
    if (qobject_cast<QLabel *>(w)) return Kind::TextMsg;
    if (qobject_cast<QChartView *>(w)) return Kind::Chart;
    return Kind::Decoration;
}

/* ---- Loading ------------------------------------------------------------------------- */

/* Creates the chart views and numeric displays the panel file names, which the stock loader
** does not know. */
class Loader : public QUiLoader
{
  public:
    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override
    {
        QWidget *w = nullptr;
        if (className == QLatin1String("QChartView")) w = new QChartView(parent);
        if (className == QLatin1String("NumericDisplay")) w = new NumericDisplay(parent);
        if (w) {
            w->setObjectName(name);
            return w;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

bool lookUp(const QString &name, CtrlCallbackPtr *ctrl, PanelCallbackPtr *pan)
{
    for (int i = 0; i < callbackCount; i++) {
        if (name == QLatin1String(callbackTable[i].name)) {
            if (ctrl) *ctrl = callbackTable[i].control;
            if (pan) *pan = callbackTable[i].panel;
            return true;
        }
    }
    return false;
}

/* A dimmed control with a "dimmedReason" in the panel file shows the reason as its tooltip
** (and its label's), so the operator sees why it takes no input; undimmed it shows none. */
void showDimmedReason(Control &c)
{
    const QString reason = c.widget->property("dimmedReason").toString();
    if (reason.isEmpty()) return;
    const QString tip = c.widget->isEnabled() ? QString() : reason;
    c.widget->setToolTip(tip);
    if (c.label) c.label->setToolTip(tip);
}

/* Every widget a layout places keeps its room while hidden: the two inputs sharing a place
** and the graphs sharing the chart area stand in one cell, so that showing one and hiding
** the other moves nothing on the panel. */
void keepRoomWhenHidden(QWidget *root)
{
    for (QLayout *l : root->findChildren<QLayout *>()) // the window's layout and those in it
        for (int i = 0; i < l->count(); i++)
            if (QWidget *w = l->itemAt(i)->widget()) {
                QSizePolicy policy = w->sizePolicy();
                policy.setRetainSizeWhenHidden(true);
                w->setSizePolicy(policy);
            }
}

/* A word-wrapped text message asks for the height its lines take at its width. A window's
** smallest size is made of its controls' smallest sizes, which know nothing of a height that
** follows the width, so without this a text that wraps to more lines takes its room from the
** controls above it and squeezes them below their own smallest size. */
struct WrappedTextRoom : QObject {
    using QObject::QObject;
    static void fit(QLabel *label)
    {
        if (label->wordWrap())
            label->setMinimumHeight(qMax(0, label->heightForWidth(label->width())));
    }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Resize) fit(static_cast<QLabel *>(o));
        return false;
    }
};

void keepWrappedTextRoom(QLabel *label)
{
    if (label->wordWrap()) label->installEventFilter(new WrappedTextRoom(label));
}

void setRingItems(QComboBox *ring)
{
    const QStringList values =
        ring->property("itemValues").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < ring->count(); i++)
        ring->setItemData(i, i < values.size() ? values[i].trimmed().toInt() : i);
}

} // namespace

Control *findControl(int panel, int control)
{
    Panel *p = findPanel(panel);
    if (!p) return nullptr;
    auto it = p->controls.find(control);
    if (it == p->controls.end() || !it->second.widget) return nullptr;
    return &it->second;
}

QWidget *panelWidget(int panel)
{
    Panel *p = findPanel(panel);
    return p ? p->root.data() : nullptr;
}

QWidget *activePanelWidget()
{
    return lastShown.data();
}

} // namespace vrplatform

using namespace vrplatform;

void BindCallbacks(const CallbackEntry *table, int count)
{
    callbackTable = table;
    callbackCount = count;
}

int LoadPanel(int, const char *fileName, int panelId)
{
    if (!qApp) return -5;
    QFile file(projectPath(fileName));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    Loader loader;
    std::unique_ptr<QWidget> root(loader.load(&file));
    if (!root || root->property("panelId").toInt() != panelId) return -2;

    auto p = std::make_unique<Panel>();
    p->handle = nextHandle;
    const QString panelCb = root->property(PropCallback).toString();
    if (!panelCb.isEmpty() && (!lookUp(panelCb, nullptr, &p->callback) || !p->callback)) return -3;

    for (QWidget *w : root->findChildren<QWidget *>()) {
        const QVariant idProp = w->property(PropId);
        if (!idProp.isValid()) continue;
        Control c;
        c.id = idProp.toInt();
        if (c.id <= 0 || p->controls.count(c.id)) return -2;
        c.widget = w;
        c.kind = kindOf(w);
        const QString cb = w->property(PropCallback).toString();
        if (!cb.isEmpty() && (!lookUp(cb, &c.callback, nullptr) || !c.callback)) return -3;
        if (c.kind == Kind::Ring) setRingItems(static_cast<QComboBox *>(w));
        if (c.kind == Kind::TextMsg) keepWrappedTextRoom(static_cast<QLabel *>(w));
        w->setContextMenuPolicy(Qt::DefaultContextMenu);
        p->controls[c.id] = c;
    }
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->buddy()) continue;
        for (auto &c : p->controls)
            if (c.second.widget == label->buddy()) {
                c.second.label = label;
                label->setEnabled(c.second.widget->isEnabled()); // dimmed as its control
            }
    }
    for (auto &c : p->controls) {
        showDimmedReason(c.second);
        if (c.second.kind == Kind::Chart)
            setUpChart(static_cast<QChartView *>(c.second.widget.data()));
    }
    keepRoomWhenHidden(root.get());
    holdRepaintsOf(root.get());
    watch();
    for (auto &c : p->controls)
        wire(p.get(), c.second);
    p->root = root.release();
    const int handle = p->handle;
    panels[handle] = std::move(p);
    nextHandle++;
    return handle;
}

int DisplayPanel(int panel)
{
    QWidget *root = panelWidget(panel);
    if (!root) return -1;
    Panel *p = findPanel(panel);
    if (!p->shown) {
        // First showing: the panel file's size, but no larger than the screen (at a high scale
        // factor the screen may hold fewer logical pixels than the panel asks for).
        if (QScreen *screen = root->screen()) {
            const QSize room = screen->availableGeometry().size() - QSize(16, 48); // frame
            root->resize(root->size().boundedTo(room).expandedTo(root->minimumSizeHint()));
        }
        p->shown = true;
    }
    root->show();
    root->activateWindow();
    lastShown = root;
    return 0;
}

int DiscardPanel(int panel)
{
    Panel *p = findPanel(panel);
    if (!p) return -1;
    p->discarding = true;
    delete p->root.data();
    panels.erase(panel);
    return 0;
}

/* ---- Values ----------------------------------------------------------------------------- */

namespace
{

/* The value a numeric input holds, including digits typed but not yet entered; reading it
** has no side effect on the control. */
int numericValue(QSpinBox *spin)
{
    bool ok = false;
    const int typed = spin->locale().toInt(spin->cleanText(), &ok);
    if (ok && typed >= spin->minimum() && typed <= spin->maximum()) return typed;
    return spin->value();
}

int readInt(int panel, int control, int *value)
{
    Control *c = findControl(panel, control);
    if (!c || !value) return -1;
    QWidget *w = c->widget;
    switch (c->kind) {
    case Kind::Toggle:
    case Kind::Switch: *value = static_cast<QAbstractButton *>(w)->isChecked() ? 1 : 0; return 0;
    case Kind::Numeric: *value = numericValue(static_cast<QSpinBox *>(w)); return 0;
    case Kind::Display: *value = static_cast<NumericDisplay *>(w)->value(); return 0;
    case Kind::Ring: {
        auto *ring = static_cast<QComboBox *>(w);
        if (ring->currentIndex() < 0) return -1;
        *value = ring->currentData().toInt();
        return 0;
    }
    case Kind::Text:
    case Kind::TextMsg: {
        bool ok = false;
        const QString t = c->kind == Kind::Text ? static_cast<QLineEdit *>(w)->text()
                                                : static_cast<QLabel *>(w)->text();
        *value = t.trimmed().toInt(&ok);
        return ok ? 0 : -1;
    }
    default: return -1;
    }
}

/* Selects the item with `value`; a value no item has gets an extra item of its own, and
** extra items of earlier values go. */
void selectRingValue(QComboBox *ring, int value)
{
    for (int i = ring->count() - 1; i >= 0; i--)
        if (ring->itemData(i, ExtraRole).toBool() && ring->itemData(i).toInt() != value)
            ring->removeItem(i);
    int index = ring->findData(value);
    if (index < 0) {
        ring->addItem(QStringLiteral("raw %1").arg(value), value);
        index = ring->count() - 1;
        ring->setItemData(index, true, ExtraRole);
    }
    ring->setCurrentIndex(index);
}

int writeInt(int panel, int control, int value)
{
    Control *c = findControl(panel, control);
    if (!c) return -1;
    QWidget *w = c->widget;
    const QSignalBlocker block(w);
    switch (c->kind) {
    case Kind::Toggle:
    case Kind::Switch: static_cast<QAbstractButton *>(w)->setChecked(value != 0); return 0;
    case Kind::Numeric: {
        // An input written with the value it shows is left alone: rewriting it would lay
        // out and repaint its text all the same.
        auto *box = static_cast<QSpinBox *>(w);
        if (box->value() != value || box->cleanText() != QString::number(value))
            box->setValue(value);
        return 0;
    }
    case Kind::Display: static_cast<NumericDisplay *>(w)->setValue(value); return 0;
    case Kind::Ring: selectRingValue(static_cast<QComboBox *>(w), value); return 0;
    case Kind::Text: static_cast<QLineEdit *>(w)->setText(QString::number(value)); return 0;
    case Kind::TextMsg: static_cast<QLabel *>(w)->setText(QString::number(value)); return 0;
    default: return -1;
    }
}

} // namespace

int GetCtrlVal(int panel, int control, unsigned char *value)
{
    int v = 0;
    const int r = readInt(panel, control, &v);
    if (r >= 0 && value) *value = static_cast<unsigned char>(v & 0xFF);
    return r;
}

int GetCtrlVal(int panel, int control, int *value)
{
    return readInt(panel, control, value);
}

int GetCtrlVal(int panel, int control, double *value)
{
    int v = 0;
    const int r = readInt(panel, control, &v);
    if (r >= 0 && value) *value = v;
    return r;
}

int GetCtrlValText(int panel, int control, char *text, std::size_t capacity)
{
    Control *c = findControl(panel, control);
    if (!c || !text || capacity == 0) return -1;
    switch (c->kind) {
    case Kind::Text:
        return copyText(static_cast<QLineEdit *>(c->widget.data())->text(), text, capacity);
    case Kind::TextMsg:
        return copyText(static_cast<QLabel *>(c->widget.data())->text(), text, capacity);
    case Kind::Ring:
        return copyText(static_cast<QComboBox *>(c->widget.data())->currentText(), text, capacity);
    default: {
        int v = 0;
        if (readInt(panel, control, &v) < 0) return -1;
        return copyText(QString::number(v), text, capacity);
    }
    }
}

int SetCtrlVal(int panel, int control, int value)
{
    return writeInt(panel, control, value);
}
int SetCtrlVal(int panel, int control, unsigned char value)
{
    return writeInt(panel, control, value);
}
int SetCtrlVal(int panel, int control, double value)
{
    return writeInt(panel, control, qRound(value));
}

int SetCtrlVal(int panel, int control, const char *text)
{
    Control *c = findControl(panel, control);
    if (!c || !text) return -1;
    const QString s = QString::fromLocal8Bit(text);
    const QSignalBlocker block(c->widget);
    switch (c->kind) {
    case Kind::Text: static_cast<QLineEdit *>(c->widget.data())->setText(s); return 0;
    case Kind::TextMsg: {
        auto *label = static_cast<QLabel *>(c->widget.data());
        label->setText(s);
        label->adjustSize();
        WrappedTextRoom::fit(label);
        return 0;
    }
    default: {
        bool ok = false;
        const int v = s.trimmed().toInt(&ok);
        return ok ? writeInt(panel, control, v) : -1;
    }
    }
}

/* ---- Attributes and lists ----------------------------------------------------------------- */

namespace
{

/* Colours, font and frame colour live in dynamic properties and are turned into one style
** sheet, so each can be changed on its own and read back. */
void restyle(QWidget *w)
{
    QString css;
    const QVariant text = w->property("vrTextColor"), bg = w->property("vrBgColor"),
                   frame = w->property("vrFrameColor");
    if (text.isValid())
        css += QStringLiteral("color: #%1;").arg(text.toInt(), 6, 16, QLatin1Char('0'));
    if (bg.isValid()) {
        if (bg.toInt() == VAL_TRANSPARENT)
            css += QStringLiteral("background: transparent;");
        else
            css +=
                QStringLiteral("background-color: #%1;").arg(bg.toInt(), 6, 16, QLatin1Char('0'));
    }
    if (frame.isValid()) {
        const QString colour = QStringLiteral("#%1").arg(frame.toInt(), 6, 16, QLatin1Char('0'));
        css += QStringLiteral("border: 2px solid %1;").arg(colour);
        // A decoration is a band of its frame colour: texts in that colour stand on it.
        if (qobject_cast<QFrame *>(w) && !qobject_cast<QLabel *>(w))
            css += QStringLiteral("background-color: %1;").arg(colour);
    }
    // The class selector with a dot matches this class only: a decoration's style must not
    // pass to the texts and pictures lying in it (a label is a frame too).
    w->setStyleSheet(
        css.isEmpty()
            ? QString()
            : QStringLiteral(".%1 { %2 }").arg(QLatin1String(w->metaObject()->className()), css));
}

} // namespace

int SetCtrlAttribute(int panel, int control, int attribute, int value)
{
    Control *c = findControl(panel, control);
    if (!c) return -1;
    QWidget *w = c->widget;
    switch (attribute) {
    case ATTR_VISIBLE:
        w->setVisible(value != 0);
        if (c->label) c->label->setVisible(value != 0);
        return 0;
    case ATTR_DIMMED:
        w->setEnabled(value == 0);
        if (c->label) c->label->setEnabled(value == 0);
        showDimmedReason(*c);
        return 0;
    case ATTR_LEFT: w->move(value, w->y()); return 0;
    case ATTR_TOP: w->move(w->x(), value); return 0;
    case ATTR_FRAME_COLOR:
        w->setProperty("vrFrameColor", value);
        restyle(w);
        return 0;
    case ATTR_TEXT_COLOR:
        w->setProperty("vrTextColor", value);
        restyle(w);
        return 0;
    case ATTR_TEXT_BGCOLOR:
        w->setProperty("vrBgColor", value);
        restyle(w);
        return 0;
    case ATTR_TEXT_POINT_SIZE: {
        // The panel is laid out in pixels; its text sizes are too, so text keeps its place
        // among the controls whatever the screen's resolution.
        if (value <= 0) return -1;
        QFont f = w->font();
        f.setPixelSize(value);
        w->setFont(f);
        w->setProperty("vrPointSize", value);
        w->adjustSize();
        return 0;
    }
    case ATTR_POINTS_PER_SCREEN:
        if (c->kind != Kind::Chart || value < 2) return -1;
        if (w->property("vrPointsPerScreen") != QVariant(value)) // set again every cycle
            w->setProperty("vrPointsPerScreen", value);
        return 0;
    case ATTR_HIGHLIGHTED: {
        // The button's face in the highlight colours: unlike its pressed or checked state,
        // the operator's clicks do not change it.
        if (c->kind != Kind::Button) return -1;
        QPalette lit = QApplication::palette(w);
        lit.setColor(QPalette::Button, lit.color(QPalette::Active, QPalette::Highlight));
        lit.setColor(QPalette::ButtonText, lit.color(QPalette::Active, QPalette::HighlightedText));
        w->setPalette(value ? lit : QPalette());
        return 0;
    }
    default: return -1;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *text)
{
    Control *c = findControl(panel, control);
    if (!c || !text) return -1;
    const QString s = QString::fromLocal8Bit(text);
    switch (attribute) {
    case ATTR_LABEL_TEXT:
        if (c->label)
            c->label->setText(s);
        else if (auto *b = qobject_cast<QAbstractButton *>(c->widget.data()))
            b->setText(s);
        else
            return -1;
        return 0;
    case ATTR_TEXT_FONT: {
        QFont f = c->widget->font();
        f.setFamily(s == QLatin1String(VAL_APP_FONT) ? QApplication::font().family() : s);
        c->widget->setFont(f);
        c->widget->setProperty("vrFontName", s);
        return 0;
    }
    case ATTR_TOOLTIP_TEXT: c->widget->setToolTip(s); return 0;
    default: return -1;
    }
}

int GetCtrlAttribute(int panel, int control, int attribute, int *value)
{
    Control *c = findControl(panel, control);
    if (!c || !value) return -1;
    QWidget *w = c->widget;
    auto prop = [&](const char *name) {
        const QVariant v = w->property(name);
        if (!v.isValid()) return -1;
        *value = v.toInt();
        return 0;
    };
    switch (attribute) {
    case ATTR_VISIBLE: *value = w->isHidden() ? 0 : 1; return 0;
    case ATTR_DIMMED: *value = w->isEnabled() ? 0 : 1; return 0;
    case ATTR_LEFT: *value = w->x(); return 0;
    case ATTR_TOP: *value = w->y(); return 0;
    case ATTR_TEXT_POINT_SIZE: return prop("vrPointSize");
    case ATTR_FRAME_COLOR: return prop("vrFrameColor");
    case ATTR_TEXT_COLOR: return prop("vrTextColor");
    case ATTR_TEXT_BGCOLOR: return prop("vrBgColor");
    case ATTR_POINTS_PER_SCREEN: return prop("vrPointsPerScreen");
    default: return -1;
    }
}

int GetCtrlAttributeText(int panel, int control, int attribute, char *text, std::size_t capacity)
{
    Control *c = findControl(panel, control);
    if (!c) return -1;
    switch (attribute) {
    case ATTR_LABEL_TEXT:
        if (c->label) return copyText(c->label->text(), text, capacity);
        if (auto *b = qobject_cast<QAbstractButton *>(c->widget.data()))
            return copyText(b->text(), text, capacity);
        return -1;
    case ATTR_TEXT_FONT: {
        const QVariant v = c->widget->property("vrFontName");
        return copyText(v.isValid() ? v.toString() : c->widget->font().family(), text, capacity);
    }
    default: return -1;
    }
}

int SetPanelAttribute(int panel, int attribute, const char *text)
{
    QWidget *root = panelWidget(panel);
    if (!root || !text || attribute != ATTR_TITLE) return -1;
    root->setWindowTitle(QString::fromLocal8Bit(text));
    return 0;
}

int ReplaceListItem(int panel, int control, int index, const char *label, int value)
{
    Control *c = findControl(panel, control);
    if (!c || c->kind != Kind::Ring || !label) return -1;
    auto *ring = static_cast<QComboBox *>(c->widget.data());
    const QSignalBlocker block(ring);
    if (index < 0 || index > ring->count()) return -1;
    if (index == ring->count()) ring->addItem(QString(), value);
    ring->setItemText(index, QString::fromLocal8Bit(label));
    ring->setItemData(index, value);
    return 0;
}

int GetNumListItems(int panel, int control, int *count)
{
    Control *c = findControl(panel, control);
    if (!c || c->kind != Kind::Ring || !count) return -1;
    *count = static_cast<QComboBox *>(c->widget.data())->count();
    return 0;
}

int GetListItem(int panel, int control, int index, char *label, std::size_t capacity, int *value)
{
    Control *c = findControl(panel, control);
    if (!c || c->kind != Kind::Ring) return -1;
    auto *ring = static_cast<QComboBox *>(c->widget.data());
    if (index < 0 || index >= ring->count()) return -1;
    if (value) *value = ring->itemData(index).toInt();
    return label ? copyText(ring->itemText(index), label, capacity) : 0;
}

/* ---- Created controls and images ------------------------------------------------------------ */

int NewCtrl(int panel, int style, const char *label, int top, int left)
{
    Panel *p = findPanel(panel);
    if (!p || !p->root || style != CTRL_TEXT_MSG) return -1;
    QWidget *canvas = p->root;
    for (QWidget *w : p->root->findChildren<QWidget *>())
        if (w->property("canvas").toBool()) {
            canvas = w;
            break;
        }
    auto *text = new QLabel(canvas);
    if (label && *label) text->setToolTip(QString::fromLocal8Bit(label));
    text->move(left, top);
    text->show();
    Control c;
    c.id = p->nextId++;
    c.kind = Kind::TextMsg;
    c.widget = text;
    text->setProperty(PropId, c.id);
    p->controls[c.id] = c;
    return c.id;
}

int DisplayImageFile(int panel, int control, const char *fileName)
{
    Control *c = findControl(panel, control);
    auto *picture = c ? qobject_cast<QLabel *>(c->widget.data()) : nullptr;
    if (!picture || !fileName) return -1;
    QPixmap image;
    if (!image.load(projectPath(fileName))) return -1;
    picture->setPixmap(image);
    return 0;
}

/* ---- Read-back for tests (probe.h) ---------------------------------------------------------- */

QWidget *PanelWidget(int panel)
{
    return panelWidget(panel);
}

QWidget *ShownPanelWidget(void)
{
    return activePanelWidget();
}

QWidget *ControlWidget(int panel, int control)
{
    Control *c = findControl(panel, control);
    return c ? c->widget.data() : nullptr;
}

QWidget *ControlLabel(int panel, int control)
{
    Control *c = findControl(panel, control);
    return c ? c->label.data() : nullptr;
}

int ControlIdOf(const QWidget *widget)
{
    const QVariant id = widget ? widget->property(PropId) : QVariant();
    return id.isValid() ? id.toInt() : 0;
}
