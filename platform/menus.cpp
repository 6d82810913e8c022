/* menus.cpp: the menu bar of a panel on Qt Widgets: built from the program's menu table,
** placed at the top of the panel's layout, items calling their menu callbacks, check marks
** and dimming set by the program.
*/
#include "probe.h"
#include "qtpanel.h"

#include <QAction>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>

#include <map>

using namespace vrplatform;

namespace
{

const char *PropItem = "vrMenuItem";
const char *PropChecked = "vrChecked";

std::map<int, QPointer<QMenuBar>> bars; /* by panel handle */

QAction *findItem(int panel, int menuItem)
{
    auto it = bars.find(panel);
    if (it == bars.end() || !it->second || menuItem <= 0) return nullptr;
    for (QAction *a : it->second->findChildren<QAction *>())
        if (a->property(PropItem).toInt() == menuItem) return a;
    return nullptr;
}

} // namespace

int InstallMenuBar(int panel, const MenuEntry *table, int count)
{
    QWidget *root = panelWidget(panel);
    if (!root || !root->layout() || !table || count < 0) return -1;
    auto it = bars.find(panel);
    if (it != bars.end() && it->second) return -1;

    auto *bar = new QMenuBar;
    // In the window on every desktop, so that the panel looks the same everywhere.
    bar->setNativeMenuBar(false);
    QMenu *menu = nullptr;
    for (int i = 0; i < count; i++) {
        const MenuEntry &e = table[i];
        const QString title = QString::fromLocal8Bit(e.menu ? e.menu : "");
        if (!menu || menu->title() != title) menu = bar->addMenu(title);
        if (!e.item) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(QString::fromLocal8Bit(e.item));
        action->setProperty(PropItem, e.id);
        if (e.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
        const MenuCallbackPtr callback = e.callback;
        const int id = e.id;
        QObject::connect(action, &QAction::triggered, action, [panel, id, callback, action] {
            // Choosing an item must not flip its check mark: the program alone sets it.
            if (action->isCheckable()) action->setChecked(action->property(PropChecked).toBool());
            if (callback) callback(panel, id);
        });
    }

    // The layout takes the bar above the controls; the panel grows by its height, so that the
    // controls keep the room the panel file gives them.
    root->layout()->setMenuBar(bar);
    root->resize(root->width(), root->height() + bar->sizeHint().height());
    bars[panel] = bar;
    return 0;
}

int SetMenuBarAttribute(int panel, int menuItem, int attribute, int value)
{
    QAction *action = findItem(panel, menuItem);
    if (!action) return -1;
    const QSignalBlocker block(action);
    switch (attribute) {
    case ATTR_CHECKED:
        action->setCheckable(true);
        action->setChecked(value != 0);
        action->setProperty(PropChecked, value != 0);
        return 0;
    case ATTR_DIMMED: action->setEnabled(value == 0); return 0;
    default: return -1;
    }
}

int GetMenuBarAttribute(int panel, int menuItem, int attribute, int *value)
{
    QAction *action = findItem(panel, menuItem);
    if (!action || !value) return -1;
    switch (attribute) {
    case ATTR_CHECKED: *value = action->isChecked() ? 1 : 0; return 0;
    case ATTR_DIMMED: *value = action->isEnabled() ? 0 : 1; return 0;
    default: return -1;
    }
}
