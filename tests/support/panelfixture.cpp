/* panelfixture.cpp: loading the real panel for tests, operator input sent to the real
** window, and the catcher of modal popups.
*/
#include "panelfixture.h"

#include "app/Veltrav20.h"
#include "platform/qtpanel.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QWindow>

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
    return vrplatform::panelWidget(vr::panel);
}

QWidget *Widget(int control)
{
    vrplatform::Control *c = vrplatform::findControl(vr::panel, control);
    return c ? c->widget.data() : nullptr;
}

QWidget *LabelOf(int control)
{
    vrplatform::Control *c = vrplatform::findControl(vr::panel, control);
    return c ? c->label.data() : nullptr;
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
        if (QAbstractButton *yes = box->button(QMessageBox::Yes))
            yes->click();
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
