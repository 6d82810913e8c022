/* popups.cpp: the modal message popup and the modal file dialog, and the busy pointer that
** gives way to the normal one while either is open.
*/
#include "qtpanel.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

using namespace vrplatform;

namespace
{

bool waitCursor = false; /* SetWaitCursor(1) is in force */
int modals = 0;          /* modal popups and dialogs open now */
bool overridden = false; /* the busy pointer is shown */

/* The busy pointer while SetWaitCursor(1) is in force and no modal popup or dialog is open:
** over one, the operator is asked something and the program waits for the answer. */
void ApplyPointer()
{
    const bool busy = waitCursor && modals == 0;
    if (busy && !overridden) QApplication::setOverrideCursor(Qt::BusyCursor);
    if (!busy && overridden) QApplication::restoreOverrideCursor();
    overridden = busy;
}

/* Marks a modal popup or dialog open for its lifetime. */
class NormalPointer
{
  public:
    NormalPointer()
    {
        modals++;
        ApplyPointer();
    }
    ~NormalPointer()
    {
        modals--;
        ApplyPointer();
    }
    NormalPointer(const NormalPointer &) = delete;
    NormalPointer &operator=(const NormalPointer &) = delete;
};

/* Shows a modal box over the panel with the text as given; returns the button pressed
** (NoButton when the box was closed otherwise). `safe` is the default and the answer to
** Escape. */
QMessageBox::StandardButton runBox(const char *title, const char *text,
                                   QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton safe)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromLocal8Bit(title ? title : ""),
                    QString::fromLocal8Bit(text ? text : ""), buttons, activePanelWidget());
    box.setDefaultButton(safe);
    box.setEscapeButton(safe);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    const NormalPointer pointer;
    releaseRepaints();
    box.exec();
    return box.standardButton(box.clickedButton());
}

} // namespace

int SetWaitCursor(int busy)
{
    if (!qApp) return -1;
    waitCursor = busy != 0;
    ApplyPointer();
    return 0;
}

int MessagePopup(const char *title, const char *text)
{
    if (!qApp) return -1;
    runBox(title, text, QMessageBox::Ok, QMessageBox::Ok);
    return 0;
}

int ConfirmPopup(const char *title, const char *text)
{
    if (!qApp) return 0;
    return runBox(title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
                   QMessageBox::Yes
               ? 1
               : 0;
}

int FileSelectPopupText(const char *defaultDir, const char *defaultFile, const char *fileTypeList,
                        const char *title, int buttonLabel, int, int restrictExtension,
                        int allowCancel, int allowMakeDirectory, char *pathOut,
                        std::size_t pathCapacity)
{
    if (!qApp || !pathOut || pathCapacity == 0) {
        setFileErrorText(QStringLiteral("the file dialog cannot be shown"));
        return -1;
    }
    const QString filter = QString::fromLocal8Bit(fileTypeList ? fileTypeList : "*");
    QFileDialog dialog(activePanelWidget(), QString::fromLocal8Bit(title ? title : ""),
                       QString::fromLocal8Bit(defaultDir ? defaultDir : ""), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly, allowMakeDirectory == 0);
    dialog.setFileMode(QFileDialog::AnyFile);
    // For saving, the dialog itself asks before it returns an existing file.
    const bool save = buttonLabel == VAL_SAVE_BUTTON;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept, save ? QStringLiteral("Save") : QStringLiteral("OK"));
    if (!allowCancel) dialog.setLabelText(QFileDialog::Reject, QString());
    // The only extension allowed; a name typed without it gets it.
    const QString ext = filter.startsWith(QLatin1String("*.")) ? filter.mid(2) : QString();
    if (restrictExtension && !ext.isEmpty()) dialog.setDefaultSuffix(ext);
    if (defaultFile && *defaultFile) dialog.selectFile(QString::fromLocal8Bit(defaultFile));
    const NormalPointer pointer;
    releaseRepaints();
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;

    QString path = dialog.selectedFiles().constFirst();
    if (restrictExtension && !ext.isEmpty() &&
        QFileInfo(path).suffix().compare(ext, Qt::CaseInsensitive) != 0) {
        path += QLatin1Char('.') + ext;
        // The name the dialog confirmed is not the one returned: ask for this one too.
        if (save && QFileInfo::exists(path) &&
            QMessageBox::question(&dialog, dialog.windowTitle(),
                                  QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                      .arg(QFileInfo(path).fileName())) != QMessageBox::Yes)
            return 0;
    }
    if (copyPath(path, pathOut, pathCapacity) < 0) {
        setFileErrorText(QStringLiteral("the path is too long: %1 bytes, at most %2 can be used")
                             .arg(QDir::toNativeSeparators(path).toLocal8Bit().size())
                             .arg(pathCapacity - 1));
        return -1;
    }
    return QFileInfo(path).isFile() ? 1 : 2;
}
