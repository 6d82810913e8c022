/* panelfixture.cpp: loading the real panel for tests, operator input sent to the real
** window, and the catcher of modal popups.
*/
#include "panelfixture.h"

#include "app/Veltrav20.h"
#include "platform/probe.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHash>
#include <algorithm>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QWindow>

#include <cmath>

namespace fixture
{

int LoadRealPanel(bool show)
{
    BindCallbacks(vr::cbfTable, vr::cbfTableLen);
    vr::panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
    if (vr::panel < 0) return vr::panel;
    InstallMenuBar(vr::panel, vr::menuTable, vr::menuTableLen);
    GetProjectDir(vr::proj_dir);
    GetDocumentDir(vr::doc_dir);
    vr::InitVars();
    if (show) {
        DisplayPanel(vr::panel);
        QWidget *w = PanelWindow();
        if (!QTest::qWaitForWindowExposed(w)) return -100;
    }
    return vr::panel;
}

void DiscardRealPanel()
{
    if (vr::panel > 0) DiscardPanel(vr::panel);
    vr::panel = 0;
}

QWidget *PanelWindow()
{
    return PanelWidget(vr::panel);
}

QWidget *Widget(int control)
{
    return ControlWidget(vr::panel, control);
}

QWidget *LabelOf(int control)
{
    return ControlLabel(vr::panel, control);
}

void RightClick(QWidget *w)
{
    QWidget *top = w->window();
    QWindow *window = top->windowHandle();
    const QPoint at = w->mapTo(top, w->rect().center());
    QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, at);
}

void TypeAndEnter(QWidget *w, const QString &text)
{
    w->setFocus();
    if (auto *spin = qobject_cast<QSpinBox *>(w)) spin->selectAll();
    QTest::keyClicks(w, text);
    QTest::keyClick(w, Qt::Key_Return);
}

bool ChooseMenuItem(int item)
{
    QWidget *w = PanelWindow();
    for (QAction *a : w ? w->findChildren<QAction *>() : QList<QAction *>())
        if (a->property("vrMenuItem").toInt() == item && a->isEnabled()) {
            a->trigger();
            return true;
        }
    return false;
}

QList<QRect> Geometry()
{
    QList<QRect> out;
    QWidget *top = PanelWindow();
    for (QWidget *w : top->findChildren<QWidget *>()) {
        auto *label = qobject_cast<QLabel *>(w);
        if (ControlIdOf(w) != 0 || (label && label->buddy()))
            out << QRect(w->mapTo(top, QPoint(0, 0)), w->size());
    }
    return out;
}

Colours Drawn(QWidget *w)
{
    const QImage image = w->grab().toImage();
    QHash<QRgb, int> count;
    for (int y = 0; y < image.height(); y++)
        for (int x = 0; x < image.width(); x++)
            count[image.pixel(x, y) | 0xFF000000]++;
    QRgb face = 0;
    for (auto it = count.begin(); it != count.end(); ++it)
        if (it.value() > count.value(face)) face = it.key();
    QRgb ink = face;
    for (auto it = count.begin(); it != count.end(); ++it)
        if (Contrast(QColor(it.key()), QColor(face)) > Contrast(QColor(ink), QColor(face)))
            ink = it.key();
    return {QColor(face), QColor(ink)};
}

double Contrast(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &c) {
        auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

int IntVal(int control)
{
    int v = -12345;
    GetCtrlVal(vr::panel, control, &v);
    return v;
}

int Attr(int control, int attribute)
{
    int v = -12345;
    GetCtrlAttribute(vr::panel, control, attribute, &v);
    return v;
}

PopupCatcher::PopupCatcher(std::function<void(QWidget *)> otherModal) : other(otherModal)
{
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, this, [this] { check(); });
    timer.start();
}

PopupCatcher::~PopupCatcher()
{
    timer.stop();
}

void PopupCatcher::check()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        popups.append({box->windowTitle(), box->text()});
        if (QAbstractButton *answer = box->button(confirm ? QMessageBox::Yes : QMessageBox::No))
            answer->click();
        else
            box->accept();
    } else if (other) {
        other(modal);
    }
}

void AnswerFileDialog(QWidget *dialog, const QString &name)
{
    auto *fd = qobject_cast<QFileDialog *>(dialog);
    if (!fd) return;
    if (name.isEmpty()) {
        fd->reject();
        return;
    }
    auto *edit = fd->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (edit) edit->setText(name);
    QMetaObject::invokeMethod(fd, "accept", Qt::DirectConnection);
}

} // namespace fixture
